#include "net/sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/file_ops.h"
#include "text/encoding.h"

namespace sorane::net {

bool IsNumericAddress(const std::string& host) {
  unsigned char buf[sizeof(in6_addr)];
  // inet_pton takes exactly four decimal parts for IPv4 (no "1.2", no hex).
  return inet_pton(AF_INET, host.c_str(), buf) == 1 || inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

bool Resolve(const std::string& host, const std::string& service, bool passive,
             std::vector<Address>& out, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_ADDRCONFIG | (passive ? AI_PASSIVE : 0);
  if (IsNumericAddress(host)) hints.ai_flags |= AI_NUMERICHOST;
  addrinfo* list = nullptr;
  int rc = getaddrinfo(host.empty() ? nullptr : host.c_str(),
                       service.empty() ? nullptr : service.c_str(), &hints, &list);
  if (rc == EAI_ADDRFAMILY || (rc == 0 && !list)) {
    // AI_ADDRCONFIG hides loopback names on a machine without other addresses.
    hints.ai_flags &= ~AI_ADDRCONFIG;
    rc = getaddrinfo(host.empty() ? nullptr : host.c_str(),
                     service.empty() ? nullptr : service.c_str(), &hints, &list);
  }
  if (rc != 0) {
    error = rc == EAI_SYSTEM ? SystemReason(errno) : Utf8ToSjis(gai_strerror(rc));
    return false;
  }
  for (addrinfo* ai = list; ai; ai = ai->ai_next) {
    if (ai->ai_addrlen > sizeof(sockaddr_storage)) continue;
    Address a;
    std::memcpy(&a.storage, ai->ai_addr, ai->ai_addrlen);
    a.length = ai->ai_addrlen;
    out.push_back(a);
  }
  freeaddrinfo(list);
  return !out.empty();
}

// An IPv4 address reached through an IPv6 socket, as the IPv4 address.
static Address Unmapped(const Address& a) {
  if (a.storage.ss_family != AF_INET6) return a;
  const sockaddr_in6& v6 = reinterpret_cast<const sockaddr_in6&>(a.storage);
  if (!IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr)) return a;
  Address out;
  sockaddr_in& v4 = reinterpret_cast<sockaddr_in&>(out.storage);
  v4.sin_family = AF_INET;
  v4.sin_port = v6.sin6_port;
  std::memcpy(&v4.sin_addr, v6.sin6_addr.s6_addr + 12, 4);
  out.length = sizeof v4;
  return out;
}

std::string AddressText(const Address& address) {
  Address a = Unmapped(address);
  char buf[INET6_ADDRSTRLEN] = "";
  if (a.storage.ss_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&a.storage)->sin_addr, buf,
              sizeof buf);
  } else if (a.storage.ss_family == AF_INET6) {
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&a.storage)->sin6_addr, buf,
              sizeof buf);
  }
  return buf;
}

Fd& Fd::operator=(Fd&& o) noexcept {
  if (this != &o) reset(o.release());
  return *this;
}

void Fd::reset(int fd) {
  if (fd_ >= 0) close(fd_);
  fd_ = fd;
}

