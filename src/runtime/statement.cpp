// The statement loop: tokens are read at the execution position and pushed on
// the argument stack with their particles; the last token of a statement is the
// verb, which is looked up with okurigana folding, bound to its template by
// particles and dispatched by command id through the interpreter's handler table.
// Also assignment.
#include <pthread.h>
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>

#include "runtime/calculator.h"
#include "runtime/compiled_expression.h"
#include "runtime/events.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "runtime/runtime_commands.h"
#include "runtime/statement_cache.h"
#include "text/conv_half.h"
#include "text/csv.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

// ---------------------------------------------------------------- tables

namespace {

struct CharTables {
  std::array<bool, 256> delimiter{};
  std::array<bool, 256> op{};
  CharTables() {
    static const char kDelimiters[] = "\t\r \"#%&()*+,-/:;<=>?\\^`\xA4";
    for (size_t i = 0; i + 1 < sizeof kDelimiters; ++i)
      delimiter[static_cast<unsigned char>(kDelimiters[i])] = true;
    delimiter[0] = true;
    for (unsigned char c : std::string_view("%&*+-/<=>^|")) op[c] = true;
  }
};
const CharTables kTables;

}  // namespace

bool IsWordDelimiter(unsigned char c) {
  return kTables.delimiter[c];
}
bool IsOperatorChar(unsigned char c) {
  return kTables.op[c];
}

std::string Requote(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 2);
  out += '`';
  for (size_t i = 0; i < s.size();) {
    size_t len = CharLen(s, i);
    out.append(s.data() + i, len);
    if (len == 1 && s[i] == '`') out += '`';  // a trail byte 0x60 is not a backquote
    i += len;
  }
  out += '`';
  return out;
}

std::string QuoteName(const std::string& name) {
  return "\"" + name + "\"";
}

// ---------------------------------------------------------------- lexical helpers

// A byte SkipBlanks passes over.
static inline bool IsBlankByte(unsigned char c) {
  return c == ' ' || c == '\t' || c == ',' || c == 0xA4;
}

void Interpreter::SkipBlanks(const char*& p) {
  while (IsBlankByte(static_cast<unsigned char>(*p))) ++p;
}

void Interpreter::SkipSpaces(const char*& p) {
  while (*p == ' ' || *p == '\t') ++p;
}

std::string_view Interpreter::ScanWord(const char*& p) {
  const char* start = p;
  while (true) {
    unsigned char c = *p;
    if (IsLeadByte(c) && p[1]) {
      p += 2;
      continue;
    }
    if (kTables.delimiter[c]) break;
    ++p;
  }
  return std::string_view(start, p - start);
}

std::string Interpreter::ReadWord(const char*& p) {
  return std::string(ScanWord(p));
}

// Reads the line break at p and the line mark after it, if any: true with
// the mark's number in `line`. (Read through a copy of the position: stores
// to the line number cannot change it.)
static bool ReadLineMark(const char*& p, int& line) {
  const char* q = p;
  if (*q == '\r') ++q;
  if (*q == '\n') ++q;
  p = q;
  unsigned digit = static_cast<unsigned char>(*q) - '0';
  if (digit > 9) return false;
  int n = 0;
  do {
    if (n < 100000000) n = n * 10 + static_cast<int>(digit);
    digit = static_cast<unsigned char>(*++q) - '0';
  } while (digit <= 9);
  if (*q != ':') return false;
  line = n;
  p = q + 1;
  return true;
}

void Interpreter::ReadLineBreak(const char*& p) {
  int line;
  if (ReadLineMark(p, line)) S.LineNo = line;
}

std::string Interpreter::RestOfStatement(const char*& p) {
  std::string out;
  while (*p && *p != '\r' && *p != '\n' && *p != ';') {
    if (*p == '"' || *p == '`') {
      out += ReadLiteral(p);
      continue;
    }
    if (*p == '(') {
      out += '(';
      out += ReadGroup(p);
      out += ')';
      continue;
    }
    if (*p == '&' && (p[1] == '\r' || p[1] == '\n')) {
      out += '&';
      ++p;
      ReadLineBreak(p);
      continue;
    }
    size_t len = CharLenZ(p);
    out.append(p, len);
    p += len;
  }
  return out;
}

static inline bool EndsWith(const std::string& s, const std::string& tail) {
  // The tails looked for are a few bytes (particles, endings of words).
  const size_t n = tail.size();
  if (s.size() < n) return false;
  const char* end = s.data() + s.size() - n;
  for (size_t i = 0; i < n; ++i)
    if (end[i] != tail[i]) return false;
  return true;
}

static bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
static bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string Interpreter::ReadNumberLiteral(const char*& p) {
  const char* start = p;
  const char* q = p;
  if (*q == '+' || *q == '-') ++q;
  if (*q == '$') {
    ++q;
    while (IsHexDigit(*q)) ++q;
    p = q;
    return std::string(start, p);
  }
  if (!IsDigit(*q)) return {};
  while (IsDigit(*q)) ++q;
  if (*q == '.' && IsDigit(q[1])) {
    ++q;
    while (IsDigit(*q)) ++q;
    if (*q == 'e' || *q == 'E') {
      const char* e = q + 1;
      if (*e == '+' || *e == '-') ++e;
      if (IsDigit(*e)) {
        while (IsDigit(*e)) ++e;
        q = e;
      }
    }
  }
  p = q;
  return std::string(start, p);
}

// ---------------------------------------------------------------- variables

THashNode* Interpreter::AddVariable(std::string_view name) {
  return S.Words.AddVariable(name, "", "", S.RunStack.Count());
}

// The checks the statement loop makes between two steps hold (with a step
// limit or line-stop mode each step stays on its own).
inline bool Interpreter::StepsMayFollow() const {
  return !StepLimit && !S.LineStopOption && !S.StopRequested && S.RunStack.Count() <= 65535;
}

// After a もし run from its record: the position is at the first statement of
// the block it entered (not at a line break, nor at the end of a text), with
// the checks between two steps holding.
inline bool Interpreter::BlockStatementFollows() const {
  if (S.ExecPos.None() || !S.ArgStack.Empty()) return false;
  const char c = *S.ExecPos.p;
  return c != '\0' && c != '\r' && c != '\n' && StepsMayFollow();
}

// The position is at a line break that the next step would read at once,
// with the checks between two steps holding (a line continued after "," is
// read as part of the statement).
inline bool Interpreter::LineBreakMayFollow() const {
  const char* p = S.ExecPos.p;
  return (*p == '\r' || *p == '\n') && StepsMayFollow() &&
         (p == S.ExecPos.text->c_str() || p[-1] != ',');
}

// After a statement run from its record, with nothing pushed: the line break
// that follows is read at once, as the next step would read it (the checks the
// statement loop makes between two steps hold; with a step limit or line-stop
// mode each step stays on its own). True when it was read and a statement
// may begin where it leaves the position (not the end of the text).
inline bool Interpreter::StepLineBreakAfter() {
  if (S.ExecPos.None() || !S.ArgStack.Empty() || !StepsMayFollow()) return false;
  const char*& p = S.ExecPos.p;
  // A line break read here before, in the same text, reads as it did then
  // (and the bytes around it, which decided that it may be read, are the same).
  ReadLineBreakMemo& memo =
      line_breaks_[(reinterpret_cast<uintptr_t>(p) * 0x9E3779B97F4A7C15ull) >> 56];
  const std::shared_ptr<const std::string>& text = S.ExecPos.text;
  if (memo.at != p || !SameText(memo.text, text))
    return LineBreakMayFollow() && ReadLineBreakAfter(memo);
  FinishRecording(p);
  verb_hint_ = {};  // (as reading the line break takes it)
  p += memo.advance;
  if (memo.line != ReadLineBreakMemo::kNoMark) S.LineNo = memo.line;
  if (!memo.ends_text) {
    LineFromMark = true;
    return *p != '\0';
  }
  LineFromMark = false;
  recording_.start = nullptr;
  return false;
}

// StepLineBreakAfter for a line break not read at the position before: read,
// and remembered in `memo`.
bool Interpreter::ReadLineBreakAfter(ReadLineBreakMemo& memo) {
  const char*& p = S.ExecPos.p;
  const char* at = p;
  FinishRecording(p);
  TakeVerbHint(p);
  int line = ReadLineBreakMemo::kNoMark;
  if (ReadLineMark(p, line)) S.LineNo = line;
  LineFromMark = true;
  memo.at = at;
  memo.text = S.ExecPos.text;
  memo.line = line;
  memo.ends_text = false;
  // Blanks that end the text (the indentation before a block's closing
  // parenthesis) are a step of their own that finds nothing to run.
  const char* q = p;
  while (*q == ' ' || *q == '\t') ++q;  // (most lines begin with these blanks alone)
  if (q != p && (*q == '\0' || *q == ',' || static_cast<unsigned char>(*q) == 0xA4)) {
    SkipBlanks(q);
    if (*q == '\0') {
      p = q;
      LineFromMark = false;
      recording_.start = nullptr;
      memo.ends_text = true;
    }
  }
  memo.advance = static_cast<uint32_t>(p - at);
  return *p != '\0';
}

