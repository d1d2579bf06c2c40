// メール送信 and メール受信: the settings come from the mail variables, the
// transfers run on libcurl while the host keeps processing its events, and
// received messages are written into the receive folder after the security
// policy allowed it.
#include <algorithm>
#include <ctime>

#include "library/files/files_util.h"
#include "net/mail/mail_folder.h"
#include "net/mail/mail_message.h"
#include "net/mail/mail_parse.h"
#include "net/mail/mail_transport.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "policy/security.h"
#include "runtime/command.h"
#include "runtime/interpreter.h"
#include "text/encoding.h"
#include "text/number.h"
#include "text/sjis.h"

namespace sorane {
namespace {

using namespace mail;

std::string Variable(Interpreter& in, const std::string& name) {
  THashNode* w = in.S.Words.FindExact(name);
  return w ? w->Value() : std::string();
}

[[noreturn]] void SendError(Interpreter& in, const std::string& reason) {
  in.Raise(SJ("メールの送信エラー。%s"), reason);
}

[[noreturn]] void ReceiveError(Interpreter& in, const std::string& reason) {
  in.Raise(SJ("メールの受信エラー。%s"), reason);
}

// The progress window of a command: shown with a message, its bar following
// the transfer, closed with the object. The host's events go on between the
// transfer's packets; the stop button or a stop request of the run ends it.
class MailProgress {
 public:
  MailProgress(Interpreter& in, const std::string& message) : in_(in) { Message(message); }
  ~MailProgress() { in_.host.Dialogs().CloseProgress(); }
  void Message(const std::string& text) {
    in_.host.Dialogs().ShowProgress(text);
    in_.host.EventLoop().ProcessEvents();
  }
  void Percent(int percent) { in_.host.Dialogs().UpdateProgress(percent, 100); }
  // The callback of one transfer; `known_total` stands in for a total the
  // protocol does not tell.
  Progress Callback(int64_t known_total = 0) {
    return [this, known_total](int64_t done, int64_t total) {
      if (total <= 0) total = known_total;
      in_.host.Dialogs().UpdateProgress(total > 0 ? std::min(done, total) : done, total);
      in_.host.EventLoop().ProcessEvents();
      return !in_.host.Dialogs().ProgressStopped() && !in_.S.StopRequested;
    };
  }

