// The date model of dates.h: calendar arithmetic, the date parser, formatting,
// the clock, date and time addition and the Japanese era names.
#include <sys/time.h>

#include <algorithm>
#include <cstdio>

#include "library/dates/dates.h"
#include "text/charmap.h"
#include "text/encoding.h"
#include "text/sjis.h"

namespace sorane {

// ---------------------------------------------------------------- calendar

namespace {

// Day 0 of the language (1899-12-30) is 25569 days before 1970-01-01.
constexpr int64_t kUnixEpochDay = 25569;

int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

int64_t FloorMod(int64_t a, int64_t b) {
  return a - FloorDiv(a, b) * b;
}

// Days from 1970-01-01 to a proleptic Gregorian date, counting 400-year eras
// of 146097 days from 0000-03-01 so that leap days fall at the end of a year.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = FloorDiv(y, 400);
  const int64_t yoe = y - era * 400;                                   // 0 .. 399
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;  // 0 .. 365
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;           // 0 .. 146096
  return era * 146097 + doe - 719468;
}

}  // namespace

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

int64_t DayNumber(const CivilDate& d) {
  return DaysFromCivil(d.Year, d.Month, d.Day) + kUnixEpochDay;
}

CivilDate CivilFromDay(int64_t day) {
  const int64_t z = day - kUnixEpochDay + 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  CivilDate d;
  d.Day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  d.Month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  d.Year = static_cast<int>(yoe + era * 400 + (d.Month <= 2));
  return d;
}

DateTime MakeDateTime(const CivilDate& d, const CivilTime& t) {
  return {DayNumber(d), ((t.Hour * 60LL + t.Minute) * 60 + t.Second) * 1000 + t.Msec};
}

CivilTime TimeOfDay(const DateTime& dt) {
  CivilTime t;
  int64_t ms = dt.Msec;
  t.Msec = static_cast<int>(ms % 1000);
  ms /= 1000;
  t.Second = static_cast<int>(ms % 60);
  ms /= 60;
  t.Minute = static_cast<int>(ms % 60);
  t.Hour = static_cast<int>(ms / 60);
  return t;
}

int Weekday(int64_t day) {
  return static_cast<int>(FloorMod(day + 6, 7)) + 1;  // day 0 was a Saturday
}

// ---------------------------------------------------------------- parser

namespace {

class Scanner {
 public:
  explicit Scanner(std::string_view s) : s_(s) {}

  size_t Mark() const { return i_; }
  void Reset(size_t mark) { i_ = mark; }
  bool AtEnd() const { return i_ >= s_.size(); }

  // A run of 1 to `max_digits` decimal digits.
  bool Digits(int& value, int& count, int max_digits) {
    value = 0;
    count = 0;
    while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') {
      if (++count > max_digits) return false;
      value = value * 10 + (s_[i_++] - '0');
    }
    return count > 0;
  }
  bool Digits(int& value, int max_digits) {
    int count;
    return Digits(value, count, max_digits);
  }

  bool Literal(std::string_view lit) {
    if (s_.substr(i_, lit.size()) != lit) return false;
    i_ += lit.size();
    return true;
  }
  bool LiteralNoCase(std::string_view lit) {
    if (s_.size() - i_ < lit.size()) return false;
    if (AsciiUpper(s_.substr(i_, lit.size())) != lit) return false;
    i_ += lit.size();
    return true;
  }
  // At least one blank; returns whether any was skipped.
  bool Blanks() {
    size_t start = i_;
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t')) ++i_;
    return i_ > start;
  }
  char Peek() const { return AtEnd() ? '\0' : s_[i_]; }
  void Skip() { ++i_; }

 private:
  std::string_view s_;
  size_t i_ = 0;
};

bool ValidDate(const CivilDate& d) {
  return d.Year >= 1 && d.Year <= 9999 && d.Day >= 1 && d.Day <= DaysInMonth(d.Year, d.Month);
}

int WindowYear(int year, int digits) {
  if (digits > 2) return year;
  return year < 50 ? 2000 + year : 1900 + year;
}

// Y/M/D with one separator among "/", "-", "." used twice, or Y年M月D日.
std::optional<CivilDate> ReadDate(Scanner& sc) {
  CivilDate d;
  int year_digits;
  if (!sc.Digits(d.Year, year_digits, 4)) return std::nullopt;
  d.Year = WindowYear(d.Year, year_digits);
  const char sep = sc.Peek();
  if (sep == '/' || sep == '-' || sep == '.') {
    sc.Skip();
    if (!sc.Digits(d.Month, 2) || sc.Peek() != sep) return std::nullopt;
    sc.Skip();
    if (!sc.Digits(d.Day, 2)) return std::nullopt;
  } else if (!(sc.Literal(SJ("年")) && sc.Digits(d.Month, 2) && sc.Literal(SJ("月")) &&
               sc.Digits(d.Day, 2) && sc.Literal(SJ("日")))) {
    return std::nullopt;
  }
  if (!ValidDate(d)) return std::nullopt;
  return d;
}

