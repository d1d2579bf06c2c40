#include "platform/trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/file_ops.h"
#include "platform/special_folders.h"

namespace sorane {

std::string EscapeTrashPath(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 c == '/' || c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string TrashInfoText(const std::string& absolute_path, std::time_t when) {
  std::tm tm{};
  localtime_r(&when, &tm);
  char date[80];
  std::snprintf(date, sizeof date, "%04d-%02d-%02dT%02d:%02d:%02d", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return "[Trash Info]\nPath=" + EscapeTrashPath(absolute_path) + "\nDeletionDate=" + date + "\n";
}

bool MoveToTrash(const std::string& os_path, const std::string& trash_root) {
  std::string path = NormalizeOsPath(AbsoluteOsPath(os_path));
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return false;
  std::string root = trash_root.empty() ? GetSpecialFolders().Trash : trash_root;
  if (!root.empty() && root.back() != '/') root += '/';
  if (!MakeOsFolders(root + "files") || !MakeOsFolders(root + "info")) return false;
  chmod(root.c_str(), 0700);

  std::string base = path.substr(path.rfind('/') + 1);
  std::string text = TrashInfoText(path, std::time(nullptr));
  for (int n = 1; n < 10000; ++n) {
    std::string name = n == 1 ? base : base + "." + std::to_string(n);
    std::string info = root + "info/" + name + ".trashinfo";
    // Creating the record exclusively reserves the name against other deleters.
    int fd = open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ok = close(fd) == 0 && ok;
    std::string dest = root + "files/" + name;
    struct stat taken;
    if (ok && lstat(dest.c_str(), &taken) == 0) {
      unlink(info.c_str());
      continue;  // a stray file without a record holds this name
    }
    if (ok && MoveOsPath(path, dest)) return true;
    int e = errno;
    unlink(info.c_str());
    errno = e;
    return false;
  }
  errno = EEXIST;
  return false;
}

}  // namespace sorane
