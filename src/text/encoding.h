// CP932 <-> UTF-8 conversion at the boundaries (terminal, file names, Qt), and
// SJ(), which turns a UTF-8 literal of our sources into its CP932 bytes once.
#pragma once

#include <string>
#include <string_view>

namespace sorane {

// Bytes that map to nothing are replaced: "?" towards CP932, U+FFFD towards UTF-8.
std::string Utf8ToSjis(std::string_view utf8);
std::string SjisToUtf8(std::string_view sjis);

// Valid UTF-8 that contains at least one non-ASCII byte.
bool LooksLikeUtf8(std::string_view bytes);

}  // namespace sorane

// A CP932 std::string for a UTF-8 string literal, converted on first use.
#define SJ(lit)                                                     \
  ([]() -> const std::string& {                                     \
    static const std::string converted = ::sorane::Utf8ToSjis(lit); \
    return converted;                                               \
  }())