// Hours of a 12-hour clock made 24-hour; -1 when out of range.
int FromTwelveHour(int hour, bool pm) {
  if (hour < 0 || hour > 12) return -1;
  if (hour == 12) hour = 0;
  return pm ? hour + 12 : hour;
}

// H:N[:S[.mmm]] or H時[N分[S秒]], with an optional half-day mark.
std::optional<CivilTime> ReadTime(Scanner& sc) {
  int half = 0;  // 0 none, 1 morning, 2 afternoon
  if (sc.Literal(SJ("午前")))
    half = 1;
  else if (sc.Literal(SJ("午後")))
    half = 2;
  if (half) sc.Blanks();
  CivilTime t;
  if (!sc.Digits(t.Hour, 2)) return std::nullopt;
  if (sc.Literal(":")) {
    if (!sc.Digits(t.Minute, 2)) return std::nullopt;
    if (sc.Literal(":")) {
      if (!sc.Digits(t.Second, 2)) return std::nullopt;
      if (sc.Literal(".")) {
        int count;
        if (!sc.Digits(t.Msec, count, 3)) return std::nullopt;
        for (; count < 3; ++count) t.Msec *= 10;  // ".5" is 500 ms
      }
    }
  } else if (sc.Literal(SJ("時"))) {
    size_t mark = sc.Mark();
    if (sc.Digits(t.Minute, 2) && sc.Literal(SJ("分"))) {
      mark = sc.Mark();
      if (!(sc.Digits(t.Second, 2) && sc.Literal(SJ("秒")))) sc.Reset(mark);
    } else {
      sc.Reset(mark);
    }
  } else {
    return std::nullopt;
  }
  if (!half) {
    size_t mark = sc.Mark();
    sc.Blanks();
    if (sc.LiteralNoCase("AM"))
      half = 1;
    else if (sc.LiteralNoCase("PM"))
      half = 2;
    else
      sc.Reset(mark);
  }
  if (half) t.Hour = FromTwelveHour(t.Hour, half == 2);
  if (t.Hour < 0 || t.Hour > 23 || t.Minute > 59 || t.Second > 59) return std::nullopt;
  return t;
}

}  // namespace

std::optional<DateTime> ParseDateTime(std::string_view text) {
  const std::string s = Trim(MapText(text, MapMode::HalfWidth));
  Scanner sc(s);
  std::optional<CivilDate> date = ReadDate(sc);
  if (!date) sc.Reset(0);
  std::optional<CivilTime> time;
  if (!date || !sc.AtEnd()) {
    // After a date a time must be separated by blanks or "T".
    if (date && !sc.Blanks() && !sc.Literal("T")) return std::nullopt;
    time = ReadTime(sc);
    if (!time) return std::nullopt;
    sc.Blanks();
    if (!sc.AtEnd()) return std::nullopt;
  }
  return MakeDateTime(date.value_or(CivilDate{}), time.value_or(CivilTime{}));
}

std::optional<Number> ParseDateValue(std::string_view text) {
  std::optional<DateTime> dt = ParseDateTime(text);
  if (!dt) return std::nullopt;
  return dt->Value();
}

// ---------------------------------------------------------------- format

std::string FormatDate(const CivilDate& d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", d.Year, d.Month, d.Day);
  return buf;
}

std::string FormatTime(const CivilTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.Hour, t.Minute, t.Second);
  return buf;
}

std::string FormatDateTime(const DateTime& dt) {
  return FormatDate(CivilFromDay(dt.Day)) + " " + FormatTime(TimeOfDay(dt));
}

// ---------------------------------------------------------------- clock

DateTime LocalDateTime(std::time_t t, int msec) {
  std::tm tm{};
  localtime_r(&t, &tm);
  CivilDate d{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
  // A leap second (tm_sec 60) is shown as the last second of its minute.
  CivilTime time{tm.tm_hour, tm.tm_min, std::min(tm.tm_sec, 59), msec};
  return MakeDateTime(d, time);
}

DateTime LocalNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return LocalDateTime(ts.tv_sec, static_cast<int>(ts.tv_nsec / 1000000));
}

uint32_t SystemMilliseconds() {
  timespec ts{};
  clock_gettime(CLOCK_BOOTTIME, &ts);
  uint64_t ms =
      static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
  return static_cast<uint32_t>(ms);
}

// ---------------------------------------------------------------- differences

