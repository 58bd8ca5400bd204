#include "autoupdate/ProbePacing.h"

#include <algorithm>
#include <array>
#include <vector>

#include "Utils/DateUtils.h"
#include "Utils/StrUtils.h"

namespace tarnix {

namespace {

constexpr int kMaxChannelName = 32;

int64_t Add(int64_t a, int64_t b) { return AddSaturated64(a, b); }

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The value of a few decimal digits (AllDigits holds, at most 18).
int64_t Digits(std::string_view text) {
  int64_t value = 0;
  for (char c : text) value = value * 10 + (c - '0');
  return value;
}

int MonthOf(std::string_view name) {
  static constexpr std::array<std::string_view, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                                                "jul", "aug", "sep", "oct", "nov", "dec"};
  if (name.size() != 3) return 0;
  // ASCII only, without the C library's locale functions (which the
  // stub's import list keeps out).
  std::string lower(name);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  for (size_t i = 0; i < kMonths.size(); ++i)
    if (kMonths[i] == lower) return static_cast<int>(i) + 1;
  return 0;
}

bool ParseClock(std::string_view text, int& h, int& m, int& s) {
  if (text.size() != 8 || text[2] != ':' || text[5] != ':') return false;
  if (!AllDigits(text.substr(0, 2)) || !AllDigits(text.substr(3, 2)) || !AllDigits(text.substr(6, 2))) return false;
  h = (text[0] - '0') * 10 + (text[1] - '0');
  m = (text[3] - '0') * 10 + (text[4] - '0');
  s = (text[6] - '0') * 10 + (text[7] - '0');
  return h < 24 && m < 60 && s < 61;
}

}  // namespace

int64_t SpreadBound(int64_t interval) {
  if (interval <= 0) return 0;
  return std::min(interval / 5, kPacingDaySeconds);
}

int64_t SpreadDelay(int64_t interval, uint64_t random) {
  const int64_t bound = SpreadBound(interval);
  return static_cast<int64_t>(random % (static_cast<uint64_t>(bound) + 1));
}

std::optional<int64_t> ParseHttpDate(std::string_view text) {
  std::vector<std::string_view> tokens;
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && (text[at] == ' ' || text[at] == ',' || text[at] == '-' || text[at] == '\t')) ++at;
    const size_t start = at;
    while (at < text.size() && text[at] != ' ' && text[at] != ',' && text[at] != '-' && text[at] != '\t') ++at;
    if (at > start) tokens.push_back(text.substr(start, at - start));
  }
  int month = 0, h = -1, m = 0, s = 0;
  std::vector<std::string_view> numbers;
  bool gmt = false;
  for (std::string_view token : tokens) {
    if (int mo = MonthOf(token)) {
      if (month) return std::nullopt;
      month = mo;
    } else if (token.find(':') != std::string_view::npos) {
      if (h >= 0 || !ParseClock(token, h, m, s)) return std::nullopt;
    } else if (AllDigits(token)) {
      numbers.push_back(token);
    } else if (token == "GMT" || token == "UTC") {
      gmt = true;
    }
    // Day names are read over.
  }
  (void)gmt;
  if (!month || h < 0 || numbers.size() != 2) return std::nullopt;
  const std::string_view dayText = numbers[0];
  const std::string_view yearText = numbers[1];
  if (dayText.size() > 2 || (yearText.size() != 2 && yearText.size() != 4)) return std::nullopt;
  const int day = static_cast<int>(Digits(dayText));
  int64_t year = Digits(yearText);
  // RFC 850's two-digit years: the century that puts the date nearest, as
  // RFC 9110 has it; taken here as 1970 to 2069.
  if (yearText.size() == 2) year += year < 70 ? 2000 : 1900;
  if (day < 1 || day > 31) return std::nullopt;
  return DaysFromCivil(year, month, day) * kPacingDaySeconds + h * 3600 + m * 60 + s;
}

