// The argument and result side of a command call (see command.h).
#include "runtime/command.h"

#include <array>
#include <charconv>
#include <stdexcept>

#include "runtime/interpreter.h"
#include "runtime/messages.h"
#include "text/sjis.h"

namespace sorane {

namespace {
std::array<NumericForm, kCommandIdCount> g_numeric_forms{};
}  // namespace

void RegisterNumericForms(std::span<const NumericForm> forms) {
  for (const NumericForm& f : forms) g_numeric_forms[static_cast<size_t>(f.Id)] = f;
}

const NumericForm* NumericFormOf(CommandId id, CommandHandler installed) {
  auto i = static_cast<size_t>(id);
  if (i >= g_numeric_forms.size()) return nullptr;
  const NumericForm& f = g_numeric_forms[i];
  return (f.Compute || f.Measure) && f.Handler == installed ? &f : nullptr;
}

void Call::TakeSlots(size_t slots) {
  auto& items = in.S.ArgStack.Items();
  if (slots > kMaxSlots) throw std::logic_error("command template with too many slots");
  if (slots > items.size()) slots = items.size();
  size_t first = items.size() - slots;
  for (size_t k = 0; k < slots; ++k) {
    new (&slots_.item[k]) std::string(std::move(items[first + k]));
    count_ = k + 1;  // (a string is made whole or not at all)
  }
  items.resize(first);
}

void Call::DestroySlots() {
  for (size_t k = 0; k < count_; ++k) slots_.item[k].~basic_string();
}

void Call::CheckSlot(size_t k) const {
  // Rows and handlers sit side by side; a handler that reads past its
  // template is a fault of this program, not of the script.
  if (k >= count_) throw std::logic_error("command handler reads past its template");
}

const std::string& Call::Raw(size_t k) const {
  CheckSlot(k);
  return slots_.item[k];
}

std::string Call::Name(size_t k) const {
  return StripBackquotes(Raw(k));
}

std::string Call::Text(size_t k) {
  return in.Evaluate(Raw(k));
}

THashNode* Call::VariableItem(size_t k) {
  THashNode* w = nullptr;
  if (!in.ReadsAsWord(Raw(k), w) || !w || w->Kind != kWordVariable) return nullptr;
  return w;
}

const std::string* Call::ValueInPlace(size_t k) {
  THashNode* w = VariableItem(k);
  if (!w) return nullptr;
  SetTypeMark(in.S.SoreType, w->TypeMark);
  return &w->Value();
}

const std::string* Call::VariableInPlace(size_t k) {
  THashNode* w = VariableItem(k);
  return w ? &w->Value() : nullptr;
}

bool Call::ReadsNothingElse(size_t k) {
  const std::string& item = Raw(k);
  if (item.size() >= 2 && item[0] == '`')
    return item.back() == '`' && item.find('`', 1) == item.size() - 1;
  if (!item.empty() && item.find_first_not_of("0123456789") == std::string::npos) return true;
  THashNode* w = nullptr;
  return in.ReadsAsWord(item, w) && (!w || w->Kind == kWordVariable);
}

const std::string& Call::NumberText(size_t k, std::string& room) {
  const std::string& raw = Raw(k);
  if (in.ReadsAsNumberLiteral(raw)) return raw;  // (read without the copy)
  if (const std::string* value = ValueInPlace(k)) return *value;
  room = Text(k);
  return room;
}

Number Call::Num(size_t k) {
  // As NumberText reads it; a variable's number stored as one is that number.
  if (!in.ReadsAsNumberLiteral(Raw(k))) {
    if (THashNode* w = VariableItem(k)) {
      SetTypeMark(in.S.SoreType, w->TypeMark);
      Number stored;
      return w->StoredNumber(stored) ? stored : ParseNumber(w->Value());
    }
  }
  std::string room;
  return ParseNumber(NumberText(k, room));
}

std::optional<Number> Call::StrictNum(size_t k) {
  // Digits alone (a loop's bounds) are a number literal, read at once.
  const std::string& raw = Raw(k);
  long long whole;
  if (in.Expressions && !raw.empty() && raw.size() <= 18 && ReadDecimalDigits(raw, whole)) {
    SetTypeMark(in.S.SoreType, "e");
    return static_cast<Number>(whole);
  }
  std::string room;
  return StrictNumber(NumberText(k, room));
}

long long Call::Int(size_t k) {
  return ToInt64(Num(k));
}

THashNode* Call::Word(size_t k, bool create) {
  std::string name = Name(k);
  if (THashNode* w = in.S.Words.FindExact(name)) return w;
  if (!create) in.Raise(msg::ObjectNotFound(), name);
  return in.AddVariable(name);
}

void Call::Return(std::string value, const char* mark) {
  in.S.SetSore(std::move(value), mark);
  SetTypeMark(in.S.Fast.Sore->TypeMark, mark);
}

void Call::ReturnNumber(Number v) {
  // Written into それ's own room (most results need no new one).
  in.S.Fast.Sore->SetNumber(v);
  SetTypeMark(in.S.SoreType, "e");
  SetTypeMark(in.S.Fast.Sore->TypeMark, "e");
}

void Call::ReturnInt(long long v) {
  // All its digits: below 10^15 as the number format writes it, kept as a
  // number; beyond, written into それ's own room.
  if (WrittenWithAllDigits(v)) {
    in.S.Fast.Sore->SetInteger(v);
  } else {
    char digits[24];
    char* end = std::to_chars(digits, digits + sizeof digits, v).ptr;
    in.S.Fast.Sore->ValueToWrite().assign(digits, end);
  }
  SetTypeMark(in.S.SoreType, "e");
  SetTypeMark(in.S.Fast.Sore->TypeMark, "e");
}

void Call::ReturnCommon(std::string value, const char* type) {
  in.S.SetSore(std::move(value), type);
}

void Call::ReturnMarked(std::string value, const char* mark) {
  in.S.Fast.Sore->ValueToWrite() = std::move(value);
  SetTypeMark(in.S.Fast.Sore->TypeMark, mark);
}

void Call::ReturnValueOnly(std::string value) {
  in.S.Fast.Sore->ValueToWrite() = std::move(value);
}

void Call::BadArgument() const {
  in.Raise(msg::BadArgument(), cmd.Name);
}

}  // namespace sorane
