#include "platform/desktop_entries.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/file_ops.h"
#include "platform/safe_write.h"
#include "platform/special_folders.h"
#include "platform/trash.h"

extern char** environ;

namespace sorane {

namespace {

std::string ReadWhole(const std::string& path) {
  std::string out;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return out;
  char buf[65536];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  close(fd);
  return out;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c + 32);
  return s;
}

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderName(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string XmlEscape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A value of a desktop file: one line, backslashes escaped.
std::string EntryValue(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else if (c == '\t')
      out += "\\t";
    else
      out += c;
  }
  return out;
}

// The extension as it may appear inside a MIME type and a file name: letters,
// digits, "+", "-" and "." stay (lower-cased); any other byte becomes "_XX".
std::string ExtensionKey(const std::string& ext) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : Lower(ext)) {
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.') {
      out += static_cast<char>(c);
    } else {
      out += '_';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string OwnPackageFile(const std::string& ext) {
  return DataHome() + "mime/packages/sorane-" + ExtensionKey(ext) + ".xml";
}

std::string OwnDesktopName(const std::string& ext) {
  return "sorane-assoc-" + ExtensionKey(ext) + ".desktop";
}

std::string MimeAppsList() {
  return ConfigHome() + "mimeapps.list";
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

}  // namespace

std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : "";
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t colon = dirs.find(':', start);
    if (colon == std::string::npos) colon = dirs.size();
    std::string candidate = dirs.substr(start, colon - start) + "/" + name;
    if (colon > start && access(candidate.c_str(), X_OK) == 0) return candidate;
    start = colon + 1;
  }
  return {};
}

namespace {

// Runs a program with its output discarded; returns its exit status (-1 when
// it could not be started).
int RunQuietly(const std::vector<std::string>& args, bool wait) {
  std::string program = FindProgram(args[0]);
  if (program.empty()) return -1;
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int fd = 0; fd <= 2; ++fd)
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  if (!wait) posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
  pid_t pid;
  int rc = posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return -1;
  if (!wait) return 0;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void UpdateMimeDatabase() {
  RunQuietly({"update-mime-database", DataHome() + "mime"}, true);
}

// The data folders of the shared MIME database, the user's first.
std::vector<std::string> MimeFolders() {
  std::vector<std::string> out = {DataHome() + "mime/"};
  const char* env = std::getenv("XDG_DATA_DIRS");
  std::string dirs = env && *env ? env : "/usr/local/share/:/usr/share/";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t colon = dirs.find(':', start);
    if (colon == std::string::npos) colon = dirs.size();
    std::string d = dirs.substr(start, colon - start);
    if (!d.empty() && d[0] == '/') out.push_back(WithTrailingSlash(d) + "mime/");
    start = colon + 1;
  }
  return out;
}

}  // namespace

std::string QuoteExecArgument(const std::string& arg) {
  std::string quoted = "\"";
  for (char c : arg) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  // The string level of the file escapes backslashes again; "%" starts a field code.
  std::string out;
  for (char c : EntryValue(quoted)) {
    if (c == '%') out += '%';
    out += c;
  }
  return out;
}

std::string ShortcutEntryText(const std::string& target, bool executable) {
  std::string name = BaseName(target);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  std::string text = "[Desktop Entry]\nVersion=1.0\nName=" + EntryValue(name) + "\n";
  if (executable) {
    text += "Type=Application\nExec=" + QuoteExecArgument(target) +
            "\nPath=" + EntryValue(FolderName(target)) + "\n";
  } else {
    text += "Type=Link\nURL=file://" + EscapeTrashPath(target) + "\n";
  }
  return text;
}

bool WriteShortcut(const std::string& link, const std::string& target) {
  struct stat st;
  bool executable = stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0111);
  AtomicFile f;
  if (!f.Open(link)) return false;
  f.SetMode(0755);  // launchers must be executable for desktops to trust them
  return f.Write(ShortcutEntryText(target, executable)) && f.Commit();
}

bool OpenWithDesktop(const std::string& what) {
  return RunQuietly({"xdg-open", what}, false) == 0;
}

