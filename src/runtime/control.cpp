// Control structures. A construct copies its block (a parenthesised group or the
// rest of the statement) into a run-control record, pushes the record and moves
// the execution position into the copy; when the copy's text ends the statement
// loop calls CheckRunControl, which pops the record and repeats, leaves or
// returns. Positions carry the owner of their text, so a position inside a copy
// keeps the copy alive even after its record is gone.
//
// A もし statement read once is remembered by position (BranchRecord): when the
// same bytes come again, its condition's operator form is calculated and only
// the chosen block is read.
//
// Also here: もし and the "?" form with their branches, Japanese conditions,
// 条件分岐 and its "の時" cases, the loops (回, 繰り返す, 反復, ループ) and the
// commands that leave or redirect them (抜ける, 続ける, 飛ぶ, 待機).
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/calculator.h"
#include "runtime/command.h"
#include "runtime/compiled_expression.h"
#include "runtime/events.h"
#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "runtime/runtime_commands.h"
#include "runtime/statement_cache.h"
#include "text/conv_half.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

// A block copied out of a text that others share (a source, a value run as
// code). Every block nested in it runs in place instead of being copied again,
// so blocks nested n deep cost one copy rather than n: while the record of a
// nested block lives, a seal puts NUL in place of the block's ')', and the
// copy reads as ending there, exactly as a copy of the nested block would.
// The ')' is given back when the record goes. A nested block on one line is
// still copied, since its copy gets the line mark of that line.
struct TBlockText {
  std::string text;  // the block; after its NUL, the line mark of its last line
  size_t length = 0;
  // The groups sealed while they run, by the offset of their ')', with how
  // many runs hold each seal (a few at a time: kept in a short list that
  // keeps its room, so a seal costs no allocation).
  struct Seal {
    uint32_t at;
    int holders;
  };
  std::vector<Seal> seals;

  // The ')' of the group whose '(' is at `open`, as ReadGroup finds it, when
  // the group spans lines. (The group found last is tried first: a block
  // entered at every pass of a loop is found at once.)
  bool CloseOfSpanning(size_t open, size_t& close) {
    if (!indexed_) Index();
    size_t i = last_;
    if (i >= opens_.size() || opens_[i] != open) {
      auto at = std::lower_bound(opens_.begin(), opens_.end(), open);
      if (at == opens_.end() || *at != open) return false;
      i = last_ = static_cast<size_t>(at - opens_.begin());
    }
    close = closes_[i];
    return spans_[i] != 0;
  }

 private:
  // Notes the groups, and whether each spans lines, when a block nested in
  // this one is first read (once: indexed_ is set then).
  void Index();
  bool indexed_ = false;
  std::vector<uint32_t> opens_, closes_;  // groups in the block, by their '('
  std::vector<uint8_t> spans_;            // a closed group holds a CR or LF byte
  size_t last_ = 0;                       // the group found last
};

void TBlockText::Index() {
  indexed_ = true;
  if (length >= UINT32_MAX) return;  // too long for the notes: nested blocks are copied
  const char* start = text.c_str();
  std::vector<uint32_t> breaks;  // offsets of CR and LF bytes
  for (size_t i = 0; i < length; ++i)
    if (start[i] == '\r' || start[i] == '\n') breaks.push_back(static_cast<uint32_t>(i));
  std::vector<size_t> open;
  const char* q = start;
  while (*q) {
    char c = *q;
    if (c == '"' || c == '`') {
      if (!SkipLiteral(q)) break;  // the rest is not read as groups
      continue;
    }
    if (c == '(') {
      open.push_back(opens_.size());
      opens_.push_back(static_cast<uint32_t>(q - start));
      closes_.push_back(UINT32_MAX);
    } else if (c == ')' && !open.empty()) {
      closes_[open.back()] = static_cast<uint32_t>(q - start);
      open.pop_back();
    }
    q += CharLenZ(q);
  }
  spans_.resize(opens_.size());
  for (size_t i = 0; i < opens_.size(); ++i) {
    if (closes_[i] == UINT32_MAX) continue;
    auto at = std::lower_bound(breaks.begin(), breaks.end(), opens_[i] + 1);
    spans_[i] = at != breaks.end() && *at < closes_[i];
  }
}

namespace {

// The line mark "\r\nN:" that ends a block copy, written without allocating.
class LineMark {
 public:
  explicit LineMark(int line) {
    data_[0] = '\r';
    data_[1] = '\n';
    char* end = std::to_chars(data_ + 2, data_ + sizeof data_ - 1, line).ptr;
    *end++ = ':';
    size_ = static_cast<size_t>(end - data_);
  }
  std::string_view View() const { return std::string_view(data_, size_); }

 private:
  char data_[16];
  size_t size_ = 0;
};

// A copy of a block that spans lines. The mark of its last line is kept after
// its NUL, for errors reported from that line.
std::shared_ptr<TBlockText> MakeBlockText(std::string body, int last_line) {
  auto b = std::make_shared<TBlockText>();
  b->length = body.size();
  b->text = std::move(body);
  b->text += '\0';
  b->text.append(LineMark(last_line).View());
  return b;
}

// Copies of one block kept for reuse: at most so many, and so many bytes.
constexpr size_t kKeptBlockCopies = 64;
constexpr size_t kKeptBlockBytes = 8u << 20;

template <class Copy>
bool KeepsAnother(const std::vector<Copy>& copies, size_t length) {
  return copies.size() < kKeptBlockCopies && (copies.size() + 1) * length <= kKeptBlockBytes;
}

// Ends a block nested in a block copy with NUL while it runs.
class BlockSeal {
 public:
  BlockSeal(std::shared_ptr<TBlockText> block, uint32_t at) : block_(std::move(block)), at_(at) {
    if (TBlockText::Seal* seal = Find()) {
      ++seal->holders;
      return;
    }
    block_->seals.push_back({at_, 1});
    block_->text[at_] = '\0';
  }
  ~BlockSeal() {
    TBlockText::Seal* seal = Find();
    if (--seal->holders != 0) return;
    *seal = block_->seals.back();
    block_->seals.pop_back();
    block_->text[at_] = ')';
  }
  BlockSeal(const BlockSeal&) = delete;
  BlockSeal& operator=(const BlockSeal&) = delete;

 private:
  TBlockText::Seal* Find() {
    for (TBlockText::Seal& seal : block_->seals)
      if (seal.at == at_) return &seal;
    return nullptr;
  }

  std::shared_ptr<TBlockText> block_;
  uint32_t at_;
};

// Storage for seals: one is made and dropped at every pass of a block nested
// in a copy, so the storage of dropped ones is kept (a few per thread) for the
// next instead of going back to the heap.
template <class T>
struct KeptStorage {
  using value_type = T;
  KeptStorage() = default;
  template <class U>
  KeptStorage(const KeptStorage<U>&) noexcept {}
  T* allocate(size_t n) {
    Kept& kept = Free();
    if (n == 1 && kept.head) {
      Node* node = kept.head;
      kept.head = node->next;
      --kept.count;
      node->~Node();
      return static_cast<T*>(static_cast<void*>(node));
    }
    return static_cast<T*>(::operator new(n * sizeof(T)));
  }
  void deallocate(T* block, size_t n) noexcept {
    Kept& kept = Free();
    if (n == 1 && kept.count < kKept) {
      kept.head = new (static_cast<void*>(block)) Node{kept.head};
      ++kept.count;
      return;
    }
    ::operator delete(block);
  }
  template <class U>
  bool operator==(const KeptStorage<U>&) const noexcept {
    return true;
  }