// ---------------------------------------------------------------- the loop

void Interpreter::Run() {
  struct DepthGuard {
    int& depth;
    bool*& read_ahead;
    bool* outer;
    DepthGuard(int& d, bool*& flag, bool* own) : depth(d), read_ahead(flag), outer(flag) {
      ++depth;
      read_ahead = own;
    }
    ~DepthGuard() {
      --depth;
      read_ahead = outer;
    }
  };
  bool read_ahead = false;
  DepthGuard depth_guard(RunDepth, read_ahead_, &read_ahead);
  while (!S.ExecPos.None()) {
    const char* remembered = nullptr;
    for (;;) {
      if (S.ExecPos.None()) return;
      try {
        if (*S.ExecPos.p == '\0') {
          while (S.RunStack.Count() > 0) {
            if (StepLimit && ++StepCount > StepLimit) {
              S.ExecPos = TPos();
              S.StopRequested = true;
              return;
            }
            CheckRunControl();
            if (S.ExecPos.None() || *S.ExecPos.p != '\0') break;
          }
          if (S.ExecPos.None()) return;
          if (*S.ExecPos.p == '\0') return;  // end of text, nothing to resume
          // Resumed after a block: the line break there is read at once, as
          // the next step would read it (see StepLineBreakAfter).
          if (Statements) {
            recording_.start = nullptr;
            StepLineBreakAfter();
          }
          break;  // resumed: start again at 1
        }
        if (S.RunStack.Count() > 65535)
          Raise(SJ("実行が無限ループしている可能性があるので終了します。"));
        if (S.StopRequested) return;
        if (S.ExecPos.p == remembered) Raise(msg::UnknownSystemError());
        remembered = S.ExecPos.p;
        if (StepLimit && ++StepCount > StepLimit) {
          S.ExecPos = TPos();
          S.StopRequested = true;
          return;
        }
        read_ahead = false;
        Step();
        if (read_ahead) remembered = nullptr;
      } catch (const ESorane& e) {
        HandleError(e.Message(), true);
        remembered = nullptr;
      } catch (const std::bad_alloc&) {
        HandleError(SJ("メモリが足りません。"), false);
        remembered = nullptr;
      } catch (const std::exception& e) {
        HandleError(e.what(), false);
        remembered = nullptr;
      }
    }
  }
}

namespace {
// Sets aside what a nested run must not see and restores it on every exit.
struct NestedRunGuard {
  Interpreter& in;
  TPos exec;
  std::vector<std::string> args;
  int line;
  bool from_mark;
  explicit NestedRunGuard(Interpreter& i)
      : in(i), exec(std::move(i.S.ExecPos)), line(i.S.LineNo), from_mark(i.LineFromMark) {
    // An empty stack stays where it is, with the room it has.
    if (!in.S.ArgStack.Empty()) args.swap(in.S.ArgStack.Items());
    in.S.RunStack.Save();
  }
  ~NestedRunGuard() {
    in.S.RunStack.Restore();
    if (args.empty())
      in.S.ArgStack.Clear();
    else
      in.S.ArgStack.Items().swap(args);
    in.S.ExecPos = std::move(exec);
    in.S.LineNo = line;
    in.LineFromMark = from_mark;
  }
};
}  // namespace

// The lowest address of this thread's stack, read once per thread: the real
// limit (ulimit -s, or the size a thread was created with), not an assumed one.
static uintptr_t StackLowEnd() {
  thread_local const uintptr_t low = [] {
    pthread_attr_t attr;
    void* addr = nullptr;
    size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
      pthread_attr_getstack(&attr, &addr, &size);
      pthread_attr_destroy(&attr);
    }
    return reinterpret_cast<uintptr_t>(addr);
  }();
  return low;
}

size_t Interpreter::StackRoom() {
  char here;
  uintptr_t pos = reinterpret_cast<uintptr_t>(&here);
  uintptr_t low = StackLowEnd();
  if (low == 0 || pos <= low) return SIZE_MAX;  // unknown: rely on the other limits
  return pos - low;
}

