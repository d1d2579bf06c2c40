#include "library/vocabulary.h"

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/special_folders.h"
#include "runtime/interpreter.h"
#include "text/encoding.h"
#include "words/hash.h"

namespace sorane {

namespace {

// Every command name, one row per name, grouped by family. Aliases repeat the id
// and carry their own template; the templates are registered exactly as written,
// including the ones without "?" ("へ", "から") and the one with a blank.
// Ids 43, 177, 199, 201-205, 289, 316 and 386-388 have no name.
// clang-format off
constexpr CommandEntry kCommands[] = {
    // Program end and the close handler.
    {2, "おわり", ""},
    {2, "終わり", ""},
    {2, "おわる", ""},
    {161, "終了処理設定", "?に"},
    // Source inclusion.
    {55, "取り込む", "?を"},
    // Control structures: jumps, conditions, loops.
    {5, "飛ぶ", "?へ"},
    {19, "ならば", ""},
    {20, "違えば", ""},
    {20, "でなければ", ""},
    {56, "繰り返す", "?を,?から,?まで"},
    {71, "反復", "?を"},
    {102, "もし", ""},
    {200, "なら", ""},
    {215, "抜ける", ""},
    {369, "条件分岐", "?で"},
    {398, "続ける", ""},
    {414, "ループ", "?で"},
    // Labels, functions, words and hashes.
    {3, "戻る", ""},
    {6, "呼ぶ", "?を"},
    {11, "計算", "?を"},
    {51, "名義変更", "?を,?に"},
    {74, "そらねする", "?を"},
    {141, "その単語に特定", "?を"},
    {194, "数値として扱う", "?を"},
    {195, "文字列として扱う", "?を"},
    {211, "ハッシュキー列挙", "?の"},
    {212, "辞書項目列挙", "?の"},
    {213, "辞書として扱う", "?を"},
    {294, "単語コピー", "?から,?へ"},
    {393, "変数名列挙", "?以上の"},
    {397, "入れる", "?に"},
    {399, "関数定義", "?を,?で"},
    {400, "引数取得", ""},
    // Error handling.
    {118, "エラーを無視", ""},
    {119, "エラー処理設定", "?に"},
    {120, "エラーを警告", ""},
    {121, "エラーから復帰", ""},
    // String commands.
    {27, "半角変換", "?を"},
    {46, "置換", "?の,?を,?に"},
    {47, "何文字目", "?の中で,?が"},
    {47, "POS", "?,?"},
    {48, "MID", "?の中で,?から,?つ"},
    {48, "切り出す", "?の中で,?から,?つ"},
    {50, "リフレイン", "?を,?度"},
    {70, "行数", "?の"},
    {72, "前後の空白削除", "?の"},
    {72, "トリム", "?を"},
    {73, "確保", "?に,?バイトを"},
    {75, "キーコード", "?の"},
    {75, "ASC", "?"},
    {76, "文字", "?の"},
    {76, "CHR", "?"},
    {77, "ソート", "?を"},
    {78, "数値ソート", "?を"},
    {80, "全角変換", "?を"},
    {92, "文字数", "?の"},
    {92, "LEN", "?"},
    {99, "切り取る", "?の,?までを"},
    {100, "タグ削除", "?から"},
    {101, "タグ切り出し", "?から,?の"},
    {105, "行挿入", "?の,?行目へ,?を"},
    {106, "行削除", "?の,?行目を"},
    {122, "バイト数", "?の"},
    {122, "LENB", "?"},
    {171, "右端削除", "?から,?文字"},
    {172, "左端削除", "?から,?文字"},
    {173, "通貨形式に変換", "?を"},
    {174, "右寄せ", "?を,?桁で"},
    {175, "ゼロで埋める", "?を,?桁の"},
    {188, "RIGHT", "?,?"},
    {189, "LEFT", "?,?"},
    {197, "大文字変換", "?を"},
    {198, "小文字変換", "?を"},
    {214, "段落を切り出す", "?から,?番目の"},
    {230, "ひらがな変換", "?を"},
    {231, "カタカナ変換", "?を"},
    {266, "範囲を切り取る", "?の,?から,?までの"},
    {267, "英数半角変換", "?を"},
    {277, "左端を切り取る", "?から,?文字"},
    {278, "右端を切り取る", "?から,?文字"},
    {279, "判別して切り取る", "?の,?までを,?で"},
    {284, "大文字か", "?が"},
    {285, "数字か", "?が"},
    {286, "全角か", "?が"},
    {287, "ひらがなか", "?が"},
    {288, "カタカナか", "?が"},
    {290, "文字コードをEUCに変換", "?の"},
    {291, "文字コードをJISに変換", "?の"},
    {292, "文字コードをSJISに変換", "?の"},
    {293, "指定形式に変換", "?を,?の"},
    {327, "送り仮名削除", "?から"},
    {373, "文比較", "?と,?で"},
    {378, "BASE64エンコード", "?を"},
    {379, "BASE64デコード", "?を"},
    {410, "出現回数", "?で,?の"},
    {412, "行揃え", "?を,?バイトで"},
    {413, "数列か", "?が"},
    {431, "MIDB", "?,?,?"},
    // Numbers, arithmetic, dates and times.
    {17, "乱数", "?の"},
    {31, "整数", "?"},
    {32, "切り捨て", "?を,?位で"},
    {33, "四捨五入", "?を,?位で"},
    {34, "今", ""},
    {35, "今日", ""},
    {52, "サイン", "?"},
    {52, "SIN", "?"},
    {53, "コサイン", "?"},
    {53, "COS", "?"},
    {54, "タンジェント", "?"},
    {54, "TAN", "?"},
    {142, "曜日", "?の"},
    {146, "ABS", "?"},
    {147, "CEIL", "?"},
    {148, "EXP", "?"},
    {149, "FLOOR", "?"},
    {150, "FRAC", "?"},
    {151, "INT", "?"},
    {152, "LN", "?"},
    {153, "LOG", "?,?"},
    {154, "POWER", "?,?"},
    {155, "ROUND", "?"},
    {156, "SQRT", "?"},
    {157, "TRUNC", "?"},
    {158, "RND", ""},
    {159, "乱数初期化", "?で"},
    {179, "LOG2", "?"},
    {180, "LOG10", "?"},
    {216, "ARCTAN", "?"},
    {217, "ARCCOS", "?"},
    {218, "ARCSIN", "?"},
    {219, "HYPOT", "?,?"},
    {220, "サイクルからラジアン", "?を"},
    {221, "度からラジアン", "?を"},
    {222, "グラードからラジアン", "?を"},
    {223, "ラジアンからサイクル", "?を"},
    {224, "ラジアンから度", "?を"},
    {225, "ラジアンからグラード", "?を"},
    {226, "配列合計値", "?の"},
    {226, "SUM", "?"},
    {227, "配列平均値", "?の"},
    {227, "AVERAGE", "?"},
    {228, "配列分散値", "?の"},
    {228, "VAR", "?"},
    {229, "標準偏差値", "?の"},
    {229, "STDEV", "?"},
    {239, "配列最大値", "?の"},
    {240, "配列最小値", "?の"},
    {280, "足す", "?に,?を"},
    {281, "引く", "?から,?を"},
    {282, "掛ける", "?に,?を"},
    {283, "割る", "?を,?で"},
    {302, "時間加算", "?に,?を"},
    {303, "日付加算", "?に,?を"},
    {304, "日数差", "?と,?の"},
    {305, "秒差", "?と,?の"},
    {330, "配列シャッフル", "?を"},
    {340, "AND", "?と,?の"},
    {341, "OR", "?と,?の"},
    {342, "XOR", "?と,?の"},
    {343, "MOD", "?と,?の"},
    {343, "余り", "?と,?の"},
    {344, "SHR", "?を,?ビット"},
    {344, "右シフト", "?を,?ビット"},
    {345, "SHL", "?を,?ビット"},
    {345, "左シフト", "?を,?ビット"},
    {346, "HEX", "?"},
    {376, "曜日を数値で得る", "?の"},
    {377, "システム時間", ""},
    {389, "和暦に変換", "?を"},
    {395, "NOT", "?の"},
    // Files, folders and paths.
    {37, "読む", "?に,?を"},
    {37, "開く", "?に,?を"},
    {38, "書く", "?を,?へ"},
    {38, "保存", "?を,?へ"},
    {58, "ファイルコピー", "?から,?へ"},
    {59, "ファイル削除", "?を"},
    {60, "ファイル名変更", "?から,?へ"},
    {61, "ファイル移動", "?から,?へ"},
    {62, "作業フォルダ変更", "?へ"},
    {62, "作業ディレクトリ変更", "?へ"},
    {63, "フォルダ作成", "?へ"},
    {64, "フォルダ削除", "?の"},
    {65, "ファイル属性変更", "?を,?に"},
    {66, "ショートカット作成", "?を,?へ"},
    {67, "ファイル列挙", "?の"},
    {68, "フォルダか", "?が"},
    {69, "ファイルか", "?が"},
    {81, "存在するか", "?が"},
    {89, "作業フォルダ", "?へ"},
    {89, "作業ディレクトリ", ""},
    {168, "フォルダ列挙", "?の"},
    {170, "パスを切り出す", "?から"},
    {176, "拡張子を切り出す", "?から"},
    {184, "エクスプローラーで開く", "?を"},
    {185, "ファイル日時", "?の"},
    {186, "ファイルサイズ", "?の"},
    {268, "全ファイル列挙", "?の"},
    {269, "ファイル名を切り出す", "?から"},
    {295, "関連付ける", "?を,?に,?として"},
    {296, "関連付けを削除", "?の"},
    {297, "追加保存", "?を,?へ"},
    {314, "拡張子変更", "?を,?に"},
    {353, "ドライブ種類判定", "?の"},
    {375, "バイナリダンプ", "?を"},
    {382, "ファイル属性取得", "?の"},
    {383, "短いファイル名取得", "?の"},
    {384, "長いファイル名取得", "?の"},
    {385, "ファイル完全削除", "?を"},
    {415, "バイナリ取得", "?の,?を,?形式で"},
    {416, "バイナリ設定", "?を,?の,?に,?形式で"},
    // CSV tables.
    {36, "区切る", "?を,?で"},
    {79, "逆にする", "?を"},
    {82, "表ピックアップ", "?の,?列目から,?を"},
    {83, "表検索", "?の,?列目から,?を"},
    {84, "表検索次の値", ""},
    {85, "表検索クリア", ""},
    {86, "表曖昧検索", "?の,?列目から,?を"},
    {93, "表最大値", "?の,?列目の"},
    {94, "表最小値", "?の,?列目の"},
    {95, "表平均値", "?の,?列目の"},
    {96, "表ソート", "?の,?列目を"},
    {97, "表数値ソート", "?の,?列目を"},
    {98, "表合計", "?の,?列目の"},
    {107, "表列挿入", "?の,?列目へ"},
    {108, "表列削除", "?の,?列目を"},
    {196, "表重複項目削除", "?の,?列目をキーに"},
    {237, "表列コピー", "?の,?列目を"},
    {238, "表列貼付け", "?の,?列目に,?を"},
    {298, "表日付ソート", "?の,?列目を"},
    {310, "表条件抽出", "?を,?で"},
    {311, "表キー合成", "?の,?列目と,?の,?列目で"},
    {317, "要素数", "?の"},
    {349, "表行列交換", "?の"},
    {350, "表行数", "?の"},
    {351, "表列数", "?の"},
    {391, "表列指定置換", "?の,?列目にある,?を,?に"},
    {392, "表列移動", "?の,?列目と,?列目を"},
    {394, "テーブルタグで囲む", "?を,?で"},
    // Regular expressions.
    {187, "正規表現マッチ", "?を,?で"},
    {187, "RE", "?,?"},
    {190, "正規表現区切る", "?を,?で"},
    {191, "正規表現置換", "?を,?で"},
    {192, "正規表現入換", "?を,?で"},
    {374, "マッチ", "?を,?で"},
    // Standard dialogs.
    {10, "尋ねる", "?と"},
    {12, "言う", "?と"},
    {40, "二択", "?と"},
    {41, "読込ファイル選択", "?の"},
    {42, "書込ファイル選択", "?の"},
    {103, "色選択", ""},
    {160, "三択", "?と"},
    {169, "フォルダ選択", ""},
    {264, "どれか尋ねる", "?が,?の"},
    {265, "メモ記入", "?の"},
    {301, "リストから選択", "?を,?の"},
    {309, "ボタンで選択", "?を,?の"},
    {312, "フォント選択", ""},
    // File handles, INI files and the registry.
    {162, "レジストリ読む", "?を"},
    {163, "レジストリ書く", "?に"},
    {164, "レジストリ開く", "?の,?を"},
    {165, "レジストリ閉じる", ""},
    {166, "レジストリ値削除", "?を"},
    {167, "レジストリキー削除", "?を"},
    {271, "INIファイル開く", "?の"},
    {272, "INIファイル閉じる", ""},
    {273, "INIファイル書く", "?の,?へ"},
    {274, "INIファイル読む", "?の,?を"},
    {331, "ハンドルを開く", "?で,?の"},
    {332, "ハンドルを一行読む", "?に,?の"},
    {333, "ハンドルへ一行書く", "?を,?の"},
    {334, "ハンドルを閉じる", "?の"},
    {335, "ハンドル最後か", "?の"},
    {336, "ハンドルを先頭に移動", "?の"},
    {337, "ハンドルを最後に移動", "?の"},
    {417, "レジストリのバイナリを読む", "?を,?つ"},
    {418, "レジストリにバイナリを書く", "?を,?に,?つ"},
    {419, "ハンドルを移動", "?の,?に"},
    {420, "ハンドルにバイナリを書く", "?を,?に,?つ"},
    {421, "ハンドルにバイナリを読む", "?へ,?を,?つ"},
    {422, "ハンドルを詳しく開く", "?に,?を,?で"},
    {423, "レジストリのDWORDを読む", "?を"},
    {424, "レジストリにDWORDを書く", "?を,?に"},
    {432, "レジストリサブキー取得", ""},
    // Host window and text output.
    {0, "表示", "?と"},
    {1, "移動", "?へ"},
    {4, "画面クリア", "?で"},
    {29, "センタリング", ""},
    {30, "センタリング解除", ""},
    {116, "母艦印刷", ""},
    {117, "描画処理反映", ""},
    {193, "_P", "?"},
    {193, "SHOW", "?"},
    {275, "フォームの位置記録", "へ"},
    {276, "フォームの位置復元", "から"},
    {306, "母艦最大化", ""},
    {307, "母艦最小化", ""},
    {308, "母艦元のサイズ", ""},
    {315, "母艦アイコン", "?を"},
    {328, "母艦全画面化", ""},
    {352, "母艦浮上", ""},
    {381, "母艦スタイル設定", "?に"},
    {406, "最大化", "?を"},
    {407, "最小化", "?を"},
    {408, "フォーム元のサイズ", "?を"},
    {429, "コピー", "?を"},
    {430, "クリップボード取得", ""},
    // Script objects.
    {7, "作成", "?に,?を,?として"},
    {8, "設定", "?の,?を,?に"},
    {9, "得る", "?の,?を,?に"},
    {25, "オブジェクト破壊", "?の"},
    {26, "注目", "?に"},
    {28, "オブジェクト全破壊", ""},
    {242, "中央へ移動", "?を"},
    {401, "乗せ換える", "?を,?の上へ"},
    {401, "乗せる", "?を,?へ"},
    {428, "作る", "?を"},
    // Waiting, events and timers.
    {13, "待機", ""},
    {21, "待つ", "?秒"},
    {263, "タイマー設定", "?秒後に,?へ飛ぶ"},
    {313, "タイマー解除", ""},
    // Drawing and images.
    {14, "線", "?から,?へ"},
    {15, "四角形", "?から,?へ"},
    {16, "円形", "?から,?へ"},
    {18, "画像表示", "?を"},
    {39, "画像拡大表示", "?を,?で"},
    {123, "点描画", "?の,?へ"},
    {132, "窓キャプチャー", "?へ,?を"},
    {140, "イメージコピー", "?を,?の,?に"},
    {143, "画面フェードアウト", "?で"},
    {144, "画面フェードイン", "?で"},
    {145, "RGB", "?,?,?"},
    {178, "イメージ保存", "?へ,?を"},
    {241, "簡易印刷", "?を"},
    {251, "文字描画", "?の,?へ,?と"},
    {257, "イメージ半透明コピー", "?を,?の,?に,?パーセント"},
    {258, "線描画", "?の,?から,?へ"},
    {259, "四角形描画", "?の,?から,?へ"},
    {260, "円形描画", "?の,?から,?へ"},
    {299, "イメージ部分コピー", "?の,?を,?の,?に"},
    {300, "イメージ印刷", "?を"},
    {319, "画像ビット数変更", "?を,?ビットに"},
    {329, "座標色取得", "?の,?を"},
    {411, "CMYK", "?,?,?,?"},
    {425, "アイコン抽出", "?の,?を,?に"},
    // Media, menus, tray icon and window order.
    {22, "演奏", "?を"},
    {23, "演奏停止", ""},
    {181, "最前面", "?を"},
    {182, "最背面", "?を"},
    {210, "演奏状態", ""},
    {261, "メニュー作成", "?を"},
    {262, "メニュー追加", "?に,?を"},
    {318, "繰り返し演奏", "?を"},
    {338, "MCI送信", "?を"},
    {348, "カーソル表示", "?"},
    {396, "タスクトレイへアイコン表示", "?"},
    {402, "Tエディタ設定", "?の"},
    {403, "Tエディタ設定を保存", "?を,?へ"},
    {404, "Tエディタ設定を読込", "?を,?から"},
    {409, "BEEP", ""},
    // Image filters.
    {243, "垂直反転", "?を"},
    {244, "水平反転", "?を"},
    {245, "右回転", "?を"},
    {246, "ネガポジ反転", "?を"},
    {247, "グレイスケール変換", "?を"},
    {248, "ソラリゼーション", "?を"},
    {249, "明るさ補正", "?を,?度"},
    {250, "ガンマ補正", "?を,?度"},
    {252, "画像回転", "?を,?度"},
    {253, "画像エッジ検出", "?を"},
    {254, "画像ボカシ", "?を,?度"},
    {255, "画像シャープ", "?を,?度"},
    {256, "画像セピア", "?を,?で"},
    // Launching programs and file archives.
    {24, "起動", "?を"},
    {104, "起動して終了まで待機", "?を"},
    {206, "ファイル合成", "?を, ?へ"},
    {207, "合成ファイル取り出す", "?から,?を"},
    // Shared memory and scrambled files.
    {87, "共有保存", "?へ"},
    {88, "共有読込", "?を"},
    {90, "暗号化して保存", "?を,?へ"},
    {91, "暗号解除して読込", "?に,?を"},
    // TCP client and server.
    {356, "TCP接続", "?へ"},
    {357, "TCP切断", ""},
    {358, "TCP接続状態", ""},
    {359, "TCP送信", "?を"},
    {360, "TCP受信処理設定", "?に"},
    {361, "TCPサーバー起動", ""},
    {362, "TCPサーバー終了", ""},
    {363, "TCPサーバー接続先列挙", ""},
    {364, "TCPサーバーから送信", "?へ,?を"},
    {365, "TCPサーバー受信処理設定", "?に"},
    {371, "TCPサーバー接続処理設定", "?に"},
    {405, "TCPサーバーから切断", "?を"},
    // Mail.
    {138, "メール送信", ""},
    {139, "メール受信", "?へ"},
    // FTP and HTTP.
    {232, "FTP接続", ""},
    {233, "FTPアップロード", "?を,?へ"},
    {234, "FTPダウンロード", "?を,?へ"},
    {235, "FTP切断", ""},
    {236, "HTTPダウンロード", "?を,?へ"},
    {320, "FTP転送モード", "?の"},
    {321, "FTP作業フォルダ", "?へ"},
    {322, "FTPファイル削除", "?の"},
    {323, "FTPフォルダ削除", "?の"},
    {324, "FTPファイル列挙", "?の"},
    {325, "FTPフォルダ列挙", "?の"},
    {326, "FTPフォルダ作成", "?の"},
    {426, "FTPファイル属性変更", "?を,?に"},
    {427, "FTP親フォルダ移動", ""},
    {433, "FTPファイル情報", "?の"},
    // DLL declarations.
    {49, "DLL宣言", "?の,?を,?で"},
    {380, "文字型DLL宣言", "?の,?を,?で"},
    {390, "DLLを利用", "?の,?を,?の,?として"},
    // Spreadsheet and word-processor automation, DDE.
    {109, "エクセル起動", ""},
    {110, "エクセル開く", "?を"},
    {111, "エクセル保存", "?へ"},
    {112, "エクセル終了", ""},
    {113, "エクセル設定", "?を,?に"},
    {114, "エクセル得る", "?を,?に"},
    {115, "エクセルマクロ実行", "?を"},
    {124, "ワード起動", ""},
    {125, "ワード開く", "?を"},
    {126, "ワード保存", "?へ"},
    {127, "ワード終了", ""},
    {128, "ワードブックマーク設定", "?を,?に"},
    {129, "ワード文字挿入", "?を"},
    {130, "ワード本文を得る", ""},
    {131, "ワードマクロ実行", "?を"},
    {133, "エクセル印刷", ""},
    {134, "ワード印刷", ""},
    {208, "DDE送信", "?の,?に,?を"},
    {209, "DDEサーバー作成", "?を呼ぶ,?という"},
    // Archivers.
    {135, "圧縮", "?を,?へ"},
    {136, "解凍", "?を,?へ"},
    {137, "自己解凍書庫作成", "?を,?へ"},
    // Other programs' windows, network and system information.
    {44, "アクティブ", "?を"},
    {45, "キー送信", "?に,?を"},
    {183, "ウインドウ列挙", ""},
    {183, "ウィンドウ列挙", ""},
    {339, "メッセージ送信", "?に,?と"},
    {354, "ネットワークコンピューター列挙", "?の"},
    {355, "共有フォルダ列挙", "?の"},
    {366, "ユーザー名取得", ""},
    {367, "コンピューター名取得", ""},
    {368, "IPアドレス取得", "?の"},
    {370, "ネットワークコンピューター列挙ドメイン付き", "?の"},
    {372, "ネットワークドメイン列挙", ""},
    // Debugging.
    {57, "DEBUG", ""},
    {270, "改行で実行を止める", ""},
    {347, "ログる", "?を,?で"},
};

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
  int32_t Id;
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
  std::vector<const char*> texts;
  texts.reserve(std::size(kCommands) * 2 + std::size(kVariables) * 3 + 2);
  for (const CommandEntry& c : kCommands) {
    texts.push_back(c.Name);
    texts.push_back(c.Template);
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
  p.Commands.reserve(std::size(kCommands));
  for (const CommandEntry& c : kCommands) {
    p.Commands.push_back({Fold(sj[k]), std::move(sj[k + 1]), c.Id});
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
  for (int i = 0; i < kCommandSlotCount; ++i)
    p.CommandIndex[i] = IndexOf(kCommandSlotNames[i], kCommands);
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

std::span<const CommandEntry> CommandEntries() {
  return kCommands;
}
std::span<const SystemVariableEntry> SystemVariableEntries() {
  return kVariables;
}

void BuildVocabulary(Interpreter& in) {
  const PreparedVocabulary& p = Prepared();
  THash& words = in.S.Words;

  for (const PreparedCommand& c : p.Commands) {
    auto node = std::make_unique<THashNode>(c.Name, kWordCommand);
    node->Template = c.Template;
    node->Tag = c.Id;
    node->Reserved = true;
    words.Add(std::move(node));
  }
  for (const PreparedVariable& v : p.Variables) {
    auto node = std::make_unique<THashNode>(v.Name, kWordVariable);
    node->Value = v.Default;
    node->TypeMark = v.Description;
    node->Tag = -1;
    node->Reserved = v.ReadOnly;
    words.Add(std::move(node));
  }
  // The host window is script object 0.
  auto host = std::make_unique<THashNode>(p.HostObjectName, kWordObject);
  host->Tag = 0;
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
  // そ holds copies of object words later; it starts as a system variable.
  fast.So->Tag = -1;

  // Command-line items and the two run-time paths are CP932 already.
  var[kCommandLine]->Value = JoinLines(in.S.CommandLine);
  var[kHostPath]->Value = in.S.HostPath;
  var[kRuntimePath]->Value = in.S.RuntimePath;

  SpecialFolders folders = GetSpecialFolders();
  var[kDesktopPath]->Value = ToSjis(folders.Desktop);
  var[kTrashPath]->Value = ToSjis(folders.Trash);
  var[kDocumentsPath]->Value = ToSjis(folders.Documents);
  var[kStartMenuPath]->Value = ToSjis(folders.StartMenu);
  var[kStartupPath]->Value = ToSjis(folders.Startup);
  var[kSendToPath]->Value = ToSjis(folders.SendTo);
  var[kWindowsPath]->Value = ToSjis(folders.RuntimeData);
  var[kSystemPath]->Value = ToSjis(folders.System);
  var[kTempPath]->Value = ToSjis(folders.Temp);
  var[kFavoritesPath]->Value = ToSjis(folders.Favorites);
  var[kOsName]->Value = ToSjis(OsName());

  var[kScreenWidth]->Value = std::to_string(in.host.ScreenWidth());
  var[kScreenHeight]->Value = std::to_string(in.host.ScreenHeight());
}

}  // namespace sorane
