// The date model: calendar arithmetic, the date parser, addition of dates and
// times at month ends and leap years, differences, eras and the local clock.
#include "library/dates/dates.h"

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

TEST(DatesCalendar, DayNumbersRoundTrip) {
  EXPECT_EQ(DayNumber({1899, 12, 30}), 0);
  EXPECT_EQ(DayNumber({2000, 1, 1}), 36526);
  for (int64_t day : {-700000LL, -1LL, 0LL, 59LL, 36526LL, 2958465LL}) {
    EXPECT_EQ(DayNumber(CivilFromDay(day)), day);
  }
  EXPECT_EQ(FormatDate(CivilFromDay(2958465)), "9999/12/31");
  EXPECT_EQ(Weekday(-1), 6);  // before day 0 (a Saturday)
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
  EXPECT_EQ(DaysInMonth(2000, 2), 29);
}

TEST(DatesParser, AcceptedForms) {
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
  EXPECT_EQ(AddDate("2000/02/29", "4/0/0"), "2004/02/29");
  EXPECT_EQ(AddDate("2001/12/31", "0/0/1"), "2002/01/01");
  EXPECT_EQ(AddDate("2001/01/31", "+0/1/1"), "2001/03/01");  // clamp first, then days
  EXPECT_EQ(AddDate("2001/01/01", "0/25/0"), "2003/02/01");
  EXPECT_EQ(AddDate("2001/01/01", "x/1/y"), "2001/02/01");  // non-integers count 0
}

TEST(DatesAddition, NegativeAdditions) {
  EXPECT_EQ(AddDate("2001/03/01", "-0/0/1"), "2001/02/28");
  EXPECT_EQ(AddDate("2001/03/31", "-0/1/0"), "2001/02/28");
  EXPECT_EQ(AddDate("2001/01/01", "-0/0/366"), "2000/01/01");  // 2000 is a leap year
  EXPECT_EQ(AddDate("2001/01/15", "-1/13/0"), "1998/12/15");
  // The limit looks at years and months only.
  EXPECT_EQ(AddDate("1900/01/05", "-0/0/10"), "1899/12/26");
  EXPECT_EQ(AddDate("1950/06/01", "-51/0/0"), "before1900");
  EXPECT_EQ(AddDate("9999/12/31", "0/0/1"), "after9999");
}

TEST(DatesAddition, AmountsAndTimes) {
  DateAmount a = ParseAmount(" -1/2/3 ", '/');
  EXPECT_TRUE(a.Subtract);
  EXPECT_EQ(a.Parts[2], 3);
  EXPECT_FALSE(ParseAmount("0:0:0065535", ':').TooLarge);  // leading zeros
  EXPECT_EQ(ParseAmount("1:-5:2", ':').Parts[1], 0);
  EXPECT_EQ(AddTime("00:00:00", "-0:0:1"), "23:59:59");
  EXPECT_EQ(AddTime("00:00:00", "0:0:65535"), "18:12:15");
  EXPECT_EQ(AddTime("00:00:00", "-0:0:65535"), "05:47:45");
  EXPECT_EQ(AddTime("2002/01/01 12:00:00", "30"), "18:00:00");  // hours only
}

TEST(DatesDifferences, TruncationAndRounding) {
  auto at = [](const char* s) { return *ParseDateTime(s); };
  EXPECT_EQ(DaysBetween(at("2002/01/10 00:00"), at("2002/01/09 12:00")), 0);
  EXPECT_EQ(DaysBetween(at("1900/01/01"), at("1899/12/01")), 31);    // linear across day 0
  EXPECT_EQ(SecondsBetween(at("10:00:00.500"), at("10:00:00")), 0);  // half to even
  EXPECT_EQ(SecondsBetween(at("10:00:01.500"), at("10:00:00")), 2);
  EXPECT_EQ(SecondsBetween(at("10:00:00"), at("10:00:01.500")), -2);
  EXPECT_EQ(SecondsBetween(at("10:00:00.501"), at("10:00:00")), 1);
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
