// The run-time's topic "command" over a host whose event loop polls the
// sockets, as the console's does: "pause" opens one debug dialog and is
// ignored while one is open; 実行中断 in it ends the run.
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "debug/editor_link.h"
#include "interop/dde/dde_server.h"
#include "library/library.h"
#include "runtime/interpreter.h"
#include "test_env.h"
#include "test_host.h"

namespace sorane {
namespace {

// Watches descriptors with poll; later calls run at the next processing.
class PollHost : public TestHost {
 public:
  int dialogs_opened = 0;
  std::function<void()> while_dialog_open;

  bool WatchDescriptor(int fd, unsigned events, bool, WatchCallback callback) override {
    watches_[fd] = {events, std::move(callback)};
    return true;
  }
  void UnwatchDescriptor(int fd) override { watches_.erase(fd); }
  void CallLater(int, std::function<void()> callback) override {
    later_.push_back(std::move(callback));
  }
  void ProcessEvents() override { WaitForEvents(0); }
  void WaitForEvents(int ms) override {
    std::vector<pollfd> fds;
    for (auto& [fd, w] : watches_) {
      short events = 0;
      if (w.events & kWatchRead) events |= POLLIN;
      if (w.events & kWatchWrite) events |= POLLOUT;
      fds.push_back({fd, events, 0});
    }
    poll(fds.data(), fds.size(), later_.empty() ? ms : 0);
    for (const pollfd& p : fds) {
      auto it = watches_.find(p.fd);
      if (it == watches_.end() || !p.revents) continue;
      WatchCallback callback = it->second.callback;  // may unwatch itself
      unsigned ready = 0;
      if (p.revents & (POLLIN | POLLHUP | POLLERR)) ready |= kWatchRead;
      if (p.revents & POLLOUT) ready |= kWatchWrite;
      callback(ready);
    }
    std::vector<std::function<void()>> due;
    due.swap(later_);
    for (auto& f : due) f();
  }
  bool DebugDialog(const std::string&) override {
    DebugDialogShown shown;  // marked as every host marks the dialog it shows
    ++dialogs_opened;
    if (while_dialog_open) while_dialog_open();
    return true;  // closed with 実行中断
  }

 private:
  struct Watch {
    unsigned events;
    WatchCallback callback;
  };
  std::map<int, Watch> watches_;
  std::vector<std::function<void()>> later_;
};

TEST(DdeCommandTopic, PauseOpensOneDialogAndItsAbortEndsTheRun) {
  char folder[] = "/tmp/sorane-dde-test-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  ScopedEnv runtime("XDG_RUNTIME_DIR", folder);
  PollHost host;
  Interpreter in(host);
  InstallLibrary(in);
  in.S.SourceName = "t.srn";
  in.S.ProgramText = "A=1\r\n";
  in.PrepareRun();
  {
    dde::Server server(in);
    ASSERT_TRUE(server.Listening());
    std::vector<std::string> sockets = dde::ServiceSockets(server.Service(), "command");
    ASSERT_FALSE(sockets.empty());
    dde::Socket client = dde::ConnectTo(sockets[0]);
    ASSERT_TRUE(client);
    auto send = [&](char kind, const std::string& body) {
      std::string bytes = dde::FrameBytes(kind, body);
      ASSERT_EQ(write(client.get(), bytes.data(), bytes.size()), ssize_t(bytes.size()));
    };
    auto pump = [&] {
      for (int i = 0; i < 20; ++i) host.WaitForEvents(5);
    };
    // The dialog is open while a second request comes and is handled.
    host.while_dialog_open = [&] {
      if (host.dialogs_opened > 1) return;
      send(dde::kExecute, "pause");
      pump();
    };
    send(dde::kConnect, server.Service() + '\0' + "command");
    send(dde::kExecute, "pause");
    pump();
    EXPECT_EQ(host.dialogs_opened, 1);
    EXPECT_TRUE(in.S.StopRequested);
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder));
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace sorane
