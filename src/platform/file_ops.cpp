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

std::string ReadLinkText(const std::string& path, const struct stat& st) {
  std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
  ssize_t n = readlink(path.c_str(), target.data(), target.size());
  if (n < 0) return {};
  target.resize(static_cast<size_t>(n));
  return target;
}

// Puts a new entry at `to` in one step: `make` creates it under a free
// temporary name beside `to`, which is then renamed over `to` (replacing a
// file or link there, never writing through it). On failure `to` is untouched.
template <typename Make>
bool ReplaceEntry(const std::string& to, Make make) {
  std::string pattern = TempNameBeside(to);
  for (int attempt = 0; attempt < 100; ++attempt) {
    // mkstemp picks a free name; the entry itself is made in its place.
    std::string temp = pattern;
    int fd = mkstemp(temp.data());
    if (fd < 0) return false;
    close(fd);
    unlink(temp.c_str());
    if (!make(temp)) {
      if (errno == EEXIST) continue;
      return false;
    }
    if (rename(temp.c_str(), to.c_str()) == 0) return true;
    int e = errno;
    unlink(temp.c_str());
    errno = e;
    return false;
  }
  errno = EEXIST;
  return false;
}

bool CopyLink(const std::string& from, const struct stat& st, const std::string& to) {
  std::string target = ReadLinkText(from, st);
  if (target.empty()) return false;
  return ReplaceEntry(
      to, [&](const std::string& t) { return symlink(target.c_str(), t.c_str()) == 0; });
}

bool CopyFifo(const struct stat& st, const std::string& to) {
  return ReplaceEntry(
      to, [&](const std::string& t) { return mkfifo(t.c_str(), st.st_mode & 07777) == 0; });
}

// Copies `from` to `to`. Inside a tree (`top` false) links are copied as links
// and every destination entry is replaced, never written through; FIFOs are
// recreated, sockets and devices skipped: no special file is ever opened.
bool CopyTree(const std::string& from, const std::string& to, bool top) {
  struct stat st;
  if ((top ? stat(from.c_str(), &st) : lstat(from.c_str(), &st)) != 0) return false;
  if (S_ISLNK(st.st_mode)) return CopyLink(from, st, to);
  if (S_ISFIFO(st.st_mode)) return CopyFifo(st, to);
  if (S_ISSOCK(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return true;
  if (!S_ISDIR(st.st_mode))
    return CopyOsFileAtomic(from, to,
                            top ? AtomicFile::Target::kFollow : AtomicFile::Target::kReplace);
  struct stat dst;
  if (!top && lstat(to.c_str(), &dst) == 0 && S_ISLNK(dst.st_mode) && unlink(to.c_str()) != 0)
    return false;  // a link where the folder goes is replaced, not followed
  if (mkdir(to.c_str(), st.st_mode & 07777) != 0 && errno != EEXIST) return false;
  if (stat(to.c_str(), &dst) != 0) return false;
  if (!S_ISDIR(dst.st_mode)) {
    errno = ENOTDIR;
    return false;
  }
  std::vector<DirEntry> entries;
  if (!ListOsFolder(from, entries)) return false;
  for (const DirEntry& e : entries)
    if (!CopyTree(from + "/" + e.name, to + "/" + e.name, false)) return false;
  return true;
}

bool SameEntry(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool MoveEntry(const std::string& from, const std::string& to);

// Moves every entry of the folder `from` into the existing folder `to`
// (entries of the same name replaced, folders merged), then removes `from`.
// Entries of `to` that are not part of the move stay; a failure stops the
// move with what was not moved still in `from`.
bool MergeFolder(const std::string& from, const std::string& to) {
  std::vector<DirEntry> entries;
  if (!ListOsFolder(from, entries)) return false;
  for (const DirEntry& e : entries)
    if (!MoveEntry(from + "/" + e.name, to + "/" + e.name)) return false;
  return rmdir(from.c_str()) == 0;
}

// A move that rename cannot do in one step: to another file system, or a
// folder onto an existing folder. The new content is complete under a
// temporary name beside `to` before it takes that name, and the source goes
// only after that; a failure leaves `to` as it was and the source in place.
bool MoveEntry(const std::string& from, const std::string& to) {
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) return false;
  if (rename(from.c_str(), to.c_str()) == 0) return true;
  int e = errno;
  struct stat dst;
  bool to_exists = lstat(to.c_str(), &dst) == 0;
  if (S_ISDIR(st.st_mode) && to_exists && S_ISDIR(dst.st_mode) &&
      (e == EXDEV || e == EEXIST || e == ENOTEMPTY))
    return MergeFolder(from, to);
  if (e != EXDEV) {
    errno = e;
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    if (to_exists) {
      errno = ENOTDIR;
      return false;
    }
    std::string temp = TempNameBeside(to);
    if (!mkdtemp(temp.data())) return false;
    if (!CopyTree(from, temp, false) || chmod(temp.c_str(), st.st_mode & 07777) != 0 ||
        rename(temp.c_str(), to.c_str()) != 0) {
      int keep = errno;
      RemoveOsTree(temp);
      errno = keep;
      return false;
    }
  } else if (to_exists && S_ISDIR(dst.st_mode)) {
    errno = EISDIR;
    return false;
  } else if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode) || S_ISFIFO(st.st_mode)) {
    if (!CopyTree(from, to, false)) return false;
  } else {
    errno = EINVAL;  // a socket or device is not carried to another file system
    return false;
  }
  return RemoveOsTree(from);
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
  if (SameOsFile(StripTrailingSlashes(from), StripTrailingSlashes(to))) {
    errno = EINVAL;
    return false;
  }
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

bool SameOsFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (lstat(a.c_str(), &sa) == 0 && lstat(b.c_str(), &sb) == 0 && SameEntry(sa, sb)) return true;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && SameEntry(sa, sb);
}

bool MoveOsPath(const std::string& from, const std::string& to) {
  std::string src = StripTrailingSlashes(from);
  std::string dst = StripTrailingSlashes(to);
  if (SameOsFile(src, dst)) {
    errno = EINVAL;  // moving a file onto itself would leave a link to nothing
    return false;
  }
  return MoveEntry(src, dst);
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
