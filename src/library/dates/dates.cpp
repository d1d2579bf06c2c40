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

// Every result sets それ's value, the result type and それ's own type mark
// (c.Return*): a call in an expression reports that mark as the result's type.

void CmdNow(Call& c) {
  c.ReturnText(FormatTime(TimeOfDay(LocalNow())));
}

void CmdToday(Call& c) {
  c.ReturnText(FormatDate(CivilFromDay(LocalNow().Day)));
}

void CmdSystemTime(Call& c) {
  c.ReturnInt(SystemMilliseconds());
}

// The weekday commands report the argument text itself in their message.
int64_t WeekdayOf(Call& c) {
  std::string text = c.Text(0);
  std::optional<DateTime> dt = ParseDateTime(text);
  if (!dt) c.in.Raise(SJ("\"%s\"命令の引数に誤りがあります。：年月日の取得に失敗"), text);
  return Weekday(dt->Day);
}

void CmdWeekday(Call& c) {
  static const char* const kNames[] = {"日", "月", "火", "水", "木", "金", "土"};
  c.ReturnText(Utf8ToSjis(kNames[WeekdayOf(c) - 1]));
}

void CmdWeekdayNumber(Call& c) {
  c.ReturnInt(WeekdayOf(c));
}

// Reads the base and the amount of the two addition commands (?に,?を): the
// amount first, then the base.
struct Addition {
  DateTime base;
  DateAmount amount;
};

Addition ReadAddition(Call& c, char separator, const std::string& bad_base) {
  std::string amount_text = Trim(c.Text(1));
  std::string base_text = Trim(c.Text(0));
  std::optional<DateTime> base = ParseDateTime(base_text);
  if (!base) c.in.Raise(bad_base, base_text);
  DateAmount amount = ParseAmount(amount_text, separator);
  if (amount.TooLarge) c.in.Raise(SJ("加算する値\"%s\"が大きすぎます。"), amount_text);
  return {*base, amount};
}

void CmdAddTime(Call& c) {
  Addition a = ReadAddition(c, ':', SJ("\"%s\"は正しい時刻ではありません。"));
  c.ReturnText(FormatTime(AddToTime(TimeOfDay(a.base), a.amount)));
}

void CmdAddDate(Call& c) {
  Addition a = ReadAddition(c, '/', SJ("\"%s\"は正しい日付ではありません。"));
  DateAddResult r = AddToDate(CivilFromDay(a.base.Day), a.amount);
  if (r.Fault == DateAddFault::Before1900) c.in.Raise(SJ("1900年以下は計算できません。"));
  if (r.Fault == DateAddFault::After9999) c.in.Raise(SJ("9999年より後は計算できません。"));
  c.ReturnText(FormatDate(r.Date));
}

// Both arguments of a difference, the later slot read first.
std::pair<DateTime, DateTime> ReadPair(Call& c) {
  std::optional<DateTime> b = ParseDateTime(c.Text(1));
  std::optional<DateTime> a = ParseDateTime(c.Text(0));
  if (!a || !b) c.in.Raise(SJ("日時の指定が不正です。"));
  return {*a, *b};
}

void CmdDaysBetween(Call& c) {
  auto [a, b] = ReadPair(c);
  c.ReturnInt(DaysBetween(a, b));
}

void CmdSecondsBetween(Call& c) {
  auto [a, b] = ReadPair(c);
  c.ReturnInt(SecondsBetween(a, b));
}

void CmdJapaneseEra(Call& c) {
  std::optional<DateTime> dt = ParseDateTime(c.Text(0));
  if (!dt) c.in.Raise(SJ("\"%s\"命令の引数に誤りがあります。日付に変換出来ません。"), c.cmd.Name);
  c.ReturnText(JapaneseEraText(CivilFromDay(dt->Day)));
}

}  // namespace

CommandTable DateCommands() {
  static constexpr CommandRow kRows[] = {
      {CommandId::Now, "今", "", CmdNow, kPure},
      {CommandId::Today, "今日", "", CmdToday, kPure},
      {CommandId::Weekday, "曜日", "?の", CmdWeekday, kPure},
      {CommandId::AddTime, "時間加算", "?に,?を", CmdAddTime, kPure},
      {CommandId::AddDate, "日付加算", "?に,?を", CmdAddDate, kPure},
      {CommandId::DaysBetween, "日数差", "?と,?の", CmdDaysBetween, kPure},
      {CommandId::SecondsBetween, "秒差", "?と,?の", CmdSecondsBetween, kPure},
      {CommandId::WeekdayNumber, "曜日を数値で得る", "?の", CmdWeekdayNumber, kPure},
      {CommandId::SystemTime, "システム時間", "", CmdSystemTime, kPure},
      {CommandId::JapaneseEra, "和暦に変換", "?を", CmdJapaneseEra, kPure},
  };
  return kRows;
}

}  // namespace sorane
