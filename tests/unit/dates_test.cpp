// The date model: calendar arithmetic, the date parser, addition of dates and
// times at month ends and leap years, differences, eras and the local clock.
#include "library/dates.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "text/encoding.h"

namespace sorane {
namespace {

std::string Parsed(std::string_view text) {
  std::optional<DateTime> dt = ParseDateTime(text);
  return dt ? FormatDateTime(*dt) : "none";
}

std::string AddDate(const std::string& base, const std::string& amount) {
  DateAddResult r = AddToDate(CivilFromDay(ParseDateTime(base)->Day), ParseAmount(amount, '/'));
  if (r.Fault == DateAddFault::Before1900) return "before1900";
  if (r.Fault == DateAddFault::After9999) return "after9999";
  return FormatDate(r.Date);
}

std::string AddTime(const std::string& base, const std::string& amount) {
  return FormatTime(AddToTime(TimeOfDay(*ParseDateTime(base)), ParseAmount(amount, ':')));
}

TEST(DatesCalendar, DayNumbersAndWeekdays) {
  EXPECT_EQ(DayNumber({1899, 12, 30}), 0);
  EXPECT_EQ(DayNumber({1900, 1, 1}), 2);
  EXPECT_EQ(DayNumber({2000, 1, 1}), 36526);
  EXPECT_EQ(DayNumber({1899, 12, 29}), -1);
  for (int64_t day : {-700000LL, -1LL, 0LL, 59LL, 36526LL, 2958465LL}) {
    EXPECT_EQ(DayNumber(CivilFromDay(day)), day);
  }
  EXPECT_EQ(FormatDate(CivilFromDay(2958465)), "9999/12/31");
  EXPECT_EQ(Weekday(DayNumber({2002, 12, 31})), 3);  // Tuesday
  EXPECT_EQ(Weekday(0), 7);                          // Saturday
  EXPECT_EQ(Weekday(-1), 6);
  EXPECT_EQ(Weekday(DayNumber({2024, 2, 29})), 5);
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
  EXPECT_EQ(DaysInMonth(2000, 2), 29);
  EXPECT_EQ(DaysInMonth(2001, 13), 0);
}

TEST(DatesParser, AcceptedForms) {
  EXPECT_EQ(Parsed("2002/12/31"), "2002/12/31 00:00:00");
  EXPECT_EQ(Parsed("  2002/1/5 "), "2002/01/05 00:00:00");
  EXPECT_EQ(Parsed("23:59:58"), "1899/12/30 23:59:58");
  EXPECT_EQ(Parsed("2002/12/31 10:20:30"), "2002/12/31 10:20:30");
  EXPECT_EQ(Parsed("2002-12-31T10:20"), "2002/12/31 10:20:00");
  EXPECT_EQ(Parsed("2002.12.31"), "2002/12/31 00:00:00");
  EXPECT_EQ(Parsed("02/12/31"), "2002/12/31 00:00:00");
  EXPECT_EQ(Parsed("99/12/31"), "1999/12/31 00:00:00");
  EXPECT_EQ(Parsed(SJ("２００２／１２／３１　１０：２０")), "2002/12/31 10:20:00");
  EXPECT_EQ(Parsed(SJ("2002年12月31日")), "2002/12/31 00:00:00");
  EXPECT_EQ(Parsed(SJ("2002年12月31日 10時5分")), "2002/12/31 10:05:00");
  EXPECT_EQ(Parsed(SJ("午後3時")), "1899/12/30 15:00:00");
  EXPECT_EQ(Parsed("12:00:00 AM"), "1899/12/30 00:00:00");
  EXPECT_EQ(Parsed("1:30 pm"), "1899/12/30 13:30:00");
  EXPECT_EQ(ParseDateTime("10:00:00.25")->Msec, 36000250);
}

TEST(DatesParser, RejectedForms) {
  for (const char* bad :
       {"", "abc", "2002/13/01", "2001/02/29", "2002/04/31", "2002/12", "2002/12-31", "24:00:00",
        "10:60", "2002/12/31x", "2002/12/3110:00", "0000/01/01", "13:00 PM", "12345/1/1", "10"}) {
    EXPECT_EQ(Parsed(bad), "none") << bad;
  }
  EXPECT_EQ(Parsed("2000/02/29"), "2000/02/29 00:00:00");
  EXPECT_EQ(*ParseDateValue("1900/01/01 12:00"), 2.5L);
}

TEST(DatesAddition, MonthEndsAndLeapYears) {
  EXPECT_EQ(AddDate("2001/01/31", "0/1/0"), "2001/02/28");
  EXPECT_EQ(AddDate("2004/01/31", "0/1/0"), "2004/02/29");
  EXPECT_EQ(AddDate("2000/12/15", "0/12/0"), "2001/12/15");
  EXPECT_EQ(AddDate("2000/02/29", "1/0/0"), "2001/02/28");
  EXPECT_EQ(AddDate("2000/02/29", "4/0/0"), "2004/02/29");
  EXPECT_EQ(AddDate("2001/12/31", "0/0/1"), "2002/01/01");
  EXPECT_EQ(AddDate("2004/02/28", "0/0/1"), "2004/02/29");
  EXPECT_EQ(AddDate("2001/01/31", "+0/1/1"), "2001/03/01");  // clamp first, then days
  EXPECT_EQ(AddDate("2001/01/01", "0/0/365"), "2002/01/01");
  EXPECT_EQ(AddDate("2001/01/01", "0/25/0"), "2003/02/01");
  EXPECT_EQ(AddDate("2001/01/01", ""), "2001/01/01");
  EXPECT_EQ(AddDate("2001/01/01", "x/1/y"), "2001/02/01");  // non-integers count 0
}

TEST(DatesAddition, Subtraction) {
  EXPECT_EQ(AddDate("2000/03/01", "-0/0/1"), "2000/02/29");
  EXPECT_EQ(AddDate("2001/03/01", "-0/0/1"), "2001/02/28");
  EXPECT_EQ(AddDate("2001/03/31", "-0/1/0"), "2001/02/28");
  EXPECT_EQ(AddDate("2001/01/15", "-0/1/0"), "2000/12/15");
  EXPECT_EQ(AddDate("2001/01/01", "-0/0/366"), "2000/01/01");  // 2000 is a leap year
  EXPECT_EQ(AddDate("2001/01/15", "-1/13/0"), "1998/12/15");
  // The limit looks at years and months only.
  EXPECT_EQ(AddDate("1900/01/05", "-0/0/10"), "1899/12/26");
  EXPECT_EQ(AddDate("1900/01/05", "-0/1/0"), "before1900");
  EXPECT_EQ(AddDate("1950/06/01", "-51/0/0"), "before1900");
  EXPECT_EQ(AddDate("9999/12/01", "0/1/0"), "after9999");
  EXPECT_EQ(AddDate("9999/12/31", "0/0/1"), "after9999");
}

TEST(DatesAddition, AmountsAndTimes) {
  DateAmount a = ParseAmount(" -1/2/3 ", '/');
  EXPECT_TRUE(a.Subtract);
  EXPECT_EQ(a.Parts[0], 1);
  EXPECT_EQ(a.Parts[2], 3);
  EXPECT_FALSE(a.TooLarge);
  EXPECT_TRUE(ParseAmount("0:0:65536", ':').TooLarge);
  EXPECT_FALSE(ParseAmount("0:0:0065535", ':').TooLarge);
  EXPECT_EQ(ParseAmount("1:-5:2", ':').Parts[1], 0);

  EXPECT_EQ(AddTime("23:30:00", "1:0:0"), "00:30:00");
  EXPECT_EQ(AddTime("10:30:00", "-0:30:0"), "10:00:00");
  EXPECT_EQ(AddTime("00:10:00", "-0:20:0"), "23:50:00");
  EXPECT_EQ(AddTime("10:59:59", "0:0:1"), "11:00:00");
  EXPECT_EQ(AddTime("00:00:00", "-0:0:1"), "23:59:59");
  EXPECT_EQ(AddTime("00:00:00", "0:0:65535"), "18:12:15");
  EXPECT_EQ(AddTime("00:00:00", "-0:0:65535"), "05:47:45");
  EXPECT_EQ(AddTime("2002/01/01 12:00:00", "30"), "18:00:00");  // hours only
}

TEST(DatesDifferences, DaysAndSeconds) {
  auto at = [](const char* s) { return *ParseDateTime(s); };
  EXPECT_EQ(DaysBetween(at("2002/01/10"), at("2002/01/01")), 9);
  EXPECT_EQ(DaysBetween(at("2002/01/01"), at("2002/01/10")), -9);
  EXPECT_EQ(DaysBetween(at("2002/01/10 00:00"), at("2002/01/09 12:00")), 0);
  EXPECT_EQ(DaysBetween(at("2001/03/01"), at("2001/02/01")), 28);
  EXPECT_EQ(DaysBetween(at("2000/03/01"), at("2000/02/01")), 29);
  // Across day 0 the difference stays linear.
  EXPECT_EQ(DaysBetween(at("1900/01/01"), at("1899/12/01")), 31);
  EXPECT_EQ(SecondsBetween(at("2002/01/01 00:01:00"), at("2002/01/01")), 60);
  EXPECT_EQ(SecondsBetween(at("2002/01/01"), at("2001/12/31 23:00")), 3600);
  EXPECT_EQ(SecondsBetween(at("10:00:00.500"), at("10:00:00")), 0);  // half to even
  EXPECT_EQ(SecondsBetween(at("10:00:01.500"), at("10:00:00")), 2);
  EXPECT_EQ(SecondsBetween(at("10:00:00"), at("10:00:01.500")), -2);
  EXPECT_EQ(SecondsBetween(at("10:00:00.501"), at("10:00:00")), 1);
}

TEST(DatesEras, ChosenByYear) {
  EXPECT_EQ(JapaneseEraText({2002, 12, 31}), SJ("平成14年12月31日"));
  EXPECT_EQ(JapaneseEraText({1989, 3, 1}), SJ("平成元年3月1日"));
  EXPECT_EQ(JapaneseEraText({1926, 12, 31}), SJ("昭和元年12月31日"));
  EXPECT_EQ(JapaneseEraText({1988, 1, 1}), SJ("昭和63年1月1日"));
  EXPECT_EQ(JapaneseEraText({1912, 1, 1}), SJ("大正元年1月1日"));
  EXPECT_EQ(JapaneseEraText({1868, 10, 23}), SJ("明治元年10月23日"));
  EXPECT_EQ(JapaneseEraText({1911, 12, 31}), SJ("明治44年12月31日"));
  EXPECT_EQ(JapaneseEraText({2018, 12, 31}), SJ("平成30年12月31日"));
  EXPECT_EQ(JapaneseEraText({2019, 1, 1}), SJ("令和元年1月1日"));
  EXPECT_EQ(JapaneseEraText({2024, 2, 29}), SJ("令和6年2月29日"));
  EXPECT_EQ(JapaneseEraText({1867, 12, 31}), "");
}

// Sets TZ for one test and restores it afterwards.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* tz) {
    const char* old = std::getenv("TZ");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (had_)
      setenv("TZ", old_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  bool had_ = false;
  std::string old_;
};

TEST(DatesClock, LocalTimeFollowsTheZone) {
  const std::time_t t = 1041378600;  // 2002-12-31 23:50:00 UTC
  {
    ScopedTimeZone tz("UTC0");
    EXPECT_EQ(FormatDateTime(LocalDateTime(t, 0)), "2002/12/31 23:50:00");
  }
  {
    ScopedTimeZone tz("JST-9");
    DateTime dt = LocalDateTime(t, 250);
    EXPECT_EQ(FormatDateTime(dt), "2003/01/01 08:50:00");
    EXPECT_EQ(dt.Msec % 1000, 250);
  }
  // The clock itself: today lies after 2020 and the time of day is in range.
  DateTime now = LocalNow();
  EXPECT_GT(now.Day, DayNumber({2020, 1, 1}));
  EXPECT_GE(now.Msec, 0);
  EXPECT_LT(now.Msec, kMsecPerDay);
  uint32_t a = SystemMilliseconds();
  uint32_t b = SystemMilliseconds();
  EXPECT_LE(b - a, 1000u);
}

}  // namespace
}  // namespace sorane
