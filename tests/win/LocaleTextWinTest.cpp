// Texts that take the user's separators from the locale, and the
// performance-counter clock.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <regex>
#include <string>

#include "Utils/DateUtils.h"
#include "Utils/StrUtils.h"

namespace tarnix {
namespace {

std::string Locale(LCTYPE type) {
  char buffer[16] = {};
  const int n = ::GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer);
  return n > 1 ? std::string(buffer, size_t(n - 1)) : std::string();
}

std::string RegexQuote(const std::string& text) {
  std::string r;
  for (char c : text) {
    if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) r += '\\';
    r += c;
  }
  return r;
}

std::string TwoDigits(int v) { return std::string(1, char('0' + v / 10 % 10)) + char('0' + v % 10); }

TEST(LocaleTextWinTest, LogTimestampUsesTheLocaleSeparatorsAndTheLocalDate) {
  const std::string dateSep = Locale(LOCALE_SDATE), timeSep = Locale(LOCALE_STIME);
  ASSERT_FALSE(dateSep.empty());
  ASSERT_FALSE(timeSep.empty());
  EXPECT_EQ(UserDateSeparators().date, dateSep);
  EXPECT_EQ(UserDateSeparators().time, timeSep);

  // Taken twice if the day changes between the clock reads.
  for (int attempt = 0; attempt < 2; ++attempt) {
    SYSTEMTIME before, after;
    ::GetLocalTime(&before);
    const std::string stamp = LogTimestamp(kDateNow);
    ::GetLocalTime(&after);
    if (before.wDay != after.wDay) continue;
    const std::string d = RegexQuote(dateSep), t = RegexQuote(timeSep);
    EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d\d)" + d + R"(\d\d)" + d + R"(\d\d \d\d)" + t + R"(\d\d)" + t +
                                                   R"(\d\d)")))
        << stamp;
    EXPECT_EQ(stamp.substr(0, 2 + dateSep.size() + 2 + dateSep.size() + 2),
              TwoDigits(before.wDay) + dateSep + TwoDigits(before.wMonth) + dateSep + TwoDigits(before.wYear % 100));
    EXPECT_EQ(DateTimeText(" ", kDateNow).substr(0, 11), DateText(kDateNow));
    break;
  }
}

TEST(LocaleTextWinTest, FullMonthNamesComeFromTheLocale) {
  for (int month = 1; month <= 12; ++month) {
    char buffer[80] = {};
    ASSERT_GT(::GetLocaleInfoA(LOCALE_USER_DEFAULT, LCTYPE(LOCALE_SMONTHNAME1 + month - 1), buffer, sizeof buffer), 1);
    DateTimeParts parts;
    parts.year = 2024;
    parts.month = month;
    parts.day = 15;
    EXPECT_EQ(FormatDateTime("mmmm", EncodeDateTime(parts), UserDateSeparators()), buffer) << month;
  }
}

TEST(LocaleTextWinTest, FloatToTextUsesTheLocaleDecimalSeparator) {
  const std::string decimal = Locale(LOCALE_SDECIMAL);
  ASSERT_FALSE(decimal.empty());
  EXPECT_EQ(FloatToText(1.5, 2, false), "1" + decimal + "50");
  EXPECT_EQ(FloatToText(1.5, 2, true), "1" + decimal + "5");
  // Reading does not depend on the locale.
  EXPECT_DOUBLE_EQ(TextToFloat("2.25", 0), 2.25);
}

TEST(LocaleTextWinTest, NowMsIsMonotonicAndKeepsPaceWithTheTickCount) {
  int64_t previous = NowMs();
  for (int i = 0; i < 10000; ++i) {
    const int64_t now = NowMs();
    ASSERT_GE(now, previous);
    previous = now;
  }
  const int64_t start = NowMs();
  const DWORD ticks = ::GetTickCount();
  ::Sleep(300);
  const int64_t elapsed = NowMs() - start;
  const int64_t tickElapsed = int64_t(::GetTickCount() - ticks);
  EXPECT_GE(elapsed, 250);
  EXPECT_GT(elapsed, tickElapsed / 2);
  EXPECT_LT(elapsed, tickElapsed * 2 + 50);
}

TEST(LocaleTextWinTest, AsciiIsNeverALeadByte) {
  for (int c = 0; c < 0x80; ++c) EXPECT_FALSE(IsLeadByte(static_cast<unsigned char>(c))) << c;
}

}  // namespace
}  // namespace tarnix
