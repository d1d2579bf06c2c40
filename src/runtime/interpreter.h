// The interpreter: the statement loop that walks the preprocessed program text,
// the argument binder, the expression evaluator, control structures, labels as
// functions and the error routine, all working on one TSoraneBase.
//
// Files: preprocess.cpp (source text, literals, labels, 取り込む), statement.cpp
// (loop, tokens, suffixes, binding, dispatch, assignment), evaluator.cpp and
// calculator.cpp (expressions), control.cpp (blocks, branches, loops),
// functions.cpp (labels, calls, word commands), errors.cpp (reports, error routine).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/command.h"
#include "runtime/errors.h"
#include "runtime/host.h"
#include "text/number.h"
#include "words/sorane_base.h"

namespace sorane {

class Interpreter;
struct WordHint;        // runtime/statement_cache.h
class ExpressionCache;  // runtime/compiled_expression.h
struct NumberResult;    // runtime/compiled_expression.h
class StatementCache;   // runtime/statement_cache.h
struct MemberRecord;    // runtime/statement_cache.h
struct PlainWord;       // runtime/statement_cache.h
struct TokenRecord;     // runtime/statement_cache.h
struct ObjectLayer;     // runtime/events.h

struct ArgumentsRecord;  // runtime/statement_cache.h

// Characters that end a plain word.
bool IsWordDelimiter(unsigned char c);
// Characters of operators: % & * + - / < = > ^ |
bool IsOperatorChar(unsigned char c);
// Backquoted literal of `s` (every "`" doubled).
std::string Requote(std::string_view s);

// The most items binding leaves on the argument stack: more is taken for a
// runaway recursion ("スタックが一杯になりました").
inline constexpr size_t kMostBoundItems = 5000;

class Interpreter {
 public:
  explicit Interpreter(Host& host);
  ~Interpreter();

  TSoraneBase S;
  Host& host;
  std::string ErrorLog;
  // Registers the vocabulary into S.Words; installed by the library.
  void (*BuildVocabulary)(Interpreter&) = nullptr;
  // Object properties and default values; installed by the library.
  const ObjectLayer* ObjectHooks = nullptr;
  // Calls a declared DLL function word: binds its arguments and leaves the
  // result in それ. Installed by the library; without it such a word is a
  // broken link.
  void (*CallDll)(Interpreter&, THashNode*) = nullptr;
  // Makes the rows' handlers this interpreter's (all rows, or only the pure
  // ones). An id that already has another handler is a fault of the tables
  // and throws std::logic_error.
  void InstallHandlers(CommandTable rows, bool pure_only);
  // (Inline: a もし or 引数取得 run from its record asks at every pass.)
  CommandHandler HandlerOf(CommandId id) const {
    auto i = static_cast<size_t>(id);
    return i < handlers_.size() ? handlers_[i] : nullptr;
  }
  // Expressions read once and evaluated from their compiled form; null when
  // the caches are off (SORANE_NO_CACHE=1).
  std::unique_ptr<ExpressionCache> Expressions;
  // Statements read once, by position; null when the caches are off.
  std::unique_ptr<StatementCache> Statements;
  // Turns every cache of this interpreter off (the differential fuzz target
  // compares runs with and without them).
  void DisableCaches();

  // Statements executed so far; a limit > 0 stops the run (used by the fuzzer).
  uint64_t StepCount = 0;
  // Commands dispatched, DLL functions called and nested runs started so far:
  // a calculation that leaves it unchanged ran no statement.
  uint64_t CallsMade = 0;
  uint64_t StepLimit = 0;
  // Raises the stack-limit error when the native stack is nearly used up, so
  // deep recursion (labels in expressions, nested groups) ends with a message
  // instead of a crash. Called by every recursive path.
  void CheckStack();
  // Bytes of this thread's stack still free below the caller (SIZE_MAX when
  // unknown). Every depth guard keeps kStackMargin of it for the work a level
  // does between two checks.
  static size_t StackRoom();
  static constexpr size_t kStackMargin = 256u << 10;

