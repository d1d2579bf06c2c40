// Text output, the host window's commands and the end of a run: 表示 lays its
// text out into lines (tab expansion, line-break folding, the 4096-byte rule)
// and either prints each line (console) or places it at the output cursor in
// the text font (window); 言う shows a message; おわり and 終了処理設定 close
// the host.
#include "library/output/output.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "library/drawing/drawing.h"
#include "library/drawing/picture_codec.h"
#include "library/files/text_encoding.h"
#include "library/library.h"
#include "library/objects/parse.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/safe_write.h"
#include "policy/security.h"
#include "runtime/command.h"
#include "runtime/events.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "text/charmap.h"
#include "text/encoding.h"
#include "text/number.h"
#include "text/sjis.h"

namespace sorane {

std::vector<std::string> LayoutPrintText(std::string_view text, int tab_width) {
  std::vector<std::string> lines;
  bool expand = text.size() <= 4096;
  std::string cut;
  if (!expand) {
    cut = CutBytesSafe(text, 4096);
    text = cut;
  }
  // A tab moves to the next multiple of the tab width; no printed line is
  // wider than the 4096 bytes kept above, so wider tabs are cut to that, which
  // keeps an absurd タブ文字の個数 from filling memory with spaces.
  tab_width = std::clamp(tab_width, 1, 4096);
  std::string line;
  size_t column = 0;
  for (size_t i = 0; i < text.size();) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(line));
      line.clear();
      column = 0;
      ++i;
      if (i < text.size() && (text[i] == '\r' || text[i] == '\n')) ++i;
      continue;
    }
    if (c == '\t' && expand) {
      size_t next = (column / tab_width + 1) * tab_width;
      line.append(next - column, ' ');
      column = next;
      ++i;
      continue;
    }
    size_t len = CharLen(text, i);
    line.append(text.data() + i, len);
    column += len;
    i += len;
  }
  // A final line break does not start another line; an empty text is one line.
  if (!line.empty() || lines.empty()) lines.push_back(std::move(line));
  return lines;
}

// Appends the text and CR LF to the file named by 表示出力先 (as given, relative
// to the current folder) when the security policy allows; a missing file is
// created, a file that cannot be opened is left alone. A write that fails (a
// full disk) leaves the file as it was and raises the file failure message.
static void PrintToFile(Interpreter& in, const std::string& name, const std::string& text) {
  // A NUL would cut the name short at the system call: never checked or opened.
  if (HasNulByte(name)) in.Raise(msg::FileFailure(), NameForMessage(name));
  if (!SecurityCheck(in, name, QuotedQuestion(name, SJ("へ書き込みます。")))) return;
  const std::string os = ToOsPath(name);
  std::string line = text + "\r\n";
  EncodeFileText(in, os, line, FileWrite::kAppend);
  int fd = open(os.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return;
  bool ok = AppendToFd(fd, line);
  int e = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    e = errno;
  }
  if (!ok) in.Raise(Format(msg::FileFailure(), name) + SystemReason(e));
}

static std::string VariableText(Interpreter& in, const std::string& name,
                                const std::string& fallback) {
  THashNode* w = in.S.Words.Find(name, false);
  return w ? w->Value() : fallback;
}

static int TabWidth(Interpreter& in) {
  if (THashNode* t = in.S.Fast.TabCount) return ToInt32(ParseNumber(t->Value()));
  return 8;
}

// The host's installed faces, folded on first use and kept for the run.
static const FontKeys& InstalledFonts(Interpreter& in) {
  FontKeys& keys = in.S.RunStates.Get<FontKeys>();
  if (!keys.built) keys = MakeFontKeys(in.host.Surface().FontFamilies());
  return keys;
}

Host::TextFont CurrentTextFont(Interpreter& in) {
  ParsedFont parsed =
      ParseFontText(VariableText(in, SJ("文字書体"), SJ("ＭＳ ゴシック")), InstalledFonts(in));
  Host::TextFont font;
  font.face = parsed.face;
  font.bold = parsed.bold;
  font.italic = parsed.italic;
  font.underline = parsed.underline;
  font.size = parsed.size;
  if (font.size <= 0) {
    std::optional<Number> size = StrictNumber(Trim(VariableText(in, SJ("文字サイズ"), "12")));
    font.size = size ? ToInt32(*size) : 12;
  }
  font.color = ParseColor(VariableText(in, SJ("文字色"), "0"));
  return font;
}