 private:
  static_assert(sizeof(T) >= sizeof(void*));
  struct Node {
    Node* next;
  };
  struct Kept {
    Node* head = nullptr;
    size_t count = 0;
    ~Kept() {
      while (Node* node = head) {
        head = node->next;
        ::operator delete(static_cast<void*>(node));
      }
    }
  };
  static Kept& Free() {
    thread_local Kept kept;
    return kept;
  }
  static constexpr size_t kKept = 64;
};

// A record whose block is nested in a copy (it ends before the copy does)
// gets the seal that ends the block with a NUL while the record lives.
void SealNestedBlock(TRunControl& r) {
  if (!r.Block || r.Seal || r.BodyEnd == r.Block->text.data() + r.Block->length) return;
  r.Seal = std::allocate_shared<BlockSeal>(KeptStorage<BlockSeal>(), r.Block,
                                           static_cast<uint32_t>(r.BodyEnd - r.Block->text.data()));
}

// The end of the text a position points into.
const char* TextEnd(const TPos& pos) {
  if (!pos.text) return pos.p + std::strlen(pos.p);
  return pos.text->data() + pos.text->size();
}

// The block text of a record: its bytes, without what follows them.
std::string_view BodyOf(const TRunControl& r) {
  if (!r.Body) return {};
  if (!r.BodyBegin) return *r.Body;
  return std::string_view(r.BodyBegin, r.BodyEnd - r.BodyBegin);
}

bool IsLineBreak(char c) {
  return c == '\r' || c == '\n';
}

bool BeginsWith(const char* p, const std::string& word) {
  // The first byte decides for almost every position of a scanned text.
  return p[0] == word[0] && std::strncmp(p, word.data(), word.size()) == 0;
}

// True when `s` ends with `tail` and the tail starts on a character boundary
// (so a trail byte followed by a half-width kana never looks like "が").
bool EndsWithChar(std::string_view s, std::string_view tail) {
  if (s.size() < tail.size() || s.substr(s.size() - tail.size()) != tail) return false;
  size_t cut = s.size() - tail.size(), i = 0;
  while (i < cut) i += CharLen(s, i);
  return i == cut;
}

std::string WithoutTail(const std::string& s, const std::string& tail) {
  return s.substr(0, s.size() - tail.size());
}

// The keyword at p that opens a then-branch ("ならば" before its prefix "なら").
const std::string* ThenKeyword(const char* p) {
  for (const std::string* k : {&SJ("ならば"), &SJ("なら")})
    if (BeginsWith(p, *k)) return k;
  return nullptr;
}

const std::string* ElseKeyword(const char* p) {
  for (const std::string* k : {&SJ("違えば"), &SJ("でなければ")})
    if (BeginsWith(p, *k)) return k;
  return nullptr;
}

// The four words that end the condition of もし, compared in this order.
bool AtConditionEnd(const char* p) {
  return ThenKeyword(p) || ElseKeyword(p);
}

bool IsBranchKind(uint8_t k) {
  return k == kRunThen || k == kRunElse || k == kRunCase;
}
bool IsLoopKind(uint8_t k) {
  return k == kRunFor || k == kRunTimes || k == kRunEach || k == kRunWhile;
}
bool IsCallKind(uint8_t k) {
  return k == kRunCall || k == kRunEvent;
}

// A case record only exists when its 条件分岐 matched; once it is gone no case of
// that 条件分岐 may run, whatever a nested 条件分岐 left in SwitchValue.
void Discard(Interpreter& in, const TRunControl& r) {
  if (r.Kind == kRunCase) in.S.SwitchValue = TSoraneBase::NoSwitch();
}

// A counter word (of 繰り返す, or 回数) becomes the integer n (type "e"), kept
// as a number: its text is written only when the script reads it as text.
void SetCounter(THashNode* w, int32_t n) {
  w->SetInteger(n);
  if (w->TypeMark.size() != 1 || w->TypeMark[0] != 'e') w->TypeMark = "e";
}

void SetCount(Interpreter& in, int32_t n) {
  if (THashNode* c = in.S.Fast.Count) SetCounter(c, n);
}

const std::shared_ptr<const std::string>& EmptyText() {
  static const auto empty = std::make_shared<const std::string>();
  return empty;
}

// The lines of a text as 反復 walks them: CR LF, CR or LF end a line; a final
// line break does not start another element.
std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> out;
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    const char* line_end = p;
    while (line_end < end && !IsLineBreak(*line_end)) ++line_end;
    out.emplace_back(p, line_end);
    if (line_end == end) break;
    p = line_end + (*line_end == '\r' && line_end + 1 < end && line_end[1] == '\n' ? 2 : 1);
  }
  return out;
}

// Raises `head` + the inner message + `tail` as one error. The inner error's
// report line is taken back out of the log and off its message, so one failure
// shows as one report line.
[[noreturn]] void Rewrap(Interpreter& in, const ESorane& e, const std::string& head,
                         const std::string& tail = {}) {
  const std::string& line = e.Message();
  std::string logged = line + "\r\n";
  std::string& log = in.ErrorLog;
  if (log.size() >= logged.size() &&
      log.compare(log.size() - logged.size(), logged.size(), logged) == 0)
    log.resize(log.size() - logged.size());
  std::string inner = line;
  const std::string& mark = SJ("行目): ");
  size_t at = line.find(mark);
  if (line.compare(0, SJ("[エラー] ").size(), SJ("[エラー] ")) == 0 && at != std::string::npos)
    inner = line.substr(at + mark.size());
  in.Raise(head + inner + tail);
}

// ---------------------------------------------------------------- passes

// The counter variable of 繰り返す is looked up again by name on every pass (the
// name is kept in Condition), so a loop never writes into a word that a command
// inside the body removed; a removed counter is created again.
THashNode* CounterOf(Interpreter& in, TRunControl& r) {
  // The word found for the previous pass, while no word was added or removed.
  if (r.CounterWord && r.CounterGeneration == in.S.Words.Generation() && in.Expressions)
    return r.CounterWord;
  THashNode* w = in.S.Words.FindExact(r.Condition);
  if (!w) w = in.S.Words.AddVariable(r.Condition, "", "e", 0);
  r.CounterWord = w;
  r.CounterGeneration = in.S.Words.Generation();
  return w;
}

// The end of the loop whose record is on top: the run goes on after the loop
// and the record goes, its place kept (what NextFor, NextTimes and
// NextElement do at the end with a record taken off the stack).
bool LeaveLoopInPlace(Interpreter& in, TRunControl& r) {
  in.S.ExecPos = std::move(r.ExitPos);
  in.S.RunStack.DropTop();
  return true;
}

// The next pass of the loop whose record is on top, or its end, the record
// left where it is: what NextFor, NextTimes and NextElement do with a record
// taken off the stack (and pushed again). False for the other kinds.
bool PassInPlace(Interpreter& in) {
  TRunControl* r = in.S.RunStack.Top();
  if (!r || !r->Body) return false;
  switch (r->Kind) {
    case kRunFor: {
      if (r->Counter >= r->Limit) return LeaveLoopInPlace(in, *r);
      ++r->Counter;
      SetCounter(CounterOf(in, *r), r->Counter);
      break;
    }
    case kRunTimes:
      if (r->Counter >= r->Limit) return LeaveLoopInPlace(in, *r);
      ++r->Counter;
      SetCount(in, r->Counter);
      break;
    case kRunEach:
      if (!r->Elements || r->Counter >= static_cast<int32_t>(r->Elements->size()))
        return LeaveLoopInPlace(in, *r);
      // それ takes the line in the storage it has.
      in.S.Fast.Sore->ValueToWrite().assign((*r->Elements)[r->Counter]);
      SetTypeMark(in.S.SoreType, "s");
      ++r->Counter;
      SetCount(in, r->Counter);
      break;
    default:
      return false;
  }
  // The position is at the end of the body already (in the same text).
  TPos& at = in.S.ExecPos;
  if (at.text != r->Body) at.text = r->Body;
  at.p = r->BodyBegin ? r->BodyBegin : r->Body->c_str();
  return true;
}

void LeaveBlock(Interpreter& in, TRunControl&& r) {
  in.S.ExecPos = r.ExitPos;
}

void LeaveCase(Interpreter& in, TRunControl&& r) {
  Discard(in, r);
  in.S.ExecPos = r.ExitPos;
}

void NextFor(Interpreter& in, TRunControl&& r) {
  if (r.Counter >= r.Limit) {
    in.S.ExecPos = r.ExitPos;
    return;
  }
  ++r.Counter;
  SetCounter(CounterOf(in, r), r.Counter);
  in.RunBlock(std::move(r));
}

