// INI files (rules in ini_file.h).
#include "platform/ini_file.h"

#include <vector>

#include "platform/files.h"
#include "platform/safe_write.h"
#include "text/sjis.h"

namespace sorane {

namespace {

struct Line {
  size_t begin = 0;  // first byte of the content
  size_t end = 0;    // just after the content
  size_t next = 0;   // just after the line break (== end on the last line without one)
};

std::vector<Line> SplitLines(const std::string& text) {
  std::vector<Line> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\r' && c != '\n') continue;
    size_t next = (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? i + 2 : i + 1;
    lines.push_back({start, i, next});
    start = next;
    i = next - 1;
  }
  if (start < text.size()) lines.push_back({start, text.size(), text.size()});
  return lines;
}

// The line break the file already uses, CR LF for a file without one.
std::string LineBreakOf(const std::string& text) {
  size_t i = text.find_first_of("\r\n");
  if (i == std::string::npos) return "\r\n";
  if (text[i] == '\n') return "\n";
  return (i + 1 < text.size() && text[i + 1] == '\n') ? "\r\n" : "\r";
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Byte index of the first `c` at a character boundary, or npos.
size_t FindChar(std::string_view s, char c) {
  for (size_t i = 0; i < s.size(); i += CharLen(s, i))
    if (s[i] == c) return i;
  return std::string_view::npos;
}

// One line read by the profile rules.
struct Parsed {
  enum Kind { kOther, kSection, kKey } kind = kOther;
  std::string name;        // section or key name, trimmed
  std::string_view value;  // the raw text after "=" (keys)
};

Parsed ParseLine(std::string_view content) {
  Parsed p;
  size_t i = 0;
  while (i < content.size() && IsBlank(content[i])) ++i;
  std::string_view rest = content.substr(i);
  if (rest.empty() || rest[0] == ';') return p;
  if (rest[0] == '[') {
    std::string_view inner = rest.substr(1);
    size_t close = FindChar(inner, ']');
    p.kind = Parsed::kSection;
    p.name = Trim(close == std::string_view::npos ? inner : inner.substr(0, close));
    return p;
  }
  size_t eq = FindChar(rest, '=');
  if (eq == std::string_view::npos) return p;
  p.kind = Parsed::kKey;
  p.name = Trim(rest.substr(0, eq));
  p.value = rest.substr(eq + 1);
  return p;
}

bool IsQuotePair(std::string_view v) {
  return v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\'');
}

std::string ValueOf(std::string_view raw) {
  std::string v = Trim(raw);
  if (IsQuotePair(v)) v = v.substr(1, v.size() - 2);
  return v;
}

// The value as written so that it reads back as itself.
std::string EncodeValue(std::string_view value) {
  if (value.empty()) return {};
  bool blank_edge = static_cast<unsigned char>(value.front()) <= 0x20 ||
                    static_cast<unsigned char>(value.back()) <= 0x20;
  if (blank_edge || IsQuotePair(value)) return "\"" + std::string(value) + "\"";
  return std::string(value);
}

bool HasLineBreak(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

// The folded form of one character for comparisons: Latin letters upper-case,
// half-width and full-width.
unsigned FoldedChar(std::string_view s, size_t i, size_t len) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  if (len == 1) return (c >= 'a' && c <= 'z') ? c - 32 : c;
  unsigned char t = static_cast<unsigned char>(s[i + 1]);
  if (c == 0x82 && t >= 0x81 && t <= 0x9A) t -= 0x21;
  return (static_cast<unsigned>(c) << 8) | t;
}

// Where the lines of the first section named `section` lie.
struct SectionSpan {
  bool found = false;
  size_t header = 0;  // index of the "[...]" line
  size_t last = 0;    // index of the last non-blank line of the section
  size_t key = 0;     // index of the key line when has_key
  bool has_key = false;
};

SectionSpan FindSection(const std::string& text, const std::vector<Line>& lines,
                        std::string_view section, std::string_view key) {
  SectionSpan span;
  for (size_t n = 0; n < lines.size(); ++n) {
    std::string_view content(text.data() + lines[n].begin, lines[n].end - lines[n].begin);
    Parsed p = ParseLine(content);
    if (p.kind == Parsed::kSection) {
      if (span.found) break;
      if (IniNamesEqual(p.name, section)) {
        span.found = true;
        span.header = span.last = n;
      }
      continue;
    }
    if (!span.found) continue;
    if (!Trim(content).empty()) span.last = n;
    if (p.kind == Parsed::kKey && !span.has_key && IniNamesEqual(p.name, key)) {
      span.has_key = true;
      span.key = n;
    }
  }
  return span;
}

}  // namespace

bool IniNamesEqual(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    size_t la = CharLen(a, i), lb = CharLen(b, j);
    if (FoldedChar(a, i, la) != FoldedChar(b, j, lb)) return false;
    i += la;
    j += lb;
  }
  return i == a.size() && j == b.size();
}

