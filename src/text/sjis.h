// Shift-JIS (code page 932) character model and the text primitives every
// command shares. A text is a byte string; a character is one byte, or two
// when the first is a lead byte. Walks stop at a NUL byte, never step past the
// end of the text and never cut or match inside a double-byte character.
// Positions and character indices count from 1; 0 means "not found".
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace sorane {

// 0x81-0x9F or 0xE0-0xFC.
inline bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Byte length of the character starting at s[i] (1 or 2; 1 for a lead byte
// that is the last byte, or is followed by NUL).
inline size_t CharLen(std::string_view s, size_t i) {
  return (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() && s[i + 1] != '\0') ? 2
                                                                                                : 1;
}

// Same for a NUL-terminated run.
inline size_t CharLenZ(const char* p) {
  return (IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') ? 2 : 1;
}

// Whether the n bytes at a and at b are the same. Short runs (names,
// statements) are compared inline, eight bytes at a time, which costs less
// than a call of the library's comparison; both runs must be readable whole.
inline bool SameBytes(const char* a, const char* b, size_t n) {
  if (n > 64) return std::memcmp(a, b, n) == 0;
  if (n < 8) {
    for (size_t i = 0; i < n; ++i)
      if (a[i] != b[i]) return false;
    return true;
  }
  uint64_t x, y;
  for (size_t i = 0; i + 8 < n; i += 8) {
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) return false;
  }
  // The last eight bytes (overlapping the words before when n is not a multiple of 8).
  std::memcpy(&x, a + n - 8, 8);
  std::memcpy(&y, b + n - 8, 8);
  return x == y;
}

// Whether p starts with the double-byte character `wide` (p is NUL-terminated).
inline bool AtWide(const char* p, std::string_view wide) {
  return p[0] == wide[0] && p[1] != '\0' && p[1] == wide[1];
}

// Whether the bytes of `s` end with those of `tail`.
inline bool EndsWithBytes(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

size_t CharCount(std::string_view s);
std::string CharCopy(std::string_view s, long long first, long long count);
// The character at the cursor (empty at the end); the cursor moves past it.
std::string NextChar(std::string_view s, size_t& cursor);
// Byte offset (0-based) of the first match of `needle` that starts and ends on
// character boundaries at or after the boundary `from`, or npos. An empty
// needle never matches.
size_t FindAtBoundary(std::string_view text, std::string_view needle, size_t from);
// Byte position (1-based) of the first match at a character boundary at or after
// `start`, or 0. Start values below 1 count as 1.
size_t PosFrom(std::string_view needle, std::string_view text, long long start);
std::string ReplaceText(std::string_view text, std::string_view needle, std::string_view repl,
                        bool all);
// Head of `text` before `delim`; `text` keeps what follows. Not found: head is
// the whole text and `text` becomes empty.
std::string CutAt(std::string_view delim, std::string& text);
// Character index (1-based) of the first occurrence, or 0.
size_t CharPos(std::string_view needle, std::string_view text);
// Text up to the separator; the cursor moves past the separator (or rests at the end).
std::string SplitNext(std::string_view sep, std::string_view text, size_t& cursor);
std::string SplitNextEscaped(std::string_view sep, std::string_view text, size_t& cursor,
                             char escape);
// Trim spaces and control characters, then full-width spaces, TAB, CR, LF at both ends.
std::string TrimWide(std::string_view s);
// Trim bytes <= 0x20 at both ends (the plain trim of the language).
std::string Trim(std::string_view s);
// The same, as a view into `s`.
std::string_view TrimView(std::string_view s);
// A name written in backquotes (`名前`) without them; other texts unchanged.
std::string StripBackquotes(std::string s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

bool IsHiragana(std::string_view s);
bool IsKatakana(std::string_view s);

// Byte value for a single-byte character, lead*256+trail for a double-byte one.
unsigned CharCode(std::string_view s);
std::string CodeChar(unsigned code);

// Cut `s` to at most `max_bytes` bytes without splitting a double-byte character.
std::string CutBytesSafe(std::string_view s, size_t max_bytes);

// ASCII-only case folding of single bytes (used for option words, extensions).
std::string AsciiLower(std::string_view s);
std::string AsciiUpper(std::string_view s);

}  // namespace sorane
