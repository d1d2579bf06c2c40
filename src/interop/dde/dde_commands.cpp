// DDE送信 and DDEサーバー作成: macros to other programs' topics, and topics of
// this run whose macros jump to a label.
#include "interop/dde/dde_commands.h"

#include "interop/dde/dde_server.h"
#include "runtime/interpreter.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

namespace {

// How long DDE送信 looks for the service after starting DDEファイル名.
constexpr int kStartedServiceWaitMs = 10000;

const std::string& LinkError() {
  static const std::string text = SJ("サーバー\"%s\"トピック\"%s\"でエラー。");
  return text;
}

// Starts DDEファイル名 the way 起動 starts a program.
bool StartServiceProgram(Interpreter& in) {
  THashNode* file = in.S.Words.FindExact(SJ("DDEファイル名"));
  std::string program = file ? Trim(file->Value()) : std::string();
  THashNode* launch = in.S.Words.Find(SJ("起動"), true);
  if (program.empty() || !launch || launch->Kind != kWordCommand) return false;
  CommandHandler handler = in.HandlerOf(launch->Command);
  if (!handler) return false;
  in.S.ArgStack.Push(Requote(program));
  in.S.SoreImplied = false;
  Call call(in, *launch, 1);
  handler(call);
  return true;
}

// Sの,Tに,Mを DDE送信
void CmdDdeSend(Call& c) {
  Interpreter& in = c.in;
  std::string service = c.Text(0);
  std::string topic = c.Text(1);
  std::string macro = c.Text(2);
  dde::SendResult sent = dde::SendMacro(in, service, topic, macro);
  if (sent != dde::SendResult::kSent && sent != dde::SendResult::kNotSent &&
      StartServiceProgram(in))
    sent = dde::SendMacro(in, service, topic, macro, kStartedServiceWaitMs);
  if (sent == dde::SendResult::kNoService || sent == dde::SendResult::kNoLink)
    in.Raise(LinkError() + SJ("リンク出来ませんでした。"), service, topic);
  if (sent == dde::SendResult::kNotSent)
    in.Raise(LinkError() + SJ("コマンドの送信に失敗"), service, topic);
}

// Lを呼ぶ,Tという DDEサーバー作成: the label is taken as written and must be one.
void CmdDdeServer(Call& c) {
  Interpreter& in = c.in;
  std::string label = c.Name(0);
  std::string topic = c.Text(1);
  const std::string self = SJ("自身");
  THashNode* w = in.S.Words.FindExact(label);
  if (!w || w->Kind != kWordLabel || !w->More().RefPos)
    in.Raise(LinkError() + SJ("ジャンプ先ラベルが見つかりません。"), self, topic);
  dde::Server& server = dde::Server::Of(in);
  switch (server.AddTopic(topic, TPos(w->More().RefPos, w->More().RefText))) {
    case dde::Server::AddResult::kAdded:
      return;
    case dde::Server::AddResult::kFull:
      in.Raise(LinkError() + SJ("これ以上サーバーを立ち上げられません。"), self, topic);
    case dde::Server::AddResult::kFailed:
      in.Raise(LinkError() + SJ("サーバー作成に失敗"), self, topic);
  }
}

}  // namespace

CommandTable DdeCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::DdeSend, "DDE送信", "?の,?に,?を", CmdDdeSend, kActs},
      {CommandId::DdeServer, "DDEサーバー作成", "?を呼ぶ,?という", CmdDdeServer, kActs},
  };
  return kRows;
}

}  // namespace sorane