void NextTimes(Interpreter& in, TRunControl&& r) {
  if (r.Counter >= r.Limit) {
    in.S.ExecPos = r.ExitPos;
    return;
  }
  SetCount(in, ++r.Counter);
  in.RunBlock(std::move(r));
}

void ReturnFromCall(Interpreter& in, TRunControl&& r) {
  in.S.ExecPos = r.ReturnPos;
  in.S.SourceName = r.SavedSource;
}

void NextElement(Interpreter& in, TRunControl&& r) {
  if (!r.Elements || r.Counter >= static_cast<int32_t>(r.Elements->size())) {
    in.S.ExecPos = r.ExitPos;
    return;
  }
  in.SetSore((*r.Elements)[r.Counter], "s");
  SetCount(in, ++r.Counter);
  in.RunBlock(std::move(r));
}

// The text of the calculation of `condition` (its compiled form made or kept
// in `compiled`). (Out of line: a condition run from its compiled form
// rarely needs it.)
[[gnu::noinline]] void ConditionText(Interpreter& in, const std::string& condition,
                                     std::shared_ptr<void>& compiled, std::string& text) {
  text = in.Calculate(condition, &compiled);
}

// A condition calculated through the compiled form `compiled` keeps (made by
// the first calculation): true with a number result in `number`, its text not
// written (the type mark set as the text would set it); false with any other
// result in `text`.
// (Inlined into its two callers: a もし pass pays no call for it.)
[[gnu::always_inline]] inline bool CalculateCondition(Interpreter& in, const std::string& condition,
                                                      std::shared_ptr<void>& compiled,
                                                      std::string& text, NumberResult& number) {
  if (in.Expressions && compiled && in.Expressions->TryRunKept(in, compiled, text, number)) {
    if (!number.given) return false;
    SetTypeMark(in.S.SoreType, "e");
    return true;
  }
  ConditionText(in, condition, compiled, text);
  return false;
}

// A ループ condition's value as an integer: a number result as its text would
// read back (NumberAsWritten).
long long WhileCondition(Interpreter& in, const std::string& condition,
                         std::shared_ptr<void>& compiled) {
  std::string text;
  NumberResult n;
  return CalculateCondition(in, condition, compiled, text, n) ? ToInt64(NumberAsWritten(n.Value()))
                                                              : ToInt64(ParseNumber(text));
}

void NextWhile(Interpreter& in, TRunControl&& r) {
  if (WhileCondition(in, r.Condition, r.ConditionCompiled) == 0) {
    in.S.ExecPos = r.ExitPos;
    return;
  }
  if (r.Counter < INT32_MAX) ++r.Counter;
  SetCount(in, r.Counter);
  in.RunBlock(std::move(r));
}

using PassFn = void (*)(Interpreter&, TRunControl&&);

// What the end of a block does, by record kind (7 is not a kind).
constexpr PassFn kPasses[] = {
    LeaveBlock,      // 0 then-branch
    LeaveBlock,      // 1 else-branch
    NextFor,         // 2 繰り返す
    NextTimes,       // 3 回
    ReturnFromCall,  // 4 subroutine call
    ReturnFromCall,  // 5 event call
    NextElement,     // 6 反復
    nullptr,         // 7
    LeaveCase,       // 8 の時
    NextWhile,       // 9 ループ
};

// ---------------------------------------------------------------- conditions

// One term of a Japanese condition: up to a space, "," or "､" outside literals
// and groups, which are copied whole.
std::string ReadConditionTerm(Interpreter& in, const char*& p) {
  Interpreter::SkipBlanks(p);
  const char* start = p;
  while (*p && *p != ' ' && *p != ',' && static_cast<unsigned char>(*p) != 0xA4) {
    if (*p == '"' || *p == '`') {
      try {
        in.ReadLiteral(p);
      } catch (const ESorane& e) {
        Rewrap(in, e, SJ("条件分岐で文字列の取得に失敗。"));
      }
      continue;
    }
    if (*p == '(') {
      try {
        in.ReadGroup(p);
      } catch (const ESorane& e) {
        Rewrap(in, e, SJ("条件分岐で括弧の取得に失敗。"));
      }
      continue;
    }
    p += CharLenZ(p);
  }
  std::string term(start, p);
  while (!term.empty() && (term.back() == ' ' || term.back() == ',' ||
                           static_cast<unsigned char>(term.back()) == 0xA4))
    term.pop_back();
  return term;
}

// "Aが" + "5以上" etc.: the comparison the second term names.
std::string Comparison(const std::string& left, const std::string& right) {
  static const struct {
    const char* tail;
    const char* op;
  } kTails[] = {{"以上", ">="}, {"以下", "<="}, {"と等しい", "="}};
  for (const auto& t : kTails) {
    const std::string& tail = Utf8ToSjis(t.tail);
    if (EndsWithChar(right, tail)) return left + t.op + WithoutTail(right, tail);
  }
  return left + "=" + right;
}

// What reading a もし statement notes for its record: the line number that the
// line breaks read so far left, and whether the reading may be recorded.
struct BranchNotes {
  int line = BranchRecord::kLineKept;
  bool recordable = true;
  // Where the block last read begins (after the blanks and the line break
  // before it), and the line number then.
  const char* block_start = nullptr;
  int block_line = BranchRecord::kLineKept;
};

// ReadLineBreak, noting the line number it leaves.
void ReadNotedBreak(Interpreter& in, const char*& p, BranchNotes* notes) {
  in.ReadLineBreak(p);
  if (notes) notes->line = in.S.LineNo;
}

// The condition text of もし: from the position up to the keyword that ends it,
// or up to a line break after which a keyword must begin the next line.
// Literals are skipped whole, so "なら" inside a string does not end it.
std::string ScanCondition(Interpreter& in, BranchNotes* notes) {
  if (in.S.ExecPos.None()) in.Raise(SJ("条件分岐の終端文字を認識できませんでした。"));
  const char* p = in.S.ExecPos.p;
  Interpreter::SkipBlanks(p);
  const char* start = p;
  std::string cond;
  for (;;) {
    if (AtConditionEnd(p)) break;
    if (*p == '\0') in.Raise(SJ("条件分岐の終端文字を認識できませんでした。"));
    if (IsLineBreak(*p)) {
      cond.append(start, p);
      ReadNotedBreak(in, p, notes);
      Interpreter::SkipBlanks(p);
      if (!AtConditionEnd(p)) in.Raise(SJ("条件分岐の終端文字を認識できませんでした。"));
      start = p;
      break;
    }
    if (*p == '"' || *p == '`') {
      in.ReadLiteral(p);
      continue;
    }
    p += CharLenZ(p);
  }
  cond.append(start, p);
  in.S.ExecPos.p = p;
  return cond;
}

// ---------------------------------------------------------------- cases

bool CaseMatches(Interpreter& in, const std::string& x) {
  const std::string v = in.S.SwitchValue;  // a copy: evaluating X may run a label
  if (v == TSoraneBase::NoSwitch()) return false;
  if (x == SJ("その他")) return true;
  if (EndsWithChar(x, SJ("以上")))
    return ParseNumber(v) >= ParseNumber(in.Evaluate(WithoutTail(x, SJ("以上"))));
  if (EndsWithChar(x, SJ("以下")))
    return ParseNumber(v) <= ParseNumber(in.Evaluate(WithoutTail(x, SJ("以下"))));
  return in.Evaluate(x) == v;
}

// ---------------------------------------------------------------- 飛ぶ

// Byte offset of the label line "*name" CR inside a block copy, or npos. Like
// the label scan, the "*" must start its line (after spaces, TABs or the line
// mark), so "3*name" at a line end is not a label.
size_t FindLabelLine(std::string_view body, const std::string& name) {
  const std::string needle = "*" + name + "\r";
  long long from = 1;
  while (size_t at = PosFrom(needle, body, from)) {
    size_t star = at - 1;
    size_t b = star;
    while (b > 0 && (body[b - 1] == ' ' || body[b - 1] == '\t')) --b;
    if (b == 0 || body[b - 1] == '\t' || body[b - 1] == '\n' || body[b - 1] == '\r' ||
        body[b - 1] == ':')
      return star;
    from = static_cast<long long>(at) + 1;
  }
  return std::string::npos;
}

