#include "library/vocabulary.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "library/library.h"
#include "platform/special_folders.h"
#include "runtime/interpreter.h"
#include "text/encoding.h"
#include "words/hash.h"

namespace sorane {

namespace {

// clang-format off
// Every system variable. Read-only ones are the values the run-time keeps up to
// date itself (loop counter, event data, error text, paths); the rest are
// settings and constants a script may change.
constexpr SystemVariableEntry kVariables[] = {
    // Connective, loop counter and text layout.
    {"そして", "", "日本語らしい表記をするための接続詞。一度文を区切り,構文チェックをする。", false},
    {"回数", "0", "回、反復、命令において、繰り返した回数をカウントしている変数e", true},
    {"タブ文字の個数", "8", "表示命令や、行揃え命令での、タブ文字の個数を指定", false},
    {"禁則処理の行頭禁止文字", "、。，．・？！゛゜ヽヾゝゞ々ー）］｝」』!),.:;?]}｡｣､･ｰﾞﾟ", "行揃え命令などでの、禁則処理に使う文字", false},
    // Pattern matching.
    {"マッチ数", "", "正規表現でマッチした数を返すe", false},
    // Dialogs.
    {"ダイアログキャンセルの値", "", "ダイアログでキャンセルが押された時の値s", false},
    {"ダイアログIMEの状態", "0", "ダイアログを表示する時にIMEの状態を設定するe", false},
    {"ダイアログ初期値", "", "ダイアログを表示する時の初期値を設定するs", false},
    // File attribute values.
    {"属性なし", "0", "ファイル属性変更e", true},
    {"読取専用ファイル", "1", "ファイル属性変更e", true},
    {"隠しファイル", "2", "ファイル属性変更e", true},
    {"アーカイブファイル", "32", "ファイル属性変更e", true},
    // Error text and the close state.
    {"エラーメッセージ", "", "直前のエラーメッセージを記憶しているs", true},
    {"終了不可能", "0", "プログラムが終了できるかどうか調べるのに使う", true},
    // Tables and output.
    {"表フィールド名", "0", "表の１行目をフィールド名として扱うかどうか。オンかオフを指定する。", false},
    {"表示出力先", "", "『表示』命令の出力先を指定。ファイル名を指定する。s", false},
    // Text style and drawing.
    {"文字色", "0", "文字の色を設定s", false},
    {"文字サイズ", "12", "文字サイズを設定e", false},
    {"文字書体", "ＭＳ ゴシック", "文字の書体を設定s", false},
    {"ペン色", "0", "図形の外枠の色を設定s", false},
    {"ペン太さ", "2", "図形の外枠の太さを設定e", false},
    {"塗り色", "0", "図形の塗り色を設定s", false},
    {"JPEG圧縮率", "100", "JPEG形式で、イメージ保存するときの圧縮率を1-100で指定するe", false},
    {"部品配置間隔", "8", "部品を自動配置する時の部品間の間隔e", false},
    // Mouse, keys and events.
    {"マウスX", "0", "マウスが押された時のマウス座標e", true},
    {"マウスY", "0", "マウスが押された時のマウス座標e", true},
    {"押されたキー", "0", "キーイベントで押されたキーの番号e", true},
    {"押された特殊キー", "", "キーイベントで押された特殊キーの名前を配列形式で保持。(Shift,Ctrl,Alt)", true},
    {"イベントオブジェクト", "", "イベントを発したオブジェクトs", true},
    {"イベントの値", "", "イベントを発したオブジェクトs", true},
    // Browser objects.
    {"ブラウザURL移動許可", "1", "ブラウザでURLの移動を許可するかe", false},
    {"ブラウザ移動先URL", "", "ブラウザでクリックされた時の次のURLの移動先を保持s", true},
    // Form frame styles.
    {"枠なし", "0", "e", false},
    {"枠固定", "1", "e", false},
    {"枠可変", "2", "e", false},
    {"ダイアログスタイル", "3", "e", false},
    // Scroll-bar directions.
    {"縦", "縦", "スクロールバーの向きs", false},
    {"横", "横", "スクロールバーの向きs", false},
    {"両方", "両方", "スクロールバーの向きs", false},
    // Input-method modes.
    {"IMEオン", "1", "IMEの設定項目で、IMEをオンにするe", false},
    {"IMEオフ", "0", "IMEの設定項目で、IMEをオフにするe", false},
    {"IMEひらがな", "2", "IMEの設定項目で、IMEをひらがなにするe", false},
    {"IMEカタカナ", "3", "IMEの設定項目で、IMEをカタカナにするe", false},
    {"IME半角カタカナ", "4", "IMEの設定項目で、IMEを半角カタカナにするe", false},
    // Media.
    {"演奏繰り返し", "0", "演奏繰り返し=オンorオフe", false},
    // Archiver options.
    {"圧縮オプション", "-a1 -r2 -x1 -l1 -jp1 -o2 -ji0", "圧縮/自己解凍書庫作成命令の圧縮オプションの指定s", false},
    {"解凍オプション", "-a1 -r2 -x1 -jp1 -c0 -m1", "解凍命令の解凍オプションの指定s", false},
    {"自己解凍書庫オプション", "-x1 -r2 -gx0 -gw4", "自己解凍書子作成命令の解凍オプションの指定s", false},
    // Mail.
    {"メールホスト", "", "メールサーバーホストアドレスを指定s", false},
    {"メールID", "", "ユーザーIDを指定s", false},
    {"メールパスワード", "", "ユーザーパスワードを指定s", false},
    {"メールタイトル", "", "メールのタイトルs", false},
    {"メール本文", "", "メールの本文s", false},
    {"メール添付ファイル", "", "メールに添付するファイルリスト（配列）s", false},
    {"メール送信先", "", "メール送信先リスト（配列）s", false},
    {"メールBCC", "", "非公開メール送信先リスト（配列）s", false},
    {"メールCC", "", "公開メール送信先リスト（配列）s", false},
    {"メール送信元", "", "メール送信元アドレスs", false},
    {"メール送信者名", "", "メール送信者名s", false},
    {"メールサーバーから削除", "1", "受信したメールをサーバーから削除するかs", false},
    // FTP.
    {"FTPホスト", "", "FTPサーバーホストアドレスを指定s", false},
    {"FTPユーザーID", "", "ユーザーＩＤを指定s", false},
    {"FTPパスワード", "", "ユーザーパスワードを指定s", false},
    {"FTP接続方式", "", "PASV転送を使う場合は、「PASV」と指定s", false},
    // TCP.
    {"TCPポート", "", "TCP/IPのポート番号s", false},
    {"TCPサービス名", "", "TCP/IPのサービス名s", false},
    {"TCP文字列", "", "TCP/IPで受信した文字列s", false},
    {"TCP送信元", "", "TCP/IPでメッセージを送信したコンピューターのIPアドレスs", false},
    // Registry roots.
    {"HKEY_CLASSES_ROOT", "0", "e", true},
    {"HKEY_CURRENT_USER", "1", "e", true},
    {"HKEY_LOCAL_MACHINE", "2", "e", true},
    {"HKEY_USERS", "3", "e", true},
    // DDE.
    {"DDEファイル名", "", "DDEの対象ファイルを選択s", false},
    {"DDE文字列", "", "DDEのイベントを受けるs", false},
    // Truth values and button answers.
    {"オン", "1", "e", false},
    {"オフ", "0", "e", false},
    {"はい", "1", "e", false},
    {"いいえ", "0", "e", false},
    {"キャンセル", "2", "e", false},
    // The result word and the last object used.
    {"それ", "", "命令の返却値として利用", false},
    {"そ", "", "「その」前回利用したオブジェクトを覚えておく", false},
    // Colours.
    {"赤色", "#FF0000", "s", false},
    {"青色", "#0000FF", "s", false},
    {"黒色", "#000000", "s", false},
    {"白色", "#FFFFFF", "s", false},
    {"黄色", "#FFFF00", "s", false},
    {"緑色", "#00FF00", "s", false},
    {"紫色", "#FF00FF", "s", false},
    {"灰色", "#CCCCCC", "s", false},
    {"水色", "#00FFFF", "s", false},
    {"茶色", "#993300", "s", false},
    {"オレンジ色", "#FF3300", "s", false},
    {"肌色", "#FFCC99", "s", false},
    // System colour codes.
    {"ウィンドウ色", "$8000000F", "ウィンドウズのシステムカラー(BtnFace)", false},
    {"ウインドウ色", "$8000000F", "ウィンドウズのシステムカラー", false},
    {"デスクトップ色", "$80000001", "ウィンドウズのシステムカラー", false},
    {"アクティブ色", "$80000002", "ウィンドウズのシステムカラー", false},
    {"非アクティブ色", "$80000003", "ウィンドウズのシステムカラー", false},
    {"選択色", "$8000000D", "ウィンドウズのシステムカラー", false},
    // Filled in at start from the command line, the paths, the platform and the screen.
    {"コマンドライン引数", "", "", true},
    {"母艦のパス", "", "s", true},
    {"ランタイムのパス", "", "s", true},
    {"デスクトップのパス", "", "s", true},
    {"ゴミ箱のパス", "", "s", true},
    {"マイドキュメントのパス", "", "s", true},
    {"スタートメニューのパス", "", "s", true},
    {"スタートアップのパス", "", "s", true},
    {"SENDTOのパス", "", "s", true},
    {"WINDOWSのパス", "", "s", true},
    {"SYSTEMのパス", "", "s", true},
    {"TEMPのパス", "", "s", true},
    {"お気に入りのパス", "", "s", true},
    {"OS", "", "s", true},
    {"デスクトップの幅", "", "e", false},
    {"デスクトップの高さ", "", "e", false},
    // Version.
    {"そらねバージョン", "1.62", "s", false},
    {"そらね最終更新日", "2002/11/23", "s", false},
};
// clang-format on

// Words the builder or the run-time reaches directly after registration.
enum VariableSlot {
  kSore,
  kSo,
  kCount,
  kErrorMessage,
  kCannotClose,
  kSoshite,
  kTabCount,
  kPrintTarget,
  kCommandLine,
  kHostPath,
  kRuntimePath,
  kDesktopPath,
  kTrashPath,
  kDocumentsPath,
  kStartMenuPath,
  kStartupPath,
  kSendToPath,
  kWindowsPath,
  kSystemPath,
  kTempPath,
  kFavoritesPath,
  kOsName,
  kScreenWidth,
  kScreenHeight,
  kVariableSlotCount
};
constexpr const char* kVariableSlotNames[kVariableSlotCount] = {
    "それ",
    "そ",
    "回数",
    "エラーメッセージ",
    "終了不可能",
    "そして",
    "タブ文字の個数",
    "表示出力先",
    "コマンドライン引数",
    "母艦のパス",
    "ランタイムのパス",
    "デスクトップのパス",
    "ゴミ箱のパス",
    "マイドキュメントのパス",
    "スタートメニューのパス",
    "スタートアップのパス",
    "SENDTOのパス",
    "WINDOWSのパス",
    "SYSTEMのパス",
    "TEMPのパス",
    "お気に入りのパス",
    "OS",
    "デスクトップの幅",
    "デスクトップの高さ",
};

// The condition keywords are commands; the statement loop compares against them.
enum CommandSlot { kNaraba, kNara, kChigaeba, kDenakereba, kMoshi, kCommandSlotCount };
constexpr const char* kCommandSlotNames[kCommandSlotCount] = {
    "ならば", "なら", "違えば", "でなければ", "もし",
};

constexpr const char* kHostObjectName = "母艦";
constexpr const char* kHostObjectType = "メインフォーム";

struct PreparedCommand {
  std::string Name;  // CP932, folded
  std::string Template;
  CommandId Id;
};

struct PreparedVariable {
  std::string Name;
  std::string Default;
  std::string Description;
  bool ReadOnly;
};

// The tables in CP932 with command names already folded, built once per process
// so that each run only allocates and links nodes.
struct PreparedVocabulary {
  std::vector<PreparedCommand> Commands;
  std::vector<PreparedVariable> Variables;
  int VariableIndex[kVariableSlotCount];
  int CommandIndex[kCommandSlotCount];
  std::string HostObjectName;
  std::string HostObjectType;
};

int IndexOf(std::string_view name, const auto& table) {
  for (size_t i = 0; i < std::size(table); ++i)
    if (name == table[i].Name) return static_cast<int>(i);
  throw std::logic_error("vocabulary: missing word " + std::string(name));
}

// Every command row of every family, in registration order.
std::vector<const CommandRow*> AllCommandRows() {
  std::vector<const CommandRow*> rows;
  for (CommandTable table : CommandTables())
    for (const CommandRow& row : table) rows.push_back(&row);
  return rows;
}

// Converts all texts with one call: they are joined with LF, which no entry
// contains and which CP932 keeps as the same byte.
std::vector<std::string> ConvertAll(const std::vector<const char*>& texts) {
  std::string joined;
  for (const char* t : texts) {
    joined += t;
    joined += '\n';
  }
  std::string converted = Utf8ToSjis(joined);
  std::vector<std::string> out;
  out.reserve(texts.size());
  size_t start = 0;
  while (start < converted.size()) {
    size_t end = converted.find('\n', start);
    if (end == std::string::npos) break;
    out.emplace_back(converted, start, end - start);
    start = end + 1;
  }
  if (out.size() == texts.size()) return out;
  // Should the converter ever alter line feeds, fall back to one call per text.
  out.clear();
  for (const char* t : texts) out.push_back(Utf8ToSjis(t));
  return out;
}

PreparedVocabulary Prepare() {
  std::vector<const CommandRow*> commands = AllCommandRows();
  std::vector<const char*> texts;
  texts.reserve(commands.size() * 2 + std::size(kVariables) * 3 + 2);
  for (const CommandRow* c : commands) {
    texts.push_back(c->Name);
    texts.push_back(c->Template);
  }
  for (const SystemVariableEntry& v : kVariables) {
    texts.push_back(v.Name);
    texts.push_back(v.Default);
    texts.push_back(v.Description);
  }
  texts.push_back(kHostObjectName);
  texts.push_back(kHostObjectType);
  std::vector<std::string> sj = ConvertAll(texts);

  PreparedVocabulary p;
  size_t k = 0;
  p.Commands.reserve(commands.size());
  for (const CommandRow* c : commands) {
    p.Commands.push_back({Fold(sj[k]), std::move(sj[k + 1]), c->Id});
    k += 2;
  }
  p.Variables.reserve(std::size(kVariables));
  for (const SystemVariableEntry& v : kVariables) {
    p.Variables.push_back(
        {std::move(sj[k]), std::move(sj[k + 1]), std::move(sj[k + 2]), v.ReadOnly});
    k += 3;
  }
  p.HostObjectName = std::move(sj[k]);
  p.HostObjectType = std::move(sj[k + 1]);
  for (int i = 0; i < kVariableSlotCount; ++i)
    p.VariableIndex[i] = IndexOf(kVariableSlotNames[i], kVariables);
  for (int i = 0; i < kCommandSlotCount; ++i) {
    auto named = [&](const CommandRow* c) {
      return std::string_view(c->Name) == kCommandSlotNames[i];
    };
    auto it = std::find_if(commands.begin(), commands.end(), named);
    if (it == commands.end()) throw std::logic_error("vocabulary: missing command");
    p.CommandIndex[i] = static_cast<int>(it - commands.begin());
  }
  return p;
}

const PreparedVocabulary& Prepared() {
  static const PreparedVocabulary prepared = Prepare();
  return prepared;
}

// Paths from the platform are UTF-8; most are ASCII and need no conversion.
std::string ToSjis(const std::string& s) {
  for (unsigned char c : s)
    if (c >= 0x80) return Utf8ToSjis(s);
  return s;
}

std::string JoinLines(const std::vector<std::string>& items) {
  std::string out;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out += "\r\n";
    out += items[i];
  }
  return out;
}

}  // namespace