  // ---- Run preparation (startup) ----
  // B4 of the start: clears the log and the word table, builds the vocabulary,
  // preprocesses ProgramText, stores it as source 0 and scans its labels.
  void PrepareRun();
  // Prepares and runs the whole program; errors go through the error routine.
  // Returns false when preparation failed (the error log holds the report).
  bool Start();

  // ---- Preprocessing, literals, labels (preprocess.cpp) ----
  std::string Preprocess(std::string_view source);
  void ScanLabels(const std::shared_ptr<const std::string>& text, const SourceNameRef& owner);
  // Adds a preprocessed text to the store of source texts.
  std::shared_ptr<const std::string> StoreSource(std::string text);
  // At a '"' or '`': returns the literal with its quotes and advances past it.
  std::string ReadLiteral(const char*& p);
  // At '(': returns the content without the outer parentheses, advances past ')'.
  std::string ReadGroup(const char*& p);
  // 取り込む
  void Include(const std::string& file);

  // ---- Statement loop (statement.cpp) ----
  // Runs until ExecPos is none, StopRequested, or the end of a text with an empty
  // run-control stack.
  void Run();
  // Runs `start` nested: saves the run-control stack (and sets the argument stack
  // aside), runs until ExecPos is none or the text ends, restores both and ExecPos.
  void RunNested(const TPos& start);
  void RunNested(TPos&& start);  // (a position of its own, never ExecPos)
  void Step();
  // `verb`, when known, is the word the verb on top of the argument stack names.
  void ExecuteStatement(THashNode* verb = nullptr);
  void ExecuteWord(THashNode* w);
  // Binds the items on the argument stack to w's template; returns the
  // number of slots (the items now on top, first slot lowest).
  size_t Bind(THashNode* w);
  void Dispatch(THashNode* w);
  // `statement_start`: where a plain statement (a word read by Step with
  // nothing pushed before it) began, so the assignment may be remembered.
  void Assign(std::string target, bool from_cell, const std::string& cx, const std::string& cy,
              const char* statement_start = nullptr);
  // The value text `src` of an assignment to `target` evaluated and stored
  // (no member assignment, no cell).
  // `compiled` keeps the compiled form of `src` between calls.
  // `target_word` keeps the word the target names between calls, while the
  // word table is unchanged.
  // `value_word` keeps whether `src` reads as one word.
  void AssignText(const std::string& target, const std::string& src,
                  std::shared_ptr<void>* compiled = nullptr, WordHint* target_word = nullptr,
                  PlainWord* value_word = nullptr);

  // Lexical helpers over NUL-terminated text.
  static void SkipBlanks(const char*& p);       // TAB, space, ",", "､"
  static void SkipSpaces(const char*& p);       // space and TAB only
  static std::string ReadWord(const char*& p);  // a plain word
  // The same plain word, viewed in the text.
  static std::string_view ScanWord(const char*& p);
  // At CR or LF: consumes the line break and the following line mark "N:",
  // setting LineNo.
  void ReadLineBreak(const char*& p);
  // The rest of the statement up to CR, LF or ";" (not consumed); literals and
  // groups copied whole; "&" before a line break continues on the next line.
  std::string RestOfStatement(const char*& p);
  // A numeric literal (Part of expressions' number syntax) at p; empty if none.
  static std::string ReadNumberLiteral(const char*& p);

  // ---- Results and words for the run-time's own use ----
  void SetSore(std::string&& value, const char* type) { S.SetSore(std::move(value), type); }
  void SetSore(const std::string& value, const char* type) { S.SetSore(value, type); }
  // A new variable at the current declaration level (depth of RunStack).
  THashNode* AddVariable(std::string_view name);