void PopAbove(Interpreter& in, int keep) {
  TRunControl r;
  while (in.S.RunStack.Count() > keep && in.S.RunStack.Pop(r)) Discard(in, r);
}

// ---------------------------------------------------------------- commands

void ReadBlockNoted(Interpreter& in, TRunControl& r, BranchNotes* notes);
void ReadBlockFrom(Interpreter& in, TRunControl& r, const char* p, BranchNotes* notes);
void ReadBranches(Interpreter& in, bool has_keyword, BranchRecord* record, BranchNotes* notes);

void SetNotedLine(Interpreter& in, int line) {
  if (line != BranchRecord::kLineKept) in.S.LineNo = line;
}

void SetCondResult(Interpreter& in, const std::string& v) {
  // A comparison gives "1" or "0"; any other text is read as an integer.
  if (v.size() == 1 && (v[0] == '0' || v[0] == '1')) {
    in.S.CondResult = v[0] == '1' ? 1 : 0;
    return;
  }
  long long n = 0;
  in.S.CondResult = TryParseInteger(v, n) && n == 1 ? 1 : 0;
}

// Whether a number result that is not a whole number reads as "1".
[[gnu::noinline]] bool ReadsAsOne(Number n) {
  NumberText written;
  return n == 1 || (n != 0 && FormatNumber(n, written) == "1");
}

// The same for the calculation of `condition`: a number result is judged
// without its text where the number alone decides (a whole number is written
// "1" only when it is 1).
// (Inlined: a もし run from its record pays no call for it.)
[[gnu::always_inline]] inline void SetCondResultOf(Interpreter& in, const std::string& condition,
                                                   std::shared_ptr<void>* compiled) {
  std::string text;
  NumberResult result;
  if (!CalculateCondition(in, condition, *compiled, text, result)) return SetCondResult(in, text);
  in.S.CondResult = (result.is_whole ? result.whole == 1 : ReadsAsOne(result.value)) ? 1 : 0;
}

}  // namespace

static bool ReadNestedBlock(Interpreter& in, const TRunControl* top, TRunControl& r,
                            const char*& p);
[[gnu::always_inline]] static inline const char* CopyOfBlock(Interpreter& in, TRunControl& r,
                                                             const char* p, BlockRecord& b,
                                                             const char* text_end);
static BlockRecord* BranchBlock(Interpreter& in, const BranchRecord& r, bool then, const char* at,
                                const char* p, const char* text_end);
static BlockRecord* OwnBranchBlock(Interpreter& in, const BranchRecord& r,
                                   std::unique_ptr<BlockRecord>& own, const char* at, const char* p,
                                   const char* text_end);

// The block of the もし record `record` (read at `at`) chosen to run, at p,
// when it runs in place in the running copy or was read here before: its
// record of `kind` is made on the stack itself and left to the position after
// the statement, `exit`, with the line number `exit_line`. False, with nothing
// changed, for a block that is read as usual.
static bool EnterRecordedBlock(Interpreter& in, const BranchRecord& record, RunKind kind,
                               const char* at, const char* p, const char* exit, int exit_line) {
  TSoraneBase& S = in.S;
  TRunControlStack& stack = S.RunStack;
  TRunControl& r = stack.Emplace();
  try {
    const char* after = p;
    // (Only a block read in place in the running copy is sealed: a copy of
    // its own ends where the block does. A group is nested in a copy only
    // when the record below runs one: a label's text is not.)
    const TRunControl* below = stack.Count() > 1 ? stack.At(stack.Count() - 2) : nullptr;
    if (*p == '(' && below && below->Block && ReadNestedBlock(in, below, r, after)) {
      SealNestedBlock(r);
    } else {
      const char* text_end = TextEnd(S.ExecPos);
      BlockRecord* b = BranchBlock(in, record, kind == kRunThen, at, p, text_end);
      if (!b) {
        stack.DropTop();
        return false;
      }
      CopyOfBlock(in, r, p, *b, text_end);
    }
    // (A branch record is left through its ExitPos; its ReturnPos is not read.)
    r.Kind = kind;
    r.SavedSource = S.SourceName;
    S.ExecPos.p = exit;
    SetNotedLine(in, exit_line);
  } catch (...) {
    stack.DropTop();
    throw;
  }
  // The record takes over the text the position leaves.
  r.ExitPos.p = exit;
  r.ExitPos.text = std::move(S.ExecPos.text);
  S.ExecPos.text = std::shared_ptr<const std::string>(r.Body);  // (it holds nothing now)
  S.ExecPos.p = r.BodyBegin ? r.BodyBegin : r.Body->c_str();
  return true;
}

// The block of the もし record `record` (read at `at`) chosen to run, at p,
// read as usual: it was not read here before. (Out of RunRecordedBranches,
// which then needs no room for a record of its own.)
[[gnu::noinline]] static void ReadChosenBlock(Interpreter& in, const BranchRecord& record,
                                              RunKind kind, const char* at, const char* p) {
  TSoraneBase& S = in.S;
  TRunControl block;
  block.Kind = kind;
  block.SavedSource = S.SourceName;
  ReadBlockFrom(in, block, p, nullptr);
  S.ExecPos.p = at + record.end;
  SetNotedLine(in, record.end_line);
  block.ExitPos = S.ExecPos;
  in.RunBlock(std::move(block));
}

// A もし statement whose record holds at the position: the condition is
// calculated from its operator form, and only the chosen block is read. The
// line number is set as reading the statement would set it at each point.
void RunRecordedBranches(Interpreter& in, const BranchRecord& r) {
  TSoraneBase& S = in.S;
  const char* at = S.ExecPos.p;
  const std::string* text = S.ExecPos.text.get();
  const char* condition_end = at + r.condition_end;
  S.ExecPos.p = condition_end;
  SetNotedLine(in, r.condition_line);
  const uint64_t calls = in.CallsMade;
  SetCondResultOf(in, r.converted, &r.compiled);
  // The calculation may have run statements; unless all is as it was, the
  // blocks are read as usual.
  if (S.ExecPos.p != condition_end || S.ExecPos.text.get() != text ||
      (in.CallsMade != calls && !HoldsRecord(r, at, BoundsOf(S.ExecPos)))) {
    in.Branches(true);
    return;
  }
  RunKind kind = kRunThen;
  uint32_t block_at = 0;
  if (S.CondResult == 1 && r.has_then) {
    block_at = r.then_at;
    SetNotedLine(in, r.then_line);
  } else if (S.CondResult == 0 && r.has_else) {
    kind = kRunElse;
    block_at = r.else_at;
    SetNotedLine(in, r.else_line);
  } else {
    S.ExecPos.p = at + r.end;
    SetNotedLine(in, r.end_line);
    return;
  }
  S.ExecPos.p = at + block_at;
  if (!EnterRecordedBlock(in, r, kind, at, at + block_at, at + r.end, r.end_line))
    ReadChosenBlock(in, r, kind, at, at + block_at);
  S.CondResult = -1;
}

