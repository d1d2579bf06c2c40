// Commands whose names and templates are registered (a script finds them
// and binds their arguments) but whose handlers are not built yet: running
// one reports "リンク切れ". A family that builds them moves its rows into
// its own table.
#include "library/library.h"
#include "runtime/command.h"

namespace sorane {

CommandTable NotBuiltCommands() {
  static constexpr CommandRow kRows[] = {
      // Drawing and images.
      {CommandId::Line, "線", "?から,?へ", nullptr, kActs},
      {CommandId::Rectangle, "四角形", "?から,?へ", nullptr, kActs},
      {CommandId::Ellipse, "円形", "?から,?へ", nullptr, kActs},
      {CommandId::ShowPicture, "画像表示", "?を", nullptr, kActs},
      {CommandId::ShowPictureScaled, "画像拡大表示", "?を,?で", nullptr, kActs},
      {CommandId::DrawPoint, "点描画", "?の,?へ", nullptr, kActs},
      {CommandId::CaptureWindow, "窓キャプチャー", "?へ,?を", nullptr, kActs},
      {CommandId::ImageCopy, "イメージコピー", "?を,?の,?に", nullptr, kActs},
      {CommandId::FadeOut, "画面フェードアウト", "?で", nullptr, kActs},
      {CommandId::FadeIn, "画面フェードイン", "?で", nullptr, kActs},
      {CommandId::Rgb, "RGB", "?,?,?", nullptr, kActs},
      {CommandId::ImageSave, "イメージ保存", "?へ,?を", nullptr, kActs},
      {CommandId::SimplePrint, "簡易印刷", "?を", nullptr, kActs},
      {CommandId::DrawText, "文字描画", "?の,?へ,?と", nullptr, kActs},
      {CommandId::ImageBlendCopy, "イメージ半透明コピー", "?を,?の,?に,?パーセント", nullptr,
       kActs},
      {CommandId::DrawLine, "線描画", "?の,?から,?へ", nullptr, kActs},
      {CommandId::DrawRectangle, "四角形描画", "?の,?から,?へ", nullptr, kActs},
      {CommandId::DrawEllipse, "円形描画", "?の,?から,?へ", nullptr, kActs},
      {CommandId::ImagePartCopy, "イメージ部分コピー", "?の,?を,?の,?に", nullptr, kActs},
      {CommandId::ImagePrint, "イメージ印刷", "?を", nullptr, kActs},
      {CommandId::ImageBitDepth, "画像ビット数変更", "?を,?ビットに", nullptr, kActs},
      {CommandId::PixelColor, "座標色取得", "?の,?を", nullptr, kActs},
      {CommandId::Cmyk, "CMYK", "?,?,?,?", nullptr, kActs},
      {CommandId::ExtractIcon, "アイコン抽出", "?の,?を,?に", nullptr, kActs},
      // Media, menus, tray icon and window order.
      {CommandId::Play, "演奏", "?を", nullptr, kActs},
      {CommandId::StopPlaying, "演奏停止", "", nullptr, kActs},
      {CommandId::BringToFront, "最前面", "?を", nullptr, kActs},
      {CommandId::SendToBack, "最背面", "?を", nullptr, kActs},
      {CommandId::PlayState, "演奏状態", "", nullptr, kActs},
      {CommandId::MenuCreate, "メニュー作成", "?を", nullptr, kActs},
      {CommandId::MenuAdd, "メニュー追加", "?に,?を", nullptr, kActs},
      {CommandId::PlayRepeat, "繰り返し演奏", "?を", nullptr, kActs},
      {CommandId::MciSend, "MCI送信", "?を", nullptr, kActs},
      {CommandId::ShowCursor, "カーソル表示", "?", nullptr, kActs},
      {CommandId::TrayIcon, "タスクトレイへアイコン表示", "?", nullptr, kActs},
      {CommandId::EditorSettings, "Tエディタ設定", "?の", nullptr, kActs},
      {CommandId::EditorSettingsSave, "Tエディタ設定を保存", "?を,?へ", nullptr, kActs},
      {CommandId::EditorSettingsLoad, "Tエディタ設定を読込", "?を,?から", nullptr, kActs},
      {CommandId::Beep, "BEEP", "", nullptr, kActs},
      // Image filters.
      {CommandId::FlipVertical, "垂直反転", "?を", nullptr, kActs},
      {CommandId::FlipHorizontal, "水平反転", "?を", nullptr, kActs},
      {CommandId::RotateRight, "右回転", "?を", nullptr, kActs},
      {CommandId::Negative, "ネガポジ反転", "?を", nullptr, kActs},
      {CommandId::Grayscale, "グレイスケール変換", "?を", nullptr, kActs},
      {CommandId::Solarize, "ソラリゼーション", "?を", nullptr, kActs},
      {CommandId::Brightness, "明るさ補正", "?を,?度", nullptr, kActs},
      {CommandId::Gamma, "ガンマ補正", "?を,?度", nullptr, kActs},
      {CommandId::RotateImage, "画像回転", "?を,?度", nullptr, kActs},
      {CommandId::EdgeDetect, "画像エッジ検出", "?を", nullptr, kActs},
      {CommandId::Blur, "画像ボカシ", "?を,?度", nullptr, kActs},
      {CommandId::Sharpen, "画像シャープ", "?を,?度", nullptr, kActs},
      {CommandId::Sepia, "画像セピア", "?を,?で", nullptr, kActs},
      // DLL declarations.
      {CommandId::DllDeclare, "DLL宣言", "?の,?を,?で", nullptr, kActs},
      {CommandId::DllDeclareText, "文字型DLL宣言", "?の,?を,?で", nullptr, kActs},
      {CommandId::DllUse, "DLLを利用", "?の,?を,?の,?として", nullptr, kActs},
      // Spreadsheet and word-processor automation, DDE.
      {CommandId::ExcelStart, "エクセル起動", "", nullptr, kActs},
      {CommandId::ExcelOpen, "エクセル開く", "?を", nullptr, kActs},
      {CommandId::ExcelSave, "エクセル保存", "?へ", nullptr, kActs},
      {CommandId::ExcelQuit, "エクセル終了", "", nullptr, kActs},
      {CommandId::ExcelSet, "エクセル設定", "?を,?に", nullptr, kActs},
      {CommandId::ExcelGet, "エクセル得る", "?を,?に", nullptr, kActs},
      {CommandId::ExcelMacro, "エクセルマクロ実行", "?を", nullptr, kActs},
      {CommandId::WordStart, "ワード起動", "", nullptr, kActs},
      {CommandId::WordOpen, "ワード開く", "?を", nullptr, kActs},
      {CommandId::WordSave, "ワード保存", "?へ", nullptr, kActs},
      {CommandId::WordQuit, "ワード終了", "", nullptr, kActs},
      {CommandId::WordSetBookmark, "ワードブックマーク設定", "?を,?に", nullptr, kActs},
      {CommandId::WordInsertText, "ワード文字挿入", "?を", nullptr, kActs},
      {CommandId::WordGetBody, "ワード本文を得る", "", nullptr, kActs},
      {CommandId::WordMacro, "ワードマクロ実行", "?を", nullptr, kActs},
      {CommandId::ExcelPrint, "エクセル印刷", "", nullptr, kActs},
      {CommandId::WordPrint, "ワード印刷", "", nullptr, kActs},
      {CommandId::DdeSend, "DDE送信", "?の,?に,?を", nullptr, kActs},
      {CommandId::DdeServer, "DDEサーバー作成", "?を呼ぶ,?という", nullptr, kActs},
      // Archivers.
      {CommandId::Compress, "圧縮", "?を,?へ", nullptr, kActs},
      {CommandId::Extract, "解凍", "?を,?へ", nullptr, kActs},
      {CommandId::MakeSelfExtracting, "自己解凍書庫作成", "?を,?へ", nullptr, kActs},
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