void Interpreter::CheckStack() {
  char here;
  // The first call (at the start of a run) is near the bottom of the stack;
  // it only notes where that is. (The stack's real end is read from the
  // system's list of mappings, which takes a third of a millisecond: a
  // script that never nests a run never asks for it.)
  static uintptr_t base = 0;
  // The lowest address a call may reach on this thread: no more than half the
  // stack's size limit (at most 128 MB) below the base, and kStackMargin above
  // the stack's real end. (Worked out once per thread, on a path kept apart
  // from the check: every nested run checks it. Zero until then.)
  thread_local uintptr_t floor = 0;
  if (floor == 0) [[unlikely]] {
    if (!base) {
      base = reinterpret_cast<uintptr_t>(&here);
      return;
    }
    struct rlimit rl;
    size_t limit = 8u << 20;
    if (getrlimit(RLIMIT_STACK, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY) limit = rl.rlim_cur;
    limit = std::min<size_t>(limit, 256u << 20) / 2;
    floor = base > limit ? base - limit : 0;
    if (uintptr_t low = StackLowEnd(); low != 0) floor = std::max(floor, low + kStackMargin);
  }
  if (reinterpret_cast<uintptr_t>(&here) < floor) [[unlikely]]
    Raise(SJ("スタックが一杯になりました。ラベルなどに再帰呼び出しがないか確認！"));
}

void Interpreter::RunNested(const TPos& start) {
  RunNested(TPos(start));  // (start may be the position the guard sets aside)
}

void Interpreter::RunNested(TPos&& start) {
  CheckStack();
  ++CallsMade;
  NestedRunGuard guard(*this);
  S.ExecPos = std::move(start);
  Run();
}

// At the line break that ends a statement: the statement being recorded is
// remembered and the line break read; the verb its replayed tokens named,
// when they were replayed.
inline THashNode* Interpreter::EndStatementLine() {
  const char*& p = S.ExecPos.p;
  FinishRecording(p);
  THashNode* verb = TakeVerbHint(p);
  ReadLineBreak(p);
  LineFromMark = true;
  return verb;
}

// The number an assignment's value written as a whole number is (see
// AssignmentRecord::whole_literal), as evaluating its text gives it.
static inline NumberResult WholeValueOf(const AssignmentRecord& r) {
  return NumberResult{.whole = r.whole, .given = true, .is_whole = true};
}

// The statement at p may begin with もし (after blanks): a statement that
// cannot (a verb alone, such as 戻る) is not looked at by ReplayBranch.
static inline bool MayBeginWithIf(const char* p) {
  const unsigned char c = *p;
  return c == static_cast<unsigned char>(SJ("もし")[0]) || IsBlankByte(c);
}

void Interpreter::Step() {
  const char*& p = S.ExecPos.p;
  LineFromMark = false;
  // Statements run from their records follow one another in this step while
  // each ends at a line break that the next step would read at once (see
  // StepLineBreakAfter): the loop's checks between two steps hold there, so
  // going on is what the next step would do.
  while (Statements && S.ArgStack.Empty()) {
    if (*p == '\r' || *p == '\n') {
      // No statement is remembered at a line break, and nothing is being read.
      // A line break alone (where a label's statements begin, an empty line)
      // is read here, with what follows it.
      recording_.start = nullptr;
      if (!LineBreakMayFollow()) break;
    } else if (std::shared_ptr<AssignmentRecord> r = Statements->Find(p, BoundsOf(S.ExecPos))) {
      p += r->bytes.size() - 1;  // at the byte that ends the statement, as read
      if (r->whole_literal) {
        SetTypeMark(S.SoreType, "e");
        StoreNumber(r->target, WholeValueOf(*r), &r->target_word);
      } else {
        AssignText(r->target, r->value, &r->compiled, &r->target_word, &r->value_word);
      }
    } else if (std::shared_ptr<MemberRecord> m = Statements->FindMember(p, BoundsOf(S.ExecPos));
               m && ReplayMember(p, std::move(m))) {
    } else if (MayBeginWithIf(p) && ReplayBranch(p)) {
      // The block it entered begins with a statement: read in this step, as
      // the next step would (the loop's checks between two steps hold).
      if (BlockStatementFollows()) {
        LineFromMark = false;
        continue;
      }
    } else {
      if (!ReplayTokens(p)) break;
      if (!S.ExecPos.None()) RunReplayedStatement();  // (none: its 戻る ended the run)
      return;
    }
    if (!StepLineBreakAfter()) return;
    LineFromMark = false;
  }
  const char* start = p;
  SkipBlanks(p);
  unsigned char c = *p;
  switch (c) {
    case '\0':
      recording_.start = nullptr;
      ExecuteStatement();
      return;
    case '\r':
    case '\n': {
      if (p > S.ExecPos.text->c_str() && p[-1] == ',') {  // the statement goes on
        recording_.start = nullptr;
        TakeVerbHint(p);
        ReadLineBreak(p);
        return;
      }
      ExecuteStatement(EndStatementLine());
      // Line-stop mode: the debug dialog after every line; 実行中断 ends the run.
      if (S.LineStopOption && !S.ExecPos.None() && host.Dialogs().DebugDialog("")) EndRun();
      return;
    }
    case ';': {
      FinishRecording(p);
      THashNode* verb = TakeVerbHint(p);
      ++p;
      ExecuteStatement(verb);
      return;
    }
    case '*':
      recording_.start = nullptr;
      while (*p && *p != '\r' && *p != '\n') p += CharLenZ(p);
      return;
    case '?':
      recording_.start = nullptr;
      ++p;
      ConditionForm();
      return;
    default:
      break;
  }
  // A token: recorded when it continues the statement being recorded.
  TokenRecording rec;
  if (recording_.start && recording_.next == start && recording_.text == S.ExecPos.text.get() &&
      recording_.items.size() == S.ArgStack.Count())
    rec = std::move(recording_);
  recording_.start = nullptr;
  // The key token of a member assignment follows one pure item; a token read
  // inside this one sees its own statement, never this one.
  const bool member = Statements && rec.start && rec.items.size() == 1 && !rec.literal;
  // (A token read inside this one, a nested step, sees its own recording.)
  struct TokenGuard {
    TokenRecording*& recording;
    const char*& token;
    TokenRecording* outer_recording;
    const char* outer_token;
    TokenGuard(TokenRecording*& r, const char*& t, TokenRecording* now, const char* at)
        : recording(r), token(t), outer_recording(r), outer_token(t) {
      recording = now;
      token = at;
    }
    ~TokenGuard() {
      recording = outer_recording;
      token = outer_token;
    }
  } token_guard(token_recording_, token_start_, rec.start ? &rec : nullptr, start);
  if (!member && !member_statement_.start) {
    StepToken(c, start);
  } else {
    MemberStatement outer = std::move(member_statement_);
    member_statement_ =
        member ? MemberStatement{rec.start, start, rec.text, rec.items[0]} : MemberStatement{};
    StepToken(c, start);
    member_statement_ = std::move(outer);
  }
  if (!rec.start) return;
  recording_ = std::move(rec);
  RecordToken(start);
}

// After a command statement's tokens were pushed from their record: its line
// break is read and the statement run in the same step, as the next step
// would (see the line-break case of Step); a statement whose verb reads the
// block after it runs at once, as reading the verb runs it.
void Interpreter::RunReplayedStatement() {
  THashNode* const bound = bound_verb_;  // (its line break is known to follow)
  bound_verb_ = nullptr;
  if (runs_at_verb_) {
    runs_at_verb_ = false;
    THashNode* verb = TakeVerbHint(S.ExecPos.p);
    return bound ? DispatchBound(bound) : ExecuteStatement(verb);
  }
  const bool lone = lone_verb_;  // (its line break is known to follow)
  lone_verb_ = false;
  if (!lone && !bound && !LineBreakMayFollow()) return;
  THashNode* verb = EndStatementLine();
  if (read_ahead_) *read_ahead_ = true;
  if (bound) return DispatchBound(bound);
  if (!lone) return ExecuteStatement(verb);
  // The verb alone, as ExecuteStatement runs it once popped. (Its record is
  // still in its slot: nothing ran since it was replayed.)
  if (EndsRunAt(verb)) return;
  replayed_verb_text_ = lone_record_->items[0];
  ExecuteWord(verb);
  if (!S.ArgStack.Empty()) RaiseItemsLeft(replayed_verb_text_);
}

// 戻る alone with nothing open ends the run (the end of a label called from
// an expression, of an event, of the program), as its command does once
// dispatched; anything else is dispatched.
bool Interpreter::EndsRunAt(const THashNode* verb) {
  if (verb->Kind != kWordCommand || verb->Command != CommandId::Return || S.RunStack.Count() != 0)
    return false;
  ++CallsMade;
  S.SoreImplied = false;  // (as binding its empty template leaves it)
  S.ExecPos = TPos();
  return true;
}

void Interpreter::StepToken(unsigned char c, const char* start) {
  const char*& p = S.ExecPos.p;
  switch (c) {
    case '"':
    case '`':
      StepLiteral(p);
      return;
    case '#':
      StepCell(p);
      return;
    case '(': {
      std::string t = ReadGroup(p);
      t += ReadWord(p);
      SuffixAnalysis(std::move(t), p, false, false, {}, {});
      return;
    }
    default:
      break;
  }
  if (IsDigit(c) || c == '$' || ((c == '+' || c == '-') && (IsDigit(p[1]) || p[1] == '$'))) {
    StepNumber(p);
    return;
  }
  std::string word = ReadWord(p);
  if (word.empty()) {
    std::string ch(1, static_cast<char>(c));
    std::string msg = Format(msg::BadSyntax(), ch);
    if (c == '&')
      msg += SJ("\"&\"は、文字列との連結に使います。");
    else if (IsOperatorChar(c))
      msg += Format(SJ("\"%s\"は、計算式で使います。"), ch);
    ++p;
    Raise(msg);
  }
  if (S.Fast.Soshite && word == S.Fast.Soshite->Name) {
    ExecuteStatement();
    return;
  }
  SuffixAnalysis(std::move(word), p, true, false, {}, {}, S.ArgStack.Empty() ? start : nullptr);
}

// ---------------------------------------------------------------- token records

namespace {

// True when the bytes [from, to) of a token only push a text that they alone
// decide: words, plain numbers and literals without an embedded expression.
// Anything that may run something, read the word table or span lines (groups,
// calls, operators, "&", cells, assignments, "{…}") is not.
bool PureTokenText(const char* from, const char* to) {
  const std::string& open_brace = SJ("｛");
  for (const char* q = from; q < to;) {
    unsigned char c = *q;
    if (c == '"' || c == '`') {
      const char* end = q;
      if (!SkipLiteral(end) || end > to) return false;
      if (c == '"') {
        for (const char* r = q + 1; r < end - 1;) {
          if (*r == '{' || *r == '\r' || *r == '\n' || *r == '\0') return false;
          if (r[0] == open_brace[0] && r[1] == open_brace[1]) return false;
          r += CharLenZ(r);
        }
      } else if (std::memchr(q, '\0', end - q) || std::memchr(q, '\r', end - q) ||
                 std::memchr(q, '\n', end - q)) {
        return false;
      }
      q = end;
      continue;
    }
    if (c == '\0' || c == '\r' || c == '\n' || c == '(' || c == ')' || c == '#' || c == '?' ||
        c == '{' || c == ';' || IsOperatorChar(c))
      return false;
    q += CharLenZ(q);
  }
  return true;
}

}  // namespace

// A もし statement whose record holds where its condition begins, run from
// the record while もし names the command: what reading the word and
// dispatching the command would do, without reading them.
bool Interpreter::ReplayBranch(const char* at) {
  const std::string& word = SJ("もし");
  const char* p = at;
  SkipBlanks(p);
  // (The word is two characters of two bytes; the bytes are compared in turn,
  // so none is read past a NUL that ends the text.)
  if (p[0] != word[0] || p[1] != word[1] || p[2] != word[2] || p[3] != word[3]) return false;
  p += 4;
  if (!kTables.delimiter[static_cast<unsigned char>(*p)]) return false;
  SkipBlanks(p);
  if (*p == '=' || (*p == '&' && p[1] != '&')) return false;
  std::shared_ptr<const BranchRecord> r = Statements->FindBranch(p, BoundsOf(S.ExecPos));
  if (!r) return false;
  if (if_verb_.generation != S.Words.Generation()) {
    if_verb_.word = FindVerb(word);
    if_verb_.generation = S.Words.Generation();
  }
  THashNode* verb = if_verb_.word;
  if (!verb || verb->Kind != kWordCommand || verb->Command != CommandId::If ||
      !HandlerOf(CommandId::If))
    return false;
  recording_.start = nullptr;
  S.SoreImplied = false;  // as binding a command without slots leaves it
  S.ExecPos.p = p;
  RunRecordedBranches(*this, *r);
  return true;
}

// The command statement at `at` replayed from its token record: true when it
// was (its items pushed, or its verb alone kept for RunReplayedStatement; a
// 戻る that ends the run has ended it, and the position is none); false when
// it is read as usual (its recording begun when it has no record).
bool Interpreter::ReplayTokens(const char* at) {
  TokenRecord* r = Statements->FindTokens(at, BoundsOf(S.ExecPos));
  if (!r) {
    recording_.start = at;
    recording_.text = S.ExecPos.text.get();
    recording_.next = at;
    recording_.items.clear();
    recording_.steps = 0;
    recording_.literal = false;
    return false;
  }
  recording_.start = nullptr;
  if (r->items.empty()) return false;
  // The steps the tokens would take count as they did, so a step limit stops
  // the run where reading them would.
  if (StepLimit && StepCount + r->steps - 1 > StepLimit) return false;
  StepCount += r->steps - 1;
  if (r->sets_text_type) SetTypeMark(S.SoreType, "s");
  S.ExecPos.p = at + r->bytes.size() - 1;  // at the byte that ends the statement
  uint64_t generation = S.Words.Generation();
  if (r->verb.generation != generation) r->verb = {S.Words.Find(r->items.back(), true), generation};
  // A verb alone that names a word and runs in this step is not pushed.
  const bool lone =
      !r->runs_at_verb && r->items.size() == 1 && r->verb.word && LineBreakMayFollow();
  // 戻る alone that ends a nested run (only RunNested runs the loop within
  // another) ends it here, as RunReplayedStatement would, but that its line
  // break is not read: the run's guard gives the caller's line number back
  // as the run ends, and nothing reads it before.
  if (lone && RunDepth > 1 && EndsRunAt(r->verb.word)) return true;
  verb_hint_ = {S.ExecPos.p, r->verb.word, generation};
  runs_at_verb_ = r->runs_at_verb;
  lone_verb_ = lone;
  if (lone_verb_) {
    lone_record_ = r;
    return true;
  }
  // A command that runs in this step (at its verb, or with its line break
  // next) takes its items bound as they were the last time: they go on the
  // stack so, without the verb, and bind as they lie.
  if (const std::vector<std::string>* bound = BoundItems(*r);
      bound && (runs_at_verb_ || LineBreakMayFollow())) {
    for (const std::string& item : *bound) S.ArgStack.Push(item);
    bound_verb_ = r->verb.word;
    replayed_verb_text_ = r->items.back();
    return true;
  }
  for (const std::string& item : r->items) S.ArgStack.Push(item);
  return true;
}

THashNode* Interpreter::TakeVerbHint(const char* at) {
  VerbHint hint = verb_hint_;
  verb_hint_ = {};
  return hint.at == at && hint.generation == S.Words.Generation() ? hint.word : nullptr;
}

void Interpreter::RecordToken(const char* token_start) {
  TokenRecording& rec = recording_;
  const char* end = S.ExecPos.p;
  const bool pure = S.ExecPos.text.get() == rec.text &&
                    S.ArgStack.Count() == rec.items.size() + 1 && PureTokenText(token_start, end) &&
                    !EndsWith(S.ArgStack.Top(), SJ("て"));
  if (!pure) {
    // Remembered as a statement that is read every time, up to the end of
    // the token that ran something, so it is not recorded again.
    if (Statements && S.ExecPos.text.get() == rec.text && end > rec.start && *end &&
        static_cast<size_t>(end - rec.start) <= StatementCache::kLongestRecorded) {
      auto never = std::make_unique<TokenRecord>();
      never->at = rec.start;
      never->bytes.assign(rec.start, end + 1);
      Statements->RememberTokens(std::move(never));
    }
    rec.start = nullptr;
    return;
  }
  if (*token_start == '"' || *token_start == '`') rec.literal = true;
  rec.items.push_back(S.ArgStack.Top());
  ++rec.steps;
  rec.next = end;
}

// A verb that reads the block after it runs its statement as soon as it is
// read: the statement is remembered then, its bytes ending after the verb
// and its blanks, when all its tokens were recorded.
void Interpreter::RecordStatementRunAtVerb(const std::string& verb) {
  TokenRecording* rec = token_recording_;
  const char* end = S.ExecPos.p;
  if (!rec || !Statements || rec->text != S.ExecPos.text.get() ||
      rec->items.size() != S.ArgStack.Count() || !*end ||
      static_cast<size_t>(end - rec->start) > StatementCache::kLongestRecorded ||
      !PureTokenText(token_start_, end))
    return;
  auto r = std::make_unique<TokenRecord>();
  r->at = rec->start;
  r->bytes.assign(rec->start, end + 1);
  r->items = std::move(rec->items);
  r->items.push_back(verb);
  r->steps = rec->steps + 1;
  r->sets_text_type = rec->literal;
  r->runs_at_verb = true;
  Statements->RememberTokens(std::move(r));
  rec->start = nullptr;  // recorded: the step does not record it again
}

void Interpreter::RememberRecording(const char* end) {
  TokenRecording& rec = recording_;
  const char* start = rec.start;
  rec.start = nullptr;
  if (rec.next != end || rec.text != S.ExecPos.text.get() || rec.items.empty() ||
      rec.items.size() != S.ArgStack.Count() || !Statements ||
      static_cast<size_t>(end - start) > StatementCache::kLongestRecorded)
    return;
  auto r = std::make_unique<TokenRecord>();
  r->at = start;
  r->bytes.assign(start, end + 1);
  r->items = std::move(rec.items);
  r->steps = rec.steps;
  r->sets_text_type = rec.literal;
  Statements->RememberTokens(std::move(r));
}

std::string Interpreter::ConcatTail(std::string t, const char*& p) {
  for (;;) {
    if (*p == '&' && p[1] != '&') {
      ++p;
      if (*p == '\r' || *p == '\n') ReadLineBreak(p);
      SkipSpaces(p);
      t += '&';
      if (*p == '"' || *p == '`') {
        std::string item;
        if (!ReadItemLiteral(p, item)) return t;
        t += item;
      } else {
        t += ReadWord(p);
      }
      SkipSpaces(p);
      continue;
    }
    t += ReadWord(p);
    return t;
  }
}

// A literal whose value may differ from one expansion to the next: a
// double-quoted one holding "{" or "｛" (an embedded expression).
static bool MayEmbedExpressions(const std::string& literal) {
  return literal[0] == '"' &&
         (literal.find('{') != std::string::npos || literal.find(SJ("｛")) != std::string::npos);
}

// The value of a literal read as an item of a statement: one with embedded
// expressions through its compiled form (`compiled` keeps it, when given).
static std::string ExpandItemLiteral(Interpreter& in, const std::string& literal,
                                     std::shared_ptr<void>* compiled = nullptr) {
  std::string value;
  if (in.Expressions && MayEmbedExpressions(literal) &&
      in.Expressions->TryExpandLiteral(in, literal, value, compiled))
    return value;
  return in.ExpandLiteral(literal);
}

// The literal at the statement's position p as an item: expanded and
// re-quoted. False when an expression inside it called something that ended
// the run (終わる()): reading stops there, as after any call.
bool Interpreter::ReadItemLiteral(const char*& p, std::string& item) {
  const TPos at = S.ExecPos;
  std::string literal = ReadLiteral(p);
  const char* after = p;
  item = Requote(ExpandItemLiteral(*this, literal));
  return ContinueAfterCall(at, after);
}

void Interpreter::StepLiteral(const char*& p) {
  std::string t;
  if (!ReadItemLiteral(p, t)) return;
  SkipSpaces(p);
  t = ConcatTail(std::move(t), p);
  if (S.ExecPos.None()) return;
  SuffixAnalysis(std::move(t), p, false, false, {}, {});
}

// V#x or V#x#y after the variable name V was pushed.
void Interpreter::StepCell(const char*& p) {
  std::string name = StripBackquotes(S.ArgStack.PopLast());
  if (!S.Words.FindExact(name)) S.Words.AddVariable(name, "", "", -1);
  ++p;  // "#"
  auto read_index = [&](bool give_back_wa) {
    if (*p == '(') return "(" + ReadGroup(p) + ")";
    const char* start = p;
    std::string w = ReadWord(p);
    if (give_back_wa && w.size() > 2 && w.compare(w.size() - 2, 2, SJ("は")) == 0) {
      p -= 2;
      w.resize(w.size() - 2);
    }
    (void)start;
    return w;
  };
  std::string x = read_index(false);
  SkipSpaces(p);
  std::string y;
  bool has_y = false;
  if (*p == '#') {
    ++p;
    y = read_index(true);
    has_y = true;
  }
  std::string t = name + "#" + x + (has_y ? "#" + y : std::string());
  if (!IsWordDelimiter(static_cast<unsigned char>(*p))) t += ReadWord(p);
  SuffixAnalysis(std::move(t), p, false, true, x, has_y ? y : std::string());
}

void Interpreter::StepNumber(const char*& p) {
  std::string t = ReadNumberLiteral(p);
  SkipSpaces(p);
  while (IsOperatorChar(static_cast<unsigned char>(*p))) {
    while (IsOperatorChar(static_cast<unsigned char>(*p))) t += *p++;
    SkipBlanks(p);
    t += ReadNumberLiteral(p);
    SkipBlanks(p);
    t = Calculate(t);
  }
  char n = *p;
  if (n != '\r' && n != '\n' && n != ',' && n != ';' && static_cast<unsigned char>(n) != 0xA4)
    t += ReadWord(p);
  SuffixAnalysis(std::move(t), p, false, false, {}, {});
}

// 繰返, 反復 and ループ (any written form) read their block from the text at once.
// Only tokens that start like one of them are folded, so ordinary tokens cost
// no allocation here.
static bool IsBlockLoopVerb(const std::string& t) {
  if (t.size() < 4) return false;
  std::string_view head(t.data(), 2);
  if (head != std::string_view(SJ("繰")) && head != std::string_view(SJ("反")) &&
      head != std::string_view(SJ("ル")))
    return false;
  std::string folded = Fold(t);
  return folded == SJ("繰返") || folded == SJ("反復") || folded == SJ("ループ");
}

// Reading goes on after a call written in a statement, in the text the call
// was read from (the position keeps that text alive). A command inside the call
// that ended the run (続ける with nothing open) leaves it ended.
bool Interpreter::ContinueAfterCall(const TPos& at, const char* after_call) {
  if (S.ExecPos.None()) return false;
  S.ExecPos = at.At(after_call);
  return true;
}

void Interpreter::SuffixAnalysis(std::string t, const char* after, bool plain, bool from_cell,
                                 const std::string& cx, const std::string& cy,
                                 const char* statement_start) {
  const char*& p = S.ExecPos.p;
  SkipBlanks(p);
  if (*p == '=') {
    ++p;
    Assign(std::move(t), from_cell, cx, cy, statement_start);
    return;
  }
  if (*p == '&' && p[1] != '&') {
    t = ConcatTail(std::move(t), p);
    S.ArgStack.Push(std::move(t));
    return;
  }
  if (t == SJ("もし")) {  // (no other form below matches もし)
    S.ArgStack.Push(std::move(t));
    ExecuteStatement();
    return;
  }
  if (EndsWith(t, SJ("の"))) {
    S.ArgStack.Push(std::move(t));
    return;
  }
  if (EndsWith(t, SJ("は"))) {
    t.resize(t.size() - 2);
    Assign(std::move(t), from_cell, cx, cy, statement_start);
    return;
  }
  if (EndsWith(t, SJ("回"))) {
    t.resize(t.size() - 2);
    TimesStatement(t);
    return;
  }
  if (EndsWith(t, SJ("の時"))) {
    t.resize(t.size() - 4);
    CaseStatement(t);
    return;
  }
  if (EndsWith(t, SJ("て"))) {
    THashNode* w = S.Words.Find(t, true);
    if (IsCallable(w)) {
      if (*after == '(') {
        const char* q = after;
        TPos at = S.ExecPos;
        std::string r = FunctionCall(w, q);
        if (!ContinueAfterCall(at, q)) return;
        S.ArgStack.Push(S.SoreType == "s" ? Requote(r) : r);
      } else {
        ExecuteWord(w);
      }
      return;
    }
  }
  if (IsBlockLoopVerb(t)) {
    RecordStatementRunAtVerb(t);
    S.ArgStack.Push(std::move(t));
    ExecuteStatement();
    return;
  }
  if (plain && *after == '(') {
    THashNode* w = S.Words.Find(t, true);
    if (IsCallable(w)) {
      const char* q = after;
      TPos at = S.ExecPos;
      std::string r = FunctionCall(w, q);
      if (!ContinueAfterCall(at, q)) return;
      if (*p == '\0' || *p == '\r' || *p == ';') {
        S.Fast.Sore->ValueToWrite() = r;
        S.Fast.Sore->TypeMark = S.SoreType;
        return;
      }
      t = (S.SoreType == "s" ? Requote(r) : r) + ReadWord(p);
    }
  }
  S.ArgStack.Push(std::move(t));
  if (*p == '\0') Step();
}

// ---------------------------------------------------------------- execution

// The word a verb names, with okurigana folding. What a name finds changes
// only with the word table's generation, so the last few verbs are kept.
THashNode* Interpreter::FindVerb(const std::string& name) {
  if (!Statements || name.empty()) return S.Words.Find(name, true);
  KeptVerb& kept = kept_verbs_[(name.size() * 31 + static_cast<unsigned char>(name.back())) %
                               kept_verbs_.size()];
  uint64_t generation = S.Words.Generation();
  if (kept.generation != generation || kept.name != name) {
    kept.word = S.Words.Find(name, true);
    kept.generation = generation;
    kept.name = name;
  }
  return kept.word;
}

// The items a statement's verb left unbound, reported and dropped.
void Interpreter::RaiseItemsLeft(const std::string& verb) {
  std::string rest = S.ArgStack.Text();
  S.ArgStack.Clear();
  Raise(Format(SJ("\"%s\"命令の引数に誤りがあります。引数が多いです。\""), verb) + rest + "\"");
}

void Interpreter::ExecuteStatement(THashNode* verb) {
  if (S.ArgStack.Empty()) return;
  std::string v = S.ArgStack.PopLast();
  THashNode* w = verb ? verb : FindVerb(v);
  if (w) {
    ExecuteWord(w);
    if (!S.ArgStack.Empty()) RaiseItemsLeft(v);
    return;
  }
  // An event name read as a verb (母艦のイベント) reads that property of the
  // object named by the item below it: イベント runs the handler.
  int slot = EventSlotOf(v);
  if (slot >= 0 && slot != kEventFileDrop && !S.ArgStack.Empty()) {
    std::string item = S.ArgStack.PopLast();
    std::string name = EndsWith(item, SJ("の")) ? item.substr(0, item.size() - 2) : item;
    THashNode* object = S.Words.Find(name, true);
    if (!object || object->Kind != kWordObject) {
      S.ArgStack.Clear();
      Raise(msg::ObjectNotFound(), name);
    }
    GetObjectProperty(*this, object, v);
    return;
  }
  std::string text;
  for (const std::string& item : S.ArgStack.Items()) text += item + ",";
  text += v;
  S.ArgStack.Clear();
  Raise(SJ("\"%s\"は未定義の命令です。(;o;)<綴りミスか、命令の引数に注意！"), Trim(text));
}

void Interpreter::ExecuteWord(THashNode* w) {
  switch (w->Kind) {
    case kWordCommand:
      Dispatch(w);
      return;
    case kWordLabel:
      CallLabel(w);
      return;
    case kWordDll:
      if (!CallDll) Raise(msg::LinkBroken(), w->Name);
      ++CallsMade;
      CallDll(*this, w);
      return;
    case kWordVariable:
    case kWordObject:
      Raise(Format(msg::BadSyntax(), w->Name) + SJ("変数を実行することは出来ません。"));
    default:
      return;
  }
}

namespace {
// A slot of a template: its particle, and the particles it takes besides its
// own (と takes を, の takes を, を takes と and の, に and へ take each other).
struct Slot {
  std::string particle;
  std::array<const std::string*, 2> others{};
};

Slot SlotOfParticle(std::string particle) {
  Slot slot;
  if (particle == SJ("と") || particle == SJ("の")) {
    slot.others[0] = &SJ("を");
  } else if (particle == SJ("を")) {
    slot.others = {&SJ("と"), &SJ("の")};
  } else if (particle == SJ("に")) {
    slot.others[0] = &SJ("へ");
  } else if (particle == SJ("へ")) {
    slot.others[0] = &SJ("に");
  }
  slot.particle = std::move(particle);
  return slot;
}

// The length of the particle the item ends with that the slot accepts (0 for
// a slot without one), or -1 when none.
int AcceptedParticle(const Slot& slot, const std::string& item) {
  if (slot.particle.empty()) return 0;
  if (EndsWith(item, slot.particle)) return static_cast<int>(slot.particle.size());
  for (const std::string* particle : slot.others)
    if (particle && EndsWith(item, *particle)) return static_cast<int>(particle->size());
  return -1;
}

// Whether the items (one per slot, first slot first) each take the particle of
// their own slot; the length of each particle in `accepted`, when given.
bool InOrder(const std::vector<Slot>& slots, const std::string* items, int* accepted) {
  for (size_t k = 0; k < slots.size(); ++k) {
    const int particle = AcceptedParticle(slots[k], items[k]);
    if (particle < 0) return false;
    if (accepted) accepted[k] = particle;
  }
  return true;
}

// Parsed templates are cached: the same template text is bound again and again.
const std::vector<Slot>& TemplateSlots(const std::string& tmpl) {
  static std::unordered_map<std::string, std::vector<Slot>> cache;
  auto it = cache.find(tmpl);
  if (it != cache.end()) return it->second;
  std::vector<Slot> slots;
  if (!tmpl.empty()) {
    size_t start = 0;
    while (true) {
      size_t comma = tmpl.find(',', start);
      std::string item =
          Trim(tmpl.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
      if (!item.empty() && item[0] == '?') item.erase(0, 1);
      slots.push_back(SlotOfParticle(std::move(item)));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  return cache.emplace(tmpl, std::move(slots)).first->second;
}

// The slots of w's template, remembered for the words bound most recently: a
// statement binds the same few words again and again.
struct RecentTemplate {
  const THashNode* word = nullptr;
  std::string tmpl;
  const std::vector<Slot>* slots = nullptr;
};
// (At namespace scope: reached at every binding without a guard.)
std::array<RecentTemplate, 64> g_recent_templates;
const std::vector<Slot> g_no_slots;

const std::vector<Slot>& SlotsOf(const THashNode* w) {
  const std::string& tmpl = w->More().Template;
  if (tmpl.empty()) return g_no_slots;  // (戻る, 引数取得 and the like bind nothing)
  RecentTemplate& r = g_recent_templates[(reinterpret_cast<uintptr_t>(w) >> 4) & 63];
  if (r.word == w && r.slots && r.tmpl.size() == tmpl.size() &&
      std::memcmp(r.tmpl.data(), tmpl.data(), tmpl.size()) == 0)
    return *r.slots;
  const std::vector<Slot>& slots = TemplateSlots(tmpl);
  r.word = w;
  r.tmpl = tmpl;
  r.slots = &slots;
  return slots;
}
}  // namespace

size_t Interpreter::Bind(THashNode* w) {
  const std::string& t = w->More().Template;
  const std::vector<Slot>& slots = SlotsOf(w);
  size_t n = slots.size();
  TStack& st = S.ArgStack;
  if (n > 0 && n == st.Count() + 1) {
    st.PushFront(S.CallMode ? SJ("それ") : SJ("それ") + slots[0].particle);
    S.SoreImplied = true;
  } else {
    S.SoreImplied = false;
  }
  if (st.Count() < n)
    Raise(Format(SJ("\"%s\"命令の引数に誤りがあります。\""), w->Name) + t +
          SJ("\"の形式で指定してください。引数が少ないです。"));
  if (n == 0) return 0;
  auto& items = st.Items();
  // In the call form the top n items are the slots in order; so they are when
  // each of them takes the particle of its slot (the search below, from the
  // top, would find each where it is). Each only loses its particle, in place.
  std::array<int, Call::kMaxSlots> accepted;  // the particle each slot accepts, when in order
  const bool known = !S.CallMode && n <= accepted.size();
  const bool in_order =
      S.CallMode || InOrder(slots, &items[items.size() - n], known ? accepted.data() : nullptr);
  if (in_order) {
    for (size_t k = 0; k < n; ++k) {
      std::string& item = items[items.size() - n + k];
      int particle = known ? accepted[k] : AcceptedParticle(slots[k], item);
      if (particle > 0) item.resize(item.size() - particle);
    }
    if (items.size() > kMostBoundItems)
      Raise(SJ("スタックが一杯になりました。ラベルなどに再帰呼び出しがないか確認！"));
    return n;
  }
  // The bound items, first slot first (most templates have few slots).
  std::array<std::string, 4> few;
  std::vector<std::string> many;
  if (n > few.size()) many.resize(n);
  std::string* bound = n > few.size() ? many.data() : few.data();
  for (size_t k = n; k-- > 0;) {
    const Slot& q = slots[k];
    size_t found = items.size();
    for (size_t i = items.size(); i-- > 0;)
      if (AcceptedParticle(q, items[i]) >= 0) {
        found = i;
        break;
      }
    if (found >= items.size())
      Raise(Format(SJ("\"%s\"命令の引数に誤りがあります。\""), w->Name) + t +
            Format(SJ("\"の形式で指定してください。\"%s\""), q.particle));
    std::string item = std::move(items[found]);
    items.erase(items.begin() + found);
    int particle = AcceptedParticle(q, item);
    if (particle > 0) item.resize(item.size() - particle);
    bound[k] = std::move(item);
  }
  for (size_t k = 0; k < n; ++k) items.push_back(std::move(bound[k]));
  if (items.size() > kMostBoundItems)
    Raise(SJ("スタックが一杯になりました。ラベルなどに再帰呼び出しがないか確認！"));
  return n;
}

void Interpreter::InstallHandlers(CommandTable rows, bool pure_only) {
  for (const CommandRow& row : rows) {
    if (!row.Handler || (pure_only && !row.Pure)) continue;
    CommandHandler& slot = handlers_[static_cast<size_t>(row.Id)];
    if (slot && slot != row.Handler)
      throw std::logic_error(std::string("two handlers for the command ") + row.Name);
    slot = row.Handler;
  }
}

// The items of record r bound to its verb (see TokenRecord::bound), made
// again when the verb or its template changed; null when they do not bind so.
const std::vector<std::string>* Interpreter::BoundItems(TokenRecord& r) {
  const THashNode* w = r.verb.word;
  if (!w || w->Kind != kWordCommand || S.CallMode) return nullptr;
  const std::string& tmpl = w->More().Template;
  if (r.bound_verb != w || r.bound_template != tmpl) {
    r.bound.clear();
    r.bound_verb = w;
    r.bound_template = tmpl;
    const std::vector<Slot>& slots = SlotsOf(w);
    std::array<int, Call::kMaxSlots> accepted;
    const size_t n = r.items.size() - 1;
    if (n > 0 && n == slots.size() && n <= accepted.size() &&
        InOrder(slots, r.items.data(), accepted.data())) {
      r.bound.assign(r.items.begin(), r.items.end() - 1);
      for (size_t k = 0; k < n; ++k) r.bound[k].resize(r.bound[k].size() - accepted[k]);
    }
  }
  return r.bound.empty() ? nullptr : &r.bound;
}

// What Dispatch does for `verb` once its items are bound on the stack (the
// statement's verb was not pushed: ExecuteStatement's part is done here too).
void Interpreter::DispatchBound(THashNode* verb) {
  ++CallsMade;
  S.SoreImplied = false;  // (as binding one item per slot leaves it)
  RunHandler(verb, S.ArgStack.Count());
  if (!S.ArgStack.Empty()) RaiseItemsLeft(replayed_verb_text_);
}

void Interpreter::Dispatch(THashNode* w) {
  ++CallsMade;
  RunHandler(w, Bind(w));
}

// The handler of command w on the `slots` items bound on top of the stack.
inline void Interpreter::RunHandler(THashNode* w, size_t slots) {
  CommandHandler h = HandlerOf(w->Command);
  if (!h) Raise(msg::LinkBroken(), w->Name);
  Call call(*this, *w, slots);
  h(call);
}

// ---------------------------------------------------------------- assignment

static bool ReadIntegerText(const std::string& s, long long& out) {
  return TryParseInteger(s, out);
}

void Interpreter::Assign(std::string target, bool from_cell, const std::string& cx,
                         const std::string& cy, const char* statement_start) {
  if (!S.ArgStack.Empty()) {
    MemberAssign(target);
    return;
  }
  if (!target.empty() && (target[0] == '"' || target[0] == '`'))
    Raise(Format(msg::BadSyntax(), target + SJ("の代入文")) +
          SJ("『変数名は、「内容」』のように書いてください。"));
  const char*& p = S.ExecPos.p;
  const char* value_start = p;
  std::string src = RestOfStatement(p);
  // A statement read byte for byte (no line continued) is remembered.
  if (statement_start && Statements && !from_cell &&
      std::string_view(value_start, p - value_start) == src)
    Statements->Remember(statement_start, p, target, src);
  if (!from_cell) {
    AssignText(target, src);
    return;
  }
  std::string v = Evaluate(src);
  std::string m = S.SoreType;

  if (from_cell) {
    std::string x = cx;
    if (EndsWith(x, SJ("は"))) x.resize(x.size() - 2);
    long long xi = 0, yi = -1;
    bool x_ok = ReadIntegerText(Evaluate(x), xi);
    bool has_y = !cy.empty();
    if (has_y && !ReadIntegerText(Evaluate(cy), yi)) yi = -1;
    if (x_ok) {
      std::string name = target.substr(0, target.find('#'));
      THashNode* var = S.Words.FindExact(name);
      if (!var) var = AddVariable(name);
      CsvTable table = CsvParse(var->Value());
      if (xi >= 0 && (!has_y || yi >= 0) && xi < 1000000 && yi < 1000000) {
        if (!has_y) {
          if (table.size() <= static_cast<size_t>(xi)) table.resize(xi + 1);
          table[xi] = CsvParseLine(v);
        } else {
          if (table.size() <= static_cast<size_t>(yi)) table.resize(yi + 1);
          auto& row = table[yi];
          if (row.size() <= static_cast<size_t>(xi)) row.resize(xi + 1);
          row[xi] = v;
        }
      }
      v = CsvWrite(table);
      target = name;
    }
  }
  StoreAssigned(target, std::move(v), m);
}

// The value of `src` about to be stored: true with a number result in `n`
// (SoreType "e", its text not made yet), else false with the value in `v`.
inline bool Interpreter::EvaluateToStore(const std::string& src, std::shared_ptr<void>* compiled,
                                         std::string& v, NumberResult& n) {
  if (Expressions && compiled && *compiled && Expressions->TryRunKept(*this, *compiled, v, n)) {
    if (n.given) SetTypeMark(S.SoreType, "e");
    return n.given;
  }
  EvaluateInto(src, compiled, v);
  return false;
}

namespace {

// A number result stored in `w` as a number: one computed on whole numbers
// as that integer when the format writes it with all its digits.
[[gnu::always_inline]] inline void SetNumberOf(THashNode& w, const NumberResult& n) {
  if (n.is_whole && WrittenWithAllDigits(n.whole)) return w.SetInteger(n.whole);
  w.SetNumber(n.Value());
}

// A number result stored in the plain variable `w`, typed "e".
[[gnu::always_inline]] inline void StoreNumberIn(THashNode& w, const NumberResult& n) {
  SetNumberOf(w, n);
  SetTypeMark(w.TypeMark, "e");
}

}  // namespace

void Interpreter::AssignText(const std::string& target, const std::string& src,
                             std::shared_ptr<void>* compiled, WordHint* target_word,
                             PlainWord* value_word) {
  // (A value compiled before is run from its compiled form; one that is not
  // may be a variable's value to copy.)
  if (Expressions && compiled && *compiled) {
    if (ExpressionCache::MayAppend(*compiled) && AppendInPlace(target, *compiled, target_word))
      return;
  } else if (THashNode* from = nullptr;
             Expressions &&
             (value_word ? ReadsAsWord(src, from, *value_word) : ReadsAsWord(src, from)) && from &&
             from->Kind == kWordVariable) {
    // One variable's value copied into another's own room (words stay where
    // they are when others are added).
    S.SoreType = from->TypeMark;
    THashNode* w = AssignedWord(target, target_word);
    if (w->Kind != kWordVariable || w->Reserved || S.SoreType == "hs")
      return StoreAssigned(w, target, from->Value(), std::string(S.SoreType));
    w->ValueToWrite() = from->Value();
    w->TypeMark = S.SoreType;
    return;
  }
  std::string v;
  NumberResult n;
  const bool number = EvaluateToStore(src, compiled, v, n);
  // A plain variable the target named last time (a counter, a sum, a copy of
  // an element) takes the value at once, unless it is a hash's pair lines
  // (type "hs", which make the variable a hash).
  if (THashNode* w = target_word ? target_word->word : nullptr;
      w && target_word->generation == S.Words.Generation() && w->Kind == kWordVariable &&
      !w->Reserved) {
    if (number) return StoreNumberIn(*w, n);
    if (std::string_view(S.SoreType) != "hs") {
      w->ValueToWrite() = std::move(v);
      SetTypeMark(w->TypeMark, S.SoreType);
      return;
    }
  }
  if (number) return StoreNumber(target, n, target_word);
  std::string m = S.SoreType;
  StoreAssigned(target, std::move(v), m, target_word);
}

// The word `target` names: the hint's while the word table is unchanged (a
// word added or removed since changes its generation), else the one found.
THashNode* Interpreter::HintedWord(std::string_view target, const WordHint* hint) {
  if (hint && hint->word && hint->generation == S.Words.Generation()) return hint->word;
  return S.Words.FindExact(target);
}

// The word an assignment to `target` writes (added when missing), looked for
// once its value is evaluated.
THashNode* Interpreter::AssignedWord(const std::string& target, WordHint* target_word) {
  THashNode* w = HintedWord(target, target_word);
  if (!w) w = AddVariable(target);
  if (target_word) *target_word = {w, S.Words.Generation()};
  return w;
}

// 『X は、X & …』 where what is joined only reads: the joined texts are added
// to X's own value instead of copying it into a new one (a text built in a
// loop grows in place).
bool Interpreter::AppendInPlace(const std::string& target, std::shared_ptr<void>& compiled,
                                WordHint* target_word) {
  THashNode* w = HintedWord(target, target_word);
  if (!w || w->Kind != kWordVariable || w->Reserved ||
      !Expressions->TryAppendKept(*this, compiled, w))
    return false;
  if (target_word) *target_word = {w, S.Words.Generation()};
  SetTypeMark(S.SoreType, "s");
  SetTypeMark(w->TypeMark, "s");
  return true;
}

// Stores a number result: a plain variable gets its text written into its own
// room, anything else is stored as StoreAssigned stores the text.
void Interpreter::StoreNumber(const std::string& target, const NumberResult& n,
                              WordHint* target_word) {
  THashNode* w = AssignedWord(target, target_word);
  if (w->Kind != kWordVariable || w->Reserved)
    return StoreAssigned(w, target, FormatNumber(n.Value()), "e");
  StoreNumberIn(*w, n);
}

void Interpreter::StoreAssigned(const std::string& target, std::string v, const std::string& m,
                                WordHint* target_word) {
  StoreAssigned(AssignedWord(target, target_word), target, std::move(v), m);
}

void Interpreter::StoreAssigned(THashNode* w, const std::string& target, std::string v,
                                const std::string& m) {
  switch (w->Kind) {
    case kWordVariable:
      if (w->Reserved) Raise(msg::ReadOnly(), target);
      if (m == "hs") {
        w->Kind = kWordHash;
        w->Elements = std::make_unique<THash>();
        w->Elements->LoadPairLines(v, S.RunStack.Count());
        w->ValueToWrite().clear();
        w->TypeMark = "hs";
      } else {
        w->ValueToWrite() = std::move(v);
        w->TypeMark = m;
      }
      return;
    case kWordHash:
      if (m == "hs") {
        if (!w->Elements) w->Elements = std::make_unique<THash>();
        w->Elements->Clear();
        w->Elements->LoadPairLines(v, S.RunStack.Count());
      } else {
        w->Kind = kWordVariable;
        w->Elements.reset();
        w->ValueToWrite() = std::move(v);
        w->TypeMark = m;
      }
      return;
    case kWordObject:
      SetObjectDefault(*this, w, v);
      return;
    case kWordCommand:
      if (w->Command == CommandId::WorkFolder) {
        S.ArgStack.Push(Requote(v));
        S.CallMode = true;
        try {
          Dispatch(w);
        } catch (...) {
          S.CallMode = false;
          throw;
        }
        S.CallMode = false;
        return;
      }
      Raise(SJ("\"%s\"は\"%s\"で予約語なので代入できません。"), target, SJ("システム命令"));
    default:
      Raise(Format(msg::BadSyntax(), target) + SJ("代入出来ません。"));
  }
}

bool Interpreter::ReplayMember(const char* at, std::shared_ptr<MemberRecord> r) {
  // The record stands for the two steps of its tokens.
  if (StepLimit && StepCount + 1 > StepLimit) return false;
  ++StepCount;
  recording_.start = nullptr;
  if (r->key_literal.empty()) {
    S.ExecPos.p = at + r->bytes.size() - 1;  // at the value, where the key token left it
    if (!AssignKeptElement(*r)) AssignMember(r->owner, r->key, r.get());
    return true;
  }
  // Expanded where reading the statement expands it (an error inside
  // leaves the run after the literal).
  S.ExecPos.p = at + r->key_literal_end;
  std::string expanded = Requote(ExpandItemLiteral(*this, r->key_literal, &r->key_compiled));
  S.ExecPos.p = at + r->bytes.size() - 1;
  AssignMember(r->owner, expanded, r.get());
  return true;
}

// Remembers the member assignment being read, when its key token (at
// member_statement_.key) is a word, a group or a literal followed by は alone.
void Interpreter::RememberMember(const std::string& owner, const std::string& target,
                                 const char* value_at) {
  const MemberStatement& m = member_statement_;
  if (!m.start || m.text != S.ExecPos.text.get() || owner != m.owner || value_at <= m.key ||
      static_cast<size_t>(value_at - m.start) > StatementCache::kLongestRecorded ||
      std::find_if(m.start, value_at, [](char c) { return c == '\r' || c == '\n'; }) != value_at)
    return;
  auto r = std::make_shared<MemberRecord>();
  const char* q = m.key;
  std::string tail;  // what the key token read after the key: は alone
  if (*q == '"' || *q == '`') {
    std::string literal = ReadLiteral(q);
    r->key_literal_end = static_cast<uint32_t>(q - m.start);
    SkipSpaces(q);
    tail = ReadWord(q);
    if (MayEmbedExpressions(literal)) r->key_literal = std::move(literal);
  } else if (*q == '(') {
    if (ReadGroup(q) != target) return;
    tail = ReadWord(q);
  } else {
    if (ReadWord(q) != target + SJ("は")) return;
    tail = SJ("は");
  }
  if (tail != SJ("は")) return;
  SkipBlanks(q);
  if (q != value_at) return;
  r->at = m.start;
  r->bytes.assign(m.start, value_at + 1);
  r->owner = owner;
  r->key = target;
  Statements->RememberMember(std::move(r));
}

void Interpreter::MemberAssign(const std::string& target) {
  std::string item = S.ArgStack.PopLast();
  if (Statements) RememberMember(item, target, S.ExecPos.p);
  AssignMember(item, target);
}

// A plain variable read as "key=value" lines gets the pair of `key` set.
// (A word table is large: it is made in a function of its own, so that the
// frame of a member assignment, which labels recurse through, stays small.)
[[gnu::noinline]] static void SetPairLine(THashNode& x, const std::string& key,
                                          const std::string& value) {
  THash pairs;
  pairs.LoadPairLines(x.Value(), 0);
  if (THashNode* e = pairs.FindExact(key))
    e->ValueToWrite() = value;
  else
    pairs.AddVariable(key, value, "s", 0);
  x.ValueToWrite() = pairs.PairLines();
}

namespace {

// The value of a member assignment read from its record: a whole number
// written as the number format writes it is that number, as evaluating its
// text gives it (true, with それ's type mark "e"); anything else is left to
// evaluating the text (false).
bool WholeLiteralValue(const AssignmentRecord& r, std::string& sore_type, NumberResult& n) {
  if (!r.whole_literal) return false;
  SetTypeMark(sore_type, "e");
  n = WholeValueOf(r);
  return true;
}

// The element of hash `x` a member assignment stores in: element k of a key
// word holding a whole number from 0 to 255 (found once, then kept by
// `by_key`), or the element named `key` (k < 0); made when missing.
[[gnu::noinline]] THashNode& FindElementToStore(THashNode& x, ElementsByKey* by_key, int64_t k,
                                                const std::string& key, int32_t level) {
  if (!x.Elements) x.Elements = std::make_unique<THash>();
  if (k < 0) return *x.Elements->FindOrAddVariable(key, level);
  THashNode* e = x.Elements->FindOrAddVariable(std::to_string(k), level);
  by_key->Keep(*x.Elements, k, e);
  return *e;
}

// The same, at once for an element kept.
[[gnu::always_inline]] inline THashNode& ElementToStore(THashNode& x, ElementsByKey* by_key,
                                                        int64_t k, const std::string& key,
                                                        int32_t level) {
  if (k >= 0 && x.Elements)
    if (THashNode* e = by_key->Kept(*x.Elements, k)) return *e;
  return FindElementToStore(x, by_key, k, key, level);
}

// Stores a member's value: a number result as a number, else the text `v`.
[[gnu::always_inline]] inline void StoreElement(THashNode& e, bool number, std::string& v,
                                                const NumberResult& n, std::string_view mark) {
  if (number)
    SetNumberOf(e, n);
  else
    e.ValueToWrite() = std::move(v);
  SetTypeMark(e.TypeMark, mark);
}

}  // namespace

// A member assignment run again from its record as it ran the last time: the
// owner still names the hash it named, the key is a word still naming a word
// that holds a whole number from 0 to 255, and the value's record is the one
// last found after the member's. Everything is checked before anything is
// done: false leaves the statement to AssignMember. (The general code, large
// and rarely taken on this path, stays out of the frame and the code a
// recursion through such an assignment runs.)
bool Interpreter::AssignKeptElement(MemberRecord& m) {
  const uint64_t generation = S.Words.Generation();
  THashNode* const x = m.owner_word.word;
  THashNode* const key_word = m.key_word.hint.word;
  const char*& p = S.ExecPos.p;
  int64_t k = -1;
  if (!x || m.owner_word.generation != generation || x->Kind != kWordHash || !Expressions ||
      !Statements || m.key_value || !m.key_word.plain || m.key_word.hint.generation != generation ||
      !key_word || key_word->Kind != kWordVariable || !key_word->IntegerValue(k) || k < 0 ||
      k >= ElementsByKey::kKeysKept || !m.value || m.value->at != p ||
      !HoldsRecord(*m.value, p, BoundsOf(S.ExecPos)))
    return false;
  // (The member's record keeps the value's alive while it runs: the caller
  // holds the member's, and its value record is replaced only where it does
  // not hold at the member's value position. That position lies in the text
  // this run holds, whose bytes do not change: a label the value calls may
  // run this statement again, where the record still holds, never replace it.)
  AssignmentRecord* const record = m.value.get();
  p += record->bytes.size() - 1;
  SetTypeMark(S.SoreType, key_word->TypeMark);  // as evaluating the key sets it
  std::string value;
  NumberResult n;
  const bool number = WholeLiteralValue(*record, S.SoreType, n) ||
                      EvaluateToStore(record->value, &record->compiled, value, n);
  StoreElement(ElementToStore(*x, &m.by_key, k, m.key, S.RunStack.Count()), number, value, n,
               S.SoreType);
  return true;
}

void Interpreter::AssignMember(const std::string& item, const std::string& target,
                               MemberRecord* member) {
  static const std::string& no = SJ("の");
  if (!EndsWith(item, no))
    Raise(SJ("オブジェクトへの不正な代入(%s,%s)"
             "。『オブジェクトの、項目名は、値』の形式で指定してください。"),
          item, target);
  const std::string_view a(item.data(), item.size() - 2);
  THashNode* x = HintedWord(a, member ? &member->owner_word : nullptr);
  if (member) member->owner_word = {x, S.Words.Generation()};
  // A key written as it is read (not a literal expanded at every pass) keeps
  // its compiled form, or the word it names, between passes.
  const bool key_as_written = member && member->key_literal.empty();
  auto evaluate_key = [&] {
    return key_as_written ? Evaluate(target, &member->key_value, &member->key_word)
                          : Evaluate(target);
  };
  if (!x) {
    std::string evaluated = Evaluate(std::string(a));
    x = S.Words.FindExact(evaluated);
    if (!x) {
      auto h = std::make_unique<THashNode>(evaluated, kWordHash);
      h->Level = S.RunStack.Count();
      h->TypeMark = SJ("ハッシュ");
      h->Elements = std::make_unique<THash>();
      x = S.Words.Add(std::move(h));
    }
  } else if (x->Kind == kWordVariable) {
    if (THashNode* ind = S.Words.FindExact(Evaluate(std::string(a)))) x = ind;
  }
  const char*& p = S.ExecPos.p;
  // The value text read at this position before, while the bytes there are the
  // same; a value read across lines (which sets the line number) is read every time.
  const char* value_at = p;
  // (The member's record keeps the record of the value that follows it: it is
  // not looked for in the table again while it holds there.)
  std::shared_ptr<AssignmentRecord> record;
  if (Statements) {
    const TextBounds bounds = BoundsOf(S.ExecPos);
    if (member && member->value && member->value->at == p && HoldsRecord(*member->value, p, bounds))
      record = member->value;
    else if ((record = Statements->FindValue(p, bounds)) && member)
      member->value = record;
  }
  std::string read;
  if (record) {
    p += record->bytes.size() - 1;
  } else {
    read = Trim(RestOfStatement(p));
    size_t length = static_cast<size_t>(p - value_at);
    if (Statements && length <= StatementCache::kLongestRecorded &&
        std::string_view(value_at, length).find_first_of("\r\n") == std::string_view::npos) {
      record = Statements->RememberValue(value_at, p, std::move(read));
      record->whole_literal = WrittenWhole(record->value, record->whole);
      if (member) member->value = record;
    }
  }
  const std::string& value_text = record ? record->value : read;
  switch (x->Kind) {
    case kWordVariable: {
      if (x->Reserved) Raise(msg::ReadOnly(), x->Name);
      std::string key = evaluate_key();
      SetPairLine(*x, key, Evaluate(value_text));
      return;
    }
    case kWordHash: {
      // A key word holding a whole number from 0 to 255 names its element by
      // that number (the text of such a number is the one text naming it):
      // read as evaluating the word reads it, without making its text.
      THashNode* key_word = nullptr;
      int64_t k = -1;
      std::string key;
      if (key_as_written && Expressions && !member->key_value &&
          ReadsAsWord(target, key_word, member->key_word) && key_word &&
          key_word->Kind == kWordVariable && key_word->IntegerValue(k) && k >= 0 &&
          k < ElementsByKey::kKeysKept) {
        SetTypeMark(S.SoreType, key_word->TypeMark);
      } else {
        k = -1;
        key = evaluate_key();
      }
      std::string value;
      NumberResult n;
      const bool number =
          (record && WholeLiteralValue(*record, S.SoreType, n)) ||
          EvaluateToStore(value_text, record ? &record->compiled : nullptr, value, n);
      StoreElement(
          ElementToStore(*x, k >= 0 ? &member->by_key : nullptr, k, key, S.RunStack.Count()),
          number, value, n, S.SoreType);
      return;
    }
    case kWordObject:
      SetObjectProperty(*this, x, target, value_text);
      return;
    default:
      Raise(SJ("\"%s\"には代入できません！"), std::string(a));
  }
}

}  // namespace sorane