namespace {

// Bytes after a statement that reading it may look at for a keyword.
constexpr size_t kKeywordLookahead = 10;

void CmdIf(Call& c) {
  Interpreter& in = c.in;
  TSoraneBase& S = in.S;
  if (in.Statements && !S.ExecPos.None()) {
    if (std::shared_ptr<const BranchRecord> r =
            in.Statements->FindBranch(S.ExecPos.p, BoundsOf(S.ExecPos))) {
      RunRecordedBranches(in, *r);
      return;
    }
  }
  const char* at = S.ExecPos.p;
  const std::string* text = S.ExecPos.text.get();
  BranchNotes notes;
  std::string cond = ScanCondition(in, &notes);
  const char* condition_end = S.ExecPos.p;
  if (!in.Statements) {
    SetCondResult(in, in.Calculate(in.ConvertCondition(cond)));
    in.Branches(true);
    return;
  }
  // The operator form of the condition is kept by the record made below.
  auto record = std::make_shared<BranchRecord>();
  record->at = at;
  record->condition_end = static_cast<uint32_t>(condition_end - at);
  record->condition_line = notes.line;
  record->converted = in.ConvertCondition(cond);
  // The condition as read, to tell whether the calculation changed it.
  std::string read(at, condition_end);
  SetCondResultOf(in, record->converted, &record->compiled);
  if (S.ExecPos.p != condition_end || S.ExecPos.text.get() != text ||
      std::memcmp(at, read.data(), read.size()) != 0) {
    in.Branches(true);
    return;
  }
  ReadBranches(in, true, record.get(), &notes);
  if (!notes.recordable) return;
  const char* end = at + record->end;
  const char* last = end;
  while (*last && static_cast<size_t>(last - end) < kKeywordLookahead) ++last;
  if (static_cast<size_t>(last - at) >= StatementCache::kLongestRecorded) return;
  record->bytes.assign(at, last + 1);
  // A block nested in a block copy runs in place, its ")" sealed with a NUL
  // meanwhile (see RunBlock): the record keeps the text as it was read.
  const TRunControl* chosen = S.RunStack.Top();
  if (chosen && IsBranchKind(chosen->Kind) && chosen->Seal && chosen->BodyEnd >= at &&
      chosen->BodyEnd < last && *chosen->BodyEnd == '\0')
    record->bytes[chosen->BodyEnd - at] = ')';
  in.Statements->RememberBranch(std::move(record));
}

void CmdSwitch(Call& c) {
  Interpreter& in = c.in;
  in.S.SwitchValue = c.Text(0);
}

void CmdFor(Call& c) {
  Interpreter& in = c.in;
  // The bounds are read from the last one back, as they always were.
  auto bound = [&](size_t slot) {
    std::optional<Number> v = c.StrictNum(slot);
    if (!v) in.Raise(SJ("\"%s\"には、数値を指定してください。"), c.cmd.Name);
    return ToInt32(*v);
  };
  int32_t last = bound(2);
  int32_t first = bound(1);
  std::string name = c.Name(0);
  // (A name read as one word is found through the answers kept for it.)
  THashNode* v = nullptr;
  if (!in.ReadsAsWord(name, v)) v = in.S.Words.FindExact(name);
  if (!v)
    v = in.S.Words.AddVariable(name, "", "e", 0);
  else if (v->Kind != kWordVariable)
    in.Raise(SJ("\"%s\"の実行回数カウンターには、変数を指定してください。"), c.cmd.Name);
  TRunControl r;
  r.Kind = kRunFor;
  r.Counter = first;
  r.Limit = last;
  r.CounterWord = v;
  r.CounterGeneration = in.S.Words.Generation();
  r.Condition = name;
  in.ReadBlock(r);
  if (last < first) return;
  SetCounter(v, first);
  in.RunBlock(std::move(r));
}

void CmdEach(Call& c) {
  Interpreter& in = c.in;
  std::string raw = c.Raw(0);
  std::string text;
  // A variable's lines are read from its value: reading the block runs nothing.
  const std::string* lines_of = &text;
  if (THashNode* w = in.S.Words.FindExact(raw)) {
    if (w->Kind == kWordHash) {
      if (w->Elements)
        for (THashNode* e : w->Elements->AllNodes()) text += e->Name + "\r\n";
    } else {
      lines_of = &w->Value();
    }
  } else {
    text = in.Evaluate(raw);
  }
  TRunControl r;
  r.Kind = kRunEach;
  in.ReadBlock(r);
  auto lines = std::make_shared<std::vector<std::string>>(SplitLines(*lines_of));
  if (lines->empty()) return;
  r.Counter = 1;
  r.Limit = static_cast<int32_t>(std::min<size_t>(lines->size(), INT32_MAX));
  in.SetSore((*lines)[0], "s");
  SetCount(in, 1);
  r.Elements = std::move(lines);
  in.RunBlock(std::move(r));
}

// A backquoted condition loses its quotes; a doubled backquote inside is one.
std::string UnquoteCondition(const std::string& c) {
  if (c.size() < 2 || c.front() != '`' || c.back() != '`') return c;
  std::string out;
  for (size_t i = 1; i + 1 < c.size(); ++i) {
    out += c[i];
    if (c[i] == '`' && c[i + 1] == '`') ++i;
  }
  return out;
}

void CmdWhile(Call& c) {
  Interpreter& in = c.in;
  std::string cond = TConvToHalf::ConvertText(c.Raw(0));
  TRunControl r;
  r.Kind = kRunWhile;
  in.ReadBlock(r);
  if (cond.empty() || cond == "``") return;
  cond = UnquoteCondition(cond);
  if (WhileCondition(in, cond, r.ConditionCompiled) == 0) return;
  r.Counter = 1;
  r.Limit = -1;
  r.Condition = std::move(cond);
  SetCount(in, 1);
  in.RunBlock(std::move(r));
}

// 抜ける: a branch or case record is left together with the record below it. The
// record then in hand decides where to go: after a loop, back from a call, or
// after a branch (so inside two nested もし it leaves just the two branches).
void CmdBreak(Call& c) {
  Interpreter& in = c.in;
  TRunControl r;
  if (!in.S.RunStack.Pop(r)) return;
  if (IsBranchKind(r.Kind)) {
    TRunControl below;
    if (in.S.RunStack.Pop(below)) {
      Discard(in, r);
      r = std::move(below);
    }
  }
  Discard(in, r);
  if (IsCallKind(r.Kind)) {
    in.S.ExecPos = r.ReturnPos;
    in.S.SourceName = r.SavedSource;
  } else if (IsLoopKind(r.Kind) || IsBranchKind(r.Kind)) {
    in.S.ExecPos = r.ExitPos;
  }
}

void CmdContinue(Call& c) {
  Interpreter& in = c.in;
  TRunControl r;
  if (!in.S.RunStack.Pop(r)) {
    in.S.ExecPos = TPos();
    return;
  }
  while (IsBranchKind(r.Kind) && in.S.RunStack.Count() > 0) {
    Discard(in, r);
    in.S.RunStack.Pop(r);
  }
  in.S.SourceName = r.SavedSource;
  in.S.RunStack.Push(std::move(r));
  in.CheckRunControl();
}

// 飛ぶ: the innermost open block whose copy holds the label line receives the
// jump, and the blocks above it are left. A record without a copy (a call) or
// the bottom of the stack ends the search with a jump to the label word. The
// target is settled before any record is removed, so a failed jump leaves the
// stack as it was.
void CmdJump(Call& c) {
  Interpreter& in = c.in;
  std::string name = c.Name(0);
  TRunControlStack& st = in.S.RunStack;
  int keep = 0;
  for (int i = st.Count() - 1; i >= 0; --i) {
    TRunControl r;
    st.Get(i, r);
    std::string_view body = BodyOf(r);
    if (body.empty()) {
      keep = i + 1;
      break;
    }
    size_t at = FindLabelLine(body, name);
    if (at != std::string::npos) {
      PopAbove(in, i + 1);
      in.S.ExecPos = TPos(body.data() + at, r.Body);
      return;
    }
  }
  THashNode* w = in.S.Words.FindExact(name);
  if (!w || w->Kind != kWordLabel || !w->More().RefPos) in.Raise(msg::UndefinedLabel(), name);
  PopAbove(in, keep);
  in.S.ExecPos = TPos(w->More().RefPos, w->More().RefText);
  in.S.SourceName = w->More().Owner;
}

void CmdNotAlone(Call& c) {
  c.in.Raise(SJ("条件文は、「もし～ならば」と対で使わなければなりません。"));
}

void CmdNothing(Call&) {}

// 待機: the statement loop ends; from now on only events run the script. With
// no event source (the console) the run is over. The object layer frees the
// widgets of destroyed objects once the window system has control.
void CmdWait(Call& c) {
  Interpreter& in = c.in;
  in.S.RunStack.Clear();
  in.S.ExecPos = TPos();
  ObjectsWaiting(in);
}

}  // namespace

