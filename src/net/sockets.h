// POSIX stream sockets for the TCP commands: name resolution with getaddrinfo
// (IPv4 and IPv6), non-blocking connect, listen and accept, address texts, the
// reverse lookup of a peer's host name (once per connection, with a time
// limit), and the socket error numbers scripts see.
#pragma once

#include <sys/socket.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sorane::net {

// A socket address as getaddrinfo or accept gives it.
struct Address {
  sockaddr_storage storage{};
  socklen_t length = 0;
  const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
};

// True only for a valid numeric address: dotted IPv4 (four decimal parts) or
// IPv6. Anything else, a name that starts with a digit included, is a host
// name to resolve.
bool IsNumericAddress(const std::string& host);

// The addresses of `host` for `service` (a port number in decimal or a service
// name). An empty host with `passive` gives the addresses to listen on. False
// with `error` (CP932) when nothing is found.
bool Resolve(const std::string& host, const std::string& service, bool passive,
             std::vector<Address>& out, std::string& error);

// The numeric text of an address; an IPv4 address reached through an IPv6
// socket (::ffff:a.b.c.d) is shown as the IPv4 address.
std::string AddressText(const Address& a);

// Owns a descriptor; closes it when destroyed.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& o) noexcept : fd_(o.release()) {}
  Fd& operator=(Fd&& o) noexcept;
  ~Fd() { reset(); }
  int get() const { return fd_; }
  int release() {
    int f = fd_;
    fd_ = -1;
    return f;
  }
  void reset(int fd = -1);
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Starts a non-blocking connection to `a`. The descriptor (or an invalid one
// with errno set); the connection is made when it turns writable and
// PendingError says 0.
Fd StartConnect(const Address& a);
// The error of a connection being made or of a failed socket (SO_ERROR), 0 for none.
int PendingError(int fd);
// A non-blocking listening socket on `service` of every local address (IPv6
// with IPv4 on the same socket where the system has it). Invalid with
// `error` (CP932) when it cannot listen.
Fd Listen(const std::string& service, std::string& error);
// The next waiting connection (non-blocking) with its peer, or invalid when
// none waits.
Fd Accept(int listener, Address& peer);
// The peer of a connected socket.
bool PeerOf(int fd, Address& peer);

// Sends all of `data`, waiting while the system's buffer is full: `wait` is
// called between tries (it processes events; false stops the send with
// ENOTCONN) and the send gives up after `timeout_ms`. 0, or the error number
// (ETIMEDOUT when the time ran out). Never raises SIGPIPE.
int SendAll(int fd, std::string_view data, int timeout_ms, const std::function<bool()>& wait);

// Reads what is available, up to `limit` bytes, appending it to `out`.
// Returns 1 when the peer is still there, 0 when it closed the connection, -1
// on an error (errno set).
int ReadAvailable(int fd, std::string& out, size_t limit);

// The host name of a peer, looked up once in the background when the
// connection starts; Get waits for it until the time limit given to Start and
// gives "" when the name is unknown or not found in time.
class ReverseLookup {
 public:
  void Start(const Address& peer, int timeout_ms);
  const std::string& Get();

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  bool done_ = false;
  std::string name_;
};

// A socket error as a number for scripts: the numbering of Windows sockets
// (10000 + the BSD number: connection refused 10061, reset 10054, timed out
// 10060, ...), which scripts compare with; other errors as 10000 + errno.
int SocketErrorNumber(int err);

}  // namespace sorane::net
