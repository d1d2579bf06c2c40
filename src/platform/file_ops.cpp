#include "platform/file_ops.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/safe_write.h"
#include "text/encoding.h"

namespace sorane {

namespace {

std::string StripTrailingSlashes(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

bool IsDotOrDotDot(const char* n) {
  return n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0));
}

// Names in an open folder (read fully before anything is changed in it).
bool NamesIn(int dirfd, std::vector<std::string>& names) {
  int fd = dup(dirfd);
  if (fd < 0) return false;
  DIR* d = fdopendir(fd);
  if (!d) {
    close(fd);
    return false;
  }
  while (dirent* e = readdir(d))
    if (!IsDotOrDotDot(e->d_name)) names.emplace_back(e->d_name);
  closedir(d);
  return true;
}

bool RemoveChildren(int dirfd) {
  std::vector<std::string> names;
  if (!NamesIn(dirfd, names)) return false;
  for (const std::string& n : names) {
    struct stat st;
    if (fstatat(dirfd, n.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (S_ISDIR(st.st_mode)) {
      int sub = openat(dirfd, n.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (sub < 0) return false;
      bool ok = RemoveChildren(sub);
      close(sub);
      if (!ok || unlinkat(dirfd, n.c_str(), AT_REMOVEDIR) != 0) return false;
    } else if (unlinkat(dirfd, n.c_str(), 0) != 0) {
      return false;
    }
  }
  return true;
}

bool CopyTree(const std::string& from, const std::string& to, bool top) {
  struct stat st;
  if ((top ? stat(from.c_str(), &st) : lstat(from.c_str(), &st)) != 0) return false;
  if (S_ISLNK(st.st_mode)) {
    std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
    ssize_t n = readlink(from.c_str(), target.data(), target.size());
    if (n < 0) return false;
    target.resize(static_cast<size_t>(n));
    unlink(to.c_str());
    return symlink(target.c_str(), to.c_str()) == 0;
  }
  if (!S_ISDIR(st.st_mode)) return CopyOsFileAtomic(from, to);
  if (mkdir(to.c_str(), st.st_mode & 07777) != 0 && errno != EEXIST) return false;
  std::vector<DirEntry> entries;
  if (!ListOsFolder(from, entries)) return false;
  for (const DirEntry& e : entries)
    if (!CopyTree(from + "/" + e.name, to + "/" + e.name, false)) return false;
  return true;
}

}  // namespace

bool ListOsFolder(const std::string& os_folder, std::vector<DirEntry>& out) {
  std::string folder = os_folder.empty() ? std::string(".") : os_folder;
  DIR* d = opendir(folder.c_str());
  if (!d) return false;
  int dfd = dirfd(d);
  while (dirent* e = readdir(d)) {
    if (IsDotOrDotDot(e->d_name)) continue;
    DirEntry entry;
    entry.name = e->d_name;
    entry.is_link = e->d_type == DT_LNK;
    entry.is_dir = e->d_type == DT_DIR;
    if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      struct stat st;
      if (e->d_type == DT_UNKNOWN && fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
        entry.is_link = S_ISLNK(st.st_mode);
      if (fstatat(dfd, e->d_name, &st, 0) == 0) entry.is_dir = S_ISDIR(st.st_mode);
    }
    out.push_back(std::move(entry));
  }
  closedir(d);
  return true;
}

std::string AbsoluteOsPath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char buf[PATH_MAX];
  if (!getcwd(buf, sizeof buf)) return "/" + path;
  std::string cwd(buf);
  if (path.empty()) return cwd;
  return cwd + (cwd.back() == '/' ? "" : "/") + path;
}

std::string NormalizeOsPath(const std::string& absolute) {
  std::vector<std::string> parts;
  size_t i = 0;
  while (i <= absolute.size()) {
    size_t slash = absolute.find('/', i);
    if (slash == std::string::npos) slash = absolute.size();
    std::string part = absolute.substr(i, slash - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(std::move(part));
    }
    i = slash + 1;
  }
  std::string out;
  for (const std::string& p : parts) out += "/" + p;
  return out.empty() ? "/" : out;
}

std::string CanonicalOsPath(const std::string& path) {
  std::string abs = AbsoluteOsPath(path);
  // Resolve the longest leading part that exists; keep the rest as written.
  std::string head = StripTrailingSlashes(abs);
  std::string rest;
  while (true) {
    char buf[PATH_MAX];
    if (realpath(head.c_str(), buf)) {
      std::string real(buf);
      return rest.empty() ? real : NormalizeOsPath(real + "/" + rest);
    }
    size_t slash = head.rfind('/');
    if (slash == std::string::npos || head == "/") return NormalizeOsPath(abs);
    std::string last = head.substr(slash + 1);
    rest = rest.empty() ? last : last + "/" + rest;
    head = slash == 0 ? "/" : head.substr(0, slash);
  }
}

bool CopyOsTree(const std::string& from, const std::string& to) {
  std::string src = CanonicalOsPath(from);
  std::string dst = CanonicalOsPath(to);
  if (dst.size() > src.size() && dst.compare(0, src.size(), src) == 0 && dst[src.size()] == '/') {
    struct stat st;
    if (stat(from.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      errno = EINVAL;
      return false;
    }
  }
  return CopyTree(StripTrailingSlashes(from), StripTrailingSlashes(to), true);
}

bool MoveOsPath(const std::string& from, const std::string& to) {
  if (rename(from.c_str(), to.c_str()) == 0) return true;
  if (errno != EXDEV) return false;
  // A link is moved as a link, not as a copy of what it points to.
  if (!CopyTree(StripTrailingSlashes(from), StripTrailingSlashes(to), false)) {
    int e = errno;
    RemoveOsTree(to);
    errno = e;
    return false;
  }
  return RemoveOsTree(from);
}

bool RemoveOsTree(const std::string& path) {
  std::string p = StripTrailingSlashes(path);
  struct stat st;
  if (lstat(p.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) return unlink(p.c_str()) == 0;
  int fd = open(p.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = RemoveChildren(fd);
  close(fd);
  return ok && rmdir(p.c_str()) == 0;
}

bool MakeOsFolders(const std::string& path) {
  std::string p = StripTrailingSlashes(path);
  struct stat st;
  if (stat(p.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    errno = EEXIST;
    return false;
  }
  size_t slash = p.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeOsFolders(p.substr(0, slash))) return false;
  return mkdir(p.c_str(), 0777) == 0 || errno == EEXIST;
}

std::string SystemReason(int err) {
  static const struct {
    int err;
    const char* text;
  } kReasons[] = {
      {ENOENT, "ファイルまたはフォルダが見つかりません。"},
      {ENOTDIR, "パスの途中がフォルダではありません。"},
      {EISDIR, "フォルダです。"},
      {EACCES, "アクセスが拒否されました。"},
      {EPERM, "操作が許可されていません。"},
      {EEXIST, "同じ名前のファイルまたはフォルダが既にあります。"},
      {ENOTEMPTY, "フォルダが空ではありません。"},
      {ENOSPC, "ディスクの空き容量が足りません。"},
      {EROFS, "読み取り専用のファイルシステムです。"},
      {ENAMETOOLONG, "名前が長すぎます。"},
      {ELOOP, "シンボリックリンクが多すぎます。"},
      {EBUSY, "使用中です。"},
      {EINVAL, "引数が不正です。"},
      {EXDEV, "別のファイルシステムへは移動できません。"},
  };
  for (const auto& r : kReasons)
    if (r.err == err) return Utf8ToSjis(r.text);
  return Utf8ToSjis(strerror(err));
}

}  // namespace sorane
