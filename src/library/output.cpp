// Text output and the end of a run: 表示 lays its text out into lines (tab
// expansion, line-break folding, the 4096-byte rule) and hands each line to the
// host; 言う shows a message; おわり and 終了処理設定 close the host.
#include "library/output.h"

#include <cstdio>

#include "library/library.h"
#include "platform/files.h"
#include "runtime/interpreter.h"
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
  if (tab_width < 1) tab_width = 1;
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
// to the current folder); a missing file is created.
static void PrintToFile(const std::string& name, const std::string& text) {
  FILE* f = fopen(ToOsPath(name).c_str(), "ab");
  if (!f) return;
  fwrite(text.data(), 1, text.size(), f);
  fwrite("\r\n", 1, 2, f);
  fclose(f);
}

static void CmdPrint(Interpreter& in, THashNode&) {
  std::string text = in.PopValue();
  THashNode* target = in.S.Fast.PrintTarget;
  if (target && !target->Value.empty()) {
    PrintToFile(target->Value, text);
    return;
  }
  int tab = 8;
  if (THashNode* t = in.S.Fast.TabCount) tab = ToInt32(ParseNumber(t->Value));
  for (const std::string& line : LayoutPrintText(text, tab)) in.host.PrintLine(line);
}

static void CmdSay(Interpreter& in, THashNode&) {
  in.host.Say(in.PopValue());
}

static void CmdClearScreen(Interpreter& in, THashNode&) {
  in.PopValue();
  in.host.ClearOutput();
  in.S.TextX = 10;
  in.S.TextY = 10;
}

bool CloseRequest(Interpreter& in) {
  TSoraneBase& S = in.S;
  if (THashNode* handler = S.CloseHandler) {
    TPos remembered = S.ExecPos;
    S.CloseHandler = nullptr;
    if (S.Fast.CannotClose) S.Fast.CannotClose->Value = "0";
    in.RunNested(TPos(handler->RefPos, handler->RefText));
    if (S.Fast.CannotClose && S.Fast.CannotClose->Value == "1") {
      S.ExecPos = remembered;
      return false;
    }
  }
  S.ExecPos = TPos();
  S.StopRequested = true;
  return true;
}

static void CmdEnd(Interpreter& in, THashNode&) {
  in.S.RunStack.Clear();
  in.S.ExecPos = TPos();
  if (CloseRequest(in)) in.host.Close();
}

static void CmdSetCloseHandler(Interpreter& in, THashNode&) {
  std::string raw = in.PopRaw();
  std::string name = raw;
  if (name.size() >= 2 && name.front() == '`' && name.back() == '`')
    name = name.substr(1, name.size() - 2);
  THashNode* w = in.S.Words.FindExact(name);
  if (w && w->Kind == kWordLabel) {
    in.S.CloseHandler = w;
    if (in.S.Fast.CannotClose) in.S.Fast.CannotClose->Value = "1";
    return;
  }
  std::string value = w ? std::string() : in.Evaluate(raw);
  if (!w && value.empty()) {
    in.S.CloseHandler = nullptr;
    if (in.S.Fast.CannotClose) in.S.Fast.CannotClose->Value = "0";
    return;
  }
  in.Raise(SJ("未定義のラベル\"%s\"に、ジャンプしようとしました。"), w ? name : value);
}

void RegisterOutputCommands() {
  SetHandler(0, CmdPrint);              // 表示
  SetHandler(12, CmdSay);               // 言う
  SetHandler(4, CmdClearScreen);        // 画面クリア
  SetHandler(2, CmdEnd);                // おわり
  SetHandler(161, CmdSetCloseHandler);  // 終了処理設定
}

}  // namespace sorane
