// Dates and times of the language. A date-time is a day number counted from
// 1899-12-30 (day 0) plus the milliseconds of that day, so differences and
// additions are exact integer arithmetic. Dates are Gregorian (proleptic) from
// year 1 to 9999; times are local civil times, no time zone is involved except
// when reading the clock.
//
// Other families (for example the CSV condition language) read dates with
// ParseDateTime or ParseDateValue.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "text/number.h"

namespace sorane {

struct CivilDate {
  int Year = 1899, Month = 12, Day = 30;
};

struct CivilTime {
  int Hour = 0, Minute = 0, Second = 0, Msec = 0;
};

constexpr int64_t kMsecPerDay = 86400000;

struct DateTime {
  int64_t Day = 0;   // days since 1899-12-30, negative before it
  int64_t Msec = 0;  // milliseconds into the day, 0 .. kMsecPerDay - 1

  int64_t TotalMsec() const { return Day * kMsecPerDay + Msec; }
  // The day count with the time as a fraction of a day (continuous, also before day 0).
  Number Value() const {
    return static_cast<Number>(Day) + static_cast<Number>(Msec) / kMsecPerDay;
  }
};

// ---- The Gregorian calendar.
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);  // 28-31; 0 for a month outside 1-12
int64_t DayNumber(const CivilDate& d);
CivilDate CivilFromDay(int64_t day);
DateTime MakeDateTime(const CivilDate& d, const CivilTime& t);
CivilTime TimeOfDay(const DateTime& dt);
// 1 = Sunday ... 7 = Saturday.
int Weekday(int64_t day);

// ---- Reading dates. Accepted (CP932; full-width digits and signs count):
//   date:  Y/M/D, Y-M-D, Y.M.D (years of one or two digits are 2000-2049 or
//          1950-1999), or Y年M月D日
//   time:  H:N, H:N:S, H:N:S.mmm, or H時N分[S秒]; an "AM"/"PM" after it or
//          "午前"/"午後" before it selects the half of the day (hours 1-12)
//   both:  a date, blanks or "T", and a time
// Surrounding blanks are ignored; a time alone lies on day 0. Any other text,
// or a field out of range (13th month, 31 April, 24 o'clock), gives nullopt.
std::optional<DateTime> ParseDateTime(std::string_view text);
// The same as a day count with the time as a fraction (DateTime::Value).
std::optional<Number> ParseDateValue(std::string_view text);

// ---- Writing: "yyyy/mm/dd", "hh:nn:ss", "yyyy/mm/dd hh:nn:ss".
std::string FormatDate(const CivilDate& d);
std::string FormatTime(const CivilTime& t);
std::string FormatDateTime(const DateTime& dt);

// ---- The clock, in the local time zone.
DateTime LocalDateTime(std::time_t t, int msec);
DateTime LocalNow();
// Milliseconds since the system started, wrapping at 2^32.
uint32_t SystemMilliseconds();

// ---- Differences: a - b in whole days (truncated toward zero) and in seconds
// (rounded half to even).
int64_t DaysBetween(const DateTime& a, const DateTime& b);
int64_t SecondsBetween(const DateTime& a, const DateTime& b);

// ---- Amounts for adding: an optional sign, then up to three parts separated
// by `separator` (hours:minutes:seconds or years/months/days). A part that is
// not a plain run of digits counts 0.
struct DateAmount {
  bool Subtract = false;
  int64_t Parts[3] = {0, 0, 0};
  bool TooLarge = false;  // a part above 65535
};
DateAmount ParseAmount(std::string_view text, char separator);

// Time of day plus or minus hours, minutes and seconds, wrapping at midnight.
CivilTime AddToTime(const CivilTime& base, const DateAmount& amount);

enum class DateAddFault { None, Before1900, After9999 };
struct DateAddResult {
  CivilDate Date;
  DateAddFault Fault = DateAddFault::None;
};
// Years and months first (the day clamped to the length of the month reached:
// 31 January plus one month is the last day of February), then days.
// Subtraction refuses to reach a year before 1900 through years and months.
DateAddResult AddToDate(const CivilDate& base, const DateAmount& amount);

// "平成14年12月31日", "令和元年5月1日"; the era is chosen by the year alone.
// Years before 1868 belong to no era: empty text.
std::string JapaneseEraText(const CivilDate& d);

}  // namespace sorane