  // ---- Expressions (evaluator.cpp, calculator.cpp) ----
  // `compiled`, when given, keeps the compiled form of the text for the next
  // evaluation of the same text there (see ExpressionCache::TryEvaluate);
  // `word`, when given for a text that is always the same, keeps whether it
  // reads as one word and the word it names (see ReadsAsWord).
  std::string Evaluate(const std::string& text, std::shared_ptr<void>* compiled = nullptr,
                       PlainWord* word = nullptr);
  // The same into `value` (the room it has is used).
  void EvaluateInto(const std::string& text, std::shared_ptr<void>* compiled, std::string& value,
                    PlainWord* word = nullptr);
  // Evaluate without the compiled form.
  std::string EvaluateText(const std::string& text);
  // A number written as a literal, which Evaluate gives as it is with the
  // caches on: true, the result typed "e", when `text` is one.
  bool ReadsAsNumberLiteral(const std::string& text);
  std::string Term(const char*& p);
  std::string MemberAccess(THashNode* x, const char*& p);
  std::string CellAccess(THashNode* v, const char*& p);
  std::string ExpandLiteral(const std::string& text);
  // `compiled`: as for Evaluate.
  std::string Calculate(const std::string& text, std::shared_ptr<void>* compiled = nullptr);

  // ---- Control structures (control.cpp) ----
  void CheckRunControl();
  // Reads a block at ExecPos into r (ReturnPos, Body, SavedSource, ExitPos).
  void ReadBlock(TRunControl& r);
  void RunBlock(TRunControl&& r);
  // The position to come back to after an error: inside a block that runs in
  // place in its enclosing block's text, a copy of the rest of that block, so
  // the position reads on as it reads now even once the block has ended.
  TPos KeptPosition(const TPos& pos);
  // Statement forms reached from suffix analysis.
  void ConditionForm();                       // "?"
  void CaseStatement(const std::string& x);   // Xの時
  void TimesStatement(const std::string& n);  // N回
  // Branches after a condition set CondResult; `has_keyword` as for もし.
  void Branches(bool has_keyword);
  std::string ConvertCondition(const std::string& cond);

  // ---- Labels and functions (functions.cpp) ----
  void CallLabel(THashNode* label);
  // Runs a label read in an expression; returns its それ (SoreType set).
  std::string RunLabelInExpression(THashNode* label);
  // True when `text` is one word as Term reads it (not a number, literal,
  // group, sign or member "…の"), with the word it names in `named` (null
  // when none): its value is that word's.
  bool ReadsAsWord(const std::string& text, THashNode*& named);
  // The same for a text that is always the same, `kept` holding the answer
  // while the word table is unchanged.
  bool ReadsAsWord(const std::string& text, THashNode*& named, PlainWord& kept);
  // The length of the literal `text` starts with, quotes included, when its
  // value is the text between the quotes (a backquoted one, a double-quoted
  // one without escapes or embedded expressions); else 0.
  static size_t PlainLiteralLength(std::string_view text);
  // A command or DLL function read as a value (a word in an expression): its
  // value in `result`, written once the command has run.
  void RunCommandForValue(THashNode* command, std::string& result);
  // 引数取得 read as a value: true with the value it gives, which running it
  // leaves as the result (SoreType "s"), without それ set and given back;
  // false for any other command.
  bool ArgumentsForValue(THashNode* command, std::string& value);
  // The function-call form W(a, b, ...) with p at "("; returns the result with
  // SoreType set.
  std::string FunctionCall(THashNode* w, const char*& p);
  // The same with the result in `value`; with `number`, a result typed "e"
  // that was stored as a number comes back there instead, without its text
  // (true; a whole number stored as one as that whole number). `kept`, from
  // a caller whose text at p never changes while it holds it (a compiled
  // expression), keeps the record of the arguments once found, so their bytes
  // are not compared again.
  bool FunctionCall(THashNode* w, const char*& p, std::string& value, NumberResult* number,
                    std::shared_ptr<const ArgumentsRecord>* kept = nullptr);

