// The helper-process link: sorane-office.py run by the system Python, spoken
// to over a socket pair with one request line and one answer line per call
// (the protocol is described at the top of the helper).
#include "interop/office/office_link.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "runtime/startup.h"

#ifndef SORANE_OFFICE_HELPER_INSTALLED
#define SORANE_OFFICE_HELPER_INSTALLED "../lib/sorane/sorane-office.py"
#endif

namespace sorane {

namespace {

constexpr const char kHelperName[] = "sorane-office.py";
constexpr const char kPackages[] = "libreoffice-calc-nogui libreoffice-writer-nogui python3-uno";

std::string Escape(const std::string& text) {
  std::string out;
  for (char ch : text) {
    switch (ch) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += ch;
    }
  }
  return out;
}

std::vector<std::string> SplitAnswer(const std::string& line) {
  std::vector<std::string> fields(1);
  for (size_t i = 0; i < line.size(); ++i) {
    char ch = line[i];
    if (ch == '\t') {
      fields.emplace_back();
    } else if (ch == '\\' && i + 1 < line.size()) {
      char next = line[++i];
      fields.back() += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    } else {
      fields.back() += ch;
    }
  }
  return fields;
}

const char* HalfName(OfficeHalf half) {
  return half == OfficeHalf::kSpreadsheet ? "calc" : "writer";
}

// The helper beside the executable (the build folder), else where the
// installation puts it.
std::string HelperPath() {
  std::string exe = ExecutablePath();
  std::string folder = exe.substr(0, exe.rfind('/') + 1);
  for (const char* relative : {kHelperName, SORANE_OFFICE_HELPER_INSTALLED}) {
    std::string path = folder + relative;
    if (access(path.c_str(), R_OK) == 0) return path;
  }
  return {};
}

class HelperLink : public OfficeLink {
 public:
  ~HelperLink() override { Stop(); }

  OfficeReply Start(OfficeHalf half) override { return Ask({"start", HalfName(half)}); }
  OfficeReply Open(OfficeHalf half, const std::string& os_path) override {
    return Ask({"open", HalfName(half), os_path});
  }
  OfficeReply Export(OfficeHalf half, const std::string& os_path,
                     const std::string& extension) override {
    return Ask({"save", HalfName(half), os_path, extension});
  }
  OfficeReply Print(OfficeHalf half, const std::string& os_pdf) override {
    return Ask({"print", HalfName(half), os_pdf});
  }
  OfficeReply Quit(OfficeHalf half) override { return Ask({"quit", HalfName(half)}); }
  OfficeReply SetCell(int column, int row, const std::string& value) override {
    return Ask({"set", std::to_string(column), std::to_string(row), value});
  }
  OfficeReply GetCell(int column, int row) override {
    OfficeReply reply = Ask({"get", std::to_string(column), std::to_string(row)});
    // The helper answers the kind first, then the value.
    if (reply.ok()) std::swap(reply.text, reply.extra);
    return reply;
  }
  OfficeReply SetBookmark(const std::string& name, const std::string& text) override {
    return Ask({"bookmark", name, text});
  }
  OfficeReply AppendText(const std::string& text) override { return Ask({"insert", text}); }
  OfficeReply BodyText() override { return Ask({"body"}); }
  OfficeReply RunMacro(OfficeHalf half, const std::string& name) override {
    return Ask({"macro", HalfName(half), name});
  }

 private:
  static OfficeReply Missing(std::string why) {
    return {OfficeReply::Kind::kMissing, std::move(why), kPackages};
  }

  OfficeReply Ask(const std::vector<std::string>& fields) {
    if (fd_ < 0) {
      OfficeReply started = Launch();
      if (!started.ok()) return started;
    }
    std::string line;
    for (const std::string& f : fields) line += (line.empty() ? "" : "\t") + Escape(f);
    line += '\n';
    std::string answer;
    if (!Send(line) || !Receive(answer)) {
      Stop();
      return {OfficeReply::Kind::kFailed, "補助プログラムが途中で終了しました。", {}};
    }
    std::vector<std::string> parts = SplitAnswer(answer);
    OfficeReply reply;
    if (parts[0] == "ok") {
      reply.kind = OfficeReply::Kind::kOk;
    } else if (parts[0] == "missing") {
      reply.kind = OfficeReply::Kind::kMissing;
    } else {
      reply.kind = OfficeReply::Kind::kFailed;
    }
    if (parts.size() > 1) reply.text = parts[1];
    if (parts.size() > 2) reply.extra = parts[2];
    return reply;
  }

  OfficeReply Launch() {
    std::string helper = HelperPath();
    if (helper.empty()) return Missing(std::string(kHelperName) + " が見つかりません。");
    const char* env = getenv("SORANE_OFFICE_PYTHON");
    std::string python = env && *env ? env : "/usr/bin/python3";
    if (access(python.c_str(), X_OK) != 0) return Missing(python + " が見つかりません。");
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
      return {OfficeReply::Kind::kFailed, "補助プログラムを起動できません。", {}};
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) {
      // A session of its own (a terminal's Ctrl-C is the run-time's to
      // handle); ended by the kernel when the run-time goes.
      setsid();
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (getppid() != parent) _exit(127);
      dup2(pair[1], 0);
      dup2(pair[1], 1);
      // Nothing else of the run-time's (sockets, files) goes with it.
      close_range(3, ~0U, 0);
      signal(SIGPIPE, SIG_DFL);
      execl(python.c_str(), python.c_str(), helper.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(pair[1]);
    if (pid < 0) {
      close(pair[0]);
      return {OfficeReply::Kind::kFailed, "補助プログラムを起動できません。", {}};
    }
    fd_ = pair[0];
    pid_ = pid;
    return {};
  }

  bool Send(const std::string& line) {
    for (size_t done = 0; done < line.size();) {
      ssize_t n = send(fd_, line.data() + done, line.size() - done, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

  bool Receive(std::string& line) {
    for (;;) {
      size_t end = buffer_.find('\n');
      if (end != std::string::npos) {
        line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return true;
      }
      char chunk[4096];
      ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      buffer_.append(chunk, static_cast<size_t>(n));
    }
  }

  // Closing the socket ends the helper, which ends the suite it started;
  // it is given time to do so and killed after that.
  void Stop() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    buffer_.clear();
    if (pid_ <= 0) return;
    int status;
    for (int i = 0; i < 300; ++i) {
      pid_t r = waitpid(pid_, &status, WNOHANG);
      if (r == pid_ || (r < 0 && errno != EINTR)) {
        pid_ = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }

  int fd_ = -1;
  pid_t pid_ = -1;
  std::string buffer_;
};

}  // namespace

std::unique_ptr<OfficeLink> MakeHelperLink() {
  return std::make_unique<HelperLink>();
}

}  // namespace sorane
