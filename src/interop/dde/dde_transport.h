// The link transport between programs of one user on one desktop: services
// listen on Unix-domain sockets in a private folder, and conversations are
// framed messages over a stream connection.
//
// Folder: $XDG_RUNTIME_DIR/sorane/, or $TMPDIR/sorane-UID/ (/tmp when TMPDIR
// is unset) without XDG_RUNTIME_DIR; made 0700 and refused when another user
// owns it. An instance of service S with process id P listens on "S'.P"
// (S' = the service name as UTF-8, ASCII letters lowered, every byte other
// than a letter, digit, "-" or "_" written %XX), and the link "S'" points at
// the instance that started last; the link "S'@T'" points at the instance
// that made topic T last, so a client finds it without asking the others.
//
// A frame is one kind byte, the length of its body (4 bytes, most significant
// first) and the body (UTF-8). The client sends C (service NUL topic), then
// any number of E (a macro to execute), R (an item to request) and P (item NUL
// value to poke), and D to end; the server answers every C, E, R and P with A
// (accepted; for R the item's value) or N (refused, with a reason).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace sorane::dde {

// Kinds of frames.
enum : char {
  kConnect = 'C',
  kExecute = 'E',
  kRequest = 'R',
  kPoke = 'P',
  kDisconnect = 'D',
  kAccepted = 'A',
  kRefused = 'N',
};

// The longest body a frame may have: a larger macro is refused.
constexpr size_t kMaxBody = 1u << 20;

// Owns a descriptor; closes it when destroyed.
class Socket {
 public:
  Socket() = default;
  explicit Socket(int fd) : fd_(fd) {}
  Socket(Socket&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
  Socket& operator=(Socket&& o) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket() { reset(); }
  int get() const { return fd_; }
  void reset();
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// The folder of the sockets (UTF-8, with a trailing "/"), made when missing;
// "" when it cannot be made or is not private to this user.
std::string SocketFolder();

// The file name of the service's link (its sockets add "." and a pid).
std::string ServiceFileName(std::string_view service_utf8);

// The name of this program's own service (UTF-8): the file name of its
// executable up to the first ".".
std::string OwnServiceName();

// A listening socket of this process for the service, with its link pointing
// at it; invalid when it cannot be made. `path` receives the socket's path.
// Sockets of the service whose processes are gone are removed.
Socket ListenAsService(std::string_view service_utf8, std::string& path);
// Removes every socket this process listens on and the links pointing at
// them, with only calls a signal handler may make (a fixed list of paths, the
// folder read with getdents64), for a process a signal is about to end.
void RemoveSocketsFromSignal();
// Points the link of the topic at the socket at `path`.
void PublishTopic(const std::string& path, std::string_view topic_utf8);
// Removes the socket at `path` and the links that still point at it, and the
// folder when nothing else is left in it.
void StopListening(const std::string& path);

// The sockets of the service's instances to try for the topic, in turn: the
// topic's link, the service's link, then the others from the newest. Sockets
// left by processes that are gone are removed on the way.
std::vector<std::string> ServiceSockets(std::string_view service_utf8, std::string_view topic_utf8);
// A connection to the socket at `path`; invalid when nothing listens there.
Socket ConnectTo(const std::string& path);

// Writes one frame; false when the peer is gone (never raises SIGPIPE). Waits
// while the system's buffer is full, calling `idle` between tries, for at
// most `timeout_ms`.
bool WriteFrame(int fd, char kind, std::string_view body, int timeout_ms,
                const std::function<void()>& idle);
std::string FrameBytes(char kind, std::string_view body);

// Collects frames from the bytes of a connection.
class FrameReader {
 public:
  struct Frame {
    char kind = 0;
    std::string body;
  };
  // Adds received bytes; false when a frame announces more than kMaxBody.
  bool Add(std::string_view bytes);
  // The next complete frame, if there is one.
  bool Next(Frame& out);

 private:
  std::string buffer_;
};

// Reads what is available without waiting (non-blocking socket): appends to
// `out`; returns false when the peer closed or the connection failed.
bool ReadAvailable(int fd, std::string& out);

// Waits for one frame, calling `idle` every few milliseconds; false when the
// connection ended or `timeout_ms` passed.
bool ReadFrame(int fd, FrameReader& reader, FrameReader::Frame& out, int timeout_ms,
               const std::function<void()>& idle);

}  // namespace sorane::dde
