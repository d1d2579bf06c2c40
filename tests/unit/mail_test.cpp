// The mail pieces that need no server: the message builder's dates, names and
// server texts, the reading of real-world message shapes, and the receive
// folder's handling of names chosen by a sender. The commands themselves run
// against real servers in tests/mail/.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "net/mail/mail_folder.h"
#include "net/mail/mail_message.h"
#include "net/mail/mail_parse.h"
#include "net/mail/mail_transport.h"
#include "test_env.h"
#include "test_files.h"
#include "text/encoding.h"

namespace sorane {
namespace {

namespace fs = std::filesystem;
using namespace mail;

std::string U(const std::string& utf8) {
  return Utf8ToSjis(utf8);
}

// ---------------------------------------------------------------- sending

TEST(MailMessage, DateCarriesTheRealLocalOffset) {
  {
    ScopedEnv tz("TZ", "JST-9");
    tzset();
    EXPECT_EQ(MailDate(0), "Thu, 01 Jan 1970 09:00:00 +0900");
  }
  {
    ScopedEnv tz("TZ", "EST5");
    tzset();
    EXPECT_EQ(MailDate(86400 * 45), "Sat, 14 Feb 1970 19:00:00 -0500");
  }
  {
    ScopedEnv tz("TZ", "IST-5:30");
    tzset();
    EXPECT_EQ(MailDate(0).substr(26), "+0530");
  }
  tzset();
}

TEST(MailMessage, NamesAreQuotedOrEncodedAndNeverBreakTheHeader) {
  Outgoing m;
  m.from = "a@example.com";
  m.from_name = "Yamada, Taro";
  m.to = "b@example.com";
  m.subject = "x\ry\nz";
  m.body = "b";
  // A name CP932 cannot hold (kept as byte escapes) goes out in UTF-8.
  m.attachments.push_back({Utf8ToSjisKeepingBytes("caf\xC3\xA9 \"1\".txt"), "data"});
  std::string msg = BuildMessage(m, 0, "B");
  EXPECT_NE(msg.find("From: \"Yamada, Taro\" <a@example.com>\r\n"), std::string::npos);
  EXPECT_NE(msg.find("Subject: x y z\r\n"), std::string::npos);
  EXPECT_NE(msg.find("filename*=UTF-8''caf%C3%A9%20%221%22.txt\r\n"), std::string::npos);

  Envelope e;
  std::string error;
  m.cc = "c@example.com\rRCPT TO:<x@example.com>";
  EXPECT_FALSE(BuildEnvelope(m, e, error));
  EXPECT_EQ(error, U("送信先のアドレスに改行があります。"));
}

TEST(MailTransport, ServerTextsChooseSchemeAndPort) {
  struct Case {
    const char* text;
    Protocol protocol;
    const char* url;  // nullptr: refused
    bool require_tls;
  } cases[] = {
      {"mail.example.com", Protocol::kSmtp, "smtp://mail.example.com:25/", false},
      {"mail.example.com:587", Protocol::kSmtp, "smtp://mail.example.com:587/", true},
      {"mail.example.com:465", Protocol::kSmtp, "smtps://mail.example.com:465/", false},
      {"mail.example.com:995", Protocol::kPop3, "pop3s://mail.example.com:995/", false},
      {"pop3s://127.0.0.1:1995", Protocol::kPop3, "pop3s://127.0.0.1:1995/", false},
      {"::1", Protocol::kPop3, "pop3://[::1]:110/", false},
      {"pop3://mail.example.com", Protocol::kSmtp, nullptr, false},
      {"user:pw@mail.example.com", Protocol::kSmtp, nullptr, false},
      {"mail.example.com/x", Protocol::kSmtp, nullptr, false},
      {"mail.example.com:70000", Protocol::kSmtp, nullptr, false},
  };
  for (const Case& c : cases) {
    Server s;
    bool ok = ParseServer(c.text, c.protocol, s);
    EXPECT_EQ(ok, c.url != nullptr) << c.text;
    if (ok && c.url) {
      EXPECT_EQ(s.url, c.url) << c.text;
      EXPECT_EQ(s.require_tls, c.require_tls) << c.text;
    }
  }
}

// ---------------------------------------------------------------- reading

// Nested alternatives, quoted-printable and RFC 2231 names run against the
// server in tests/mail; here what a mailbox rarely shows.
TEST(MailParse, ForwardedMessagesAndFootersOfLists) {
  Received r = ParseMessage(
      "Subject: fwd\r\n"
      "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
      "--b\r\n"
      "Content-Type: text/plain; charset=utf-8\r\n\r\n"
      "caf\xC3\xA9\r\n"
      "--b\r\n"
      "Content-Type: message/rfc822\r\n\r\n"
      "Subject: inner\r\n\r\ninner body\r\n"
      "--b\r\n"
      "Content-Type: text/plain; charset=us-ascii\r\n\r\n"
      "-- list footer\r\n"
      "--b--\r\n");
  EXPECT_EQ(r.subject, " fwd");
  EXPECT_EQ(r.body, Utf8ToSjisKeepingBytes("caf\xC3\xA9") + "\r\n-- list footer\r\n");
  ASSERT_EQ(r.attachments.size(), 1u);
  EXPECT_EQ(r.attachments[0].name, "");
  EXPECT_EQ(r.attachments[0].fallback_extension, ".eml");
  EXPECT_NE(r.attachments[0].data.find("inner body"), std::string::npos);
}

TEST(MailParse, JapaneseCharsetsInBodiesWordsAndNames) {
  // ISO-2022-JP with a vendor character (① is row 13), a UTF-8 word split
  // inside a character, raw Shift-JIS in a header and in a quoted file name,
  // an ISO-2022-JP encoded word as a file name, an EUC-JP part.
  std::string raw =
      "Return-Path: <bounce@example.com>\r\n"
      "Subject: =?ISO-2022-JP?B?GyRCLSEbKEI=?= =?iso-2022-jp?b?GyRCJUYlOSVIGyhC?= end\r\n"
      "From: =?UTF-8?B?5bGx?= =?UTF-8?B?55Sw4w==?= =?UTF-8?B?gIA=?= <y@example.com>\r\n"
      "To: \x93\xfa\x96\x7b <t@example.com>\r\n"
      "Date: Mon, 1 Jan 2024 09:00:00 +0900\r\n"
      "MIME-Version: 1.0\r\n"
      "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
      "--b\r\n"
      "Content-Type: text/plain; charset=ISO-2022-JP\r\n\r\n"
      "\x1b$B-!$\"\x1b(B\r\n"
      "--b\r\n"
      "Content-Type: text/plain; charset=euc-jp; "
      "name=\"=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=.txt\"\r\n"
      "Content-Disposition: attachment\r\n\r\n"
      "\xa4\xa2\r\n"
      "--b\r\n"
      "Content-Type: application/octet-stream\r\n"
      "Content-Disposition: attachment; filename=\"\x95\x5c.csv\"\r\n\r\n"
      "1,2\r\n"
      "--b--\r\n";
  Received r = ParseMessage(raw);
  ASSERT_TRUE(r.return_path);
  EXPECT_EQ(*r.return_path, " <bounce@example.com>");
  EXPECT_EQ(r.subject, U(" ①テスト end"));
  EXPECT_EQ(r.from, U(" 山田　 <y@example.com>"));
  EXPECT_EQ(r.to, U(" 日本 <t@example.com>"));
  EXPECT_EQ(r.date, " Mon, 1 Jan 2024 09:00:00 +0900");
  EXPECT_EQ(r.body, U("①あ\r\n"));
  ASSERT_EQ(r.attachments.size(), 2u);
  EXPECT_EQ(r.attachments[0].name, U("テスト.txt"));
  EXPECT_EQ(r.attachments[1].name, U("表.csv"));
  EXPECT_EQ(r.attachments[1].data, "1,2");
}

// ---------------------------------------------------------------- the folder

class MailFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("sorane-mail-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "in");
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string In() const { return (dir_ / "in").string() + "/"; }
  fs::path dir_;
};

TEST_F(MailFolder, SenderChosenNamesStayInsideAndOverwriteNothing) {
  WriteRaw(dir_ / "outside", "keep");
  fs::create_symlink(dir_ / "outside", dir_ / "in" / "bashrc");
  Received r;
  r.from = " a@example.com";
  r.subject = U(" 件名\r\n添付ファイル:偽");
  r.body = "text\r\n";
  for (const char* name : {"../../.bashrc", "/home/u/.profile", "C:\\x\\evil.txt", "1.txt", "..",
                           "security.INI", " .\xe3\x80\x80", "a\r\nb.txt"})
    r.attachments.push_back({U(name), "", name});
  r.attachments[6].fallback_extension = ".html";
  ReceiveFolder folder(In());
  ASSERT_TRUE(folder.Save("raw", r));
  EXPECT_EQ(folder.last_number(), 1);
  EXPECT_EQ(ReadAll(dir_ / "outside"), "keep");
  std::vector<std::string> used = {"bashrc (2)", "profile",          "evil.txt",      "1 (2).txt",
                                   U("添付5"),   "security (2).INI", U("添付7.html"), "a  b.txt"};
  std::string expected;
  for (size_t i = 0; i < used.size(); ++i) {
    expected += U("添付ファイル:") + used[i] + "\r\n";
    EXPECT_EQ(ReadAll(dir_ / "in" / SjisToUtf8(used[i])), r.attachments[i].data) << i;
  }
  expected += U(
      "送信者: a@example.com\r\n受信者:\r\n日時:\r\n件名: 件名  添付ファイル:偽\r\n本文:\r\n\r\n");
  expected += "text\r\n";
  EXPECT_EQ(ReadAll(dir_ / "in" / "1.txt"), expected);
  EXPECT_EQ(ReadAll(dir_ / "in" / "1.eml"), "raw");
  EXPECT_FALSE(fs::exists(dir_ / "in" / "security.INI"));
}

TEST_F(MailFolder, NumbersSkipEverySummaryAndRawMessageThere) {
  WriteRaw(dir_ / "in" / "1.txt", "old summary");
  WriteRaw(dir_ / "in" / "2.eml", "old message");
  fs::create_symlink(dir_ / "missing", dir_ / "in" / "3.txt");
  Received r;
  ReceiveFolder folder(In());
  ASSERT_TRUE(folder.Save("new 1", r));
  EXPECT_EQ(folder.last_number(), 4);
  ASSERT_TRUE(folder.Save("new 2", r));
  EXPECT_EQ(folder.last_number(), 5);
  EXPECT_EQ(ReadAll(dir_ / "in" / "2.eml"), "old message");
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
  EXPECT_EQ(ReadAll(dir_ / "in" / "5.eml"), "new 2");

  ReceiveFolder gone((dir_ / "gone").string() + "/");
  EXPECT_FALSE(gone.Save("x", r));
}

}  // namespace
}  // namespace sorane