Fd StartConnect(const Address& a) {
  Fd fd(socket(a.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd) return fd;
  if (connect(fd.get(), a.get(), a.length) != 0 && errno != EINPROGRESS) {
    int err = errno;
    fd.reset();
    errno = err;
  }
  return fd;
}

int PendingError(int fd) {
  int err = 0;
  socklen_t len = sizeof err;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return errno;
  return err;
}

static Fd ListenOn(const Address& a, int& err) {
  Fd fd(socket(a.storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd) {
    err = errno;
    return fd;
  }
  int on = 1, off = 0;
  setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (a.storage.ss_family == AF_INET6)
    setsockopt(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
  if (bind(fd.get(), a.get(), a.length) != 0 || listen(fd.get(), SOMAXCONN) != 0) {
    err = errno;
    fd.reset();
  }
  return fd;
}

Fd Listen(const std::string& service, std::string& error) {
  std::vector<Address> addresses;
  if (!Resolve("", service, true, addresses, error)) return Fd();
  // The IPv6 wildcard takes IPv4 connections too; it is tried first.
  std::stable_partition(addresses.begin(), addresses.end(),
                        [](const Address& a) { return a.storage.ss_family == AF_INET6; });
  int err = 0;
  for (const Address& a : addresses) {
    Fd fd = ListenOn(a, err);
    if (fd) return fd;
  }
  error = SystemReason(err);
  return Fd();
}

Fd Accept(int listener, Address& peer) {
  peer.length = sizeof peer.storage;
  for (;;) {
    int fd = accept4(listener, reinterpret_cast<sockaddr*>(&peer.storage), &peer.length,
                     SOCK_NONBLOCK | SOCK_CLOEXEC);
    // A connection that was reset while it waited is skipped.
    if (fd < 0 && (errno == ECONNABORTED || errno == EINTR)) continue;
    return Fd(fd);
  }
}

bool PeerOf(int fd, Address& peer) {
  peer.length = sizeof peer.storage;
  return getpeername(fd, reinterpret_cast<sockaddr*>(&peer.storage), &peer.length) == 0;
}

int SendAll(int fd, std::string_view data, int timeout_ms, const std::function<bool()>& wait) {
  using Clock = std::chrono::steady_clock;
  Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!data.empty()) {
    ssize_t n = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n > 0) {
      data.remove_prefix(static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return errno;
    if (Clock::now() >= end) return ETIMEDOUT;
    // Other sockets (the reading side, in the same script) get their turn.
    if (wait && !wait()) return ENOTCONN;
    pollfd p{fd, POLLOUT, 0};
    poll(&p, 1, 10);
  }
  return 0;
}

int ReadAvailable(int fd, std::string& out, size_t limit) {
  char buf[65536];
  size_t got = 0;
  while (got < limit) {
    ssize_t n = recv(fd, buf, std::min(sizeof buf, limit - got), 0);
    if (n > 0) {
      out.append(buf, static_cast<size_t>(n));
      got += static_cast<size_t>(n);
      continue;
    }
    if (n == 0) return 0;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 1;
    return -1;
  }
  return 1;
}

struct ReverseLookup::Shared {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  std::string name;
  std::chrono::steady_clock::time_point deadline;
};

void ReverseLookup::Start(const Address& peer, int timeout_ms) {
  shared_ = std::make_shared<Shared>();
  shared_->deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  done_ = false;
  name_.clear();
  // The lookup may hang on an unreachable name server; the thread then ends
  // on its own after the connection has stopped waiting for it.
  std::thread([shared = shared_, peer = Unmapped(peer)] {
    char host[NI_MAXHOST] = "";
    std::string name;
    if (getnameinfo(peer.get(), peer.length, host, sizeof host, nullptr, 0, NI_NAMEREQD) == 0)
      name = host;
    std::lock_guard<std::mutex> lock(shared->mutex);
    shared->name = name;
    shared->finished = true;
    shared->done.notify_all();
  }).detach();
}

const std::string& ReverseLookup::Get() {
  if (done_ || !shared_) return name_;
  std::unique_lock<std::mutex> lock(shared_->mutex);
  shared_->done.wait_until(lock, shared_->deadline, [this] { return shared_->finished; });
  // Host names are ASCII; anything else is shown as it came.
  name_ = shared_->finished ? Utf8ToSjis(shared_->name) : std::string();
  done_ = true;
  lock.unlock();
  shared_.reset();
  return name_;
}

int SocketErrorNumber(int err) {
  struct Pair {
    int errno_value, bsd;
  };
  static constexpr Pair kPairs[] = {
      {EWOULDBLOCK, 35},     {EINPROGRESS, 36},  {EALREADY, 37},     {ENOTSOCK, 38},
      {EDESTADDRREQ, 39},    {EMSGSIZE, 40},     {EPROTOTYPE, 41},   {ENOPROTOOPT, 42},
      {EPROTONOSUPPORT, 43}, {EOPNOTSUPP, 45},   {EAFNOSUPPORT, 47}, {EADDRINUSE, 48},
      {EADDRNOTAVAIL, 49},   {ENETDOWN, 50},     {ENETUNREACH, 51},  {ENETRESET, 52},
      {ECONNABORTED, 53},    {ECONNRESET, 54},   {ENOBUFS, 55},      {EISCONN, 56},
      {ENOTCONN, 57},        {EPIPE, 58},        {ETIMEDOUT, 60},    {ECONNREFUSED, 61},
      {EHOSTDOWN, 64},       {EHOSTUNREACH, 65},
  };
  for (const Pair& p : kPairs)
    if (p.errno_value == err) return 10000 + p.bsd;
  return 10000 + err;
}

}  // namespace sorane::net