// ---------------------------------------------------------------- interface

// The end of a block whose record is taken off the stack: its pass function
// repeats, leaves or returns. (Kept out of CheckRunControl, whose common cases
// then need no room for a record.)
[[gnu::noinline]] static void PassOfTop(Interpreter& in) {
  TRunControl r;
  if (!in.S.RunStack.Pop(r)) return;
  // A pass that fails leaves its construct: the run goes on after it (when the
  // error is ignored or handled), never at the end of a copy without a record.
  TPos leave = IsCallKind(r.Kind) ? r.ReturnPos : r.ExitPos;
  try {
    PassFn pass = r.Kind < std::size(kPasses) ? kPasses[r.Kind] : nullptr;
    if (!pass)
      in.Raise(msg::UnknownSystemError() + SJ("\"CheckRunControl\"で未定義の構文があります。"));
    pass(in, std::move(r));
  } catch (const ESorane& e) {
    in.S.ExecPos = std::move(leave);
    Rewrap(in, e, SJ("実行制御でエラー。"),
           SJ(".制御スタック：") + std::to_string(in.S.RunStack.Count()));
  }
}

void Interpreter::CheckRunControl() {
  // The end of a branch: on after the もし statement (what LeaveBlock does,
  // without taking the record off first).
  if (TRunControl* top = S.RunStack.Top();
      top && (top->Kind == kRunThen || top->Kind == kRunElse)) {
    S.ExecPos = std::move(top->ExitPos);
    S.RunStack.DropBranch();
    return;
  }
  if (Expressions && PassInPlace(*this)) return;
  PassOfTop(*this);
}

// A block nested in the block copy that is running (the copy of `top`, the
// record below the new one): the group at p, read in place when it spans
// lines. p moves past its ')'.
static bool ReadNestedBlock(Interpreter& in, const TRunControl* top, TRunControl& r,
                            const char*& p) {
  if (!top || !top->Block || top->Body.get() != in.S.ExecPos.text.get()) return false;
  TBlockText& b = *top->Block;
  const char* base = b.text.data();
  if (p < base || p >= base + b.length) return false;
  size_t open = p - base, close = 0;
  if (!b.CloseOfSpanning(open, close)) return false;
  // (Each owner is copied, then moved in: a new record holds none yet, and
  // taking one over costs less than assigning a copy.)
  r.Body = std::shared_ptr<const std::string>(top->Body);
  r.Block = std::shared_ptr<TBlockText>(top->Block);
  r.BodyBegin = p + 1;
  r.BodyEnd = base + close;
  p = base + close + 1;
  return true;
}

// The line of position p, read by LineOf; the probe (when given) remembers it.
[[gnu::noinline]] static int ReadLineOf(LineProbe* probe, const char* p, const char* end,
                                        int fallback) {
  const char* mark_end = nullptr;
  int line = Interpreter::LineOf(p, end, fallback, &mark_end);
  if (probe) {
    probe->bytes.clear();
    if (mark_end && static_cast<size_t>(mark_end - p) <= kKeptBlockBytes) {
      probe->bytes.assign(p, mark_end);
      probe->line = line;
    }
  }
  return line;
}

// The line of position p, as LineOf reads it, taken from `probe` when the bytes
// up to the line mark are those it was read from; else read, and the probe
// (when given) remembers it.
[[gnu::always_inline]] static inline int ProbedLineOf(LineProbe* probe, const char* p,
                                                      const char* end, int fallback) {
  if (probe && probe->Holds(p, TextBounds{p, end})) return probe->line;
  return ReadLineOf(probe, p, end, fallback);
}

// The text of a copy, which ends with the mark of a line.
inline std::string_view CopyText(const std::string& t) {
  return t;
}
inline std::string_view CopyText(const TBlockText& t) {
  return t.text;
}

template <class Copy>
bool EndsWithMark(const Copy& copy, std::string_view mark) {
  std::string_view text = CopyText(*copy);
  return text.size() >= mark.size() &&
         SameBytes(text.data() + text.size() - mark.size(), mark.data(), mark.size());
}

// A copy among `copies` that nothing else holds and that ends with `mark`
// (any, when every copy ends with the mark wanted: the mark is not given).
// It is looked for from the copy below `last`, the place of the one last
// taken, down and round from the last made: in a recursion the calls still
// running hold the copies taken last, and the one below them is free.
// (Inlined: its usual search is one step.)
template <class Copy>
[[gnu::always_inline]] inline Copy FreeCopy(std::vector<Copy>& copies, const std::string_view* mark,
                                            size_t& last) {
  const size_t n = copies.size();
  size_t at = last < n ? last : 0;
  for (size_t left = n; left > 0; --left) {
    at = (at == 0 ? n : at) - 1;
    Copy& copy = copies[at];
    if (copy.use_count() == 1 && (!mark || EndsWithMark(copy, *mark))) {
      last = at;
      return copy;
    }
  }
  return nullptr;
}

// Gives r the block text `block`, a copy of a block spanning lines.
[[gnu::always_inline]] static inline void TakeBlockText(TRunControl& r,
                                                        std::shared_ptr<TBlockText> block) {
  r.Body = std::shared_ptr<const std::string>(block, &block->text);
  r.BodyBegin = block->text.data();
  r.BodyEnd = r.BodyBegin + block->length;
  r.Block = std::move(block);
}

// The copy of the block of record b, at p, found by the mark of its line (the
// line of a block within one line, else the line after it), or a new one.
[[gnu::noinline]] static void MarkedCopyOfBlock(Interpreter& in, TRunControl& r, const char* p,
                                                BlockRecord& b, const char* after,
                                                const char* text_end) {
  std::string_view content(b.bytes);
  content = b.group ? content.substr(1, content.size() - 2) : content.substr(0, content.size() - 1);
  // (A block whose line is known has no copy free: its copies all end with
  // the mark of that line.)
  if (b.one_line) {
    LineMark mark(b.line_known ? b.first_line.line
                               : ProbedLineOf(&b.first_line, p, text_end, in.S.LineNo));
    const std::string_view view = mark.View();
    std::shared_ptr<const std::string> copy =
        b.line_known ? nullptr : FreeCopy(b.lines, &view, b.last_taken);
    if (!copy) {
      std::string body;
      body.reserve(content.size() + view.size());
      body.append(content);
      body.append(view);
      copy = std::make_shared<const std::string>(std::move(body));
      if (KeepsAnother(b.lines, content.size())) b.lines.push_back(copy);
    }
    r.Body = std::move(copy);
    return;
  }
  // The mark of the last line, after the NUL that ends the copy. (The line of
  // the block's start only stands in when no mark follows the block.)
  int last_line = b.line_known || b.last_line.Holds(after, TextBounds{after, text_end})
                      ? b.last_line.line
                      : ProbedLineOf(&b.last_line, after, text_end,
                                     ProbedLineOf(&b.first_line, p, text_end, in.S.LineNo));
  const LineMark mark(last_line);
  const std::string_view view = mark.View();
  std::shared_ptr<TBlockText> block =
      b.line_known ? nullptr : FreeCopy(b.copies, &view, b.last_taken);
  if (!block) {
    block = MakeBlockText(std::string(content), last_line);
    // Copies in use at once are as many as the calls running the block
    // (recursion); only so many are kept.
    if (KeepsAnother(b.copies, content.size())) b.copies.push_back(block);
  }
  TakeBlockText(r, std::move(block));
}

