#include "platform/special_folders.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace sorane {

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

// An XDG base directory: the variable when it holds an absolute path, else the
// fallback under the home folder.
std::string BaseDir(const char* var, const char* home_relative) {
  std::string v = Env(var);
  if (!v.empty() && v[0] == '/') return WithTrailingSlash(v);
  return HomeFolder() + home_relative;
}

// The whole file, or empty when it cannot be read. Plain read(2): these files
// are read at every start and are a few hundred bytes long.
std::string ReadSmallFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  std::string out;
  char buf[4096];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return out;
}

// Splits into lines (LF or CR LF), leading blanks removed.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    out.push_back(line);
    start = end + 1;
  }
  return out;
}

// Reads a double-quoted shell word at the start of `v` (after the quote);
// backslash escapes the next character. Returns false when the quote is not closed.
bool ReadDoubleQuoted(std::string_view v, std::string& out) {
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '\\' && i + 1 < v.size()) {
      out += v[++i];
    } else if (v[i] == '"') {
      return true;
    } else {
      out += v[i];
    }
  }
  return false;
}

// The user folder XDG_<key>_DIR, else $HOME/<fallback>/.
std::string UserDir(std::string_view text, const char* key, const char* fallback) {
  std::string home = HomeFolder();
  std::string dir = ParseUserDirs(text, key, home);
  if (dir.empty()) return home + fallback + "/";
  return WithTrailingSlash(dir);
}

}  // namespace

std::string WithTrailingSlash(std::string path) {
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

std::string HomeFolder() {
  std::string home = Env("HOME");
  if (home.empty()) {
    std::vector<char> buf(4096);
    passwd pw;
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result && result->pw_dir)
      home = result->pw_dir;
  }
  if (home.empty()) home = "/";
  return WithTrailingSlash(home);
}

std::string DataHome() {
  return BaseDir("XDG_DATA_HOME", ".local/share/");
}

std::string ConfigHome() {
  return BaseDir("XDG_CONFIG_HOME", ".config/");
}

std::string TempFolder() {
  std::string t = Env("TMPDIR");
  return WithTrailingSlash(t.empty() ? std::string("/tmp") : t);
}

std::string ParseUserDirs(std::string_view text, std::string_view key, std::string_view home) {
  std::string name = "XDG_" + std::string(key) + "_DIR";
  std::string found;
  for (std::string_view line : Lines(text)) {
    if (line.substr(0, name.size()) != name) continue;
    std::string_view rest = line.substr(name.size());
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
    if (rest.empty() || rest.front() != '=') continue;
    rest.remove_prefix(1);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
    if (rest.empty() || rest.front() != '"') continue;
    std::string value;
    if (!ReadDoubleQuoted(rest.substr(1), value)) continue;
    if (value.compare(0, 5, "$HOME") == 0 && (value.size() == 5 || value[5] == '/')) {
      std::string h(home);
      while (h.size() > 1 && h.back() == '/') h.pop_back();
      std::string tail = value.substr(value.size() == 5 ? 5 : 6);
      found = (h == "/" ? std::string() : h) + "/" + tail;
    } else if (!value.empty() && value[0] == '/') {
      found = value;
    }
  }
  return found;
}

std::string ParsePrettyName(std::string_view os_release) {
  static constexpr std::string_view kKey = "PRETTY_NAME=";
  std::string found;
  for (std::string_view line : Lines(os_release)) {
    if (line.substr(0, kKey.size()) != kKey) continue;
    std::string_view v = line.substr(kKey.size());
    std::string value;
    if (!v.empty() && v.front() == '"') {
      if (!ReadDoubleQuoted(v.substr(1), value)) continue;
    } else if (!v.empty() && v.front() == '\'') {
      size_t close = v.find('\'', 1);
      if (close == std::string_view::npos) continue;
      value = v.substr(1, close - 1);
    } else {
      while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
      value = v;
    }
    found = value;
  }
  return found;
}

std::string OsName() {
  for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
    std::string text = ReadSmallFile(path);
    if (text.empty()) continue;
    std::string name = ParsePrettyName(text);
    return name.empty() ? "Linux" : name;
  }
  return "Linux";
}

SpecialFolders GetSpecialFolders() {
  SpecialFolders f;
  std::string config = ConfigHome();
  std::string data = DataHome();
  std::string user_dirs = ReadSmallFile(config + "user-dirs.dirs");
  f.Desktop = UserDir(user_dirs, "DESKTOP", "Desktop");
  f.Documents = UserDir(user_dirs, "DOCUMENTS", "Documents");
  f.Trash = data + "Trash/";
  f.StartMenu = data + "applications/";
  f.Startup = config + "autostart/";
  f.RuntimeData = data + "sorane/";
  f.SendTo = f.RuntimeData + "SendTo/";
  f.Favorites = f.RuntimeData + "Favorites/";
  f.System = "/usr/lib/";
  f.Temp = TempFolder();
  return f;
}

}  // namespace sorane