std::span<const SystemVariableEntry> SystemVariableEntries() {
  return kVariables;
}

void BuildVocabulary(Interpreter& in) {
  const PreparedVocabulary& p = Prepared();
  THash& words = in.S.Words;

  for (const PreparedCommand& c : p.Commands) {
    auto node = std::make_unique<THashNode>(c.Name, kWordCommand);
    node->MoreToWrite().Template = c.Template;
    node->Command = c.Id;
    node->Reserved = true;
    words.Add(std::move(node));
  }
  for (const PreparedVariable& v : p.Variables) {
    auto node = std::make_unique<THashNode>(v.Name, kWordVariable);
    node->ValueToWrite() = v.Default;
    node->TypeMark = v.Description;
    node->Level = -1;
    node->Reserved = v.ReadOnly;
    words.Add(std::move(node));
  }
  // The host window is script object 0.
  auto host = std::make_unique<THashNode>(p.HostObjectName, kWordObject);
  host->ObjectIndex = 0;
  host->TypeMark = p.HostObjectType;
  host->Reserved = true;
  words.Add(std::move(host));

  THashNode* var[kVariableSlotCount];
  for (int i = 0; i < kVariableSlotCount; ++i)
    var[i] = words.FindExact(p.Variables[p.VariableIndex[i]].Name);
  auto command = [&](CommandSlot s) { return words.FindExact(p.Commands[p.CommandIndex[s]].Name); };

  TFastWords& fast = in.S.Fast;
  fast.Sore = var[kSore];
  fast.So = var[kSo];
  fast.Count = var[kCount];
  fast.ErrorMessage = var[kErrorMessage];
  fast.CannotClose = var[kCannotClose];
  fast.Soshite = var[kSoshite];
  fast.TabCount = var[kTabCount];
  fast.PrintTarget = var[kPrintTarget];
  fast.Naraba = command(kNaraba);
  fast.Nara = command(kNara);
  fast.Chigaeba = command(kChigaeba);
  fast.Denakereba = command(kDenakereba);
  fast.Moshi = command(kMoshi);
  // そ holds copies of object words later; it starts as a system variable
  // that refers to no object.
  fast.So->Level = -1;
  fast.So->ObjectIndex = -1;

  // Command-line items and the two run-time paths are CP932 already.
  var[kCommandLine]->ValueToWrite() = JoinLines(in.S.CommandLine);
  var[kHostPath]->ValueToWrite() = in.S.HostPath;
  var[kRuntimePath]->ValueToWrite() = in.S.RuntimePath;

  SpecialFolders folders = GetSpecialFolders();
  var[kDesktopPath]->ValueToWrite() = ToSjis(folders.Desktop);
  var[kTrashPath]->ValueToWrite() = ToSjis(folders.Trash);
  var[kDocumentsPath]->ValueToWrite() = ToSjis(folders.Documents);
  var[kStartMenuPath]->ValueToWrite() = ToSjis(folders.StartMenu);
  var[kStartupPath]->ValueToWrite() = ToSjis(folders.Startup);
  var[kSendToPath]->ValueToWrite() = ToSjis(folders.SendTo);
  var[kWindowsPath]->ValueToWrite() = ToSjis(folders.RuntimeData);
  var[kSystemPath]->ValueToWrite() = ToSjis(folders.System);
  var[kTempPath]->ValueToWrite() = ToSjis(folders.Temp);
  var[kFavoritesPath]->ValueToWrite() = ToSjis(folders.Favorites);
  var[kOsName]->ValueToWrite() = ToSjis(OsName());

  var[kScreenWidth]->ValueToWrite() = std::to_string(in.host.Window().ScreenWidth());
  var[kScreenHeight]->ValueToWrite() = std::to_string(in.host.Window().ScreenHeight());
}

}  // namespace sorane
