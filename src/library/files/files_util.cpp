#include "library/files/files_util.h"

#include <cstdint>
#include <cstdio>

#include "platform/files.h"
#include "platform/path_resolve.h"
#include "policy/security.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "runtime/startup.h"
#include "text/encoding.h"
#include "text/number.h"
#include "text/sjis.h"

namespace sorane {

namespace {

bool IsSeparatorAt(std::string_view s, size_t i, bool colon) {
  return s[i] == '/' || s[i] == '\\' || (colon && s[i] == ':');
}

// Byte index after the last separator, and the index of the last "." after it
// (npos when none), walking by characters.
void Scan(std::string_view path, size_t& after_sep, size_t& dot) {
  after_sep = 0;
  dot = std::string_view::npos;
  for (size_t i = 0; i < path.size();) {
    size_t len = CharLen(path, i);
    if (len == 1 && IsSeparatorAt(path, i, true)) {
      after_sep = i + 1;
      dot = std::string_view::npos;
    } else if (len == 1 && path[i] == '.') {
      dot = i;
    }
    i += len;
  }
}

char FoldByte(char c) {
  return (c >= 'a' && c <= 'z') ? char(c - 32) : c;
}

// Compares one character of pattern and name (letters without case).
bool SameChar(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (a.size() == 1) return FoldByte(a[0]) == FoldByte(b[0]);
  return a == b;
}

bool MatchFrom(std::string_view p, std::string_view n) {
  // Iterative match with one back-tracking point for the last "*".
  size_t pi = 0, ni = 0;
  size_t star_p = std::string_view::npos, star_n = 0;
  while (ni < n.size()) {
    if (pi < p.size() && p[pi] == '*') {
      star_p = ++pi;
      star_n = ni;
      continue;
    }
    if (pi < p.size()) {
      size_t pl = CharLen(p, pi), nl = CharLen(n, ni);
      if ((pl == 1 && p[pi] == '?') || SameChar(p.substr(pi, pl), n.substr(ni, nl))) {
        pi += pl;
        ni += nl;
        continue;
      }
    }
    if (star_p == std::string_view::npos) return false;
    pi = star_p;
    star_n += CharLen(n, star_n);
    ni = star_n;
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

}  // namespace

bool EndsWithPathSeparator(std::string_view path) {
  bool sep = false;
  for (size_t i = 0, len = 0; i < path.size(); i += len) {
    len = CharLen(path, i);
    sep = len == 1 && IsSeparatorAt(path, i, false);
  }
  return sep;
}

std::string CutFolderPart(std::string_view path) {
  size_t after, dot;
  Scan(path, after, dot);
  return std::string(path.substr(0, after));
}

std::string CutExtension(std::string_view path) {
  size_t after, dot;
  Scan(path, after, dot);
  return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

std::string ChangeExtension(std::string_view path, std::string_view ext) {
  size_t after, dot;
  Scan(path, after, dot);
  std::string out(path.substr(0, dot == std::string_view::npos ? path.size() : dot));
  out += ext;
  return out;
}

bool HasFileWildcard(std::string_view name) {
  return name.find_first_of("*?") != std::string_view::npos;
}

bool MatchFileWildcard(std::string_view pattern, std::string_view name) {
  if (MatchFrom(pattern, name)) return true;
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
      name.find('.') == std::string_view::npos)
    return MatchFrom(pattern.substr(0, pattern.size() - 2), name);
  return false;
}

bool NameLess(const std::string& a, const std::string& b) {
  std::string fa = AsciiUpper(a), fb = AsciiUpper(b);
  if (fa != fb) return fa < fb;
  return a < b;
}

std::string BinaryDump(std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3 + bytes.size() / 8);
  for (size_t i = 0; i < bytes.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    out += kHex[c >> 4];
    out += kHex[c & 15];
    out += ((i + 1) % 16 == 0) ? "\r\n" : ",";
  }
  return out;
}

BinaryFormat ParseBinaryFormat(std::string_view format) {
  std::string f = AsciiUpper(format);
  if (f == "CHAR") return BinaryFormat::kChar;
  if (f == "BYTE") return BinaryFormat::kByte;
  if (f == "WORD") return BinaryFormat::kWord;
  if (f == "DWORD") return BinaryFormat::kDword;
  if (f == "INT") return BinaryFormat::kInt;
  if (f == "CHAR*") return BinaryFormat::kCharZ;
  return BinaryFormat::kUnknown;
}

static size_t FormatWidth(BinaryFormat f) {
  switch (f) {
    case BinaryFormat::kWord:
      return 2;
    case BinaryFormat::kDword:
    case BinaryFormat::kInt:
      return 4;
    default:
      return 1;
  }
}

std::string BinaryRead(std::string_view value, long long position, BinaryFormat format,
                       bool& number) {
  number = format != BinaryFormat::kChar && format != BinaryFormat::kCharZ;
  if (position < 1) position = 1;
  size_t at = static_cast<size_t>(position - 1);
  size_t width = FormatWidth(format);
  if (at >= value.size() || value.size() - at < width) return number ? "0" : "";
  if (format == BinaryFormat::kChar) return std::string(value.substr(at, 1));
  if (format == BinaryFormat::kCharZ) {
    std::string_view rest = value.substr(at);
    return std::string(rest.substr(0, rest.find('\0')));
  }
  uint32_t v = 0;
  for (size_t k = 0; k < width; ++k)
    v |= static_cast<uint32_t>(static_cast<unsigned char>(value[at + k])) << (8 * k);
  if (format == BinaryFormat::kInt) return std::to_string(static_cast<int32_t>(v));
  return std::to_string(v);
}

bool BinaryWrite(std::string& value, long long position, BinaryFormat format,
                 std::string_view text) {
  if (format == BinaryFormat::kUnknown || position < 1) return false;
  size_t at = static_cast<size_t>(position - 1);
  if (format == BinaryFormat::kCharZ) {
    std::string_view s = text.substr(0, text.find('\0'));
    if (at >= value.size() || value.size() - at < s.size() + 1) return false;
    value.replace(at, s.size(), s);
    value[at + s.size()] = '\0';
    return true;
  }
  size_t width = FormatWidth(format);
  if (at >= value.size() || value.size() - at < width) return false;
  if (format == BinaryFormat::kChar) {
    if (text.empty()) return false;
    value[at] = text[0];
    return true;
  }
  uint32_t v = static_cast<uint32_t>(ToInt64(ParseNumber(text)));
  for (size_t k = 0; k < width; ++k) value[at + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
  return true;
}

bool IsValidFileName(std::string_view name) {
  if (name.find('\0') != std::string_view::npos) return false;
  // U+FFFD marks a byte sequence that is not CP932; the text itself cannot hold one.
  return SjisToUtf8(name).find("\xEF\xBF\xBD") == std::string::npos;
}

std::string CheckedOsPath(Interpreter& in, const std::string& name) {
  // A NUL would end the name early at the system call: refused as a file that
  // cannot be read or written, before any check or call.
  if (HasNulByte(name)) in.Raise(msg::FileFailure(), NameForMessage(name));
  if (!IsValidFileName(name))
    in.Raise(SJ("ファイル名\"%s\"に、Shift-JISとして正しくない文字が含まれています。"), name);
  return ToOsPath(name);
}

std::string FormatFileTime(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[80];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

std::string PackedFirst(Interpreter& in, const std::string& name) {
  return PackedFileOr(in, name);
}

FileHooks& GetFileHooks() {
  static FileHooks hooks;
  return hooks;
}

}  // namespace sorane