// The block of record b, at p: a copy of it that nothing holds any more (or a
// new one) becomes the block text of r (its Body and, for a block spanning
// lines, BodyBegin, BodyEnd and Block). Returns the position after the block,
// as reading it would leave it.
// (Inlined: a block run again from its record is usually given its copy in
// a few steps.)
[[gnu::always_inline]] static inline const char* CopyOfBlock(Interpreter& in, TRunControl& r,
                                                             const char* p, BlockRecord& b,
                                                             const char* text_end) {
  const char* after = p + b.bytes.size() - (b.group ? 0 : 1);
  // The copies of a block whose line is known all end with the mark of that
  // line: any free one will do.
  if (b.line_known) {
    if (b.one_line) {
      if (std::shared_ptr<const std::string> copy = FreeCopy(b.lines, nullptr, b.last_taken)) {
        r.Body = std::move(copy);
        return after;
      }
    } else if (std::shared_ptr<TBlockText> block = FreeCopy(b.copies, nullptr, b.last_taken)) {
      TakeBlockText(r, std::move(block));
      return after;
    }
  }
  MarkedCopyOfBlock(in, r, p, b, after, text_end);
  return after;
}

// A block that was read at p before becomes the block text of r (see
// CopyOfBlock). Returns the position after the block, as reading it would
// leave it; null when the block was not read here before.
static const char* RecordedCopy(Interpreter& in, TRunControl& r, const char* p,
                                const char* text_end) {
  if (!in.Statements) return nullptr;
  BlockRecord* b = in.Statements->FindBlock(p, BoundsOf(in.S.ExecPos));
  return b ? CopyOfBlock(in, r, p, *b, text_end) : nullptr;
}

// The `length` bytes at p lie within the bytes of the もし record r read at
// `at`, and are those bytes.
static bool WithinBranch(const BranchRecord& r, const char* at, const char* p, const char* bytes,
                         size_t length) {
  const size_t offset = static_cast<size_t>(p - at);
  return offset <= r.bytes.size() && length <= r.bytes.size() - offset &&
         std::memcmp(r.bytes.data() + offset, bytes, length) == 0;
}

// The record of the block at p that the もし record r (read at `at`) chose:
// its own once the block ran from it; else the block's record in the cache,
// which becomes its own (with the copies made of it) when the block's bytes
// and the bytes its line is read from lie within the statement's: a record
// that holds then holds them too. Null when the block was not read here.
static BlockRecord* BranchBlock(Interpreter& in, const BranchRecord& r, bool then, const char* at,
                                const char* p, const char* text_end) {
  std::unique_ptr<BlockRecord>& own = then ? r.then_block : r.else_block;
  if (own) return own.get();
  return OwnBranchBlock(in, r, own, at, p, text_end);
}

// BranchBlock for a block that has no record of its own yet, `own`. (Out of
// the path of a もし run from its record, which finds its own at once.)
[[gnu::noinline]] static BlockRecord* OwnBranchBlock(Interpreter& in, const BranchRecord& r,
                                                     std::unique_ptr<BlockRecord>& own,
                                                     const char* at, const char* p,
                                                     const char* text_end) {
  BlockRecord* b = in.Statements->FindBlock(p, BoundsOf(in.S.ExecPos));
  if (!b) return nullptr;
  const char* after = p + b->bytes.size() - (b->group ? 0 : 1);
  LineProbe& probe = b->one_line ? b->first_line : b->last_line;
  const char* probe_at = b->one_line ? p : after;
  ProbedLineOf(&probe, probe_at, text_end, in.S.LineNo);
  if (probe.bytes.empty() || !WithinBranch(r, at, p, b->bytes.data(), b->bytes.size()) ||
      !WithinBranch(r, at, probe_at, probe.bytes.data(), probe.bytes.size()))
    return b;
  own = std::make_unique<BlockRecord>();
  own->at = b->at;
  own->bytes = b->bytes;
  own->group = b->group;
  own->one_line = b->one_line;
  own->first_line = b->first_line;
  own->last_line = b->last_line;
  own->line_known = true;
  // The copies that end with the mark of its line go with it (one holder
  // each, so they are run again, and the statements in them keep their
  // records).
  const LineMark mark(probe.line);
  auto take = [&mark](auto& from, auto& to) {
    for (auto& copy : from)
      if (EndsWithMark(copy, mark.View())) to.push_back(std::move(copy));
    std::erase(from, nullptr);
  };
  take(b->copies, own->copies);
  take(b->lines, own->lines);
  return own.get();
}

// A block that was read at p before becomes the block of r (see RecordedCopy),
// and p moves past it, as reading it would. False when the block was not read
// here before.
static bool ReadRecordedBlock(Interpreter& in, TRunControl& r, const char*& p,
                              const char* text_end) {
  const char* after = RecordedCopy(in, r, p, text_end);
  if (!after) return false;
  r.ReturnPos = in.S.ExecPos.At(*p == '(' ? p + 1 : p);
  p = after;
  r.ExitPos = in.S.ExecPos.At(p);
  in.S.ExecPos = r.ExitPos;
  return true;
}

// ReadBlock, noting for a branch record the line break it reads and whether
// the block may be skipped by a record (a rest of line continued with "&" on
// the next line sets the line number while it is read: never skipped).
namespace {
void ReadBlockNoted(Interpreter& in, TRunControl& r, BranchNotes* notes) {
  TSoraneBase& S = in.S;
  r.SavedSource = S.SourceName;
  if (S.ExecPos.None()) {
    r.Body = EmptyText();
    if (notes) notes->recordable = false;
    return;
  }
  const char* p = S.ExecPos.p;
  Interpreter::SkipBlanks(p);
  if (IsLineBreak(*p)) {
    ReadNotedBreak(in, p, notes);
    Interpreter::SkipBlanks(p);
  }
  if (notes) {
    notes->block_start = p;
    notes->block_line = notes->line;
  }
  ReadBlockFrom(in, r, p, notes);
}

// The block that begins at p (SavedSource set).
void ReadBlockFrom(Interpreter& in, TRunControl& r, const char* p, BranchNotes* notes) {
  TSoraneBase& S = in.S;
  const char* start = p;
  if (*p == '(' && ReadNestedBlock(in, S.RunStack.Top(), r, p)) {
    r.ReturnPos = S.ExecPos.At(start + 1);
    r.ExitPos = S.ExecPos.At(p);
    S.ExecPos = r.ExitPos;
    return;
  }
  const char* text_end = TextEnd(S.ExecPos);
  // (A recorded rest of line was read byte for byte: it never went on to the
  // next line.)
  if (ReadRecordedBlock(in, r, p, text_end)) return;
  int line = Interpreter::LineOf(p, text_end, S.LineNo);
  std::string body;
  try {
    if (*p == '(') {
      r.ReturnPos = S.ExecPos.At(p + 1);
      body = in.ReadGroup(p);
    } else {
      r.ReturnPos = S.ExecPos.At(p);
      body = in.RestOfStatement(p);
    }
  } catch (const ESorane&) {
    // A block that cannot be read (an unclosed group) is skipped to the end of
    // its line, so a run that goes on after the error goes on at the next line.
    while (*start && !IsLineBreak(*start)) start += CharLenZ(start);
    S.ExecPos.p = start;
    throw;
  }
  if (notes && *start != '(' && std::find_if(start, p, IsLineBreak) != p) notes->recordable = false;
  // A copy within one line gets that line's mark, so errors inside it report
  // the line of the block and not the line before it. A longer copy keeps the
  // mark of its last line out of sight, after its NUL, for the same reason.
  // A group, or a rest of line read byte for byte, is remembered with its copy.
  BlockRecord* record = nullptr;
  if (in.Statements && static_cast<size_t>(p - start) <= kKeptBlockBytes) {
    if (*start == '(')
      record = &in.Statements->RememberBlock(start, std::string(start, p));
    else if (*p && std::string_view(start, p - start) == body)
      record = &in.Statements->RememberBlock(start, std::string(start, p + 1));
    if (record) record->group = *start == '(';
  }
  if (body.find_first_of("\r\n") == std::string::npos) {
    body.append(LineMark(line).View());
    r.Body = std::make_shared<const std::string>(std::move(body));
    if (record) {
      record->one_line = true;
      record->lines.push_back(r.Body);
    }
  } else {
    auto block = MakeBlockText(std::move(body), Interpreter::LineOf(p, text_end, line));
    if (record) record->copies.push_back(block);
    r.Body = std::shared_ptr<const std::string>(block, &block->text);
    r.BodyBegin = block->text.data();
    r.BodyEnd = r.BodyBegin + block->length;
    r.Block = std::move(block);
  }
  r.ExitPos = S.ExecPos.At(p);
  S.ExecPos = r.ExitPos;
}
}  // namespace