std::string MimeTypeForExtension(const std::string& ext) {
  std::string glob = "*." + Lower(ext);
  for (const std::string& folder : MimeFolders()) {
    std::string text = ReadWhole(folder + "globs2");
    size_t start = 0;
    int best_weight = -1;
    std::string best;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      start = end + 1;
      if (line.empty() || line[0] == '#') continue;
      // weight:type:glob[:flags]
      size_t a = line.find(':');
      size_t b = a == std::string::npos ? a : line.find(':', a + 1);
      if (b == std::string::npos) continue;
      size_t c = line.find(':', b + 1);
      std::string g = line.substr(b + 1, c == std::string::npos ? c : c - b - 1);
      bool case_sensitive = c != std::string::npos && line.find("cs", c) != std::string::npos;
      if (case_sensitive ? g != "*." + ext : Lower(g) != glob) continue;
      int weight = atoi(line.substr(0, a).c_str());
      if (weight > best_weight) {
        best_weight = weight;
        best = line.substr(a + 1, b - a - 1);
      }
    }
    if (!best.empty()) return best;
  }
  return {};
}

std::string OwnMimeType(const std::string& ext) {
  return "application/x-sorane-" + ExtensionKey(ext);
}

bool ExtensionIsAssociated(const std::string& ext) {
  return Exists(OwnPackageFile(ext)) || !MimeTypeForExtension(ext).empty();
}

std::string SetDefaultApplication(const std::string& text, const std::string& mime,
                                  const std::string& desktop) {
  static const std::string kSection = "[Default Applications]";
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  std::string entry = desktop.empty() ? std::string() : mime + "=" + desktop + ";";
  bool in_section = false, found_section = false, done = false;
  std::vector<std::string> out;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (!line.empty() && line[0] == '[') {
      if (in_section && !done && !entry.empty()) out.push_back(entry), done = true;
      in_section = line == kSection;
      found_section = found_section || in_section;
      out.push_back(line);
      continue;
    }
    if (in_section && line.compare(0, mime.size() + 1, mime + "=") == 0) {
      if (!done && !entry.empty()) out.push_back(entry);
      done = true;
      continue;
    }
    out.push_back(line);
  }
  if (!entry.empty() && !done) {
    if (!found_section) {
      if (!out.empty() && !out.back().empty()) out.push_back("");
      out.push_back(kSection);
    }
    out.push_back(entry);
  }
  std::string result;
  for (const std::string& l : out) result += l + "\n";
  return result;
}

bool AssociateExtension(const std::string& ext, const std::string& application,
                        const std::string& description, const std::string& icon) {
  std::string mime = MimeTypeForExtension(ext);
  bool ok = true;
  if (mime.empty() || mime == OwnMimeType(ext)) {
    mime = OwnMimeType(ext);
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        "  <mime-type type=\"" +
        mime +
        "\">\n"
        "    <comment>" +
        XmlEscape(description) +
        "</comment>\n"
        "    <glob pattern=\"*." +
        XmlEscape(ext) +
        "\"/>\n"
        "  </mime-type>\n"
        "</mime-info>\n";
    ok = MakeOsFolders(DataHome() + "mime/packages") && WriteOsFileAtomic(OwnPackageFile(ext), xml);
    if (ok) UpdateMimeDatabase();
  }
  std::string entry = "[Desktop Entry]\nVersion=1.0\nType=Application\nName=" +
                      EntryValue(description.empty() ? BaseName(application) : description) +
                      "\nExec=" + QuoteExecArgument(application) + " %f\nMimeType=" + mime +
                      ";\nNoDisplay=true\n";
  if (!icon.empty()) entry += "Icon=" + EntryValue(icon) + "\n";
  std::string apps = DataHome() + "applications";
  ok = ok && MakeOsFolders(apps) && WriteOsFileAtomic(apps + "/" + OwnDesktopName(ext), entry);
  ok = ok && MakeOsFolders(ConfigHome()) &&
       WriteOsFileAtomic(MimeAppsList(), SetDefaultApplication(ReadWhole(MimeAppsList()), mime,
                                                               OwnDesktopName(ext)));
  return ok;
}

bool RemoveExtensionAssociation(const std::string& ext) {
  std::string desktop = DataHome() + "applications/" + OwnDesktopName(ext);
  bool had = Exists(desktop);
  bool own_type = Exists(OwnPackageFile(ext));
  if (!had && !own_type) return false;
  std::string mime = own_type ? OwnMimeType(ext) : MimeTypeForExtension(ext);
  unlink(desktop.c_str());
  if (own_type) {
    unlink(OwnPackageFile(ext).c_str());
    UpdateMimeDatabase();
  }
  std::string list = ReadWhole(MimeAppsList());
  if (!mime.empty() && list.find(OwnDesktopName(ext)) != std::string::npos)
    WriteOsFileAtomic(MimeAppsList(), SetDefaultApplication(list, mime, ""));
  return true;
}

}  // namespace sorane
