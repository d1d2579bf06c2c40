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

// Code (lead*256+trail) of the full-width form of the half-width katakana or
// punctuation byte `c` (0xA1-0xDF), or 0 for any other byte.
unsigned HalfKanaToFull(unsigned char c);

// Code of the half-width kana `c` joined with the sound mark `mark` (0xDE voiced,
// 0xDF semi-voiced) into one full-width katakana, or 0 when they do not combine.
unsigned ComposeHalfKana(unsigned char c, unsigned char mark);

}  // namespace sorane
