// The debug dialog's editor button on the offscreen platform: "row " + the
// current line goes to the editor's service over the link sockets.
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QString>
#include <filesystem>
#include <thread>

#include "gui/dialog_automation.h"
#include "gui/frm_debug.h"
#include "interop/dde/dde_server.h"
#include "library/library.h"
#include "runtime/interpreter.h"
#include "test_env.h"
#include "test_host.h"

namespace sorane {
namespace {

TEST(DebugDialogEditorLink, ButtonSendsTheCurrentRow) {
  char folder[] = "/tmp/sorane-editor-test-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  ScopedEnv runtime("XDG_RUNTIME_DIR", folder);
  dde::InstallEditorLink();
  // The editor: the service "soranepad" answering every frame but D.
  std::string path;
  dde::Socket editor = dde::ListenAsService("soranepad", path);
  ASSERT_TRUE(editor);
  std::vector<dde::FrameReader::Frame> received;
  std::thread serve([&] {
    pollfd p{editor.get(), POLLIN, 0};
    if (poll(&p, 1, 5000) != 1) return;
    dde::Socket peer(accept(editor.get(), nullptr, nullptr));
    dde::FrameReader reader;
    dde::FrameReader::Frame f;
    while (dde::ReadFrame(peer.get(), reader, f, 5000, nullptr)) {
      received.push_back(f);
      if (f.kind == dde::kDisconnect) break;
      dde::WriteFrame(peer.get(), dde::kAccepted, "", 1000, nullptr);
    }
  });

  TestHost host;
  Interpreter in(host);
  InstallLibrary(in);
  in.S.SourceName = "t.srn";
  in.S.ProgramText = "A=1\r\nB=2\r\n";
  in.PrepareRun();
  in.S.LineNo = 2;
  ClearDialogAnswers();
  QueueDialogAnswer(QString::fromUtf8("エディタと同期"));
  QueueDialogAnswer(QString::fromUtf8("連続実行"));
  TfrmDebug dialog(nullptr);
  dialog.Execute(in, "");
  serve.join();
  dde::StopListening(path);

  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[0].kind, dde::kConnect);
  EXPECT_EQ(received[0].body, std::string("soranepad\0command", 17));
  EXPECT_EQ(received[1].kind, dde::kExecute);
  EXPECT_EQ(received[1].body, "row 2");
  EXPECT_TRUE(std::filesystem::is_empty(folder));
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace sorane