void ApplyTextFont(Interpreter& in) {
  in.host.Surface().SetTextFont(CurrentTextFont(in));
}

int PrintLineHeight(Host& host) {
  return static_cast<int>(host.Surface().TextHeight(SJ("あ")) * 1.2);
}

static void CmdPrint(Call& c) {
  Interpreter& in = c.in;
  std::string text = c.Text(0);
  THashNode* target = in.S.Fast.PrintTarget;
  if (target && !target->Value().empty()) {
    PrintToFile(in, target->Value(), text);
    return;
  }
  std::vector<std::string> lines = LayoutPrintText(text, TabWidth(in));
  if (!in.host.Surface().DrawsText()) {
    for (const std::string& line : lines) in.host.Surface().PrintLine(line);
    return;
  }
  ApplyTextFont(in);
  int step = PrintLineHeight(in.host);
  bool centring = in.S.Centring;
  int y = in.S.CursorY;
  for (const std::string& line : lines) {
    int x = centring ? (in.host.Surface().ClientWidth() - in.host.Surface().TextWidth(line)) / 2
                     : in.S.CursorX;
    in.host.Surface().DrawText(x, y, line);
    y += step;
  }
  in.S.CursorY = y;
}

static void CmdSay(Call& c) {
  Interpreter& in = c.in;
  std::string text = c.Text(0);
  if (text.size() > 4095) text = CutBytesSafe(text, 4095) + "...";
  std::string laid_out;
  for (const std::string& line : LayoutPrintText(text, TabWidth(in)))
    laid_out += (laid_out.empty() ? "" : "\r\n") + line;
  ApplyTextFont(in);
  in.host.Dialogs().Say(laid_out);
}

static void CmdClearScreen(Call& c) {
  Interpreter& in = c.in;
  bool omitted = in.S.SoreImplied;
  std::string color = c.Text(0);
  if (omitted)
    in.host.Surface().ClearOutput();
  else
    in.host.Surface().ClearOutputWith(ParseColor(color));
  in.S.CursorX = 10;
  in.S.CursorY = 10;
}

std::string CoordinateText(Call& c, size_t k) {
  const std::string& raw = c.Raw(k);
  if (SplitCoordinateItems(raw).size() >= 2) return raw;
  return c.Text(k);
}

static void CmdMove(Call& c) {
  Point p = ParsePoint(c.in, CoordinateText(c, 0));
  c.in.S.CursorX = p.x;
  c.in.S.CursorY = p.y;
}

static void CmdCentring(Call& c) {
  c.in.S.Centring = true;
}
static void CmdCentringOff(Call& c) {
  c.in.S.Centring = false;
}

template <Host::WindowAction action>
static void CmdWindow(Call& c) {
  c.in.host.Window().WindowCommand(action);
}

static void CmdBorderStyle(Call& c) {
  c.in.host.Window().SetBorderStyle(ToInt32(c.Num(0)));
}

[[noreturn]] static void RaiseFileError(Interpreter& in, const std::string& name) {
  in.Raise(msg::FileFailure(), name);
}

// 母艦アイコン: a picture file, or else an イメージ object whose picture is used.
static void CmdIcon(Call& c) {
  Interpreter& in = c.in;
  std::string name = c.Text(0);
  std::string path = ResolveFileName(in, name);
  if (FileExists(path)) {
    if (!in.host.Window().SetIconFile(ToOsPath(path))) RaiseFileError(in, path);
    return;
  }
  // The object named as written, else in half width; its picture becomes an
  // icon file in memory (the bottom-left colour transparent).
  THashNode* w = in.S.Words.Find(name, true);
  if (!w || w->Kind != kWordObject) w = in.S.Words.Find(MapText(name, MapMode::HalfWidth), true);
  TObjNode* node = w && w->Kind == kWordObject ? in.S.Objects.Get(w->ObjectIndex) : nullptr;
  HostCanvas* canvas =
      node && node->Kind == ObjKind::kImage ? CanvasOfObject(in, node->ObjectIndex) : nullptr;
  Bitmap picture = canvas ? canvas->GetBitmap() : Bitmap();
  if (picture.Empty() || !in.host.Window().SetIconData(EncodeIco(picture)))
    RaiseFileError(in, path);
}

