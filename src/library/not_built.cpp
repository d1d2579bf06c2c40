// Commands whose names and templates are registered (a script finds them
// and binds their arguments) but whose handlers are not built yet: running
// one reports "リンク切れ". A family that builds them moves its rows into
// its own table.
#include "library/library.h"
#include "runtime/command.h"

namespace sorane {

CommandTable NotBuiltCommands() {
  static constexpr CommandRow kRows[] = {
      // DDE.
      {CommandId::DdeSend, "DDE送信", "?の,?に,?を", nullptr, kActs},
      {CommandId::DdeServer, "DDEサーバー作成", "?を呼ぶ,?という", nullptr, kActs},
      // Other programs' windows, network and system information.
      {CommandId::Activate, "アクティブ", "?を", nullptr, kActs},
      {CommandId::SendKeys, "キー送信", "?に,?を", nullptr, kActs},
      {CommandId::ListWindows, "ウインドウ列挙", "", nullptr, kActs},
      {CommandId::ListWindows, "ウィンドウ列挙", "", nullptr, kActs},
      {CommandId::SendMessage, "メッセージ送信", "?に,?と", nullptr, kActs},
      {CommandId::ListNetworkComputers, "ネットワークコンピューター列挙", "?の", nullptr, kActs},
      {CommandId::ListSharedFolders, "共有フォルダ列挙", "?の", nullptr, kActs},
      {CommandId::UserName, "ユーザー名取得", "", nullptr, kActs},
      {CommandId::ComputerName, "コンピューター名取得", "", nullptr, kActs},
      {CommandId::IpAddress, "IPアドレス取得", "?の", nullptr, kActs},
      {CommandId::ListNetworkComputersWithDomain, "ネットワークコンピューター列挙ドメイン付き",
       "?の", nullptr, kActs},
      {CommandId::ListNetworkDomains, "ネットワークドメイン列挙", "", nullptr, kActs},
  };
  return kRows;
}

}  // namespace sorane
