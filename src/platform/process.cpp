#include "platform/process.h"

#include <errno.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <stdint.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/desktop_entries.h"
#include "text/sjis.h"

extern char** environ;

namespace sorane {

ProgramAndParameters SplitProgram(std::string_view command) {
  ProgramAndParameters out;
  bool quoted = false;
  size_t i = 0;
  while (i < command.size()) {
    size_t len = CharLen(command, i);
    char c = command[i];
    if (len == 2) {
      out.program.append(command.substr(i, 2));
      i += 2;
      continue;
    }
    if (c == ' ' && !quoted) break;
    ++i;
    out.program += c;
    if (c == '"') {
      if (quoted) break;
      quoted = true;
    }
  }
  out.parameters = Trim(command.substr(i));
  return out;
}

std::vector<std::string> SplitArguments(std::string_view parameters) {
  std::vector<std::string> out;
  std::string word;
  bool in_word = false, quoted = false;
  for (size_t i = 0; i < parameters.size();) {
    size_t len = CharLen(parameters, i);
    char c = parameters[i];
    if (len == 1 && !quoted && (c == ' ' || c == '\t')) {
      if (in_word) out.push_back(std::move(word));
      word.clear();
      in_word = false;
      ++i;
      continue;
    }
    in_word = true;
    if (len == 1 && c == '"') {
      if (quoted && i + 1 < parameters.size() && parameters[i + 1] == '"') {
        word += '"';
        i += 2;
        continue;
      }
      quoted = !quoted;
      ++i;
      continue;
    }
    word.append(parameters.substr(i, len));
    i += len;
  }
  if (in_word) out.push_back(std::move(word));
  return out;
}

std::string WithoutQuotes(std::string_view text) {
  std::string out;
  for (char c : text)
    if (c != '"') out += c;
  return out;
}

namespace {

void* WaitOne(void* arg) {
  pid_t pid = static_cast<pid_t>(reinterpret_cast<intptr_t>(arg));
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  return nullptr;
}

// A descriptor that becomes readable when the child ends (Linux 5.3 and
// later); -1 when the system has none.
int ChildDescriptor(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
  return -1;
#endif
}

}  // namespace

void ReapInBackground(pid_t pid) {
  // A small thread whose only work is to wait for this one child. Waiting for
  // a given pid never takes the status of a child someone else waits for.
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  pthread_attr_setstacksize(&attr, 64 * 1024);
  pthread_t thread;
  // Signals go to the main thread, never to the reaper.
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &old);
  pthread_create(&thread, &attr, WaitOne, reinterpret_cast<void*>(static_cast<intptr_t>(pid)));
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  pthread_attr_destroy(&attr);
}

pid_t StartProgram(const std::string& path, const std::vector<std::string>& argv, bool detached) {
  if (path.empty() || argv.empty()) return -1;
  std::string program = FindProgram(path);
  if (program.empty()) return -1;
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // The child starts with no signal blocked and the default actions of the
  // signals the run-time handles (posix_spawn keeps ignored ones ignored).
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int sig : {SIGINT, SIGTERM, SIGPIPE, SIGCHLD}) sigaddset(&defaults, sig);
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (detached) flags |= POSIX_SPAWN_SETSID;
  posix_spawnattr_setflags(&attr, flags);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  fflush(nullptr);  // what the run printed comes before what the child prints
  pid_t pid = -1;
  int rc = posix_spawn(&pid, program.c_str(), nullptr, &attr, args.data(), environ);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return -1;
  if (detached) ReapInBackground(pid);
  return pid;
}

int WaitForChild(pid_t pid, const std::function<bool()>& idle) {
  int fd = ChildDescriptor(pid);
  int status = 0;
  for (;;) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) {
      status = -1;
      break;
    }
    if (idle && !idle()) {
      if (fd >= 0) close(fd);
      ReapInBackground(pid);
      return -1;
    }
    if (fd >= 0) {
      struct pollfd p = {fd, POLLIN, 0};
      poll(&p, 1, 100);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  if (fd >= 0) close(fd);
  return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace sorane
