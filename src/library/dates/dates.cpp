// The date and time commands: the clock, weekdays, date and time addition,
// differences and the Japanese era. The date model is in dates_calendar.cpp.
#include "library/dates/dates.h"

#include "library/library.h"
#include "runtime/command.h"
#include "runtime/interpreter.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

namespace {

// Results set それ's value and type, and write the type into それ's own type
// mark (a call in an expression reports that mark as the result's type).
void SetMarked(Interpreter& in, std::string value, const char* type) {
  in.SetSore(std::move(value), type);
  in.S.Fast.Sore->TypeMark = type;
}

void SetInteger(Interpreter& in, int64_t v) {
  SetMarked(in, std::to_string(v), "e");
}

void CmdNow(Interpreter& in, THashNode&) {
  SetMarked(in, FormatTime(TimeOfDay(LocalNow())), "s");
}

void CmdToday(Interpreter& in, THashNode&) {
  SetMarked(in, FormatDate(CivilFromDay(LocalNow().Day)), "s");
}

void CmdSystemTime(Interpreter& in, THashNode&) {
  SetInteger(in, SystemMilliseconds());
}

// The weekday commands report the argument text itself in their message.
int64_t WeekdayOf(Interpreter& in) {
  std::string text = in.PopValue();
  std::optional<DateTime> dt = ParseDateTime(text);
  if (!dt) in.Raise(SJ("\"%s\"命令の引数に誤りがあります。：年月日の取得に失敗"), text);
  return Weekday(dt->Day);
}

void CmdWeekday(Interpreter& in, THashNode&) {
  static const char* const kNames[] = {"日", "月", "火", "水", "木", "金", "土"};
  SetMarked(in, Utf8ToSjis(kNames[WeekdayOf(in) - 1]), "s");
}

void CmdWeekdayNumber(Interpreter& in, THashNode&) {
  SetInteger(in, WeekdayOf(in));
}

// Reads the base and the amount of the two addition commands.
struct Addition {
  DateTime base;
  DateAmount amount;
};

Addition ReadAddition(Interpreter& in, char separator, const std::string& bad_base) {
  std::string amount_text = Trim(in.PopValue());
  std::string base_text = Trim(in.PopValue());
  std::optional<DateTime> base = ParseDateTime(base_text);
  if (!base) in.Raise(bad_base, base_text);
  DateAmount amount = ParseAmount(amount_text, separator);
  if (amount.TooLarge) in.Raise(SJ("加算する値\"%s\"が大きすぎます。"), amount_text);
  return {*base, amount};
}

void CmdAddTime(Interpreter& in, THashNode&) {
  Addition a = ReadAddition(in, ':', SJ("\"%s\"は正しい時刻ではありません。"));
  SetMarked(in, FormatTime(AddToTime(TimeOfDay(a.base), a.amount)), "s");
}

void CmdAddDate(Interpreter& in, THashNode&) {
  Addition a = ReadAddition(in, '/', SJ("\"%s\"は正しい日付ではありません。"));
  DateAddResult r = AddToDate(CivilFromDay(a.base.Day), a.amount);
  if (r.Fault == DateAddFault::Before1900) in.Raise(SJ("1900年以下は計算できません。"));
  if (r.Fault == DateAddFault::After9999) in.Raise(SJ("9999年より後は計算できません。"));
  SetMarked(in, FormatDate(r.Date), "s");
}

// Both arguments of a difference, the later slot popped first.
std::pair<DateTime, DateTime> ReadPair(Interpreter& in) {
  std::optional<DateTime> b = ParseDateTime(in.PopValue());
  std::optional<DateTime> a = ParseDateTime(in.PopValue());
  if (!a || !b) in.Raise(SJ("日時の指定が不正です。"));
  return {*a, *b};
}

void CmdDaysBetween(Interpreter& in, THashNode&) {
  auto [a, b] = ReadPair(in);
  SetInteger(in, DaysBetween(a, b));
}

void CmdSecondsBetween(Interpreter& in, THashNode&) {
  auto [a, b] = ReadPair(in);
  SetInteger(in, SecondsBetween(a, b));
}

void CmdJapaneseEra(Interpreter& in, THashNode& cmd) {
  std::optional<DateTime> dt = ParseDateTime(in.PopValue());
  if (!dt) in.Raise(SJ("\"%s\"命令の引数に誤りがあります。日付に変換出来ません。"), cmd.Name);
  SetMarked(in, JapaneseEraText(CivilFromDay(dt->Day)), "s");
}

}  // namespace

CommandTable DateCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::Now, "今", "", Popping<CmdNow>, kPure},
      {CommandId::Today, "今日", "", Popping<CmdToday>, kPure},
      {CommandId::Weekday, "曜日", "?の", Popping<CmdWeekday>, kPure},
      {CommandId::AddTime, "時間加算", "?に,?を", Popping<CmdAddTime>, kPure},
      {CommandId::AddDate, "日付加算", "?に,?を", Popping<CmdAddDate>, kPure},
      {CommandId::DaysBetween, "日数差", "?と,?の", Popping<CmdDaysBetween>, kPure},
      {CommandId::SecondsBetween, "秒差", "?と,?の", Popping<CmdSecondsBetween>, kPure},
      {CommandId::WeekdayNumber, "曜日を数値で得る", "?の", Popping<CmdWeekdayNumber>, kPure},
      {CommandId::SystemTime, "システム時間", "", Popping<CmdSystemTime>, kPure},
      {CommandId::JapaneseEra, "和暦に変換", "?を", Popping<CmdJapaneseEra>, kPure},
  };
  return kRows;
}

}  // namespace sorane
