#include "net/ResumeRules.h"

#include <algorithm>

#include "Utils/StrUtils.h"

namespace tarnix {

namespace {

constexpr std::string_view kRecordExtension = ".resume";
constexpr std::string_view kUrlKey = "Url=";
constexpr std::string_view kSizeKey = "Size=";
constexpr std::string_view kValidatorKey = "Validator=";
constexpr std::string_view kReceivedKey = "Received=";
// Header values travel in the request again, so they stay short and on one
// line.
constexpr size_t kMaxValidator = 1024;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view text) { return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit); }

// A decimal number of at most `max`; nullopt for anything else.
std::optional<uint64_t> ParseCount(std::string_view text, uint64_t max) {
  if (!AllDigits(text) || text.size() > 20) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (max - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

bool IsOneLine(std::string_view text) {
  return std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

// The next CR LF line of `text` from `at`, which moves past it; nullopt
// when no whole line is left.
std::optional<std::string_view> NextLine(std::string_view text, size_t& at) {
  const size_t end = text.find("\r\n", at);
  if (end == std::string_view::npos) return std::nullopt;
  const std::string_view line = text.substr(at, end - at);
  at = end + 2;
  return line;
}

std::optional<std::string_view> ValueOf(std::optional<std::string_view> line, std::string_view key) {
  if (!line || line->substr(0, key.size()) != key) return std::nullopt;
  return line->substr(key.size());
}

}  // namespace

std::string FormatResumeRecord(const ResumeRecord& record) {
  return std::string(kUrlKey) + record.url + "\r\n" + std::string(kSizeKey) + std::to_string(record.size) + "\r\n" +
         std::string(kValidatorKey) + record.validator + "\r\n" + std::string(kReceivedKey) +
         std::to_string(record.received) + "\r\n";
}

std::optional<ResumeRecord> ParseResumeRecord(std::string_view text) {
  if (text.size() > kMaxResumeRecord) return std::nullopt;
  size_t at = 0;
  const auto url = ValueOf(NextLine(text, at), kUrlKey);
  const auto size = ValueOf(NextLine(text, at), kSizeKey);
  const auto validator = ValueOf(NextLine(text, at), kValidatorKey);
  // The count comes last: a record cut short by a switched-off machine
  // loses lines or digits of it, and fewer bytes are always safe to keep.
  const auto received = ValueOf(NextLine(text, at), kReceivedKey);
  if (!url || !size || !validator || !received || at != text.size()) return std::nullopt;
  const auto sizeValue = ParseCount(*size, UINT32_MAX);
  const auto receivedValue = ParseCount(*received, UINT64_MAX);
  if (url->empty() || validator->empty() || validator->size() > kMaxValidator || !sizeValue || !receivedValue ||
      *receivedValue > *sizeValue) {
    return std::nullopt;
  }
  ResumeRecord record;
  record.url = std::string(*url);
  record.size = static_cast<uint32_t>(*sizeValue);
  record.validator = std::string(*validator);
  record.received = *receivedValue;
  return record;
}

std::string ResumeRecordName(std::string_view tempName) { return std::string(tempName) + std::string(kRecordExtension); }

std::string ResumeRecordTarget(std::string_view fileName) {
  if (fileName.size() <= kRecordExtension.size() ||
      !SameText(fileName.substr(fileName.size() - kRecordExtension.size()), kRecordExtension)) {
    return {};
  }
  const std::string_view tempName = fileName.substr(0, fileName.size() - kRecordExtension.size());
  const size_t dot = tempName.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  const std::string_view number = tempName.substr(dot + 1);
  // The number is a 32-bit value, so never longer than ten digits.
  if (!AllDigits(number) || number.size() > 10) return {};
  return std::string(tempName.substr(0, dot));
}

bool DateVouchesForLastModified(int64_t lastModifiedSeconds, int64_t dateSeconds) {
  constexpr int64_t kStrongAfterSeconds = 60;
  return dateSeconds >= lastModifiedSeconds && dateSeconds - lastModifiedSeconds >= kStrongAfterSeconds;
}

std::string ChooseResumeValidator(std::string_view etag, std::string_view lastModified, bool lastModifiedStrong) {
  // A weak tag ("W/...") may not guard a range: the bytes could differ.
  const bool strongTag = !etag.empty() && etag.substr(0, 2) != "W/" && etag.substr(0, 2) != "w/";
  std::string_view chosen;
  if (strongTag) {
    chosen = etag;
  } else if (lastModifiedStrong) {
    chosen = lastModified;
  }
  if (chosen.size() > kMaxValidator || !IsOneLine(chosen)) return {};
  return std::string(chosen);
}

std::optional<ResumePlan> PlanResume(const ResumeRecord& record, std::string_view url, int64_t partialLength) {
  if (record.url != url || record.validator.empty() || record.received == 0 || record.received >= record.size ||
      partialLength < 0 || static_cast<uint64_t>(partialLength) < record.received) {
    return std::nullopt;
  }
  ResumePlan plan;
  plan.offset = record.received;
  plan.size = record.size;
  plan.validator = record.validator;
  return plan;
}

std::string ResumeRequestHeaders(const ResumePlan& plan) {
  return "Range: bytes=" + std::to_string(plan.offset) + "-\r\nIf-Range: " + plan.validator + "\r\n";
}

std::optional<ContentRange> ParseContentRange(std::string_view value) {
  const std::string_view unit = "bytes ";
  if (value.size() <= unit.size() || !SameText(value.substr(0, unit.size()), unit)) return std::nullopt;
  value.remove_prefix(unit.size());
  const size_t dash = value.find('-');
  const size_t slash = value.find('/');
  if (dash == std::string_view::npos || slash == std::string_view::npos || dash > slash) return std::nullopt;
  const auto first = ParseCount(value.substr(0, dash), UINT64_MAX);
  const auto last = ParseCount(value.substr(dash + 1, slash - dash - 1), UINT64_MAX);
  const auto total = ParseCount(value.substr(slash + 1), UINT64_MAX);
  if (!first || !last || !total || *first > *last || *last >= *total) return std::nullopt;
  return ContentRange{*first, *last, *total};
}

ResumeVerdict JudgeResumeResponse(const ResumePlan& plan, uint32_t status, std::string_view contentRange) {
  if (status == 416) return ResumeVerdict::AskAgain;
  if (status != 206) return ResumeVerdict::StartOver;
  const std::optional<ContentRange> range = ParseContentRange(contentRange);
  if (!range || range->first != plan.offset || range->total != plan.size || range->last + 1 != range->total) {
    return ResumeVerdict::AskAgain;
  }
  return ResumeVerdict::Continue;
}

}  // namespace tarnix
