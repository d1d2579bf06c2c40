#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

// Names on Linux are bytes, mostly UTF-8, and may hold characters CP932 lacks
// (é, an emoji), a character whose CP932 form reads back as another one, or
// bytes that are not UTF-8 at all. Such a character is kept byte for byte: each
// of its bytes b (0x80-0xFF) becomes the user-defined character U+E000+b in
// CP932 (0xF0C1 ...), and ToOsPath turns those back into the bytes. A real
// U+E080-U+E0FF in a name is escaped the same way, so OS -> CP932 -> OS gives
// back every name exactly, and a script can open what a listing or the command
// line gave it (never "?").
namespace {

constexpr unsigned kEscapeBase = 0xE000;

// Length of the valid UTF-8 sequence at s[pos] (0 when it is not one).
size_t Utf8Length(std::string_view s, size_t pos) {
  unsigned char c = static_cast<unsigned char>(s[pos]);
  size_t len;
  unsigned cp, min;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2, cp = c & 0x1F, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3, cp = c & 0x0F, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4, cp = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (pos + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    unsigned char t = static_cast<unsigned char>(s[pos + k]);
    if ((t & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (t & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

// The CP932 character that stands for the byte b (0x80-0xFF).
const std::string& EscapeOf(unsigned char b) {
  static const std::vector<std::string> table = [] {
    std::vector<std::string> t(256);
    for (unsigned v = 0x80; v <= 0xFF; ++v) {
      unsigned cp = kEscapeBase + v;
      std::string utf8 = {static_cast<char>(0xE0 | (cp >> 12)),
                          static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                          static_cast<char>(0x80 | (cp & 0x3F))};
      t[v] = Utf8ToSjis(utf8);
    }
    return t;
  }();
  return table[b];
}

// UTF-8 with the escape characters turned back into their bytes.
std::string DecodeEscapes(std::string utf8) {
  if (utf8.find('\xEE') == std::string::npos) return utf8;
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c == 0xEE && i + 2 < utf8.size()) {
      unsigned cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
                    (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
      if (cp >= kEscapeBase + 0x80 && cp <= kEscapeBase + 0xFF) {
        out += static_cast<char>(cp - kEscapeBase);
        i += 2;
        continue;
      }
    }
    out += utf8[i];
  }
  return out;
}

std::string ToOsBytes(std::string_view name) {
  return DecodeEscapes(SjisToUtf8(name));
}

}  // namespace

std::string ToOsPath(std::string_view name) {
  std::string utf8 = ToOsBytes(name);
  for (char& c : utf8)
    if (c == '\\') c = '/';
  return utf8;
}

std::string FromOsPath(std::string_view path) {
  std::string sjis = Utf8ToSjis(path);
  if (ToOsBytes(sjis) == path) return sjis;
  sjis.clear();
  for (size_t i = 0; i < path.size();) {
    size_t len = Utf8Length(path, i);
    if (len == 1) {
      sjis += path[i++];
      continue;
    }
    if (len > 1) {
      std::string_view one = path.substr(i, len);
      std::string mapped = Utf8ToSjis(one);
      if (ToOsBytes(mapped) == one) {
        sjis += mapped;
        i += len;
        continue;
      }
    } else {
      len = 1;
    }
    for (size_t k = 0; k < len; ++k) sjis += EscapeOf(static_cast<unsigned char>(path[i + k]));
    i += len;
  }
  return sjis;
}

bool IsAbsoluteName(std::string_view name) {
  return !name.empty() && (name[0] == '/' || name[0] == '\\');
}

static bool StatMode(std::string_view name, mode_t type) {
  if (name.empty()) return false;
  struct stat st;
  if (stat(ToOsPath(name).c_str(), &st) != 0) return false;
  return (st.st_mode & S_IFMT) == type;
}

bool FileExists(std::string_view name) {
  return StatMode(name, S_IFREG);
}
bool FolderExists(std::string_view name) {
  return StatMode(name, S_IFDIR);
}

// Position after the last separator ("/", or "\" outside double-byte characters).
static size_t AfterLastSeparator(std::string_view name, bool colon) {
  size_t cut = 0;
  for (size_t i = 0; i < name.size();) {
    size_t len = CharLen(name, i);
    if (len == 1 && (name[i] == '/' || name[i] == '\\' || (colon && name[i] == ':'))) cut = i + 1;
    i += len;
  }
  return cut;
}

std::string ExtractFolder(std::string_view name) {
  return std::string(name.substr(0, AfterLastSeparator(name, false)));
}

std::string ExtractFileName(std::string_view name) {
  return std::string(name.substr(AfterLastSeparator(name, true)));
}

std::string AbsoluteName(std::string_view name) {
  return IsAbsoluteName(name) ? std::string(name) : CurrentFolder() + std::string(name);
}

std::string CurrentFolder() {
  std::string buf(4096, '\0');
  if (!getcwd(buf.data(), buf.size())) return "/";
  buf.resize(std::char_traits<char>::length(buf.c_str()));
  if (buf.empty() || buf.back() != '/') buf += '/';
  return FromOsPath(buf);
}

std::string FindFileInFolders(std::string_view name, std::span<const std::string> folders) {
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    std::string candidate = folder;
    if (candidate.back() != '/' && candidate.back() != '\\') candidate += '/';
    candidate += name;
    if (FileExists(candidate)) return candidate;
  }
  return std::string(name);
}

bool ReadFileBytes(std::string_view name, std::string& out) {
  if (!FileExists(name)) return false;
  int fd = open(ToOsPath(name).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  // Sized once from fstat so a large file is read straight into place; a file
  // that grows or shrinks meanwhile is still read to its end.
  struct stat st;
  size_t expected = fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<size_t>(st.st_size) : 0;
  out.clear();
  out.resize(expected + 1);
  size_t got = 0;
  bool ok = true;
  for (;;) {
    if (got == out.size()) out.resize(out.size() * 2 + 65536);
    ssize_t n = read(fd, out.data() + got, out.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  out.resize(got);
  return ok;
}

std::string JoinLinesCrLf(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + 2);
  size_t i = 0;
  while (i < bytes.size()) {
    size_t end = bytes.find_first_of("\r\n", i);
    if (end == std::string_view::npos) {
      out.append(bytes.substr(i));
      out += "\r\n";
      break;
    }
    out.append(bytes.substr(i, end - i));
    out += "\r\n";
    i = end + ((bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') ? 2 : 1);
  }
  return out;
}

std::string ScriptText(std::string bytes) {
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    bytes = Utf8ToSjis(std::string_view(bytes).substr(3));
  } else if (LooksLikeUtf8(bytes)) {
    bytes = Utf8ToSjis(bytes);
  }
  return JoinLinesCrLf(bytes);
}

bool LoadScriptFile(std::string_view name, std::string& out) {
  std::string bytes;
  if (!ReadFileBytes(name, bytes)) return false;
  out = ScriptText(std::move(bytes));
  return true;
}

}  // namespace sorane