 private:
  Interpreter& in_;
};

// ---------------------------------------------------------------- sending

std::vector<Attachment> ReadAttachments(Interpreter& in) {
  std::vector<Attachment> files;
  for (const std::string& line : RecipientLines(Variable(in, SJ("メール添付ファイル")))) {
    std::string path = ResolveFileName(in, PackedFirst(in, line));
    Attachment a;
    a.name = ExtractFileName(path);
    if (!FileExists(path)) SendError(in, SJ("添付ファイル\"") + path + SJ("\"がありません。"));
    if (!IsValidFileName(path) || !ReadFileBytes(path, a.data))
      in.Raise(SJ("メールのデコードに失敗"));
    files.push_back(std::move(a));
  }
  return files;
}

void CmdMailSend(Call& c) {
  Interpreter& in = c.in;
  std::string host = Trim(Variable(in, SJ("メールホスト")));
  if (host.empty()) SendError(in, SJ("ホスト名が未設定です。"));
  Outgoing mail;
  mail.to = Variable(in, SJ("メール送信先"));
  if (RecipientLines(mail.to).empty()) SendError(in, SJ("送信先が未設定です。"));
  mail.body = Variable(in, SJ("メール本文"));
  if (mail.body.empty()) SendError(in, SJ("本文が未設定です。"));
  mail.subject = Variable(in, SJ("メールタイトル"));
  mail.cc = Variable(in, SJ("メールCC"));
  mail.bcc = Variable(in, SJ("メールBCC"));
  mail.from = Variable(in, SJ("メール送信元"));
  mail.from_name = Variable(in, SJ("メール送信者名"));
  mail.mailer = in.host.Window().WindowCaption();
  mail.attachments = ReadAttachments(in);
  Envelope envelope;
  std::string reason;
  if (!BuildEnvelope(mail, envelope, reason)) SendError(in, reason);
  Server server;
  if (!ParseServer(host, Protocol::kSmtp, server)) SendError(in, SJ("接続に失敗。"));
  std::string message = BuildMessage(mail, std::time(nullptr), NewBoundary());

  MailProgress progress(in, SJ("サーバーに接続中"));
  Progress bytes = progress.Callback();
  bool sending = false;
  auto sent = [&](int64_t done, int64_t total) {
    if (total > 0 && !sending) {
      sending = true;
      progress.Message(SJ("メール送信"));
    }
    return bytes(done, total);
  };
  // SMTP has no password variable of its own: AUTH uses the POP3 one, with
  // メールID as the user.
  Outcome outcome = SendMessage(server, Variable(in, SJ("メールID")),
                                Variable(in, SJ("メールパスワード")), envelope, message, sent);
  switch (outcome) {
    case Outcome::kDone:
      break;
    case Outcome::kBadHost:
    case Outcome::kConnect:
      SendError(in, SJ("接続に失敗。"));
    case Outcome::kAuth:
      SendError(in, SJ("認証に失敗。パスワードを確認してください。"));
    default:
      SendError(in, SJ("送信失敗。"));
  }
  progress.Percent(100);
  progress.Message(SJ("完了(^v^)Y"));
}

// ---------------------------------------------------------------- receiving

void CmdMailReceive(Call& c) {
  Interpreter& in = c.in;
  std::string folder = c.Text(0);
  if (!EndsWithPathSeparator(folder)) folder += "/";
  if (!IsAbsoluteName(folder)) folder = in.S.HostPath + folder;
  std::string os = CheckedOsPath(in, folder);
  if (!SecurityCheck(in, folder, QuotedQuestion(folder, SJ(" にメールを受信します。")))) return;
  if (!MakeOsFolders(os)) ReceiveError(in, SJ("メール受信用フォルダが作成できません。"));
  bool remove = ParseNumber(Variable(in, SJ("メールサーバーから削除"))) != 0;

  std::string host = Trim(Variable(in, SJ("メールホスト")));
  std::string user = Variable(in, SJ("メールID"));
  std::string password = Variable(in, SJ("メールパスワード"));
  if (host.empty()) ReceiveError(in, SJ("ホスト名が未設定です。"));
  if (user.empty()) ReceiveError(in, SJ("ユーザーＩＤが未設定です。"));
  if (password.empty()) ReceiveError(in, SJ("パスワードが未設定です。"));
  Server server;
  if (!ParseServer(host, Protocol::kPop3, server))
    ReceiveError(in, SJ("接続に失敗。ホスト名が不正です。"));

  // Messages are only fetched when they can be taken apart.
  if (!MessageParserAvailable()) ReceiveError(in, SJ("メールの受信に失敗しました。"));
  MailProgress progress(in, SJ("メールの受信：ホストに接続中"));
  progress.Percent(0);
  Pop3Session session(server, user, password);
  std::vector<int64_t> sizes;
  switch (session.List(sizes, progress.Callback())) {
    case Outcome::kDone:
      break;
    case Outcome::kBadHost:
      ReceiveError(in, SJ("接続に失敗。ホスト名が不正です。"));
    case Outcome::kConnect:
      ReceiveError(in, SJ("接続に失敗。"));
    case Outcome::kAuth:
      ReceiveError(in, SJ("ユーザー認証に失敗"));
    default:
      ReceiveError(in, SJ("pop3サーバーへの接続に失敗しました。"));
  }
  std::string count = std::to_string(sizes.size());
  progress.Message(SJ("メールの受信：") + count + SJ(" 通のメール"));

  ReceiveFolder saver(os);
  for (size_t i = 1; i <= sizes.size(); ++i) {
    progress.Percent(0);
    progress.Message(std::to_string(i) + "/" + count + SJ("番目のメールを受信中"));
    std::string raw;
    if (session.Retrieve(i, raw, progress.Callback(sizes[i - 1])) != Outcome::kDone)
      ReceiveError(in, std::to_string(i) + SJ("番のメール受信に失敗しました。"));
    if (!saver.Save(raw, ParseMessage(raw))) ReceiveError(in, SJ("メールの受信に失敗しました。"));
    // Deleted on the server only once its files are complete, and only when
    // every message could be saved.
    if (remove) session.Delete(i);
    progress.Percent(100);
  }
  if (session.Finish() != Outcome::kDone) ReceiveError(in, SJ("メールの受信に失敗しました。"));
}

}  // namespace

CommandTable MailCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::MailSend, "メール送信", "", CmdMailSend, kActs},
      {CommandId::MailReceive, "メール受信", "?へ", CmdMailReceive, kActs},
  };
  return kRows;
}

}  // namespace sorane
