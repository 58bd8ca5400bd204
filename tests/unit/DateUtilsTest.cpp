// Dates as day counts since 30 December 1899 with the time as fraction, and
// the texts made from them.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <regex>
#include <string>
#include <thread>

#include "Utils/DateUtils.h"

namespace tarnix {
namespace {

// 7 December 2026, 14:39:41.
constexpr double kDay = 46363;
constexpr double kSample = kDay + (14 * 3600 + 39 * 60 + 41) / 86400.0;

DateTimeParts Parts(int y, int m, int d, int h = 0, int n = 0, int s = 0, int ms = 0) {
  DateTimeParts p;
  p.year = y, p.month = m, p.day = d, p.hour = h, p.minute = n, p.second = s, p.millisecond = ms;
  return p;
}

void ExpectParts(const DateTimeParts& a, const DateTimeParts& b, const std::string& where) {
  EXPECT_EQ(a.year, b.year) << where;
  EXPECT_EQ(a.month, b.month) << where;
  EXPECT_EQ(a.day, b.day) << where;
  EXPECT_EQ(a.hour, b.hour) << where;
  EXPECT_EQ(a.minute, b.minute) << where;
  EXPECT_EQ(a.second, b.second) << where;
  EXPECT_EQ(a.millisecond, b.millisecond) << where;
}

TEST(DateUtilsTest, DayNumbersAndCalendarDatesConvertBothWays) {
  struct Case {
    double date;
    DateTimeParts parts;
  } cases[] = {
      {0, Parts(1899, 12, 30)},
      {kSample, Parts(2026, 12, 7, 14, 39, 41)},
      {36585, Parts(2000, 2, 29)},
      {61, Parts(1900, 3, 1)},
      {2, Parts(1900, 1, 1)},
      {0.5, Parts(1899, 12, 30, 12)},
      // Before the epoch the fraction is still the time of day.
      {-1.25, Parts(1899, 12, 29, 6)},
      {-693593, Parts(1, 1, 1)},
      {2958465 + 86399999 / 86400000.0, Parts(9999, 12, 31, 23, 59, 59, 999)},
  };
  for (const auto& c : cases) {
    DateTimeParts decoded;
    ASSERT_TRUE(DecodeDateTime(c.date, decoded)) << c.date;
    ExpectParts(decoded, c.parts, std::to_string(c.date));
    EXPECT_NEAR(EncodeDateTime(c.parts), c.date, 1e-9) << c.date;
  }
}

TEST(DateUtilsTest, TimeRoundsToTheMillisecondAndCarriesIntoTheDay) {
  DateTimeParts p;
  ASSERT_TRUE(DecodeDateTime(1 - 1e-10, p));
  ExpectParts(p, Parts(1899, 12, 31), "just before midnight");
  ASSERT_TRUE(DecodeDateTime(-2 + 1e-10, p));
  ExpectParts(p, Parts(1899, 12, 28), "just before midnight, before the epoch");
  ASSERT_TRUE(DecodeDateTime(0.5 + 0.4 / 86400000, p));
  ExpectParts(p, Parts(1899, 12, 30, 12), "0.4 ms");
}

TEST(DateUtilsTest, ImpossibleDatesAreRejected) {
  DateTimeParts p = Parts(2001, 2, 3);
  for (double bad : {double(NAN), double(INFINITY), -double(INFINITY), 2958466.0, -693594.0, 1e300, -1e300}) {
    EXPECT_FALSE(DecodeDateTime(bad, p)) << bad;
    EXPECT_EQ(DateText(bad), "") << bad;
    EXPECT_EQ(DateTimeText(" ", bad, DateSeparators{}), "") << bad;
    EXPECT_EQ(LogTimestamp(bad, DateSeparators{}), "") << bad;
  }
  ExpectParts(p, Parts(2001, 2, 3), "left alone");
}

TEST(DateUtilsTest, DateTextUsesTheMonthAbbreviation) {
  EXPECT_EQ(DateText(kSample), "07-DEC-2026");
  const char* months[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  for (int m = 1; m <= 12; ++m)
    EXPECT_EQ(DateText(EncodeDateTime(Parts(2003, m, 15, 23, 59))), std::string("15-") + months[m - 1] + "-2003");
  EXPECT_EQ(DateText(-693593), "01-JAN-0001");
}

TEST(DateUtilsTest, DateTimeTextAndLogTimestampUseTheGivenSeparators) {
  const DateSeparators english;
  const DateSeparators german{".", "."};
  const DateSeparators wide{" - ", "h"};
  EXPECT_EQ(DateTimeText(" ", kSample, english), "07-DEC-2026 14:39:41");
  EXPECT_EQ(DateTimeText(" @ ", kSample, german), "07-DEC-2026 @ 14.39.41");
  EXPECT_EQ(LogTimestamp(kSample, english), "07/12/26 14:39:41");
  EXPECT_EQ(LogTimestamp(kSample, german), "07.12.26 14.39.41");
  EXPECT_EQ(LogTimestamp(kSample, wide), "07 - 12 - 26 14h39h41");
  EXPECT_EQ(LogTimestamp(EncodeDateTime(Parts(2009, 1, 2, 3, 4, 5)), english), "02/01/09 03:04:05");
}

TEST(DateUtilsTest, PatternLetters) {
  const double date = EncodeDateTime(Parts(2003, 1, 5, 7, 8, 9));
  struct Case {
    const char* pattern;
    const char* expected;
  } cases[] = {
      {"yyyy-mm-dd hh:nn:ss", "2003-01-05 07-08-09"},
      {"YYYY-MM-DD HH:NN:SS", "2003-01-05 07-08-09"},
      {"dd-mm-yy", "05-01-03"},
      {"d/m/y h:n:s", "5.1.03 7-8-9"},
      {"[dd] at x", "[05] at x"},
      {"dd/mmmm/yyyy", "05.January.2003"},
      {"MMMM mmm mm m", "January 01 01 1"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatDateTime(c.pattern, date, DateSeparators{".", "-"}), c.expected) << c.pattern;
}

TEST(DateUtilsTest, FullMonthNameComesFromTheGivenNames) {
  DateSeparators german{".", ":"};
  german.monthNames = {"Januar", "Februar", "M\xE4rz",   "April",   "Mai",      "Juni",
                       "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
  EXPECT_EQ(FormatDateTime("d. mmmm yyyy", EncodeDateTime(Parts(2024, 3, 9)), german), "9. M\xE4rz 2024");
  EXPECT_EQ(FormatDateTime("mmmm", EncodeDateTime(Parts(2024, 12, 31)), german), "Dezember");
  EXPECT_EQ(FormatDateTime("mmmm", EncodeDateTime(Parts(2024, 12, 31)), DateSeparators{}), "December");
}

TEST(DateUtilsTest, MinusOneIsNow) {
  // Read the clock around the call, so a change of day in between is seen.
  DateTimeParts before, after;
  ASSERT_TRUE(DecodeDateTime(LocalNow(), before));
  const std::string stamp = LogTimestamp(kDateNow, DateSeparators{});
  const std::string day = DateText(kDateNow);
  ASSERT_TRUE(DecodeDateTime(LocalNow(), after));
  EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d)"))) << stamp;
  EXPECT_TRUE(day == DateText(EncodeDateTime(Parts(before.year, before.month, before.day))) ||
              day == DateText(EncodeDateTime(Parts(after.year, after.month, after.day))))
      << day;
  EXPECT_GT(before.year, 2020);
  const std::string dateTime = DateTimeText(" ", kDateNow, DateSeparators{});
  EXPECT_TRUE(std::regex_match(dateTime, std::regex(R"(\d\d-[A-Z]{3}-\d{4} \d\d:\d\d:\d\d)"))) << dateTime;
}

TEST(DateUtilsTest, AgentTimeCountsWholeSecondsSinceTheEpoch) {
  const int64_t sample = 46363 * int64_t{86400} + 14 * 3600 + 39 * 60 + 41;
  struct Case {
    double date;
    int64_t seconds;
  } cases[] = {
      {0, 0},
      {kSample, sample},
      // Rounded to the nearest second.
      {kSample + 0.4 / 86400, sample},
      {kSample + 0.6 / 86400, sample + 1},
      {-1.5, -129600},
      {std::nan(""), 0},
      {1e15, 0},
      {-1e15, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(DateToSeconds(c.date), c.seconds) << c.date;

  const int64_t before = DateToSeconds(LocalNow());
  const int64_t now = NowSeconds();
  EXPECT_GE(now, before);
  EXPECT_LE(now, DateToSeconds(LocalNow()));
}

TEST(DateUtilsTest, AgentTimeReadsAsDayMonthYearAndTime) {
  const DateSeparators seps;
  const int64_t sample = 46363 * int64_t{86400} + 14 * 3600 + 39 * 60 + 41;
  struct Case {
    int64_t seconds;
    const char* text;
  } cases[] = {
      {sample, "07-DEC-2026 14:39:41"},
      {0, "30-DEC-1899 00:00:00"},
      {86399, "30-DEC-1899 23:59:59"},
      // Exactly one day before the epoch is a date like any other, not "now".
      {-86400, "29-DEC-1899 00:00:00"},
      {INT64_MAX, ""},
      {INT64_MIN, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(SecondsText(c.seconds, seps), c.text) << c.seconds;
  EXPECT_EQ(SecondsText(sample, DateSeparators{"/", "."}), "07-DEC-2026 14.39.41");
}

TEST(DateUtilsTest, NowMsIsMonotonicAndCountsMilliseconds) {
  int64_t previous = NowMs();
  const int64_t start = previous;
  for (int i = 0; i < 1000; ++i) {
    const int64_t now = NowMs();
    EXPECT_GE(now, previous);
    previous = now;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const int64_t elapsed = NowMs() - start;
  EXPECT_GE(elapsed, 45);
  EXPECT_LT(elapsed, 5000);
}

}  // namespace
}  // namespace tarnix
