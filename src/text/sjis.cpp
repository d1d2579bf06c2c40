// Character walks over Shift-JIS byte strings. Every loop here advances by whole
// characters (CharLen), so no comparison or cut ever starts on a trail byte.
#include "text/sjis.h"

#include <cstring>

namespace sorane {

namespace {

// End of the NUL-terminated run inside `s` (the whole view when it holds no NUL).
size_t RunEnd(std::string_view s) {
  size_t nul = s.find('\0');
  return nul == std::string_view::npos ? s.size() : nul;
}

bool BytesAt(std::string_view text, size_t pos, std::string_view needle) {
  return pos + needle.size() <= text.size() &&
         std::memcmp(text.data() + pos, needle.data(), needle.size()) == 0;
}

// True when a match of `len` bytes at the boundary `pos` also ends on a boundary,
// i.e. it does not take only the lead byte of the text's last matched character.
bool EndsOnBoundary(std::string_view text, size_t pos, size_t len) {
  size_t end = pos + len;
  while (pos < end) pos += CharLen(text, pos);
  return pos == end;
}

// True when `at` starts a character, given that `known` (at or before it)
// does. A byte that cannot lead a character always ends one, and the bytes
// after the last such byte can only pair up as lead and trail, so `at` starts
// a character when an even number of them stand before it. (A lead byte before
// a NUL stands alone: a NUL at `at` is left to the walk.)
bool StartsCharacter(std::string_view text, size_t known, size_t at) {
  size_t q = at;
  while (q > known && IsLeadByte(static_cast<unsigned char>(text[q - 1]))) --q;
  return (at - q) % 2 == 0;
}

// The walk of every character from `from`, for needles that begin with NUL.
size_t FindByWalking(std::string_view text, std::string_view needle, size_t from) {
  for (size_t i = from; i + needle.size() <= text.size(); i += CharLen(text, i)) {
    if (text[i] == needle[0] && BytesAt(text, i, needle) &&
        EndsOnBoundary(text, i, needle.size())) {
      return i;
    }
  }
  return std::string_view::npos;
}

bool IsTrimmedByWide(std::string_view s, size_t i, size_t len) {
  if (len == 2) return s[i] == '\x81' && s[i + 1] == '\x40';  // full-width space
  char c = s[i];
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

// Candidates come from the library's byte search; each is then checked to
// start and end on a character boundary. `known` only moves forward, so the
// checks together read each byte of the text at most once more.
size_t FindAtBoundary(std::string_view text, std::string_view needle, size_t from) {
  if (needle.empty()) return std::string_view::npos;
  if (needle[0] == '\0') return FindByWalking(text, needle, from);
  size_t known = from;
  for (size_t at = text.find(needle, from); at != std::string_view::npos;
       at = text.find(needle, at + 1)) {
    bool starts = StartsCharacter(text, known, at);
    known = starts ? at : at + 1;  // not a start: `at` is a trail byte
    if (starts && EndsOnBoundary(text, at, needle.size())) return at;
  }
  return std::string_view::npos;
}

size_t CharCount(std::string_view s) {
  size_t end = RunEnd(s);
  size_t count = 0;
  for (size_t i = 0; i < end; i += CharLen(s, i)) ++count;
  return count;
}

std::string CharCopy(std::string_view s, long long first, long long count) {
  std::string out;
  if (count <= 0) return out;
  const long long last = first + count - 1;
  if (last < 1) return out;
  size_t end = RunEnd(s);
  long long index = 1;
  for (size_t i = 0; i < end && index <= last; ++index) {
    size_t len = CharLen(s, i);
    if (index >= first) out.append(s.data() + i, len);
    i += len;
  }
  return out;
}

std::string NextChar(std::string_view s, size_t& cursor) {
  if (cursor >= s.size() || s[cursor] == '\0') return {};
  size_t len = CharLen(s, cursor);
  std::string out(s.substr(cursor, len));
  cursor += len;
  return out;
}

size_t PosFrom(std::string_view needle, std::string_view text, long long start) {
  if (needle.empty() || text.empty()) return 0;
  if (start > static_cast<long long>(text.size())) return 0;
  if (start < 1) start = 1;
  // Find the first character boundary at or after the start byte by walking from
  // the beginning: a start that points at a trail byte must not match there.
  size_t from = 0;
  while (from < static_cast<size_t>(start - 1)) from += CharLen(text, from);
  size_t found = FindAtBoundary(text, needle, from);
  return found == std::string_view::npos ? 0 : found + 1;
}

std::string ReplaceText(std::string_view text, std::string_view needle, std::string_view repl,
                        bool all) {
  size_t found = FindAtBoundary(text, needle, 0);
  if (found == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size() + repl.size());
  size_t done = 0;
  // Each search resumes right after the replaced occurrence in the original text,
  // so the replacement itself is never searched again.
  while (found != std::string_view::npos) {
    out.append(text.substr(done, found - done));
    out.append(repl);
    done = found + needle.size();
    if (!all) break;
    found = FindAtBoundary(text, needle, done);
  }
  out.append(text.substr(done));
  return out;
}

std::string CutAt(std::string_view delim, std::string& text) {
  size_t p = PosFrom(delim, text, 1);
  if (p == 0) {
    std::string head = std::move(text);
    text.clear();
    return head;
  }
  std::string head = text.substr(0, p - 1);
  text.erase(0, p - 1 + delim.size());
  return head;
}

size_t CharPos(std::string_view needle, std::string_view text) {
  if (needle.empty() || text.empty()) return 0;
  size_t index = 1;
  for (size_t i = 0; i + needle.size() <= text.size(); i += CharLen(text, i), ++index) {
    if (text[i] == needle[0] && BytesAt(text, i, needle) &&
        EndsOnBoundary(text, i, needle.size())) {
      return index;
    }
  }
  return 0;
}

std::string SplitNext(std::string_view sep, std::string_view text, size_t& cursor) {
  return SplitNextEscaped(sep, text, cursor, '\0');
}

// An escape byte of NUL never occurs inside the run, so SplitNext shares this walk.
std::string SplitNextEscaped(std::string_view sep, std::string_view text, size_t& cursor,
                             char escape) {
  std::string out;
  const size_t end = RunEnd(text);
  while (cursor < end) {
    if (BytesAt(text, cursor, sep)) {
      cursor += sep.size();
      return out;
    }
    if (escape != '\0' && text[cursor] == escape && cursor + 1 < end) {
      out += escape;
      ++cursor;
    }
    size_t len = CharLen(text, cursor);
    out.append(text.substr(cursor, len));
    cursor += len;
  }
  if (cursor > end) cursor = end;
  return out;
}

std::string StripBackquotes(std::string s) {
  if (s.size() >= 2 && s.front() == '`' && s.back() == '`') return s.substr(1, s.size() - 2);
  return s;
}

std::string_view TrimView(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 0x20) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 0x20) --e;
  return s.substr(b, e - b);
}

std::string Trim(std::string_view s) {
  return std::string(TrimView(s));
}

std::string TrimLeft(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && static_cast<unsigned char>(s[b]) <= 0x20) ++b;
  return std::string(s.substr(b));
}