bool IniText::ValidSection(std::string_view section) {
  return !HasLineBreak(section) && FindChar(section, ']') == std::string_view::npos;
}

bool IniText::ValidKey(std::string_view key) {
  std::string k = Trim(key);
  return !k.empty() && k[0] != '[' && k[0] != ';' && !HasLineBreak(k) &&
         FindChar(k, '=') == std::string_view::npos;
}

bool IniText::ValidValue(std::string_view value) {
  return !HasLineBreak(value);
}

std::optional<std::string> IniText::Read(std::string_view section, std::string_view key) const {
  std::vector<Line> lines = SplitLines(text_);
  SectionSpan span = FindSection(text_, lines, Trim(section), Trim(key));
  if (!span.has_key) return std::nullopt;
  const Line& l = lines[span.key];
  return ValueOf(ParseLine(std::string_view(text_).substr(l.begin, l.end - l.begin)).value);
}

bool IniText::Write(std::string_view section_in, std::string_view key_in, std::string_view value) {
  if (!ValidSection(section_in) || !ValidKey(key_in) || !ValidValue(value)) return false;
  const std::string section = Trim(section_in);
  const std::string key = Trim(key_in);
  const std::string eol = LineBreakOf(text_);
  const std::string entry = key + "=" + EncodeValue(value);
  std::vector<Line> lines = SplitLines(text_);
  SectionSpan span = FindSection(text_, lines, section, key);
  if (span.has_key) {
    const Line& l = lines[span.key];
    text_.replace(l.begin, l.end - l.begin, entry);
  } else if (span.found) {
    const Line& l = lines[span.last];
    if (l.next == l.end) {
      text_.insert(l.end, eol + entry);
    } else {
      text_.insert(l.next, entry + eol);
    }
  } else {
    if (!text_.empty() && text_.back() != '\n' && text_.back() != '\r') text_ += eol;
    text_ += "[" + section + "]" + eol + entry + eol;
  }
  return true;
}

std::optional<std::string> IniFileRead(const std::string& name, std::string_view section,
                                       std::string_view key, bool* ok, const IniCodec& codec) {
  std::string text;
  bool read = ReadFileBytes(name, text);
  if (ok) *ok = read || !FileExists(name);
  if (!read) return std::nullopt;
  if (codec.decode) codec.decode(text);
  return IniText(std::move(text)).Read(section, key);
}

bool IniFileWrite(const std::string& name, std::string_view section, std::string_view key,
                  std::string_view value, const IniCodec& codec) {
  std::string text;
  if (!ReadFileBytes(name, text)) {
    if (FileExists(name)) return false;  // there but unreadable: never overwrite it
    text.clear();
  } else if (codec.decode) {
    codec.decode(text);
  }
  IniText ini(std::move(text));
  if (!ini.Write(section, key, value)) return false;
  if (!codec.encode) return WriteFileAtomic(name, ini.Text());
  std::string bytes = ini.Text();
  codec.encode(bytes);
  return WriteFileAtomic(name, bytes);
}

}  // namespace sorane