  // ---- Errors (errors.cpp) ----
  // Formats `message` as a report line, appends it to ErrorLog and throws.
  [[noreturn]] void Raise(const std::string& message);
  [[noreturn]] void Raise(const std::string& fmt, const std::string& a, const std::string& b = {});
  // Appends the message to ErrorLog and throws it unformatted.
  [[noreturn]] void RaiseBare(const std::string& message);
  void Warn(const std::string& message);
  std::string ReportLine(const std::string& message);
  int CurrentLine();
  // The source line that holds position p of a preprocessed text that ends at
  // `end`, read from the next line mark; `fallback` when no mark follows.
  // `mark_end`, when given, is set past the ":" of the mark that was read
  // (null when none follows).
  static int LineOf(const char* p, const char* end, int fallback, const char** mark_end = nullptr);
  // The error routine of the statement loop.
  void HandleError(const std::string& message, bool language_error);
  // The error dialog with the whole log: the run goes on, goes on after the
  // debug dialog (when the user asked for it), or ends.
  void ShowErrorDialog();
  // Ends the run: stop flag, no position, the host window closes.
  void EndRun();
  // Set by a statement that ended at a line break (rule 1 of the line number).
  bool LineFromMark = false;
  // How many statement loops are running (nested runs count). Zero means the
  // script is idle: after 待機, after the end of the program, before the run.
  int RunDepth = 0;
  // Texts a call sets aside while a label runs nested, one room per level of
  // nesting, kept between calls so a long text needs no new allocation at
  // every call.
  class TextRooms {
   public:
    std::string& At(size_t level) { return level < rooms_.size() ? *rooms_[level] : Grow(level); }

   private:
    std::string& Grow(size_t level) {
      while (rooms_.size() <= level) rooms_.push_back(std::make_unique<std::string>());
      return *rooms_[level];
    }
    std::vector<std::unique_ptr<std::string>> rooms_;
  };
  // それ's value and type mark as a caller had them, two rooms a call, and how
  // many calls keep them now (see SoreKeeper).
  TextRooms SoreRooms;
  size_t SoreKept = 0;

