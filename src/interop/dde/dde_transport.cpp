#include "interop/dde/dde_transport.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "runtime/startup.h"

namespace sorane::dde {

namespace {

using Clock = std::chrono::steady_clock;

int MsSince(Clock::time_point start) {
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// The folder exists (made 0700 when missing), is a real folder owned by this
// user, and nobody else may enter it.
bool PrivateFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) return false;
  if ((st.st_mode & 077) != 0 && chmod(path.c_str(), 0700) != 0) return false;
  return true;
}

bool MakeAddress(const std::string& path, sockaddr_un& a) {
  memset(&a, 0, sizeof a);
  a.sun_family = AF_UNIX;
  if (path.size() >= sizeof a.sun_path) return false;
  memcpy(a.sun_path, path.data(), path.size());
  return true;
}

Socket NewSocket() {
  return Socket(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
}

}  // namespace

Socket ConnectTo(const std::string& path) {
  sockaddr_un a;
  if (!MakeAddress(path, a)) {
    errno = ENAMETOOLONG;
    return Socket();
  }
  Socket s = NewSocket();
  if (!s) return s;
  if (connect(s.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return s;
  // A listener whose queue is full takes the connection a little later.
  if (errno == EAGAIN || errno == EINPROGRESS) {
    pollfd p{s.get(), POLLOUT, 0};
    int error = 0;
    socklen_t length = sizeof error;
    if (poll(&p, 1, 1000) == 1 && getsockopt(s.get(), SOL_SOCKET, SO_ERROR, &error, &length) == 0 &&
        error == 0)
      return s;
    errno = error ? error : ETIMEDOUT;
  }
  return Socket();
}

namespace {

// The instance sockets of the service ("name.pid"), newest first.
struct Instance {
  std::string path;
  pid_t pid = 0;
  time_t changed = 0;
};
std::vector<Instance> Instances(const std::string& folder, const std::string& name) {
  std::vector<Instance> out;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return out;
  while (dirent* e = readdir(dir)) {
    std::string entry = e->d_name;
    if (entry.size() <= name.size() + 1 || entry.compare(0, name.size(), name) != 0 ||
        entry[name.size()] != '.')
      continue;
    std::string digits = entry.substr(name.size() + 1);
    if (digits.empty() || digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    Instance i;
    i.path = folder + entry;
    i.pid = static_cast<pid_t>(std::stol(digits));
    struct stat st;
    if (lstat(i.path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) continue;
    i.changed = st.st_mtime;
    out.push_back(std::move(i));
  }
  closedir(dir);
  std::stable_sort(out.begin(), out.end(),
                   [](const Instance& a, const Instance& b) { return a.changed > b.changed; });
  return out;
}

// The sockets this process listens on, kept where a signal handler can read
// them (see RemoveSocketsFromSignal): a slot is marked used only once its path
// is whole, and freed before its socket goes; changed under the lock, from
// any thread. A process listening on more sockets than there are slots leaves
// the others to be removed by the next start (see ListenAsService).
std::mutex g_listening_lock;
constexpr size_t kListeningSlots = 16;
char g_listening[kListeningSlots][sizeof(sockaddr_un::sun_path)];
std::atomic<bool> g_listening_used[kListeningSlots];

void NoteListening(const std::string& path) {
  std::lock_guard<std::mutex> hold(g_listening_lock);
  if (path.size() >= sizeof g_listening[0]) return;
  for (size_t i = 0; i < kListeningSlots; ++i) {
    if (g_listening_used[i].load()) continue;
    std::memcpy(g_listening[i], path.c_str(), path.size() + 1);
    g_listening_used[i].store(true);
    return;
  }
}

void ForgetListening(const std::string& path) {
  std::lock_guard<std::mutex> hold(g_listening_lock);
  for (size_t i = 0; i < kListeningSlots; ++i)
    if (g_listening_used[i].load() && path == g_listening[i]) g_listening_used[i].store(false);
}

// Removes the socket at `path` and the links in its folder that point at it
// (the service's link "name" and its topics' links "name@topic"), then the
// folder if it is left empty, with calls a signal handler may make.
void RemoveSocket(const char* path) {
  unlink(path);
  const char* slash = std::strrchr(path, '/');
  char folder[sizeof g_listening[0]];
  size_t folder_size = slash ? static_cast<size_t>(slash - path) + 1 : sizeof folder;
  if (folder_size >= sizeof folder) return;
  std::memcpy(folder, path, folder_size);
  folder[folder_size] = '\0';
  const char* own = slash + 1;
  const char* dot = std::strrchr(own, '.');
  size_t name_size = dot ? static_cast<size_t>(dot - own) : std::strlen(own);
  int dir = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  alignas(8) char entries[4096];
  for (;;) {
    ssize_t n = getdents64(dir, entries, sizeof entries);
    if (n <= 0) break;
    for (ssize_t at = 0; at < n;) {
      const auto* e = reinterpret_cast<const struct dirent64*>(entries + at);
      at += e->d_reclen;
      const char* entry = e->d_name;
      if (std::strncmp(entry, own, name_size) != 0 ||
          (entry[name_size] != '\0' && entry[name_size] != '@'))
        continue;
      char target[256];
      ssize_t size = readlinkat(dir, entry, target, sizeof target);
      if (size > 0 && static_cast<size_t>(size) == std::strlen(own) &&
          std::memcmp(target, own, static_cast<size_t>(size)) == 0)
        unlinkat(dir, entry, 0);
    }
  }
  close(dir);
  rmdir(folder);  // the last one leaves nothing behind
}

bool ProcessGone(pid_t pid) {
  return kill(pid, 0) != 0 && errno == ESRCH;
}

// Makes `link` (in `folder`) point at `target` in one step.
void PointLink(const std::string& folder, const std::string& link, const std::string& target) {
  std::string temporary = folder + "." + target + ".link";
  unlink(temporary.c_str());
  if (symlink(target.c_str(), temporary.c_str()) == 0 &&
      rename(temporary.c_str(), (folder + link).c_str()) != 0)
    unlink(temporary.c_str());
}

// Where the link points ("" when it is none).
std::string LinkTarget(const std::string& path) {
  char target[256];
  ssize_t n = readlink(path.c_str(), target, sizeof target);
  return n > 0 ? std::string(target, n) : std::string();
}

}  // namespace

Socket& Socket::operator=(Socket&& o) noexcept {
  if (this != &o) {
    reset();
    fd_ = o.fd_;
    o.fd_ = -1;
  }
  return *this;
}

void Socket::reset() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

std::string SocketFolder() {
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  std::string folder;
  if (runtime && runtime[0] == '/') {
    folder = std::string(runtime) + "/sorane";
  } else {
    const char* tmp = getenv("TMPDIR");
    folder =
        std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/sorane-" + std::to_string(geteuid());
  }
  return PrivateFolder(folder) ? folder + "/" : std::string();
}

std::string ServiceFileName(std::string_view service) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : service) {
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || c == '-' || c == '_') {
      out += static_cast<char>(c);
    } else if (c >= 'A' && c <= 'Z') {
      out += static_cast<char>(c - 'A' + 'a');
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string OwnServiceName() {
  std::string exe = ExecutablePath();
  std::string name = exe.substr(exe.rfind('/') + 1);
  return name.substr(0, name.find('.'));
}

Socket ListenAsService(std::string_view service, std::string& path) {
  std::string folder = SocketFolder();
  std::string name = ServiceFileName(service);
  if (folder.empty() || name.empty()) return Socket();
  for (const Instance& i : Instances(folder, name))
    if (ProcessGone(i.pid)) unlink(i.path.c_str());
  std::string own = name + "." + std::to_string(getpid());
  path = folder + own;
  sockaddr_un a;
  if (!MakeAddress(path, a)) return Socket();
  Socket s = NewSocket();
  if (!s) return s;
  unlink(path.c_str());  // a socket left by an earlier process of this pid
  int bound = bind(s.get(), reinterpret_cast<sockaddr*>(&a), sizeof a);
  // The last instance of another service may have just removed the folder.
  if (bound != 0 && errno == ENOENT && !SocketFolder().empty())
    bound = bind(s.get(), reinterpret_cast<sockaddr*>(&a), sizeof a);
  if (bound != 0 || listen(s.get(), 16) != 0) return Socket();
  NoteListening(path);
  PointLink(folder, name, own);
  return s;
}

void PublishTopic(const std::string& path, std::string_view topic) {
  size_t slash = path.rfind('/');
  std::string own = path.substr(slash + 1);
  PointLink(path.substr(0, slash + 1), own.substr(0, own.rfind('.')) + "@" + ServiceFileName(topic),
            own);
}

void RemoveSocketsFromSignal() {
  for (size_t i = 0; i < kListeningSlots; ++i)
    if (g_listening_used[i].load()) RemoveSocket(g_listening[i]);
}

void StopListening(const std::string& path) {
  if (path.empty()) return;
  ForgetListening(path);
  RemoveSocket(path.c_str());
}

std::vector<std::string> ServiceSockets(std::string_view service, std::string_view topic) {
  std::vector<std::string> out;
  std::string folder = SocketFolder();
  std::string name = ServiceFileName(service);
  if (folder.empty() || name.empty()) return out;
  std::vector<std::string> alive;
  for (const Instance& i : Instances(folder, name)) {
    if (ProcessGone(i.pid))
      unlink(i.path.c_str());
    else
      alive.push_back(i.path);
  }
  for (std::string link : {name + "@" + ServiceFileName(topic), name}) {
    std::string target = LinkTarget(folder + link);
    if (target.empty() || target.find('/') != std::string::npos) continue;
    if (std::find(alive.begin(), alive.end(), folder + target) == alive.end())
      unlink((folder + link).c_str());  // its instance is gone
    else if (std::find(out.begin(), out.end(), folder + target) == out.end())
      out.push_back(folder + target);
  }
  for (const std::string& path : alive)
    if (std::find(out.begin(), out.end(), path) == out.end()) out.push_back(path);
  return out;
}

std::string FrameBytes(char kind, std::string_view body) {
  std::string out(1, kind);
  uint32_t n = static_cast<uint32_t>(body.size());
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((n >> shift) & 0xFF);
  out.append(body);
  return out;
}

bool WriteFrame(int fd, char kind, std::string_view body, int timeout_ms,
                const std::function<void()>& idle) {
  std::string bytes = FrameBytes(kind, body);
  size_t done = 0;
  Clock::time_point start = Clock::now();
  while (done < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    if (MsSince(start) >= timeout_ms) return false;
    pollfd p{fd, POLLOUT, 0};
    poll(&p, 1, 10);
    if (idle) idle();
  }
  return true;
}

bool FrameReader::Add(std::string_view bytes) {
  buffer_.append(bytes);
  if (buffer_.size() < 5) return true;
  uint32_t n = 0;
  for (int k = 1; k <= 4; ++k) n = (n << 8) | static_cast<unsigned char>(buffer_[k]);
  return n <= kMaxBody;
}

bool FrameReader::Next(Frame& out) {
  if (buffer_.size() < 5) return false;
  uint32_t n = 0;
  for (int k = 1; k <= 4; ++k) n = (n << 8) | static_cast<unsigned char>(buffer_[k]);
  if (n > kMaxBody || buffer_.size() < 5 + size_t(n)) return false;
  out.kind = buffer_[0];
  out.body = buffer_.substr(5, n);
  buffer_.erase(0, 5 + size_t(n));
  return true;
}

bool ReadAvailable(int fd, std::string& out) {
  char buf[16384];
  for (;;) {
    ssize_t n = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
    if (n > 0) {
      out.append(buf, static_cast<size_t>(n));
      if (out.size() > kMaxBody + 5) return true;  // the reader judges it
      continue;
    }
    if (n == 0) return false;
    if (errno == EINTR) continue;
    return errno == EAGAIN || errno == EWOULDBLOCK;
  }
}

bool ReadFrame(int fd, FrameReader& reader, FrameReader::Frame& out, int timeout_ms,
               const std::function<void()>& idle) {
  Clock::time_point start = Clock::now();
  for (;;) {
    if (reader.Next(out)) return true;
    std::string bytes;
    bool open = ReadAvailable(fd, bytes);
    if (!reader.Add(bytes)) return false;
    if (reader.Next(out)) return true;
    if (!open || MsSince(start) >= timeout_ms) return false;
    if (bytes.empty()) {
      pollfd p{fd, POLLIN, 0};
      poll(&p, 1, 10);
    }
    if (idle) idle();
  }
}

}  // namespace sorane::dde
