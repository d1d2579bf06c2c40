// Report lines, the error log, the current line number and the error routine of
// the statement loop, plus the four commands that choose how errors are handled.
#include <cstring>

#include "platform/files.h"
#include "runtime/command.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "runtime/runtime_commands.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

std::string Format(const std::string& fmt, const std::string& a, const std::string& b) {
  std::string out;
  out.reserve(fmt.size() + a.size() + b.size());
  int used = 0;
  for (size_t i = 0; i < fmt.size(); ++i) {
    size_t len = CharLen(fmt, i);
    if (len == 1 && fmt[i] == '%' && i + 1 < fmt.size() &&
        (fmt[i + 1] == 's' || fmt[i + 1] == 'd')) {
      out += used == 0 ? a : b;
      ++used;
      ++i;
      continue;
    }
    out.append(fmt, i, len);
    i += len - 1;
  }
  return out;
}

// A line break inside a literal carries no mark: the mark after the next
// marked break counts those breaks too, so they are taken off again. Only CR
// starts a line, as in preprocessing. A NUL before the end is passed over: a
// block copy keeps the mark of its last line after its NUL, and a block that
// runs in place ends with a NUL before the rest of its enclosing block.
int Interpreter::LineOf(const char* p, const char* end, int fallback, const char** mark_end) {
  int unmarked = 0;
  if (mark_end) *mark_end = nullptr;
  for (;;) {
    while (p < end && *p != '\r' && *p != '\n') p += *p ? CharLenZ(p) : 1;
    if (p >= end) return fallback;
    bool counts = *p == '\r';
    if (*p == '\r') ++p;
    if (*p == '\n') ++p;
    long long n = 0;
    bool digits = false;
    const char* q = p;
    while (*q >= '0' && *q <= '9') {
      if (n < 100000000) n = n * 10 + (*q - '0');
      ++q;
      digits = true;
    }
    if (digits && *q == ':') {
      if (mark_end) *mark_end = q + 1;
      return static_cast<int>(n) - unmarked;
    }
    if (counts) ++unmarked;
  }
}

int Interpreter::CurrentLine() {
  if (LineFromMark || S.ExecPos.None()) return S.LineNo;
  const char* p = S.ExecPos.p;
  const char* end =
      S.ExecPos.text ? S.ExecPos.text->data() + S.ExecPos.text->size() : p + std::strlen(p);
  S.LineNo = LineOf(p, end, S.LineNo);
  return S.LineNo;
}

// The source name as a report line shows it. A text that runs itself through
// そらねする gets a name one "…の1行目のそらね" longer at every level, so a long
// name keeps its start and marks the cut.
static std::string ShownSourceName(const std::string& source) {
  constexpr size_t kLongest = 200;
  std::string name = ExtractFileName(source);
  if (name.size() <= kLongest) return name;
  return CutBytesSafe(name, kLongest) + SJ("…");
}

std::string Interpreter::ReportLine(const std::string& message) {
  return Format(SJ("[エラー] %s("), ShownSourceName(S.SourceName)) + std::to_string(CurrentLine()) +
         SJ("行目): ") + message;
}

void Interpreter::Raise(const std::string& message) {
  std::string line = ReportLine(message);
  ErrorLog += line + "\r\n";
  throw ESorane(line);
}

void Interpreter::Raise(const std::string& fmt, const std::string& a, const std::string& b) {
  Raise(Format(fmt, a, b));
}

void Interpreter::RaiseBare(const std::string& message) {
  ErrorLog += message + "\r\n";
  throw ESorane(message);
}

void Interpreter::Warn(const std::string& message) {
  std::string line = Format(SJ("[注　意] %s("), ShownSourceName(S.SourceName)) +
                     std::to_string(CurrentLine()) + SJ("行目): ") + message;
  ErrorLog += line + "\r\n";
  if (S.DebugOption) ShowErrorDialog();
}

void Interpreter::ShowErrorDialog() {
  bool debug = false;
  bool go_on = host.Dialogs().ErrorDialog(ErrorLog, S.DebugOption, debug);
  if (go_on && debug) go_on = !host.Dialogs().DebugDialog("");
  if (!go_on) EndRun();
}

