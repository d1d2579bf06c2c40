#include "platform/safe_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/files.h"

namespace sorane {

namespace {

// Keeps errno across clean-up calls that may change it.
class SavedErrno {
 public:
  SavedErrno() : e_(errno) {}
  ~SavedErrno() { errno = e_; }

 private:
  int e_;
};

std::string FolderOfPath(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseOfPath(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

mode_t CurrentUmask() {
  mode_t m = umask(0);
  umask(m);
  return m;
}

// Makes a completed rename durable; failure only weakens durability.
void SyncFolder(const std::string& folder) {
  int dfd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd < 0) return;
  fsync(dfd);
  close(dfd);
}

}  // namespace

std::string TempNameBeside(const std::string& os_path) {
  // The temporary name stays within the length limit of a file name.
  std::string base = BaseOfPath(os_path).substr(0, 200);
  return FolderOfPath(os_path) + "/." + base + ".XXXXXX";
}

std::string FollowLinks(const std::string& os_path) {
  std::string path = os_path;
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    ssize_t n = readlink(path.c_str(), buf.data(), buf.size());
    if (n <= 0 || static_cast<size_t>(n) >= buf.size()) return path;
    std::string target(buf.data(), static_cast<size_t>(n));
    path = target[0] == '/' ? target : FolderOfPath(path) + "/" + target;
  }
  return path;
}

AtomicFile::~AtomicFile() {
  Discard();
}

bool AtomicFile::Open(const std::string& os_path, Target target) {
  Discard();
  const bool follow = target == Target::kFollow;
  final_ = follow ? FollowLinks(os_path) : os_path;
  if (final_.empty()) {
    errno = ENOENT;
    return false;
  }
  struct stat st;
  if ((follow ? stat(final_.c_str(), &st) : lstat(final_.c_str(), &st)) == 0) {
    if (S_ISDIR(st.st_mode)) {
      errno = EISDIR;
      return false;
    }
    if (!follow && !S_ISREG(st.st_mode)) {
      // A link, FIFO or device at the name is replaced like a missing file.
      st.st_mode = S_IFREG | (0666 & ~CurrentUmask());
      st.st_uid = getuid();
      st.st_gid = getgid();
    } else if (!S_ISREG(st.st_mode)) {
      // A device or FIFO is written, never replaced by a regular file.
      fd_ = open(final_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
      in_place_ = fd_ >= 0;
      return in_place_;
    }
    had_old_ = true;
    mode_ = st.st_mode & 07777;
    uid_ = st.st_uid;
    gid_ = st.st_gid;
  } else {
    had_old_ = false;
    mode_ = 0666 & ~CurrentUmask();
  }
  std::string pattern = TempNameBeside(final_);
  fd_ = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd_ < 0) return false;
  temp_ = pattern;
  return true;
}

bool AtomicFile::Write(std::string_view bytes) {
  if (fd_ < 0) {
    errno = EBADF;
    return false;
  }
  return WriteAll(fd_, bytes);
}

bool AtomicFile::Commit() {
  if (fd_ < 0) {
    errno = EBADF;
    return false;
  }
  if (in_place_) {
    int rc = close(fd_);
    fd_ = -1;
    in_place_ = false;
    return rc == 0;
  }
  if (had_old_ && fchown(fd_, uid_, gid_) != 0) {
    // Only the owner or root can keep the old owner; the content matters more.
  }
  bool ok = fchmod(fd_, mode_) == 0 && fsync(fd_) == 0;
  if (ok) {
    ok = close(fd_) == 0;
    fd_ = -1;
  }
  if (ok) ok = rename(temp_.c_str(), final_.c_str()) == 0;
  if (!ok) {
    SavedErrno keep;
    Discard();
    return false;
  }
  temp_.clear();
  SyncFolder(FolderOfPath(final_));
  return true;
}

void AtomicFile::Discard() {
  SavedErrno keep;
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  in_place_ = false;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
}

bool WriteOsFileAtomic(const std::string& os_path, std::string_view bytes) {
  AtomicFile f;
  return f.Open(os_path) && f.Write(bytes) && f.Commit();
}

bool WriteFileAtomic(const std::string& name, std::string_view bytes) {
  return WriteOsFileAtomic(ToOsPath(name), bytes);
}

bool AppendToFd(int fd, std::string_view bytes) {
  struct stat st;
  if (fstat(fd, &st) != 0) return false;
  if (S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return false;
  }
  if (WriteAll(fd, bytes)) return true;
  SavedErrno keep;
  // Cut a partial append back so the file keeps exactly its old content.
  if (S_ISREG(st.st_mode) && ftruncate(fd, st.st_size) != 0) {
  }
  return false;
}

bool AppendOsFile(const std::string& os_path, std::string_view bytes, bool create) {
  int fd = open(os_path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
  if (fd < 0) return false;
  bool ok = AppendToFd(fd, bytes);
  if (close(fd) != 0) ok = false;
  return ok;
}

bool CopyOsFileAtomic(const std::string& from, const std::string& to, AtomicFile::Target target) {
  // Without O_NONBLOCK opening a FIFO would wait for a writer forever.
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (in < 0) return false;
  struct stat st {};
  int e = 0;
  if (fstat(in, &st) != 0)
    e = errno;
  else if (S_ISDIR(st.st_mode))
    e = EISDIR;
  else if (!S_ISREG(st.st_mode))
    e = EINVAL;
  if (e) {
    close(in);
    errno = e;
    return false;
  }
  fcntl(in, F_SETFL, fcntl(in, F_GETFL) & ~O_NONBLOCK);
  AtomicFile out;
  bool ok = out.Open(to, target);
  std::vector<char> buf(1 << 20);
  while (ok) {
    ssize_t n = read(in, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    ok = out.Write(std::string_view(buf.data(), static_cast<size_t>(n)));
  }
  if (ok && out.Fd() >= 0) {
    out.SetMode(st.st_mode & 07777);
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(out.Fd(), times);
  }
  {
    SavedErrno keep;
    close(in);
  }
  return ok && out.Commit();
}

}  // namespace sorane