std::string TrimRight(std::string_view s) {
  size_t e = s.size();
  while (e > 0 && static_cast<unsigned char>(s[e - 1]) <= 0x20) --e;
  return std::string(s.substr(0, e));
}

std::string TrimWide(std::string_view s) {
  std::string t = Trim(s);
  std::string_view v = t;
  size_t b = 0;
  while (b < v.size()) {
    size_t len = CharLen(v, b);
    if (!IsTrimmedByWide(v, b, len)) break;
    b += len;
  }
  // Trailing blanks are found by walking forward: a backward scan could mistake
  // the trail byte 0x40 of some other character for part of a full-width space.
  size_t keep = b;
  for (size_t i = b; i < v.size();) {
    size_t len = CharLen(v, i);
    if (!IsTrimmedByWide(v, i, len)) keep = i + len;
    i += len;
  }
  return std::string(v.substr(b, keep - b));
}

namespace {

unsigned FirstPair(std::string_view s) {
  if (s.size() < 2) return 0;
  return static_cast<unsigned char>(s[0]) * 256u + static_cast<unsigned char>(s[1]);
}

}  // namespace

bool IsHiragana(std::string_view s) {
  unsigned code = FirstPair(s);
  return code >= 0x82A0 && code <= 0x833E;
}

bool IsKatakana(std::string_view s) {
  unsigned code = FirstPair(s);
  return code >= 0x8340 && code <= 0x839D;
}

unsigned CharCode(std::string_view s) {
  if (s.empty()) return 0;
  if (CharLen(s, 0) == 1) return static_cast<unsigned char>(s[0]);
  return FirstPair(s);
}

std::string CodeChar(unsigned code) {
  if (code < 256) return std::string(1, static_cast<char>(code));
  std::string out(2, '\0');
  out[0] = static_cast<char>((code >> 8) & 0xFF);
  out[1] = static_cast<char>(code & 0xFF);
  return out;
}

std::string CutBytesSafe(std::string_view s, size_t max_bytes) {
  if (s.size() <= max_bytes) return std::string(s);
  size_t i = 0;
  while (i < s.size()) {
    size_t len = CharLen(s, i);
    if (i + len > max_bytes) break;
    i += len;
  }
  return std::string(s.substr(0, i));
}

namespace {

// Folds single-byte characters only; trail bytes of double-byte characters are
// in the letter range too and must stay as they are.
template <typename Fold>
std::string FoldSingleBytes(std::string_view s, Fold fold) {
  std::string out(s);
  for (size_t i = 0; i < out.size();) {
    size_t len = CharLen(out, i);
    if (len == 1) out[i] = fold(out[i]);
    i += len;
  }
  return out;
}

}  // namespace

std::string AsciiLower(std::string_view s) {
  return FoldSingleBytes(s, [](char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; });
}

std::string AsciiUpper(std::string_view s) {
  return FoldSingleBytes(s, [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; });
}

}  // namespace sorane