void Interpreter::EndRun() {
  S.StopRequested = true;
  S.ExecPos = TPos();
  host.Window().Close();
}

// Skips a literal at p without raising; false when it never closes.
static bool SkipLiteralQuietly(const char*& p) {
  char quote = *p++;
  while (*p) {
    if (quote == '"' && *p == '\\' && p[1]) {
      p += 1 + CharLenZ(p + 1);
      continue;
    }
    if (*p == quote) {
      if (quote == '`' && p[1] == '`') {
        p += 2;
        continue;
      }
      ++p;
      return true;
    }
    p += CharLenZ(p);
  }
  return false;
}

// After a failed statement the run resumes at the next statement: the rest of
// the failing one is skipped, so its half-read arguments cannot leak on. The
// scan never raises (the statement has already failed): an unclosed literal or
// group ends the skip at the end of the line.
static void SkipRestOfStatement(Interpreter& in) {
  if (in.S.ExecPos.None() || in.LineFromMark) return;
  const char*& p = in.S.ExecPos.p;
  const char* line_end = p;
  while (*line_end && *line_end != '\r' && *line_end != '\n') line_end += CharLenZ(line_end);
  int depth = 0;
  while (*p && (depth > 0 || (*p != '\r' && *p != '\n' && *p != ';'))) {
    if (*p == '"' || *p == '`') {
      const char* q = p;
      if (!SkipLiteralQuietly(q)) {
        p = line_end;
        return;
      }
      p = q;
      continue;
    }
    if (*p == '(') ++depth;
    if (*p == ')' && depth > 0) --depth;
    p += CharLenZ(p);
  }
  if (depth > 0) p = line_end;
  if (*p == ';') ++p;
}

void Interpreter::HandleError(const std::string& message, bool language_error) {
  if (!language_error) {
    std::string line = ReportLine(message);
    if (!ErrorLog.empty() && ErrorLog.size() >= 2 &&
        ErrorLog.compare(ErrorLog.size() - 2, 2, "\r\n"))
      ErrorLog += "\r\n";
    ErrorLog += line + "\r\n" + msg::UnknownSystemError() + "\r\n";
  }
  S.Fast.ErrorMessage->ValueToWrite() = message;
  S.ArgStack.Clear();
  S.CallMode = false;
  S.SoreImplied = false;
  SkipRestOfStatement(*this);
  LineFromMark = false;
  if (S.ErrorHandler) {
    S.ErrorPos = KeptPosition(S.ExecPos);
    S.ExecPos = TPos(S.ErrorHandler->More().RefPos, S.ErrorHandler->More().RefText);
    return;
  }
  if (S.ErrorReporting) ShowErrorDialog();
}

// ---------------------------------------------------------------- commands

static void CmdIgnoreErrors(Call& c) {
  Interpreter& in = c.in;
  in.S.ErrorReporting = false;
  in.S.ErrorHandler = nullptr;
}

static void CmdSetErrorHandler(Call& c) {
  Interpreter& in = c.in;
  std::string name = c.Name(0);
  THashNode* w = in.S.Words.FindExact(name);
  if (!w || w->Kind != kWordLabel) in.Raise(msg::UndefinedLabel(), name);
  in.S.ErrorHandler = w;
}

static void CmdReportErrors(Call& c) {
  Interpreter& in = c.in;
  in.S.ErrorReporting = true;
  in.S.ErrorHandler = nullptr;
}

static void CmdResumeAfterError(Call& c) {
  Interpreter& in = c.in;
  if (!in.S.ErrorPos.None()) in.S.ExecPos = in.S.ErrorPos;
}

CommandTable ErrorCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::IgnoreErrors, "エラーを無視", "", CmdIgnoreErrors, kPure},
      {CommandId::SetErrorHandler, "エラー処理設定", "?に", CmdSetErrorHandler, kPure},
      {CommandId::ReportErrors, "エラーを警告", "", CmdReportErrors, kPure},
      {CommandId::ResumeAfterError, "エラーから復帰", "", CmdResumeAfterError, kPure},
  };
  return kRows;
}

}  // namespace sorane