void Interpreter::ReadBlock(TRunControl& r) {
  ReadBlockNoted(*this, r, nullptr);
}

void Interpreter::RunBlock(TRunControl&& r) {
  if (!r.Body) r.Body = EmptyText();
  const char* begin = r.BodyBegin ? r.BodyBegin : r.Body->c_str();
  SealNestedBlock(r);
  TPos start(begin, r.Body);
  S.RunStack.Push(std::move(r));
  S.ExecPos = std::move(start);
}

TPos Interpreter::KeptPosition(const TPos& pos) {
  const TRunControl* top = S.RunStack.Top();
  if (pos.None() || !top || !top->Seal || top->Body.get() != pos.text.get() ||
      pos.p < top->BodyBegin || pos.p > top->BodyEnd)
    return pos;
  // The byte before the position comes along: a line break after "," reads
  // it to know that the statement goes on.
  const char* from = pos.p > top->BodyBegin ? pos.p - 1 : pos.p;
  std::string rest(from, top->BodyEnd);
  int last_line = LineOf(top->BodyEnd, TextEnd(pos), S.LineNo);
  rest += '\0';
  rest += "\r\n" + std::to_string(last_line) + ":";
  auto copy = std::make_shared<const std::string>(std::move(rest));
  return TPos(copy->c_str() + (pos.p - from), copy);
}

void Interpreter::ConditionForm() {
  if (S.ArgStack.Empty()) Raise(msg::BadSyntax(), "?");
  std::string token = S.ArgStack.PopLast();
  std::string value;
  // 『Hの、X?』: the item below is the owner of a member.
  THashNode* owner = nullptr;
  if (!S.ArgStack.Empty() && EndsWithChar(S.ArgStack.Top(), SJ("の")))
    owner = S.Words.FindExact(WithoutTail(S.ArgStack.Top(), SJ("の")));
  if (owner) {
    S.ArgStack.PopLast();
    const char* m = token.c_str();
    value = MemberAccess(owner, m);
  } else {
    value = Calculate(token);
  }
  // A command read in the calculation that ended the run (戻る outside a
  // label) leaves it ended: there are no branches to read.
  if (S.ExecPos.None()) return;
  S.CondResult = ToInt64(ParseNumber(value)) != 0 ? 1 : 0;
  const char* p = S.ExecPos.p;
  SkipBlanks(p);
  if (IsLineBreak(*p)) {
    ReadLineBreak(p);
    SkipBlanks(p);
  }
  S.ExecPos.p = p;
  Branches(ThenKeyword(p) || ElseKeyword(p));
}

void Interpreter::CaseStatement(const std::string& x) {
  TRunControl r;
  r.Kind = kRunCase;
  ReadBlock(r);
  if (!CaseMatches(*this, x)) return;
  S.SwitchValue = TSoraneBase::NoSwitch();
  RunBlock(std::move(r));
}

void Interpreter::TimesStatement(const std::string& n) {
  long long count = 0;
  if (!TryParseInteger(Evaluate(n), count)) count = -1;
  TRunControl r;
  r.Kind = kRunTimes;
  ReadBlock(r);
  if (count <= 0) return;
  r.Counter = 1;
  r.Limit = static_cast<int32_t>(std::min<long long>(count, INT32_MAX));
  SetCount(*this, 1);
  RunBlock(std::move(r));
}

// Branches, noting for `record` (when given) where each block begins, where
// the statement ends and the line numbers reading left at those points.
namespace {
void ReadBranches(Interpreter& in, bool has_keyword, BranchRecord* record, BranchNotes* notes) {
  TSoraneBase& S = in.S;
  if (S.ExecPos.None()) return;
  const char*& p = S.ExecPos.p;
  Interpreter::SkipBlanks(p);
  if (IsLineBreak(*p)) {
    ReadNotedBreak(in, p, notes);
    Interpreter::SkipBlanks(p);
  }
  TRunControl then_block, else_block;
  then_block.Kind = kRunThen;
  else_block.Kind = kRunElse;
  bool has_then = false, has_else = false;
  const std::string* then_keyword = has_keyword ? ThenKeyword(p) : nullptr;
  if (!has_keyword || then_keyword) {
    if (then_keyword) {
      p += then_keyword->size();
      Interpreter::SkipBlanks(p);
    }
    ReadBlockNoted(in, then_block, notes);
    if (record && notes->block_start) {
      record->then_at = static_cast<uint32_t>(notes->block_start - record->at);
      record->then_line = notes->block_line;
    }
    has_then = true;
  }
  Interpreter::SkipBlanks(p);
  if (*p == ';') {
    ++p;
    Interpreter::SkipBlanks(p);
  }
  while (IsLineBreak(*p)) {
    ReadNotedBreak(in, p, notes);
    Interpreter::SkipBlanks(p);
  }
  if (const std::string* k = ElseKeyword(p)) {
    p += k->size();
    Interpreter::SkipBlanks(p);
    if (BeginsWith(p, SJ("もし")))
      in.Raise(SJ("もし") + SJ("を多重構造にするときは、()で範囲を括ってください。"));
    ReadBlockNoted(in, else_block, notes);
    if (record && notes->block_start) {
      record->else_at = static_cast<uint32_t>(notes->block_start - record->at);
      record->else_line = notes->block_line;
    }
    has_else = true;
  }
  if (record) {
    record->has_then = has_then;
    record->has_else = has_else;
    record->end = static_cast<uint32_t>(p - record->at);
    record->end_line = notes->line;
  }
  TRunControl* chosen = nullptr;
  if (S.CondResult == 1 && has_then) chosen = &then_block;
  if (S.CondResult == 0 && has_else) chosen = &else_block;
  if (!chosen) return;
  chosen->ExitPos = S.ExecPos;
  in.RunBlock(std::move(*chosen));
  S.CondResult = -1;
}
}  // namespace

void Interpreter::Branches(bool has_keyword) {
  ReadBranches(*this, has_keyword, nullptr, nullptr);
}

// 『Aが,5以上,かつ,Bが,3』 becomes 『A>=5 && B=3』.
std::string Interpreter::ConvertCondition(const std::string& cond) {
  std::string out;
  const char* p = cond.c_str();
  for (;;) {
    std::string t = ReadConditionTerm(*this, p);
    if (t.empty()) break;
    if (BeginsWith(t.c_str(), SJ("かつ"))) {
      out += " && " + t.substr(SJ("かつ").size());
    } else if (BeginsWith(t.c_str(), SJ("または"))) {
      out += " || " + t.substr(SJ("または").size());
    } else if (EndsWithChar(t, SJ("が"))) {
      out += Comparison(WithoutTail(t, SJ("が")), ReadConditionTerm(*this, p));
    } else {
      out += t;
    }
  }
  return out;
}

CommandTable ControlCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::Jump, "飛ぶ", "?へ", CmdJump, kPure},
      {CommandId::Then, "ならば", "", CmdNothing, kPure},
      {CommandId::Else, "違えば", "", CmdNothing, kPure},
      {CommandId::Else, "でなければ", "", CmdNothing, kPure},
      {CommandId::For, "繰り返す", "?を,?から,?まで", CmdFor, kPure},
      {CommandId::Each, "反復", "?を", CmdEach, kPure},
      {CommandId::If, "もし", "", CmdIf, kPure},
      {CommandId::ThenShort, "なら", "", CmdNotAlone, kPure},
      {CommandId::Break, "抜ける", "", CmdBreak, kPure},
      {CommandId::Switch, "条件分岐", "?で", CmdSwitch, kPure},
      {CommandId::Continue, "続ける", "", CmdContinue, kPure},
      {CommandId::While, "ループ", "?で", CmdWhile, kPure},
      {CommandId::Wait, "待機", "", CmdWait, kPure},
  };
  return kRows;
}

}  // namespace sorane