int64_t DaysBetween(const DateTime& a, const DateTime& b) {
  return (a.TotalMsec() - b.TotalMsec()) / kMsecPerDay;  // truncates toward zero
}

int64_t SecondsBetween(const DateTime& a, const DateTime& b) {
  const int64_t diff = a.TotalMsec() - b.TotalMsec();
  int64_t q = diff / 1000;
  const int64_t r = diff % 1000;  // same sign as diff
  const int64_t step = diff < 0 ? -1 : 1;
  const int64_t half = r < 0 ? -r : r;
  if (half > 500 || (half == 500 && q % 2 != 0)) q += step;
  return q;
}

// ---------------------------------------------------------------- addition

// Each part of an amount is a 16-bit count.
constexpr int64_t kMaxAmountPart = 65535;

DateAmount ParseAmount(std::string_view text, char separator) {
  DateAmount a;
  std::string s = Trim(MapText(text, MapMode::HalfWidth));
  std::string_view rest = s;
  if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
    a.Subtract = rest.front() == '-';
    rest.remove_prefix(1);
  }
  for (int i = 0; i < 3 && !rest.empty(); ++i) {
    size_t cut = rest.find(separator);
    std::string part = Trim(rest.substr(0, cut));
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    bool digits = !part.empty() && std::all_of(part.begin(), part.end(),
                                               [](char c) { return c >= '0' && c <= '9'; });
    if (!digits) continue;  // not a plain integer: 0
    int64_t value = 0;
    for (char c : part) value = std::min<int64_t>(value * 10 + (c - '0'), kMaxAmountPart + 1);
    if (value > kMaxAmountPart)
      a.TooLarge = true;
    else
      a.Parts[i] = value;
  }
  return a;
}

CivilTime AddToTime(const CivilTime& base, const DateAmount& amount) {
  const int64_t sign = amount.Subtract ? -1 : 1;
  int64_t s = base.Second + sign * amount.Parts[2];
  int64_t m = base.Minute + sign * amount.Parts[1] + FloorDiv(s, 60);
  int64_t h = base.Hour + sign * amount.Parts[0] + FloorDiv(m, 60);
  CivilTime t;
  t.Second = static_cast<int>(FloorMod(s, 60));
  t.Minute = static_cast<int>(FloorMod(m, 60));
  t.Hour = static_cast<int>(FloorMod(h, 24));
  return t;
}

namespace {

int64_t ClampDay(int64_t day, int64_t year, int64_t month) {
  return std::min<int64_t>(day, DaysInMonth(static_cast<int>(year), static_cast<int>(month)));
}

}  // namespace

DateAddResult AddToDate(const CivilDate& base, const DateAmount& amount) {
  DateAddResult r;
  const int64_t sign = amount.Subtract ? -1 : 1;
  // Months counted from year 0 make the carry and the borrow one division.
  int64_t months =
      base.Year * 12LL + (base.Month - 1) + sign * (amount.Parts[0] * 12 + amount.Parts[1]);
  int64_t y = FloorDiv(months, 12);
  int64_t m = FloorMod(months, 12) + 1;
  if (amount.Subtract && y < 1900) return {base, DateAddFault::Before1900};
  if (y > 9999) return {base, DateAddFault::After9999};
  int64_t d = ClampDay(base.Day, y, m);
  if (amount.Subtract) {
    d -= amount.Parts[2];
    while (d <= 0) {
      if (--m < 1) m = 12, --y;
      d += DaysInMonth(static_cast<int>(y), static_cast<int>(m));
    }
  } else {
    d += amount.Parts[2];
    while (d > DaysInMonth(static_cast<int>(y), static_cast<int>(m))) {
      d -= DaysInMonth(static_cast<int>(y), static_cast<int>(m));
      if (++m > 12) m = 1, ++y;
    }
    if (y > 9999) return {base, DateAddFault::After9999};
  }
  r.Date = {static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)};
  return r;
}

// ---------------------------------------------------------------- eras

namespace {

struct Era {
  int first_year;
  const char* name;  // UTF-8
};

// By Gregorian year only; the first year of each era is its 元年.
constexpr Era kEras[] = {
    {2019, "令和"}, {1989, "平成"}, {1926, "昭和"}, {1912, "大正"}, {1868, "明治"},
};

}  // namespace

std::string JapaneseEraText(const CivilDate& d) {
  for (const Era& era : kEras) {
    if (d.Year < era.first_year) continue;
    const int n = d.Year - era.first_year + 1;
    std::string out = Utf8ToSjis(era.name);
    out += n == 1 ? SJ("元年") : std::to_string(n) + SJ("年");
    out += std::to_string(d.Month) + SJ("月") + std::to_string(d.Day) + SJ("日");
    return out;
  }
  return "";
}

}  // namespace sorane
