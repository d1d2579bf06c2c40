// Commands as data: a command family exports a table of CommandRow, one row
// per registered name, beside the handlers the rows point to. A handler gets a
// Call: the bound arguments of this use of the command, read by template slot,
// and the ways of leaving a result in それ.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "text/number.h"
#include "words/command_ids.h"

namespace sorane {

class Interpreter;
class Call;
struct THashNode;

using CommandHandler = void (*)(Call& c);

// Rows of families that only compute (no files, processes, network, dialogs or
// output) are marked pure; the fuzzer, whose scripts are arbitrary bytes,
// installs only those.
constexpr bool kPure = true;
constexpr bool kActs = false;

struct CommandRow {
  CommandId Id;
  const char* Name;        // UTF-8 as written; registered folded, in CP932
  const char* Template;    // "?を,?から,?まで"; "" when the command takes nothing
  CommandHandler Handler;  // nullptr while the command is not built yet
  bool Pure;
};

using CommandTable = std::span<const CommandRow>;

// A command whose handler reads numbers, computes one number and returns it
// with Call::ReturnNumber, and does nothing else: the computation on its own,
// for an expression that has the arguments as numbers already. `args` are in
// template order. False where the handler raises an error (the caller then
// runs the handler, which reports it).
using NumericFunction = bool (*)(const Number* args, Number& result);
// A command whose handler reads one text and returns the whole number it
// measures (文字数), and does nothing else: the measure on its own.
using TextMeasure = int64_t (*)(std::string_view text);

struct NumericForm {
  CommandId Id;
  CommandHandler Handler;  // the handler the computation stands for
  NumericFunction Compute;
  size_t Arguments;  // the template is "?" (1) or "?,?" (2)
  // The result is the one argument cut toward zero to a whole number (within
  // 64 bits, below 10^15 in magnitude).
  bool Truncates = false;
  // Instead of Compute, for a command of one text argument (any one-slot
  // template).
  TextMeasure Measure = nullptr;
};

// Numeric forms are the same for every interpreter; a family's are registered
// with its command table.
void RegisterNumericForms(std::span<const NumericForm> forms);
// The form of `id` when `installed` is the handler it stands for; else null.
const NumericForm* NumericFormOf(CommandId id, CommandHandler installed);

// The arguments of one command use. The binder leaves one item per template
// slot on the argument stack; the call takes them off, so slot k is the item
// bound to the k-th "?" of the template (0 = the first). Items are evaluated
// when read, in the order the handler reads them.
class Call {
 public:
  // The most slots a command template has; the items live in the call itself,
  // so a command use allocates nothing for them.
  static constexpr size_t kMaxSlots = 6;

  // (Many commands take no slot, 戻る and 引数取得 among them: those take
  // nothing off the stack and destroy nothing.)
  // (No parameter is named "slots": Qt code includes this header.)
  Call(Interpreter& interpreter, THashNode& command, size_t slot_count)
      : in(interpreter), cmd(command) {
    if (slot_count > 0) TakeSlots(slot_count);
  }
  ~Call() {
    if (count_ > 0) DestroySlots();
  }
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  Interpreter& in;
  THashNode& cmd;  // the command word; its Name is the stored, folded name

  size_t SlotCount() const { return count_; }
  // The item as bound (a literal keeps its backquotes).
  const std::string& Raw(size_t k) const;
  // The item without surrounding backquotes: a name given as a literal.
  std::string Name(size_t k) const;
  // The item's value through the expression evaluator.
  std::string Text(size_t k);
  Number Num(size_t k);
  // Slot k's value as a number when all of it reads as one (StrictNumber of
  // Text(k)); nothing otherwise.
  std::optional<Number> StrictNum(size_t k);
  // The value of slot k read in place when the item is written as just the
  // name of a variable (what Text(k) gives, the result type set as Text(k)
  // sets it); null for anything else, which Text(k) evaluates.
  const std::string* ValueInPlace(size_t k);
  // The same without setting the result type.
  const std::string* VariableInPlace(size_t k);
  // True when reading slot k runs nothing: a backquoted literal, digits, or a
  // word that names a variable or nothing.
  bool ReadsNothingElse(size_t k);
  long long Int(size_t k);
  // The word the item names (no folding). Missing: a new variable when
  // `create`, else "オブジェクト\"%s\"が特定できません。".
  THashNode* Word(size_t k, bool create);

  // Results. The type mark of a result matters to comparisons and assignments
  // that read it, and commands differ in which marks they set:
  // Return*: value, the result type (SoreType) and それ's own type mark;
  void Return(std::string value, const char* mark);
  void ReturnText(std::string value) { Return(std::move(value), "s"); }
  void ReturnNumber(Number v);
  void ReturnInt(long long v);
  void ReturnTruth(bool b) { Return(b ? "1" : "0", "e"); }
  // ReturnCommon: value and result type only (それ's own mark stays);
  void ReturnCommon(std::string value, const char* type = "s");
  // ReturnMarked: value and それ's own mark (the result type stays);
  void ReturnMarked(std::string value, const char* mark);
  // ReturnValueOnly: the value; every mark stays as it was.
  void ReturnValueOnly(std::string value);

  // "\"%s\"命令の引数に誤りがあります。" with this command's name.
  [[noreturn]] void BadArgument() const;

 private:
  void TakeSlots(size_t slot_count);
  void DestroySlots();
  THashNode* VariableItem(size_t k);  // the variable slot k names alone, or null
  // The text slot k's number is read from: the item itself when it is a
  // number as written, a variable's value where it is kept, else the value
  // evaluated into `room`.
  const std::string& NumberText(size_t k, std::string& room);
  void CheckSlot(size_t k) const;
  // Room for the items; only the first count_ hold a string (most commands
  // take fewer slots than the most there may be).
  union Slots {
    Slots() {}
    ~Slots() {}
    std::string item[kMaxSlots];
  } slots_;
  size_t count_ = 0;
};

}  // namespace sorane
