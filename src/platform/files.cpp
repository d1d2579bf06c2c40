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

std::string ToOsBytes(std::string_view name) {
  return DecodeByteEscapes(SjisToUtf8(name));
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
    size_t len = Utf8SequenceLength(path, i);
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
    for (size_t k = 0; k < len; ++k) sjis += ByteEscape(static_cast<unsigned char>(path[i + k]));
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
  if (ReadsAsUtf8(bytes))
    bytes = Utf8ToSjis(std::string_view(bytes).substr(HasUtf8Bom(bytes) ? 3 : 0));
  return JoinLinesCrLf(bytes);
}

bool LoadScriptFile(std::string_view name, std::string& out) {
  std::string bytes;
  if (!ReadFileBytes(name, bytes)) return false;
  out = ScriptText(std::move(bytes));
  return true;
}

}  // namespace sorane
