// Table-driven width, kana and case mappings over the Shift-JIS repertoire.
#pragma once

#include <string>
#include <string_view>

namespace sorane {

enum class MapMode { FullWidth, HalfWidth, Hiragana, Katakana, Lower, Upper };

// Characters without a counterpart pass unchanged. HalfWidth turns voiced
// katakana into the half-width kana followed by a separate voiced mark;
// FullWidth joins a half-width kana with a following mark into one character.
std::string MapText(std::string_view s, MapMode mode);

// Only full-width letters, digits and the listed symbols become single-byte.
std::string AlnumToHalf(std::string_view s);

}  // namespace sorane
