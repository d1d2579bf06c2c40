// Labels as subroutines and user functions, and the commands that treat words
// as data. A label runs in the program text itself: a call pushes a record that
// remembers where to come back, and 戻る pops it. A label given a parameter
// template by 関数定義 binds its arguments by particles like a built-in command
// and finds them in FuncArgs. A label read inside a statement (the call form
// 名前(…) or a word in an expression) runs nested, on a run-control stack and an
// argument stack of its own, and gives its それ back as the value.
#include <algorithm>
#include <array>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "runtime/command.h"
#include "runtime/compiled_expression.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "runtime/runtime_commands.h"
#include "runtime/statement_cache.h"
#include "text/conv_half.h"
#include "text/encoding.h"
#include "text/number.h"
#include "text/sjis.h"

namespace sorane {

namespace {

// A word named raw by the script: the exact name first, then the folded one (a
// command is stored folded, so "繰り返す" names 繰返).
THashNode* FindNamed(Interpreter& in, const std::string& name) {
  if (THashNode* w = in.S.Words.FindExact(name)) return w;
  return in.S.Words.Find(name, true);
}

THashNode* FindOrRaise(Interpreter& in, const std::string& name) {
  THashNode* w = FindNamed(in, name);
  if (!w) in.Raise(SJ("オブジェクト\"%s\"は、作成されていません。"), name);
  return w;
}

// The slots of the template, counted up to `most` at most.
size_t SlotsUpTo(const std::string& tmpl, size_t most = SIZE_MAX) {
  size_t n = 0;
  for (size_t i = 0; i < tmpl.size() && n < most; ++i) n += tmpl[i] == '?';
  return n;
}

TPos LabelPos(Interpreter& in, THashNode* label) {
  if (!label->More().RefPos) in.Raise(msg::UndefinedLabel(), label->Name);
  return TPos(label->More().RefPos, label->More().RefText);
}

bool IsCallKind(uint8_t k) {
  return k == kRunCall || k == kRunEvent;
}

void Discard(Interpreter& in, const TRunControl& r) {
  if (r.Kind == kRunCase) in.S.SwitchValue = TSoraneBase::NoSwitch();
}

// Whether the argument `item` pushed for slot k of a call whose arguments
// were read from `record` is its own value, a number (typed "e"): a number
// as written, or a value that reads back as one; `known` when it was pushed
// as such. (Evaluate reads a text that starts with a digit or "-" as a number
// first.)
inline bool OwnValue(const Interpreter& in, const std::string& item, const ArgumentsRecord* record,
                     size_t k, bool known = false) {
  if (!in.Expressions) return false;
  if (known) return true;
  if (record && record->readings[k] == ArgumentReading::kNumber && record->args[k] == item)
    return true;
  if (record && record->args[k] == item && !(item[0] >= '0' && item[0] <= '9') && item[0] != '-')
    return false;
  return IsNumberLiteral(item);
}

// The value of that argument in place of the item: a number is itself (what
// evaluating it gives, without the copy); an argument pushed as written keeps
// whether it reads as one word, and the word it names, with the record (see
// Interpreter::Evaluate).
void ArgumentValue(Interpreter& in, std::string& item, const ArgumentsRecord* record, size_t k) {
  if (OwnValue(in, item, record, k)) {
    SetTypeMark(in.S.SoreType, "e");
    return;
  }
  const bool as_written = record && record->args[k] == item;
  item = in.Evaluate(item, nullptr, as_written ? &record->words[k] : nullptr);
}

// What binding a call form's items to a template depends on: the template's
// slots (its pieces between commas), its "?" marks, and whether every slot's
// particle (its piece, trimmed, after the "?") is empty or holds a byte
// outside ASCII. Kept for the template read last: a program calls the same
// labels again and again.
struct TemplateShape {
  std::string text;
  size_t slots = 0;
  size_t marks = 0;
  bool wide_particles = false;
};

const TemplateShape& ShapeOf(const std::string& tmpl) {
  static TemplateShape last;
  // (Compared byte by byte in place: templates are a few bytes long.)
  if (last.slots != 0 && last.text.size() == tmpl.size()) {
    size_t i = 0;
    while (i < tmpl.size() && last.text[i] == tmpl[i]) ++i;
    if (i == tmpl.size()) return last;
  }
  // A piece whose bytes are ASCII may only be blanks around at most one "?"
  // (no particle at all).
  size_t slots = 1, marks = 0;
  bool wide = false, bare = true, marked = false, wide_particles = true;
  for (char ch : tmpl) {
    const auto c = static_cast<unsigned char>(ch);
    marks += c == '?';
    if (c == ',') {
      wide_particles = wide_particles && (wide || bare);
      ++slots;
      wide = marked = false;
      bare = true;
    } else if (c >= 0x80) {
      wide = true;
    } else if (c == '?' && !marked) {
      marked = true;
    } else if (c > 0x20) {
      bare = false;
    }
  }
  last.text = tmpl;
  last.slots = slots;
  last.marks = marks;
  last.wide_particles = wide_particles && (wide || bare);
  return last;
}

// Whether binding the items of a call form to the template `tmpl` leaves them
// as they are: there is one item per slot (so they stand in slot order and
// それ is not implied), and each would only lose the particle of its slot,
// which none of them ends with. Most calls pass numbers and plain words: a
// particle holding a byte outside ASCII (any of the Japanese particles, and
// those a slot takes besides its own) never ends an item made of ASCII alone.
// False for whatever else, which is bound in full. `marks` is the number of
// "?" in the template. Bit k of `numbers` is set when item k is a number as
// written, which is ASCII: its bytes need no look.
bool BindsAsPushed(const std::string& tmpl, const std::vector<std::string>& items, uint64_t numbers,
                   size_t& marks) {
  const TemplateShape& shape = ShapeOf(tmpl);
  marks = shape.marks;
  if (!shape.wide_particles || shape.slots != items.size()) return false;
  for (size_t k = 0; k < items.size(); ++k) {
    if (k < 64 && (numbers >> k & 1)) continue;
    for (char ch : items[k])
      if (static_cast<unsigned char>(ch) >= 0x80) return false;
  }
  return true;
}

// TakeArguments for arguments that are not all their own values, or that are
// not alone on the stack: the n items on top of the stack are evaluated
// (`record` as for TakeArguments) and become FuncArgs.
[[gnu::noinline]] void TakeEvaluatedArguments(Interpreter& in, size_t n,
                                              const ArgumentsRecord* record) {
  auto& stack = in.S.ArgStack.Items();
  if (n == stack.size()) {
    // The stack holds the arguments alone (a call's usual case): its items
    // become FuncArgs' in place, and FuncArgs' room, emptied, the stack's.
    std::vector<std::string> values;
    values.swap(stack);
    for (size_t k = 0; k < n; ++k) ArgumentValue(in, values[k], record, k);
    values.swap(in.S.FuncArgs.Items());
    values.clear();
    if (stack.capacity() == 0) stack.swap(values);
    return;
  }
  // The values, first slot first (most labels take few arguments).
  std::array<std::string, 4> few;
  std::vector<std::string> many(n > few.size() ? n : 0);
  std::string* values = n > few.size() ? many.data() : few.data();
  for (size_t k = 0; k < n; ++k) values[k] = std::move(stack[stack.size() - n + k]);
  stack.resize(stack.size() - n);
  for (size_t k = 0; k < n; ++k) ArgumentValue(in, values[k], record, k);
  in.S.FuncArgs.Clear();
  for (size_t k = 0; k < n; ++k) in.S.FuncArgs.Push(std::move(values[k]));
}

// Binds the pushed arguments to the label's template and moves their values to
// FuncArgs, which then holds the arguments of this call only. All values are
// computed before FuncArgs is replaced, since an argument may call a function.
// `record`, when the call form's arguments were read from one, lets the
// arguments written as words be read from the words they name. Bit k of
// `numbers` is set when argument k was pushed as a number as written.
void TakeArguments(Interpreter& in, THashNode* label, const ArgumentsRecord* record = nullptr,
                   uint64_t numbers = 0) {
  const std::string& tmpl = label->More().Template;
  auto& stack = in.S.ArgStack.Items();
  // (A call form whose binding would change nothing skips it; binding leaves
  // SoreImplied as it says. Binding may shorten items: what was pushed as a
  // number is then read again.)
  size_t n = 0;
  if (in.S.CallMode && stack.size() <= kMostBoundItems && BindsAsPushed(tmpl, stack, numbers, n)) {
    in.S.SoreImplied = false;
    n = std::min(n, stack.size());
  } else {
    in.Bind(label);
    n = SlotsUpTo(tmpl, stack.size());
    numbers = 0;
  }
  // Slot k holds argument k when the call passed one for each slot.
  if (record && (record->args.size() != n || in.S.SoreImplied)) record = nullptr;
  if (n == stack.size()) {
    // Numbers are their own values: when the arguments alone on the stack
    // all are, nothing is evaluated and the stack's items become FuncArgs' in
    // place (FuncArgs' room, emptied, the stack's).
    size_t own = 0;
    while (own < n && OwnValue(in, stack[own], record, own, own < 64 && (numbers >> own & 1)))
      ++own;
    if (own == n) {
      if (n > 0) SetTypeMark(in.S.SoreType, "e");
      stack.swap(in.S.FuncArgs.Items());
      stack.clear();
      return;
    }
  }
  TakeEvaluatedArguments(in, n, record);
}

// それ as the caller had it, given back on every exit. (Kept in rooms that
// stay between calls: それ's first type mark, the description of the system
// variable, is longer than a string holds without an allocation of its own.)
// A number stored in それ as one is kept as that number, its text unwritten,
// and an empty text (それ before anything is assigned to it) is made again.
struct SoreKeeper {
  Interpreter& in;
  THashNode* sore;
  std::string& value;
  std::string& mark;
  THashNode::HeldNumber number;
  bool empty = false;
  explicit SoreKeeper(Interpreter& i)
      : in(i),
        sore(i.S.Fast.Sore),
        value(i.SoreRooms.At(2 * i.SoreKept)),
        mark(i.SoreRooms.At(2 * i.SoreKept + 1)) {
    ++in.SoreKept;
    if (sore) {
      number = sore->HoldNumber();
      if (!number.held) {
        const std::string& v = sore->Value();
        empty = v.empty();
        if (!empty) value.assign(v);
      }
      mark.assign(sore->TypeMark);
    }
  }
  // (Inline: every call form runs it, and as a function of its own it cost
  // more than its work.)
  [[gnu::always_inline]] ~SoreKeeper() {
    --in.SoreKept;
    if (sore) {
      if (number.held)
        sore->PutBack(number);  // (its text is written when read)
      else if (empty)
        sore->ClearText();
      else
        sore->SwapText(value);
      sore->TypeMark.swap(mark);
    }
  }
  // それ's value now, taken: the caller's value replaces it on exit anyway.
  std::string TakeCurrent() { return sore ? std::move(sore->ValueToWrite()) : std::string(); }
  void TakeCurrentInto(std::string& out) {
    if (sore)
      out = std::move(sore->ValueToWrite());
    else
      out.clear();
  }
  // それ's value now when it is a number typed so that was stored as one
  // (SetNumber): true with that number, its text not written; a whole number
  // below 10^15 stored as one (SetInteger) as that whole number.
  bool TakeNumber(NumberResult& n) {
    if (!sore || !IsNumberMark(in.S.SoreType)) return false;
    int64_t whole = 0;
    Number value = 0;
    if (sore->StoredInteger(whole) && WrittenWithAllDigits(whole)) {
      n.whole = whole;
      n.is_whole = true;
    } else if (sore->StoredNumber(value)) {
      n.value = value;
      n.is_whole = false;
    } else {
      return false;
    }
    return n.given = true;
  }
};

// The items the statement had pushed before a call form: its own arguments must
// not mix with them. Whatever the call leaves (too many arguments) stays on top,
// where the statement reports it.
struct ArgsAside {
  Interpreter& in;
  std::vector<std::string> saved;
  explicit ArgsAside(Interpreter& i) : in(i) {
    // An empty stack stays where it is, with the room it has.
    if (!in.S.ArgStack.Empty()) saved.swap(in.S.ArgStack.Items());
  }
  ~ArgsAside() {
    if (saved.empty()) return;
    auto& items = in.S.ArgStack.Items();
    items.insert(items.begin(), std::make_move_iterator(saved.begin()),
                 std::make_move_iterator(saved.end()));
  }
};

// CallMode belongs to the binding of one call; the statements of a label run
// nested must bind by particles again.
struct CallModeOff {
  Interpreter& in;
  bool saved;
  explicit CallModeOff(Interpreter& i) : in(i), saved(i.S.CallMode) { in.S.CallMode = false; }
  ~CallModeOff() { in.S.CallMode = saved; }
};

// The source name is `owner` while a label runs nested and the caller's again
// on every exit.
struct SourceNameOfLabel {
  SourceNameRef& name;
  const SourceNameRef caller;
  SourceNameOfLabel(Interpreter& in, const SourceNameRef& owner)
      : name(in.S.SourceName), caller(in.S.SourceName) {
    name = owner;
  }
  ~SourceNameOfLabel() { name = caller; }
};

// Runs the label's statements nested until its 戻る or the end of its text; the
// source name is the label's owner meanwhile. CallMode must be off.
void RunLabelBody(Interpreter& in, THashNode* label) {
  const THashNodeMore& more = label->More();
  if (!more.RefPos) in.Raise(msg::UndefinedLabel(), label->Name);
  SourceNameOfLabel source(in, more.Owner);
  in.RunNested(TPos(more.RefPos, more.RefText));
}

void RunLabelNested(Interpreter& in, THashNode* label) {
  CallModeOff mode(in);
  RunLabelBody(in, label);
}

// ---------------------------------------------------------------- call form

// One argument of 名前(…) as it goes on the argument stack: a plain word, number
// or literal as written (a command may want the name itself); a group, a nested
// call or an expression by its value, a text value re-quoted. The item is read
// again as an expression: a number stays as it is only where that reading
// gives it back whole (not "2E21", which would read as 2, nor "INF"). True
// when the item pushed is a number as written.
bool PushValue(Interpreter& in, const std::string& v) {
  if (IsNumberMark(in.S.SoreType) && IsNumberLiteral(v)) {
    in.S.ArgStack.Push(v);
    return true;
  }
  in.S.ArgStack.Push(Requote(v));
  return false;
}

// A number computed by an argument's compiled form, on the stack as the text
// Evaluate gives it (the number format's), as PushValue pushes it; a whole
// number below 10^15 is written with its digits alone, a number as written.
bool PushNumber(Interpreter& in, const NumberResult& number) {
  SetTypeMark(in.S.SoreType, "e");
  if (number.is_whole && WrittenWithAllDigits(number.whole)) {
    // (Made in its place on the stack from its digits, not moved there.)
    char digits[24];
    const size_t n = WholeDigits(number.whole, digits);
    in.S.ArgStack.Items().emplace_back(digits, n);
    return true;
  }
  std::string text;
  FormatNumberInto(number.Value(), text);
  return PushValue(in, text);
}

// What `name` names (folded), kept in `hint` while the word table stays at its
// generation and the word stays callable (see Interpreter::FindVerb).
THashNode* NamedBefore(Interpreter& in, std::string_view name, WordHint* hint) {
  const uint64_t generation = in.S.Words.Generation();
  if (hint && hint->generation == generation && (!hint->word || IsCallable(hint->word)))
    return hint->word;
  THashNode* f = in.S.Words.Find(name, true);
  if (hint) *hint = {f, generation};
  return f;
}

// The end of the first operand of an argument, without running anything: the
// argument is "simple" when nothing but spaces follows it. `callee`, when
// given, keeps what a word before "(" names between calls.
const char* OperandEnd(Interpreter& in, const char* p, bool& is_call, bool& is_group,
                       WordHint* callee) {
  is_call = is_group = false;
  if (*p == '"' || *p == '`') {
    in.ReadLiteral(p);
  } else if (*p == '(') {
    in.ReadGroup(p);
    is_group = true;
  } else if (!Interpreter::ReadNumberLiteral(p).empty()) {
  } else {
    std::string_view w = Interpreter::ScanWord(p);
    if (*p == '(' && !w.empty()) {
      if (IsCallable(NamedBefore(in, w, callee))) {
        in.ReadGroup(p);
        is_call = true;
      }
    }
  }
  return p;
}

// Whether the argument as written has blanks around it (most have none and
// are read where they are).
inline bool BlanksAround(const std::string& written) {
  return !written.empty() && (static_cast<unsigned char>(written.front()) <= 0x20 ||
                              static_cast<unsigned char>(written.back()) <= 0x20);
}

bool PushReadArgument(Interpreter& in, const std::string& written, std::shared_ptr<void>* compiled,
                      WordHint* callee, ArgumentReading* reading);

// An argument evaluated whole from its compiled form, `compiled`, or from the
// text it keeps (see PushValue, PushNumber).
[[gnu::noinline]] bool PushEvaluatedArgument(Interpreter& in, const std::string& written,
                                             std::shared_ptr<void>* compiled) {
  std::string v;
  NumberResult number;
  if (in.Expressions && *compiled && in.Expressions->TryRunKept(in, *compiled, v, number)) {
    if (number.given) return PushNumber(in, number);
  } else {
    v = in.Evaluate(written, compiled);
  }
  return PushValue(in, v);
}

// `compiled`, `callee` and `reading` are the argument's slots in the record
// of the call's arguments, when it has one. True when the item pushed is
// known to be a number as written. (The readings a record knows are taken
// here; an argument read for the first time, or with blanks around it, is
// read out of line.)
inline bool PushArgument(Interpreter& in, const std::string& written,
                         std::shared_ptr<void>* compiled = nullptr, WordHint* callee = nullptr,
                         ArgumentReading* reading = nullptr) {
  if (reading && !BlanksAround(written)) {
    // A number or a plain word goes on the stack as written.
    if (*reading == ArgumentReading::kAsWritten || *reading == ArgumentReading::kNumber) {
      in.S.ArgStack.Push(written);
      return *reading == ArgumentReading::kNumber;
    }
    // A word before "(" that names nothing while the table is unchanged is
    // no call: the argument goes on after the word and is evaluated whole.
    if (*reading == ArgumentReading::kEvaluatedWhole ||
        (!callee->word && callee->generation == in.S.Words.Generation()))
      return PushEvaluatedArgument(in, written, compiled);
  }
  return PushReadArgument(in, written, compiled, callee, reading);
}

// PushArgument for an argument read from its text: with blanks around it, or
// read for the first time.
[[gnu::noinline]] bool PushReadArgument(Interpreter& in, const std::string& written,
                                        std::shared_ptr<void>* compiled, WordHint* callee,
                                        ArgumentReading* reading) {
  const bool blanks = BlanksAround(written);
  std::string trimmed;
  if (blanks) trimmed = Trim(written);
  const std::string& arg = blanks ? trimmed : written;
  const char* p = arg.c_str();
  bool is_call = false, is_group = false;
  const char* end = arg.empty() ? p : OperandEnd(in, p, is_call, is_group, callee);
  const char* rest = end;
  Interpreter::SkipSpaces(rest);
  // (A callee slot still unused after the reading: no word before "(".)
  const bool fixed = reading && !blanks && callee->generation == 0;
  if (*rest != '\0' || is_group) {
    if (fixed) *reading = ArgumentReading::kEvaluatedWhole;
    std::string v = in.Evaluate(arg, compiled);
    return PushValue(in, v);
  }
  if (is_call) {
    const char* q = p;
    std::string word = Interpreter::ReadWord(q);
    std::string v = in.FunctionCall(in.S.Words.Find(word, true), q);
    return PushValue(in, v);
  }
  if (fixed && end == arg.c_str() + arg.size())
    *reading = IsNumberLiteral(arg) ? ArgumentReading::kNumber : ArgumentReading::kAsWritten;
  in.S.ArgStack.Push(std::string(p, end));
  return false;
}

// Splits the content of the parentheses at top-level commas; a line break
// inside continues the line.
std::vector<std::string> SplitArguments(Interpreter& in, const std::string& content) {
  std::vector<std::string> args;
  std::string cur;
  const char* p = content.c_str();
  while (*p) {
    const char* s = p;
    if (*p == '"' || *p == '`') {
      in.ReadLiteral(p);
      cur.append(s, p);
    } else if (*p == '(') {
      in.ReadGroup(p);
      cur.append(s, p);
    } else if (*p == '\r' || *p == '\n') {
      in.ReadLineBreak(p);
      cur += ' ';
    } else if (*p == ',') {
      args.push_back(std::move(cur));
      cur.clear();
      ++p;
    } else {
      p += CharLenZ(p);
      cur.append(s, p);
    }
  }
  if (!args.empty() || !Trim(cur).empty()) args.push_back(std::move(cur));
  return args;
}

// ---------------------------------------------------------------- commands

// 戻る: back to the innermost call. Nothing open at all ends the current run (at
// the top of a program, or of a nested run). Open blocks without any call are
// an error at the outermost level, where the stack stays untouched; in a nested
// run (a label in an expression, an include, an event) they end that run.
void CmdReturn(Call& c) {
  Interpreter& in = c.in;
  TRunControlStack& st = in.S.RunStack;
  if (st.Count() == 0) {
    in.S.ExecPos = TPos();
    return;
  }
  bool has_call = false;
  for (int i = st.Count() - 1; i >= 0 && !has_call; --i) has_call = IsCallKind(st.At(i)->Kind);
  if (!has_call && st.SavedCount() == 0) in.Raise(SJ("「戻る」べき場所がありません。"));
  // (Each record is read where it stands and then dropped.)
  while (TRunControl* r = st.Top()) {
    if (IsCallKind(r->Kind)) {
      in.S.SourceName = r->SavedSource;
      in.S.ExecPos = std::move(r->ReturnPos);
      st.DropTop();
      return;
    }
    Discard(in, *r);
    st.DropTop();
  }
  in.S.ExecPos = TPos();
}

// 呼ぶ: a label is called as a subroutine; any other word runs as the verb of a
// statement would.
void CmdCall(Call& c) {
  Interpreter& in = c.in;
  THashNode* w = c.Word(0, false);
  if (w->Kind == kWordLabel)
    in.CallLabel(w);
  else
    in.ExecuteWord(w);
}

// 計算: a failing calculation gives the empty text and leaves no trace in the
// error log.
void CmdCalculate(Call& c) {
  Interpreter& in = c.in;
  std::string e = TConvToHalf::ConvertText(c.Text(0));
  size_t log = in.ErrorLog.size();
  std::string v;
  try {
    v = in.Calculate(e);
  } catch (const ESorane&) {
    v.clear();
    in.ErrorLog.resize(log);
  } catch (const std::exception&) {
    v.clear();
    in.ErrorLog.resize(log);
  }
  c.ReturnCommon(std::move(v));
}

// Words the run-time itself holds by reference (the fast-access words and the
// read-only system variables it updates) keep their names: renaming would
// leave those references pointing at a removed word.
static_assert(sizeof(TFastWords) == 13 * sizeof(THashNode*),
              "a new fast-access word must be listed in HeldByRunTime");
bool HeldByRunTime(Interpreter& in, const THashNode* w) {
  const TFastWords& f = in.S.Fast;
  for (const THashNode* h :
       {f.Sore, f.So, f.Count, f.ErrorMessage, f.CannotClose, f.Soshite, f.Naraba, f.Nara,
        f.Chigaeba, f.Denakereba, f.Moshi, f.TabCount, f.PrintTarget})
    if (h == w) return true;
  return w->Kind == kWordVariable && w->Level == -1 && w->Reserved;
}

// The pieces of 『?を,見せる』: split at spaces and commas, up to the first empty one.
std::vector<std::string> NamePieces(const std::string& x) {
  std::vector<std::string> pieces;
  size_t i = 0;
  for (;;) {
    size_t end = x.find_first_of(" ,", i);
    std::string piece = x.substr(i, end == std::string::npos ? std::string::npos : end - i);
    if (piece.empty()) break;
    pieces.push_back(std::move(piece));
    if (end == std::string::npos) break;
    i = end + 1;
  }
  return pieces;
}

// 名義変更: the word moves to its new name with a new template. Its element table
// moves with it; a label that is the error or close handler stays the handler.
void CmdRename(Call& c) {
  Interpreter& in = c.in;
  std::string x = c.Name(1);
  if (!x.empty() && x.back() == ';') x.pop_back();
  std::vector<std::string> pieces = NamePieces(TConvToHalf::ConvertText(x));
  std::string wname = c.Name(0);
  THashNode* w = FindNamed(in, wname);
  if (!w) in.Raise(msg::ObjectNotFound(), wname);
  if (pieces.size() != SlotsUpTo(w->More().Template) + 1) c.BadArgument();
  std::string name = pieces.back();
  std::string tmpl;
  for (size_t i = 0; i + 1 < pieces.size(); ++i) tmpl += (i ? "," : "") + pieces[i];
  THashNode* existing = in.S.Words.FindExact(name);
  if (HeldByRunTime(in, w) || (existing && existing != w && existing->Reserved))
    in.Raise(msg::Reserved(), HeldByRunTime(in, w) ? w->Name : name);

  auto node = std::make_unique<THashNode>(name, w->Kind);
  std::unique_ptr<THash> elements = std::move(w->Elements);
  node->CopyAttributesFrom(*w);
  node->Elements = std::move(elements);
  node->MoreToWrite().Template = tmpl;
  bool error_handler = in.S.ErrorHandler == w, close_handler = in.S.CloseHandler == w;
  std::string old_name = w->Name;
  in.S.Words.Delete(old_name, false);
  THashNode* moved = in.S.Words.Add(std::move(node));
  if (error_handler) in.S.ErrorHandler = moved;
  if (close_handler) in.S.CloseHandler = moved;
}

// そらねする: the text runs as a program of its own, nested; errors in it name the
// place that ran it ("…の12行目のそらね").
void CmdRunText(Call& c) {
  Interpreter& in = c.in;
  std::string program = c.Text(0);
  const SourceNameRef saved_source = in.S.SourceName;
  std::string saved_program = in.S.ProgramText;
  TPos saved_pos = in.S.ExecPos;
  int saved_line = in.S.LineNo;
  struct Restore {
    Interpreter& in;
    const SourceNameRef& source;
    std::string& program;
    TPos& pos;
    int& line;
    ~Restore() {
      in.S.SourceName = source;
      in.S.ProgramText = std::move(program);
      in.S.ExecPos = std::move(pos);
      in.S.LineNo = line;
    }
  } restore{in, saved_source, saved_program, saved_pos, saved_line};
  in.S.SourceName =
      saved_source.Text() + SJ("の") + std::to_string(in.CurrentLine()) + SJ("行目のそらね");
  // Like a script file, the text ends with a line break, so its last line has
  // a line mark and errors there report their own line.
  if (program.empty() || (program.back() != '\r' && program.back() != '\n')) program += "\r\n";
  auto text = std::make_shared<const std::string>(in.Preprocess(program));
  in.RunNested(TPos::Start(text));
}

void CmdSelectWord(Call& c) {
  Interpreter& in = c.in;
  THashNode* w = FindOrRaise(in, c.Text(0));
  if (in.S.Fast.So) in.S.Fast.So->CopyAttributesFrom(*w);
}

// The variable a "として扱う" command declares; created when missing.
THashNode* DeclaredWord(Call& c, const char* initial) {
  Interpreter& in = c.in;
  std::string name = c.Name(0);
  THashNode* w = in.S.Words.FindExact(name);
  if (!w) {
    w = in.AddVariable(name);
    w->ValueToWrite() = initial;
    return w;
  }
  if (w->Reserved) in.Raise(SJ("オブジェクト\"%s\"は、既に存在するので、作成できません。"), name);
  return w;
}

void CmdAsNumber(Call& c) {
  THashNode* w = DeclaredWord(c, "0");
  w->Elements.reset();
  w->Kind = kWordVariable;
  w->TypeMark = "e";
  if (w->Value().empty()) w->ValueToWrite() = "0";
}

void CmdAsString(Call& c) {
  THashNode* w = DeclaredWord(c, "");
  if (w->Kind == kWordHash)
    w->ValueToWrite() = w->Elements ? w->Elements->PairLines() : std::string();
  w->Elements.reset();
  w->Kind = kWordVariable;
  w->TypeMark = "s";
}

void CmdAsHash(Call& c) {
  Interpreter& in = c.in;
  THashNode* w = DeclaredWord(c, "");
  if (w->Kind == kWordVariable) {
    w->Elements = std::make_unique<THash>();
    w->Elements->LoadPairLines(w->Value(), in.S.RunStack.Count());
  } else if (w->Kind == kWordHash) {
    if (!w->Elements) w->Elements = std::make_unique<THash>();
  } else {
    in.Raise(msg::BadSyntax() + SJ("変更できません！"), w->Name);
  }
  w->ValueToWrite().clear();
  w->TypeMark = "hs";
  w->Kind = kWordHash;
}

// The keys of a hash, or the names of a value's pair lines, one per line.
void CmdListKeys(Call& c) {
  Interpreter& in = c.in;
  THashNode* w = FindOrRaise(in, c.Name(0));
  std::string out;
  if (w->Kind == kWordHash) {
    if (w->Elements)
      for (THashNode* e : w->Elements->AllNodes()) out += e->Name + "\r\n";
  } else {
    const std::string& v = w->Value();
    size_t i = 0;
    while (i < v.size()) {
      size_t end = v.find_first_of("\r\n", i);
      if (end == std::string::npos) end = v.size();
      std::string_view line(v.data() + i, end - i);
      if (!line.empty()) out += Trim(line.substr(0, line.find('='))) + "\r\n";
      i = end;
      if (i < v.size() && v[i] == '\r') ++i;
      if (i < v.size() && v[i] == '\n') ++i;
    }
  }
  c.ReturnCommon(std::move(out));
}

void CmdCopyWord(Call& c) {
  Interpreter& in = c.in;
  std::string to = c.Name(1);
  std::string from = c.Name(0);
  THashNode* a = FindOrRaise(in, from);
  THashNode* b = in.S.Words.FindExact(to);
  if (!b) b = in.AddVariable(to);
  b->CopyAttributesFrom(*a);
}

void CmdListVariables(Call& c) {
  Interpreter& in = c.in;
  long long level = c.Int(0);
  if (in.S.SoreImplied) level = 0;
  std::string out;
  for (THashNode* w : in.S.Words.AllNodes())
    if ((w->Kind == kWordVariable || w->Kind == kWordHash) && !w->Reserved && w->Level >= level)
      out += w->Name + "\r\n";
  c.ReturnCommon(std::move(out));
}

void CmdStore(Call& c) {
  Interpreter& in = c.in;
  THashNode* v = c.Word(0, true);
  THashNode* sore = in.S.Fast.Sore;
  if (!sore || v == sore) return;
  v->ValueToWrite() = sore->Value();
  v->TypeMark = sore->TypeMark;
}

// 関数定義: the label gets its parameter template. A label whose name carries
// okurigana is also registered under the folded name (加算する → 加算), so its
// other forms (加算して) find it; defining again updates that alias.
void CmdDefine(Call& c) {
  Interpreter& in = c.in;
  std::string tmpl = TConvToHalf::ConvertText(c.Text(1));
  std::string name = c.Name(0);
  THashNode* l = FindNamed(in, name);
  if (!l) in.Raise(msg::ObjectNotFound(), name);
  l->MoreToWrite().Template = tmpl;
  std::string folded = Fold(l->Name);
  if (folded == l->Name) return;
  THashNode* alias = in.S.Words.FindExact(folded);
  if (alias && alias->Kind == l->Kind && alias->More().RefPos == l->More().RefPos &&
      alias->More().RefText == l->More().RefText) {
    alias->MoreToWrite().Template = tmpl;
    return;
  }
  auto copy = std::make_unique<THashNode>(folded, l->Kind);
  copy->CopyAttributesFrom(*l);
  copy->Level = in.S.RunStack.Count();
  try {
    in.S.Words.Add(std::move(copy));
  } catch (const EWordReserved& e) {
    in.Raise(msg::Reserved(), e.name);
  }
}

// The value of 引数取得, in `value`: the arguments of the call, trimmed, taken
// out of FuncArgs. (One argument, the usual case, trims to what the joined
// lines trim to; one with nothing to trim, such as a number the call pushed,
// is moved.)
void TakeArgumentsText(TStack& args, std::string& value) {
  if (args.Count() == 1) {
    std::string& only = args.Items().back();
    if (!BlanksAround(only))
      value = std::move(only);
    else
      value = Trim(only);
  } else {
    value = Trim(args.Text());
  }
  args.Clear();
}

void CmdArguments(Call& c) {
  std::string value;
  TakeArgumentsText(c.in.S.FuncArgs, value);
  c.ReturnCommon(std::move(value));
}

// The arguments of a call form without a record of them (read for the first
// time, or too long or spanning lines to be recorded), pushed from the text at
// `p`, which is left after the ")". (Out of line: most calls read their
// record.)
[[gnu::noinline]] void PushArgumentsAsRead(Interpreter& in, const char*& p) {
  const char* open = p;
  std::string content = in.ReadGroup(p);
  std::vector<std::string> read = SplitArguments(in, content);
  if (in.Statements && content.size() <= StatementCache::kLongestRecorded &&
      content.find_first_of("\r\n") == std::string::npos)
    in.Statements->RememberArguments(open, p, read);
  for (const std::string& arg : read) PushArgument(in, arg);
}

[[noreturn, gnu::cold, gnu::noinline]] void RaiseNoParentheses(Interpreter& in, THashNode* w) {
  in.Raise(SJ("関数\"%s\"の呼び出しで、引数の()は、すぐ後ろに書いてください。"), w->Name);
}

}  // namespace

// ---------------------------------------------------------------- interface

void Interpreter::CallLabel(THashNode* label) {
  TPos start = LabelPos(*this, label);
  if (!label->More().Template.empty()) TakeArguments(*this, label);
  TRunControl r;
  r.Kind = kRunCall;
  r.ReturnPos = S.ExecPos;
  r.ExitPos = start;
  r.SavedSource = S.SourceName;
  S.RunStack.Push(std::move(r));
  S.SourceName = label->More().Owner;
  S.ExecPos = std::move(start);
}

std::string Interpreter::RunLabelInExpression(THashNode* label) {
  SoreKeeper keep(*this);
  if (S.Fast.Sore) S.Fast.Sore->ValueToWrite().clear();
  RunLabelNested(*this, label);
  return keep.TakeCurrent();
}

bool Interpreter::ArgumentsForValue(THashNode* command, std::string& value) {
  if (command->Kind != kWordCommand || command->Command != CommandId::Arguments ||
      !command->More().Template.empty() || HandlerOf(CommandId::Arguments) != CmdArguments)
    return false;
  // What dispatching the command would leave besides それ, which running it
  // for its value gives back as it was.
  ++CallsMade;
  S.SoreImplied = false;
  TakeArgumentsText(S.FuncArgs, value);
  SetTypeMark(S.SoreType, "s");
  return true;
}

std::string Interpreter::FunctionCall(THashNode* w, const char*& p) {
  std::string value;
  FunctionCall(w, p, value, nullptr);
  return value;
}

bool Interpreter::FunctionCall(THashNode* w, const char*& p, std::string& value,
                               NumberResult* number, std::shared_ptr<const ArgumentsRecord>* kept) {
  if (*p != '(') RaiseNoParentheses(*this, w);
  // (Set aside first: reading the arguments does not touch the stack.)
  ArgsAside aside(*this);
  // The record of the arguments: the one the caller's term keeps (which holds
  // it while the term runs the call, and never replaces it: the term's text
  // never changes), else the one found here, held for the call.
  const ArgumentsRecord* record = nullptr;
  std::shared_ptr<const ArgumentsRecord> found;
  uint64_t numbers = 0;  // the arguments pushed as numbers as written
  if (kept && *kept && (*kept)->at == p) {
    record = kept->get();
  } else if (Statements) {
    found = Statements->FindArguments(p);
    if (kept && found) *kept = found;
    record = found.get();
  }
  if (record) {
    p += record->bytes.size();
    for (size_t i = 0; i < record->args.size(); ++i)
      if (PushArgument(*this, record->args[i], &record->compiled[i], &record->callees[i],
                       &record->readings[i]) &&
          i < 64)
        numbers |= uint64_t{1} << i;
  } else {
    PushArgumentsAsRead(*this, p);
  }
  SoreKeeper keep(*this);
  CallModeOff mode(*this);
  S.CallMode = true;
  if (w->Kind == kWordLabel) {
    if (!w->More().Template.empty()) TakeArguments(*this, w, record, numbers);
    S.CallMode = false;
    RunLabelBody(*this, w);
  } else {
    ExecuteWord(w);
  }
  S.CallMode = false;
  if (number && keep.TakeNumber(*number)) return true;
  keep.TakeCurrentInto(value);
  return false;
}

CommandTable FunctionCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::Return, "戻る", "", CmdReturn, kPure},
      {CommandId::Call, "呼ぶ", "?を", CmdCall, kPure},
      {CommandId::Calculate, "計算", "?を", CmdCalculate, kPure},
      {CommandId::RenameWord, "名義変更", "?を,?に", CmdRename, kPure},
      {CommandId::RunText, "そらねする", "?を", CmdRunText, kPure},
      {CommandId::SelectWord, "その単語に特定", "?を", CmdSelectWord, kPure},
      {CommandId::AsNumber, "数値として扱う", "?を", CmdAsNumber, kPure},
      {CommandId::AsString, "文字列として扱う", "?を", CmdAsString, kPure},
      {CommandId::ListHashKeys, "ハッシュキー列挙", "?の", CmdListKeys, kPure},
      {CommandId::ListDictionaryItems, "辞書項目列挙", "?の", CmdListKeys, kPure},
      {CommandId::AsHash, "辞書として扱う", "?を", CmdAsHash, kPure},
      {CommandId::CopyWord, "単語コピー", "?から,?へ", CmdCopyWord, kPure},
      {CommandId::ListVariables, "変数名列挙", "?以上の", CmdListVariables, kPure},
      {CommandId::Store, "入れる", "?に", CmdStore, kPure},
      {CommandId::Define, "関数定義", "?を,?で", CmdDefine, kPure},
      {CommandId::Arguments, "引数取得", "", CmdArguments, kPure},
  };
  return kRows;
}

}  // namespace sorane