 private:
  std::array<CommandHandler, kCommandIdCount> handlers_{};
  // The command statement being read token by token, to be remembered when it
  // ends (see TokenRecord in statement_cache.h). `start` null: not recording.
  struct TokenRecording {
    const char* start = nullptr;
    const std::string* text = nullptr;  // the text it is read in
    const char* next = nullptr;         // where its next token must begin
    std::vector<std::string> items;
    uint32_t steps = 0;
    bool literal = false;
  };
  TokenRecording recording_;
  // While a token is read: the recording it continues (null when none) and
  // where the token begins, for a verb that runs its statement at once.
  TokenRecording* token_recording_ = nullptr;
  const char* token_start_ = nullptr;
  void RecordStatementRunAtVerb(const std::string& verb);
  // The verb of the statement whose tokens were just replayed, for the byte
  // that ends that statement at `at`, while the word table has `generation`.
  struct VerbHint {
    const char* at = nullptr;
    THashNode* word = nullptr;
    uint64_t generation = 0;
  };
  VerbHint verb_hint_;
  // Line breaks read by StepLineBreakAfter, each with where reading it left
  // the position (`advance` bytes on, past the line mark and any blanks that
  // end the text) and the line number its mark gave (kNoMark: none), in the
  // program text it was read in (texts never change once made).
  struct ReadLineBreakMemo {
    static constexpr int kNoMark = INT32_MIN;
    const char* at = nullptr;
    std::weak_ptr<const std::string> text;
    uint32_t advance = 0;
    int line = kNoMark;
    bool ends_text = false;  // the position was left at the end of the text
  };
  std::array<ReadLineBreakMemo, 256> line_breaks_;
  // Verbs found by name (FindVerb), each while the word table has `generation`.
  struct KeptVerb {
    std::string name;
    THashNode* word = nullptr;
    uint64_t generation = 0;
  };
  std::array<KeptVerb, 16> kept_verbs_;
  THashNode* FindVerb(const std::string& name);
  // What the verb もし names, while the word table has `generation` (a
  // recorded もし statement checks it at every pass).
  struct {
    THashNode* word = nullptr;
    uint64_t generation = 0;
  } if_verb_;
  // Texts read as one word (ReadsAsWord), each with the answer while the
  // word table has `generation`: a command's arguments are read so at every
  // call.
  struct KeptWord {
    std::string text;
    THashNode* word = nullptr;
    uint64_t generation = 0;
    bool plain = false;
  };
  std::array<KeptWord, 16> kept_words_;
  bool ScanAsWord(const std::string& text, THashNode*& named);
  // The statement whose key token is being read, when a member assignment it
  // makes may be remembered: one pure item (the owner) pushed before the key.
  struct MemberStatement {
    const char* start = nullptr;
    const char* key = nullptr;
    const std::string* text = nullptr;
    std::string owner;
  };
  MemberStatement member_statement_;
  bool ReplayMember(const char* at, std::shared_ptr<MemberRecord> record);
  void RememberMember(const std::string& owner, const std::string& target, const char* value_at);
  // `member`, when the statement was run from its record, keeps the word the
  // owner names and the compiled form of the key between runs.
  void AssignMember(const std::string& item, const std::string& target,
                    MemberRecord* member = nullptr);
  bool AssignKeptElement(MemberRecord& member);
  THashNode* TakeVerbHint(const char* at);
  bool ReplayTokens(const char* at);
  // A replayed statement that is its verb alone, run at once by
  // RunReplayedStatement without being pushed.
  bool lone_verb_ = false;
  bool runs_at_verb_ = false;  // the replayed statement runs at its verb (no line break)
  const TokenRecord* lone_record_ = nullptr;
  // A replayed command statement whose items went on the stack bound (see
  // TokenRecord::bound): its command, run by DispatchBound; null otherwise.
  THashNode* bound_verb_ = nullptr;
  // The verb as written of a replayed statement whose verb was not pushed
  // (alone, or bound), for the error about items left over.
  std::string replayed_verb_text_;
  const std::vector<std::string>* BoundItems(TokenRecord& r);
  void DispatchBound(THashNode* verb);
  void RunHandler(THashNode* w, size_t slots);
  bool EndsRunAt(const THashNode* verb);
  bool ReplayBranch(const char* at);
  bool StepLineBreakAfter();
  bool ReadLineBreakAfter(ReadLineBreakMemo& memo);
  bool StepsMayFollow() const;
  bool BlockStatementFollows() const;
  bool LineBreakMayFollow() const;
  void RunReplayedStatement();
  THashNode* EndStatementLine();
  [[noreturn]] void RaiseItemsLeft(const std::string& verb);
  // Set by a step that read a statement's line break and ran it as well: it
  // made progress even when the statement sends the run back to where the
  // step began (戻る right after a label's call of itself returns to where it
  // stands). Points at the flag of the innermost statement loop running.
  bool* read_ahead_ = nullptr;
  void RecordToken(const char* token_start);
  // The statement being recorded ends at `end`: remembered when all its tokens
  // were recorded.
  void FinishRecording(const char* end) {
    if (recording_.start) RememberRecording(end);
  }
  void RememberRecording(const char* end);
  void StepToken(unsigned char c, const char* start);
  void SuffixAnalysis(std::string t, const char* p, bool plain, bool from_cell,
                      const std::string& cx, const std::string& cy,
                      const char* statement_start = nullptr);
  std::string ConcatTail(std::string t, const char*& p);
  bool ContinueAfterCall(const TPos& at, const char* after_call);
  void StepLiteral(const char*& p);
  bool ReadItemLiteral(const char*& p, std::string& item);
  void StepCell(const char*& p);
  void StepNumber(const char*& p);
  void MemberAssign(const std::string& target);
  void StoreAssigned(const std::string& target, std::string v, const std::string& m,
                     WordHint* target_word = nullptr);
  void StoreAssigned(THashNode* w, const std::string& target, std::string v, const std::string& m);
  void StoreNumber(const std::string& target, const NumberResult& n, WordHint* target_word);
  bool EvaluateToStore(const std::string& src, std::shared_ptr<void>* compiled, std::string& v,
                       NumberResult& n);
  THashNode* HintedWord(std::string_view target, const WordHint* hint);
  THashNode* AssignedWord(const std::string& target, WordHint* target_word);
  bool AppendInPlace(const std::string& target, std::shared_ptr<void>& compiled,
                     WordHint* target_word);
};

// printf-like %s/%d helper for messages with two arguments and the command name.
std::string QuoteName(const std::string& name);

// Where reading commands and 取り込む find a relative file: the first existing
// one among the current folder, 母艦のパス, the run-time's folder, the data
// folder, the system folder and the folder of the running script. The name
// unchanged when none exists, or when it is empty, absolute or holds a ":".
std::string ResolveFileName(Interpreter& in, std::string_view name);

}  // namespace sorane
