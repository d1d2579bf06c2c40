// Text helpers of the string commands (see strings_util.h).
#include "library/strings/strings_util.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "text/charmap.h"
#include "text/number.h"
#include "text/sjis.h"

namespace sorane {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// "$" hexadecimal of at most 32 bits, read as a signed 32-bit integer.
std::optional<long long> ParseHex32(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  uint64_t v = 0;
  for (char c : digits) {
    int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    v = v * 16 + static_cast<unsigned>(d);
    if (v > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<long long>(static_cast<int32_t>(static_cast<uint32_t>(v)));
}

bool IsLineEnd(char c) {
  return c == '\r' || c == '\n';
}

}  // namespace

long long IntegerText(std::string_view s, long long fallback) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  bool negative = false;
  std::string_view body = s;
  if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
    negative = body.front() == '-';
    body.remove_prefix(1);
  }
  if (!body.empty() && body.front() == '$') {
    std::optional<long long> v = ParseHex32(body.substr(1));
    if (!v) return fallback;
    return negative ? -*v : *v;
  }
  long long v = 0;
  if (!TryParseInteger(s, v)) return fallback;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    return fallback;
  return v;
}

// ---------------------------------------------------------------- line lists

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  // CR and LF are below every trail byte (0x40 and up), so a byte scan never
  // mistakes part of a double-byte character for a line end.
  for (size_t i = 0; i < text.size();) {
    if (!IsLineEnd(text[i])) {
      ++i;
      continue;
    }
    lines.push_back(text.substr(start, i - start));
    i += (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
    start = i;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::string JoinLines(const std::vector<std::string_view>& lines) {
  size_t total = 0;
  for (std::string_view l : lines) total += l.size() + 2;
  std::string out;
  out.reserve(total);
  for (std::string_view l : lines) {
    out.append(l);
    out.append("\r\n");
  }
  return out;
}

// ---------------------------------------------------------------- searching

size_t CountOccurrences(std::string_view text, std::string_view needle) {
  size_t count = 0;
  for (size_t at = FindAtBoundary(text, needle, 0); at != std::string_view::npos;
       at = FindAtBoundary(text, needle, at + needle.size()))
    ++count;
  return count;
}

// ---------------------------------------------------------------- cuts

std::string LeftChars(std::string_view text, long long n) {
  if (n <= 0) return {};
  return CharCopy(text, 1, n);
}

std::string RightChars(std::string_view text, long long n) {
  if (n <= 0) return {};
  long long count = static_cast<long long>(CharCount(text));
  return CharCopy(text, count - n + 1, n);
}

std::string DropLeftChars(std::string_view text, long long n) {
  long long count = static_cast<long long>(CharCount(text));
  if (n <= 0) return CharCopy(text, 1, count);
  return CharCopy(text, n + 1, count - n);
}

std::string DropRightChars(std::string_view text, long long n) {
  long long count = static_cast<long long>(CharCount(text));
  if (n <= 0) return CharCopy(text, 1, count);
  return CharCopy(text, 1, count - n);
}

std::string MidBytes(std::string_view text, long long first, long long count) {
  if (count <= 0) return {};
  size_t begin = static_cast<size_t>(std::max(first, 1LL) - 1);
  if (begin >= text.size()) return {};
  size_t end = begin + static_cast<size_t>(
                           std::min<long long>(count, static_cast<long long>(text.size() - begin)));
  size_t i = 0;
  while (i < begin) i += CharLen(text, i);  // first whole character in the window
  size_t stop = i;
  while (stop < end && stop + CharLen(text, stop) <= end) stop += CharLen(text, stop);
  return i < stop ? std::string(text.substr(i, stop - i)) : std::string();
}

std::optional<std::string> Repeat(std::string_view text, long long n) {
  if (n <= 0 || text.empty()) return std::string();
  if (static_cast<unsigned long long>(n) > kMaxBuiltText / text.size()) return std::nullopt;
  std::string out;
  out.reserve(text.size() * static_cast<size_t>(n));
  for (long long k = 0; k < n; ++k) out.append(text);
  return out;
}

std::optional<std::string> PadLeft(std::string_view text, long long width, char fill) {
  if (width > static_cast<long long>(kMaxBuiltText)) return std::nullopt;
  if (width <= static_cast<long long>(text.size())) return std::string(text);
  std::string out(static_cast<size_t>(width) - text.size(), fill);
  out.append(text);
  return out;
}

// ---------------------------------------------------------------- sorting

namespace {

// Collation unit of the character at s[i]: ASCII letters and full-width Latin
// letters fold to lower case; a double-byte character ranks by its code, above
// every single byte.
unsigned SortUnit(std::string_view s, size_t i, size_t len) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  if (len == 1) return (c >= 'A' && c <= 'Z') ? c + 32u : c;
  unsigned code = c * 256u + static_cast<unsigned char>(s[i + 1]);
  if (code >= 0x8260 && code <= 0x8279) code += 0x21;  // Ａ-Ｚ -> ａ-ｚ
  return code;
}

int CompareFolded(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    size_t la = CharLen(a, i), lb = CharLen(b, j);
    unsigned ua = SortUnit(a, i, la), ub = SortUnit(b, j, lb);
    if (ua != ub) return ua < ub ? -1 : 1;
    i += la;
    j += lb;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

}  // namespace

std::string SortLines(std::string_view text) {
  std::vector<std::string_view> lines = SplitLines(text);
  std::sort(lines.begin(), lines.end(), [](std::string_view a, std::string_view b) {
    int c = CompareFolded(a, b);
    return c != 0 ? c < 0 : a < b;
  });
  return JoinLines(lines);
}

std::string SortLinesByNumber(std::string_view text) {
  std::vector<std::string_view> lines = SplitLines(text);
  std::vector<std::pair<Number, std::string_view>> keyed;
  keyed.reserve(lines.size());
  for (std::string_view l : lines) keyed.emplace_back(ParseNumber(l), l);
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t k = 0; k < keyed.size(); ++k) lines[k] = keyed[k].second;
  return JoinLines(lines);
}

// ---------------------------------------------------------------- line editing

std::optional<std::string> InsertLine(std::string_view text, long long index,
                                      std::string_view line) {
  std::vector<std::string_view> lines = SplitLines(text);
  const size_t count = lines.size();
  if (static_cast<unsigned long long>(index) < count) {
    lines.insert(lines.begin() + index, line);
    return JoinLines(lines);
  }
  // Empty lines fill the gap, two bytes each.
  unsigned long long gap = static_cast<unsigned long long>(index) - count;
  if (gap > (kMaxBuiltText - text.size() - line.size()) / 2) return std::nullopt;
  std::string out = JoinLines(lines);
  out.reserve(out.size() + gap * 2 + line.size() + 2);
  for (unsigned long long k = 0; k < gap; ++k) out.append("\r\n");
  out.append(line);
  out.append("\r\n");
  return out;
}

std::optional<std::string> DeleteLine(std::string_view text, long long index) {
  std::vector<std::string_view> lines = SplitLines(text);
  if (index < 0 || static_cast<unsigned long long>(index) >= lines.size()) return std::nullopt;
  lines.erase(lines.begin() + index);
  return JoinLines(lines);
}

std::string Paragraph(std::string_view text, long long n) {
  if (n < 1) return {};
  size_t start = 0;
  for (long long number = 1; start < text.size(); ++number) {
    // Find where this paragraph's content ends: a CR (or CR LF) followed by CR.
    size_t i = start;
    while (i < text.size()) {
      if (text[i] == '\r') {
        size_t j = i + 1;
        if (j < text.size() && text[j] == '\n') ++j;
        if (j < text.size() && text[j] == '\r') break;
      }
      i += CharLen(text, i);
    }
    while (i < text.size() && IsLineEnd(text[i])) ++i;  // its trailing line breaks
    if (number == n) return std::string(text.substr(start, i - start));
    start = i;
  }
  return {};
}

RangeCut CutRange(std::string_view text, std::string_view start, std::string_view end) {
  RangeCut r;
  size_t s = FindAtBoundary(text, start, 0);
  if (s == std::string_view::npos) return r;
  r.found = true;
  // The end marker is searched from the start marker itself, so identical
  // markers close the range at once.
  size_t e = FindAtBoundary(text, end, s);
  size_t stop = e == std::string_view::npos ? text.size() : e + end.size();
  stop = std::max(stop, s + start.size());
  r.piece = std::string(text.substr(s, stop - s));
  r.rest = std::string(text.substr(0, s));
  if (e != std::string_view::npos) r.rest.append(text.substr(stop));
  return r;
}

// ---------------------------------------------------------------- markup

std::string StripTags(std::string_view text) {
  std::string t = Trim(text);
  std::string out;
  out.reserve(t.size());
  bool in_tag = false;
  // "<" and ">" are below every trail byte, so they always start a character.
  for (size_t i = 0; i < t.size();) {
    size_t len = CharLen(t, i);
    char c = t[i];
    if (c == '<') {
      in_tag = true;
    } else if (c == '>') {
      in_tag = false;
    } else if (!in_tag) {
      out.append(t, i, len);
    }
    i += len;
  }
  return out;
}

namespace {

// Tag-name match at text[pos]: the name's all-lower-case or all-upper-case
// form, byte for byte (a tag written in mixed case, such as <Li>, is neither).
bool NameAt(std::string_view text, size_t pos, std::string_view lower, std::string_view upper) {
  return text.compare(pos, lower.size(), lower) == 0 || text.compare(pos, upper.size(), upper) == 0;
}

// Position of the next `prefix` followed by the tag name, at or after `from`.
size_t FindTag(std::string_view text, std::string_view prefix, size_t from, std::string_view lower,
               std::string_view upper) {
  for (size_t p = text.find(prefix, from); p != std::string_view::npos;
       p = text.find(prefix, p + 1)) {
    if (NameAt(text, p + prefix.size(), lower, upper)) return p;
  }
  return std::string_view::npos;
}

}  // namespace

std::string ExtractTags(std::string_view text, std::string_view name) {
  if (!name.empty() && name.front() == '<') name.remove_prefix(1);
  if (!name.empty() && name.back() == '>') name.remove_suffix(1);
  const std::string lower = MapText(name, MapMode::Lower);
  const std::string upper = MapText(name, MapMode::Upper);
  std::string out;
  size_t pos = 0;
  while (true) {
    size_t open = FindTag(text, "<", pos, lower, upper);
    if (open == std::string_view::npos) break;
    size_t gt = text.find('>', open);
    if (gt == std::string_view::npos) break;
    size_t end = gt + 1;  // the opening tag alone, unless a closing tag follows
    size_t close = FindTag(text, "</", end, lower, upper);
    if (close != std::string_view::npos) {
      size_t close_gt = text.find('>', close);
      end = close_gt == std::string_view::npos ? text.size() : close_gt + 1;
    }
    out.append(text.substr(open, end - open));
    out.append("\r\n");
    pos = end;
  }
  return out;
}

// ---------------------------------------------------------------- wrapping

std::string WrapLines(std::string_view text, long long width, long long tab,
                      std::string_view forbidden) {
  if (width <= 0) return std::string(text);
  // A tab wider than the line ends it just the same; bounding it keeps the
  // column count from overflowing with absurd tab widths.
  tab = std::clamp(tab, 0LL, width);
  std::string out;
  out.reserve(text.size() + text.size() / 8 + 2);
  long long column = 0;
  size_t i = 0;
  // Ends the current line. A forbidden character at the walk's position hangs
  // on the end of this line instead of starting the next; returns true when it
  // took that character.
  auto break_line = [&]() {
    bool hung = false;
    if (!forbidden.empty() && i < text.size()) {
      size_t len = CharLen(text, i);
      if (FindAtBoundary(forbidden, text.substr(i, len), 0) != std::string_view::npos) {
        out.append(text, i, len);
        i += len;
        hung = true;
      }
    }
    out.append("\r\n");
    column = 0;
    return hung;
  };
  while (i < text.size()) {
    size_t len = CharLen(text, i);
    if (len == 2) {
      // An empty line is never broken: a character wider than the whole line
      // goes on a line of its own.
      if (column > 0 && column + 2 > width && break_line()) continue;
      out.append(text, i, 2);
      column += 2;
      i += 2;
      continue;
    }
    if (column >= width && break_line()) continue;
    char c = text[i];
    if (c == '\t') {
      out += c;
      column += tab;
      ++i;
    } else if (IsLineEnd(c)) {
      ++i;
      if (i < text.size() && IsLineEnd(text[i])) ++i;
      break_line();
    } else {
      out += c;
      column += 1;
      ++i;
    }
  }
  return out;
}

}  // namespace sorane
