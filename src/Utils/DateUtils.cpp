#include "Utils/DateUtils.h"

#include <cmath>

namespace tarnix {

namespace {

constexpr int64_t kMsPerDay = 86400000;
// Day numbers of 1 January 0001 and 31 December 9999.
constexpr int64_t kFirstDay = -693593;
constexpr int64_t kLastDay = 2958465;
// Day number of 1 January 1970, where the civil-calendar arithmetic counts from.
constexpr int64_t kUnixEpochDay = 25569;

constexpr const char* kMonthAbbrev[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                        "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

char Up(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

void AppendNumber(std::string& out, int value, int width) {
  std::string digits = std::to_string(value);
  if (digits.size() < size_t(width)) out.append(size_t(width) - digits.size(), '0');
  out += digits;
}

double Resolve(double date) { return date == kDateNow ? LocalNow() : date; }

}  // namespace

int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = int(doy - (153 * mp + 2) / 5 + 1);
  month = int(mp < 10 ? mp + 3 : mp - 9);
  year = int(yoe + era * 400 + (month <= 2));
}

bool DecodeDateTime(double date, DateTimeParts& parts) {
  // The negated form also rejects NaN.
  if (!(date > double(kFirstDay - 1) && date < double(kLastDay + 1))) return false;
  // The fraction is the time of day on either side of the epoch, so that
  // -1.25 is 29 December 1899, 06:00.
  const double whole = std::trunc(date);
  int64_t days = int64_t(whole);
  int64_t ms = std::llround(std::fabs(date - whole) * double(kMsPerDay));
  if (ms >= kMsPerDay) {
    ms -= kMsPerDay;
    days += date < 0 ? -1 : 1;
  }
  if (days < kFirstDay || days > kLastDay) return false;
  CivilFromDays(days - kUnixEpochDay, parts.year, parts.month, parts.day);
  parts.hour = int(ms / 3600000);
  parts.minute = int(ms / 60000 % 60);
  parts.second = int(ms / 1000 % 60);
  parts.millisecond = int(ms % 1000);
  return true;
}

double EncodeDateTime(const DateTimeParts& parts) {
  const double days = double(DaysFromCivil(parts.year, parts.month, parts.day) + kUnixEpochDay);
  const double time =
      double(((int64_t(parts.hour) * 60 + parts.minute) * 60 + parts.second) * 1000 + parts.millisecond) /
      double(kMsPerDay);
  return days < 0 ? days - time : days + time;
}

namespace {

// The texts of a date that is taken as it stands: -1 is the day before the
// epoch here, not the current moment.
std::string FormatExactDate(std::string_view pattern, double date, const DateSeparators& seps) {
  DateTimeParts p;
  if (!DecodeDateTime(date, p)) return {};
  std::string out;
  for (size_t i = 0; i < pattern.size();) {
    const char c = Up(pattern[i]);
    size_t run = 1;
    while (i + run < pattern.size() && Up(pattern[i + run]) == c) ++run;
    const int width = run >= 2 ? 2 : 1;
    switch (c) {
      case 'D': AppendNumber(out, p.day, width); break;
      case 'M':
        if (run >= 4)
          out += seps.monthNames[size_t(p.month - 1)];
        else
          AppendNumber(out, p.month, width);
        break;
      case 'Y':
        if (run <= 2)
          AppendNumber(out, p.year % 100, 2);
        else
          AppendNumber(out, p.year, 4);
        break;
      case 'H': AppendNumber(out, p.hour, width); break;
      case 'N': AppendNumber(out, p.minute, width); break;
      case 'S': AppendNumber(out, p.second, width); break;
      case '/':
        for (size_t k = 0; k < run; ++k) out += seps.date;
        break;
      case ':':
        for (size_t k = 0; k < run; ++k) out += seps.time;
        break;
      default: out.append(pattern.substr(i, run));
    }
    i += run;
  }
  return out;
}

std::string ExactDateText(double date) {
  DateTimeParts p;
  if (!DecodeDateTime(date, p)) return {};
  std::string out;
  AppendNumber(out, p.day, 2);
  out += '-';
  out += kMonthAbbrev[p.month - 1];
  out += '-';
  AppendNumber(out, p.year, 4);
  return out;
}

std::string ExactDateTimeText(std::string_view sep, double date, const DateSeparators& seps) {
  std::string day = ExactDateText(date);
  if (day.empty()) return {};
  return day + std::string(sep) + FormatExactDate("HH:NN:SS", date, seps);
}

}  // namespace

std::string FormatDateTime(std::string_view pattern, double date, const DateSeparators& seps) {
  return FormatExactDate(pattern, Resolve(date), seps);
}

std::string DateText(double date) { return ExactDateText(Resolve(date)); }

// One reading of the clock for both halves, so they cannot straddle midnight.
std::string DateTimeText(std::string_view sep, double date, const DateSeparators& seps) {
  return ExactDateTimeText(sep, Resolve(date), seps);
}

std::string DateTimeText(std::string_view sep, double date) { return DateTimeText(sep, date, UserDateSeparators()); }

int64_t DateToSeconds(double date) {
  // Far beyond the year 9999, yet well inside what 64 bits hold in seconds.
  constexpr double kMaxDays = 1e12;
  if (!(std::fabs(date) < kMaxDays)) return 0;
  return std::llround(date * 86400.0);
}

int64_t NowSeconds() { return DateToSeconds(LocalNow()); }

std::string SecondsText(int64_t seconds, const DateSeparators& seps) {
  return ExactDateTimeText(" ", double(seconds) / 86400.0, seps);
}

std::string SecondsText(int64_t seconds) { return SecondsText(seconds, UserDateSeparators()); }

std::string LogTimestamp(double date, const DateSeparators& seps) {
  return FormatDateTime(kLogTimestampPattern, date, seps);
}

std::string LogTimestamp(double date) { return LogTimestamp(date, UserDateSeparators()); }

}  // namespace tarnix