std::optional<int64_t> RetryAfterSeconds(std::string_view header, int64_t reference) {
  const std::string text = Trim(header);
  if (text.empty()) return std::nullopt;
  if (AllDigits(text)) {
    // More digits than any pause needs: as long as it gets.
    if (text.size() > 12) return INT64_MAX / 4;
    return Digits(text);
  }
  const std::optional<int64_t> date = ParseHttpDate(text);
  if (!date) return std::nullopt;
  return std::max<int64_t>(0, *date - reference);
}

bool IsBusyStatus(uint32_t status) { return status == 503 || status == 429; }

int64_t BackOffSeconds(int64_t interval, int failures) {
  if (interval <= 0) return interval;
  const int64_t cap = std::max(interval, kPacingDaySeconds);
  int64_t pause = interval;
  for (int i = 1; i < failures && pause < cap; ++i) pause = pause > cap / 2 ? cap : pause * 2;
  return std::min(pause, cap);
}

int64_t RetryAfterPause(int64_t interval, int64_t seconds) {
  return std::max(interval, std::min(seconds, kPacingDaySeconds));
}

ProbePlan PlanNextProbe(const ProbeOutcome& outcome) {
  ProbePlan plan;
  if (outcome.interval <= 0) {
    plan.delay = outcome.interval;
    plan.failures = outcome.failed ? outcome.failuresBefore + 1 : 0;
    return plan;
  }
  if (!outcome.failed) {
    plan.spread = SpreadDelay(outcome.interval, outcome.random);
    plan.delay = Add(outcome.interval, plan.spread);
    return plan;
  }
  plan.failures = outcome.failuresBefore < INT32_MAX - 1 ? outcome.failuresBefore + 1 : INT32_MAX - 1;
  if (IsBusyStatus(outcome.httpStatus) && outcome.retryAfter) {
    plan.delay = RetryAfterPause(outcome.interval, *outcome.retryAfter);
    plan.why = "Retry-After";
    return plan;
  }
  const int64_t pause = BackOffSeconds(outcome.interval, plan.failures);
  plan.spread = SpreadDelay(pause, outcome.random);
  plan.delay = Add(pause, plan.spread);
  plan.why = "back-off";
  return plan;
}

int64_t ScheduledProbeDue(int64_t last, int64_t interval, int64_t next) {
  const int64_t due = Add(last, interval);
  if (interval <= 0 || next <= 0 || next < last || next <= due) return due;
  // The longest plan: a day's back-off (or the interval above it) and its
  // spread.
  const int64_t longest = std::max(interval, kPacingDaySeconds);
  return std::min(next, Add(last, Add(longest, SpreadBound(longest))));
}

int RolloutPercentOf(std::string_view text) {
  const std::string trimmed = Trim(text);
  int64_t value = 0;
  if (!ParseInt64(trimmed, value)) return 100;
  return static_cast<int>(std::clamp<int64_t>(value, 0, 100));
}

int RolloutBucketOf(uint64_t random) { return static_cast<int>(random % 100); }

bool ValidRolloutBucket(std::string_view text) { return AllDigits(text) && text.size() <= 2; }

bool InRollout(int bucket, int percent) { return bucket < percent; }

bool ValidChannelName(std::string_view channel) {
  if (channel.empty() || channel.size() > kMaxChannelName) return false;
  return std::all_of(channel.begin(), channel.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
  });
}

std::string ChannelInfoName(std::string_view infoName, std::string_view channel) {
  if (!ValidChannelName(channel)) return std::string(infoName);
  const size_t slash = infoName.find_last_of("/\\");
  const size_t dot = infoName.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash) || dot == 0)
    return std::string(infoName) + "." + std::string(channel);
  return std::string(infoName.substr(0, dot)) + "." + std::string(channel) + std::string(infoName.substr(dot));
}

std::string ConditionalHeaders(std::string_view etag, std::string_view lastModified) {
  const auto clean = [](std::string_view value) {
    return !value.empty() && value.find_first_of("\r\n") == std::string_view::npos;
  };
  std::string headers;
  if (clean(etag)) headers += "If-None-Match: " + std::string(etag) + "\r\n";
  if (clean(lastModified)) headers += "If-Modified-Since: " + std::string(lastModified) + "\r\n";
  return headers;
}

}  // namespace tarnix