std::string PrintFallbackName(Interpreter& in) {
  std::string program = in.S.ProgramPath.empty() ? in.S.SourceName.Text() : in.S.ProgramPath;
  if (program.empty()) return CurrentFolder() + "sorane.pdf";
  std::string folder = ExtractFolder(program);
  std::string file = ExtractFileName(program);
  size_t dot = file.rfind('.');
  if (dot != std::string::npos && dot > 0) file.erase(dot);
  return folder + file + ".pdf";
}

static void CmdPrintWindow(Call& c) {
  std::string target = PrintFallbackName(c.in);
  if (c.in.host.Surface().PrintWindow(target) == Host::PrintResult::kFailed)
    RaiseFileError(c.in, target);
}

static void CmdShowValue(Call& c) {
  Interpreter& in = c.in;
  std::string name = c.Name(0);
  if (in.S.Words.Find(name, true)) {
    if (in.host.Dialogs().DebugDialog(name)) in.EndRun();
    return;
  }
  std::string value = c.Text(0);
  in.host.Dialogs().Say(SJ("「") + name + SJ("」の内容は、") + value);
}

static const char kFormSection[] = "frmSorane";

static void CmdSaveFormPosition(Call& c) {
  Interpreter& in = c.in;
  std::string name = c.Text(0);
  if (name.empty()) return;
  std::string path = AbsoluteName(name);
  if (!SecurityCheck(in, path,
                     SJ("INIファイル") + QuotedQuestion(path, SJ("にフォーム情報を保存します。"))))
    return;
  Host::Geometry g = in.host.Window().GetGeometry();
  const std::pair<const char*, int> keys[] = {{"state", g.state},
                                              {"top", g.top},
                                              {"left", g.left},
                                              {"height", g.height},
                                              {"width", g.width}};
  for (const auto& [key, value] : keys)
    if (!IniFileWrite(path, kFormSection, key, std::to_string(value))) RaiseFileError(in, path);
}

static void CmdRestoreFormPosition(Call& c) {
  Interpreter& in = c.in;
  std::string name = c.Text(0);
  if (name.empty()) return;
  std::string path = AbsoluteName(name);
  Host::Geometry g = in.host.Window().GetGeometry();
  g.state = -1;  // kept unless the file has it
  std::pair<const char*, int*> keys[] = {{"top", &g.top},
                                         {"left", &g.left},
                                         {"height", &g.height},
                                         {"width", &g.width},
                                         {"state", &g.state}};
  for (auto& [key, field] : keys) {
    bool ok = true;
    std::optional<std::string> v = IniFileRead(path, kFormSection, key, &ok);
    if (!ok) RaiseFileError(in, path);
    long long n = 0;
    if (v && TryParseInteger(*v, n)) *field = static_cast<int>(n);
  }
  in.host.Window().SetGeometry(g);
}

// 最大化 / 最小化 / フォーム元のサイズ: the named object must be a form.
template <Host::WindowAction action>
static void CmdFormWindow(Call& c) {
  Interpreter& in = c.in;
  THashNode* w = c.Word(0, false);
  TObjNode* node = w->Kind == kWordObject ? in.S.Objects.Get(w->ObjectIndex) : nullptr;
  if (!node || node->Name.empty()) in.Raise(msg::ObjectNotFound(), w->Name);
  if (node->Kind != ObjKind::kForm)
    in.Raise(SJ("オブジェクト\"%s\"は、\"%s\"ではありません。"), w->Name, SJ("フォーム"));
  if (node->ObjectIndex == 0) in.host.Window().WindowCommand(action);
}

static void CmdCopy(Call& c) {
  c.in.host.Clipboard().SetClipboardText(c.Text(0));
}
static void CmdClipboard(Call& c) {
  c.ReturnCommon(c.in.host.Clipboard().ClipboardText());
}

bool CloseRequest(Interpreter& in) {
  TSoraneBase& S = in.S;
  if (THashNode* handler = S.CloseHandler) {
    TPos remembered = S.ExecPos;
    S.CloseHandler = nullptr;
    if (S.Fast.CannotClose) S.Fast.CannotClose->ValueToWrite() = "0";
    in.RunNested(TPos(handler->More().RefPos, handler->More().RefText));
    if (S.Fast.CannotClose && S.Fast.CannotClose->Value() == "1") {
      S.ExecPos = remembered;
      return false;
    }
  }
  S.ExecPos = TPos();
  S.StopRequested = true;
  return true;
}

