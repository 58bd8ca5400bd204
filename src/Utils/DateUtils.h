// Dates and the millisecond clock. A date is a count of days since
// 30 December 1899 00:00 with the time of day as its fraction, in local time;
// the value -1 stands for the current moment. The texts built here are read
// by people (logs, settings-file comments, test-mode stamps), never parsed.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnix {

inline constexpr double kDateNow = -1;

// The stub log's timestamp pattern.
inline constexpr std::string_view kLogTimestampPattern = "dd/mm/yy HH:NN:SS";

struct DateTimeParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// False for dates outside the years 1 to 9999 (and for NaN); `parts` is then
// left alone. The time is rounded to the nearest millisecond.
bool DecodeDateTime(double date, DateTimeParts& parts);
// Fields out of their ranges are not checked; the caller passes a real date.
double EncodeDateTime(const DateTimeParts& parts);

// The current local date and time, from the platform's clock.
double LocalNow();

// What a pattern takes from the user's locale: the separators that stand for
// "/" and ":", and the full month names, January first.
struct DateSeparators {
  std::string date = "/";
  std::string time = ":";
  std::array<std::string, 12> monthNames = {"January", "February", "March",     "April",   "May",      "June",
                                            "July",    "August",   "September", "October", "November", "December"};
};

// The user's separators and month names, read from the platform once and kept.
const DateSeparators& UserDateSeparators();

// Formats `date` (-1 = now) by `pattern`: "d"/"dd" day, "m"/"mm" month
// ("mmmm" its full name), "yy"/"yyyy" year, "h"/"hh" 24-hour hour, "n"/"nn" minutes, "s"/"ss"
// seconds, letters in either case; "/" and ":" become the separators; text in
// double quotes is copied without them; everything else is copied as it is.
// An impossible date gives the empty text.
std::string FormatDateTime(std::string_view pattern, double date, const DateSeparators& seps);

// Day, month abbreviation and year, as in 07-DEC-2026.
std::string DateText(double date);
// DateText, `sep`, then the time as HH:NN:SS with the time separator.
std::string DateTimeText(std::string_view sep, double date, const DateSeparators& seps);
std::string DateTimeText(std::string_view sep, double date);

// Proleptic Gregorian conversions between days since 1970-01-01 and dates
// (H. Hinnant's days_from_civil and civil_from_days).
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day);
void CivilFromDays(int64_t days, int& year, int& month, int& day);

// Agent time: whole seconds of local time since 30 December 1899 00:00, the
// date's day count times 86400, rounded. 0 for a date too far out to count
// in seconds (or NaN).
int64_t DateToSeconds(double date);
int64_t NowSeconds();
// An agent time as people read it, DateTimeText(" ", seconds / 86400);
// stored beside the times in the settings files. Empty outside the years
// 1 to 9999.
std::string SecondsText(int64_t seconds, const DateSeparators& seps);
std::string SecondsText(int64_t seconds);

// kLogTimestampPattern.
std::string LogTimestamp(double date, const DateSeparators& seps);
std::string LogTimestamp(double date);

// A monotonic millisecond count for measuring intervals.
int64_t NowMs();

}  // namespace tarnix
