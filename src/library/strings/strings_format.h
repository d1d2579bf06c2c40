// 指定形式に変換: a printf-like pattern applied to one value.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sorane {

// Directives: "%" [index ":"] ["-"] [width] ["." precision] type, and "%%" for a
// percent sign. Each directive reads the value by its own type letter: d and x
// as an integer (ParseNumber, truncated), e, f, g, n and m as a number, s as the
// text itself. The value is the only argument, so an index other than 0, or a
// second directive without an index, is malformed. nullopt for any malformed
// pattern.
std::optional<std::string> FormatByPattern(std::string_view pattern, std::string_view value);

}  // namespace sorane