static void CmdEnd(Call& c) {
  c.in.S.RunStack.Clear();
  c.in.S.ExecPos = TPos();
  if (CloseRequest(c.in)) c.in.host.Window().Close();
}

static void CmdSetCloseHandler(Call& c) {
  Interpreter& in = c.in;
  std::string name = c.Name(0);
  THashNode* w = in.S.Words.FindExact(name);
  if (w && w->Kind == kWordLabel) {
    in.S.CloseHandler = w;
    if (in.S.Fast.CannotClose) in.S.Fast.CannotClose->ValueToWrite() = "1";
    return;
  }
  std::string value = w ? std::string() : c.Text(0);
  if (!w && value.empty()) {
    in.S.CloseHandler = nullptr;
    if (in.S.Fast.CannotClose) in.S.Fast.CannotClose->ValueToWrite() = "0";
    return;
  }
  in.Raise(msg::UndefinedLabel(), w ? name : value);
}

CommandTable OutputCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::End, "おわり", "", CmdEnd, kActs},
      {CommandId::End, "終わり", "", CmdEnd, kActs},
      {CommandId::End, "おわる", "", CmdEnd, kActs},
      {CommandId::SetCloseHandler, "終了処理設定", "?に", CmdSetCloseHandler, kActs},
      {CommandId::Say, "言う", "?と", CmdSay, kActs},
      {CommandId::Print, "表示", "?と", CmdPrint, kActs},
      {CommandId::MoveCursor, "移動", "?へ", CmdMove, kActs},
      {CommandId::ClearScreen, "画面クリア", "?で", CmdClearScreen, kActs},
      {CommandId::Centring, "センタリング", "", CmdCentring, kActs},
      {CommandId::CentringOff, "センタリング解除", "", CmdCentringOff, kActs},
      {CommandId::PrintWindow, "母艦印刷", "", CmdPrintWindow, kActs},
      {CommandId::Repaint, "描画処理反映", "", CmdWindow<Host::WindowAction::kRepaint>, kActs},
      {CommandId::ShowValue, "_P", "?", CmdShowValue, kActs},
      {CommandId::ShowValue, "SHOW", "?", CmdShowValue, kActs},
      {CommandId::SaveFormPosition, "フォームの位置記録", "へ", CmdSaveFormPosition, kActs},
      {CommandId::RestoreFormPosition, "フォームの位置復元", "から", CmdRestoreFormPosition, kActs},
      {CommandId::WindowMaximise, "母艦最大化", "", CmdWindow<Host::WindowAction::kMaximise>,
       kActs},
      {CommandId::WindowMinimise, "母艦最小化", "", CmdWindow<Host::WindowAction::kMinimise>,
       kActs},
      {CommandId::WindowRestore, "母艦元のサイズ", "", CmdWindow<Host::WindowAction::kRestore>,
       kActs},
      {CommandId::WindowIcon, "母艦アイコン", "?を", CmdIcon, kActs},
      {CommandId::WindowFullScreen, "母艦全画面化", "", CmdWindow<Host::WindowAction::kFullScreen>,
       kActs},
      {CommandId::WindowShow, "母艦浮上", "", CmdWindow<Host::WindowAction::kShow>, kActs},
      {CommandId::BorderStyle, "母艦スタイル設定", "?に", CmdBorderStyle, kActs},
      {CommandId::FormMaximise, "最大化", "?を", CmdFormWindow<Host::WindowAction::kMaximise>,
       kActs},
      {CommandId::FormMinimise, "最小化", "?を", CmdFormWindow<Host::WindowAction::kMinimiseForm>,
       kActs},
      {CommandId::FormRestore, "フォーム元のサイズ", "?を",
       CmdFormWindow<Host::WindowAction::kNormal>, kActs},
      {CommandId::CopyToClipboard, "コピー", "?を", CmdCopy, kActs},
      {CommandId::ClipboardText, "クリップボード取得", "", CmdClipboard, kActs},
  };
  return kRows;
}

}  // namespace sorane
