#include "autoupdate/AnnouncementFreshness.h"

#include "Utils/DateUtils.h"
#include "Utils/StrUtils.h"
#include "package/VendorSignature.h"

namespace tarnix {

namespace {

bool Digits(std::string_view text, size_t at, size_t count, int64_t& value) {
  if (at + count > text.size()) return false;
  value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

int64_t DaysInMonth(int64_t y, int64_t m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[m - 1];
}

// The first section of `text` named `section` (any case), the value of the
// first `key` in it, trimmed; nothing when absent.
std::optional<std::string> IniValue(std::string_view text, std::string_view section, std::string_view key) {
  bool inSection = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      inSection = close != std::string::npos && SameText(Trim(std::string_view(line).substr(1, close - 1)), section);
      continue;
    }
    if (!inSection) continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (SameText(Trim(std::string_view(line).substr(0, eq)), key)) return Trim(std::string_view(line).substr(eq + 1));
  }
  return std::nullopt;
}

}  // namespace

std::string UtcText(int64_t seconds) {
  int64_t days = seconds / 86400;
  int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  int y = 0, m = 0, d = 0;
  CivilFromDays(days, y, m, d);
  return IntToZeroPad(y, 4) + "-" + IntToZeroPad(m, 2) + "-" + IntToZeroPad(d, 2) + "T" + IntToZeroPad(rest / 3600, 2) +
         ":" + IntToZeroPad(rest / 60 % 60, 2) + ":" + IntToZeroPad(rest % 60, 2) + "Z";
}

bool ParseUtcText(std::string_view text, int64_t& seconds) {
  // YYYY-MM-DDTHH:MM:SSZ
  int64_t y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (text.size() < 20 || !Digits(text, 0, 4, y) || text[4] != '-' || !Digits(text, 5, 2, mo) || text[7] != '-' ||
      !Digits(text, 8, 2, d) || (text[10] != 'T' && text[10] != ' ') || !Digits(text, 11, 2, h) || text[13] != ':' ||
      !Digits(text, 14, 2, mi) || text[16] != ':' || !Digits(text, 17, 2, s))
    return false;
  const std::string_view zone = text.substr(19);
  if (zone != "Z" && zone != " UTC") return false;
  if (mo < 1 || mo > 12 || d < 1 || d > DaysInMonth(y, mo) || h > 23 || mi > 59 || s > 59) return false;
  seconds = DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
  return true;
}

Freshness ReadFreshness(std::string_view text) {
  Freshness result;
  if (const std::optional<std::string> serial = IniValue(text, kSignatureSection, kSerialKey)) {
    int64_t value = 0;
    if (ParseInt64(*serial, value) && value >= 1 && serial->find_first_not_of("0123456789") == std::string::npos)
      result.serial = value;
    else
      result.badSerial = true;
  }
  if (const std::optional<std::string> expires = IniValue(text, kSignatureSection, kExpiresKey)) {
    int64_t value = 0;
    if (ParseUtcText(*expires, value))
      result.expires = value;
    else
      result.badExpires = true;
  }
  return result;
}

FreshnessVerdict JudgeFreshness(const Freshness& announced, const SerialState& kept, int64_t now, int64_t tolerance) {
  if (announced.badSerial) return FreshnessVerdict::BadSerial;
  if (announced.badExpires) return FreshnessVerdict::BadExpires;
  if (!announced.serial && kept.highest > 0) return FreshnessVerdict::NoSerial;
  if (announced.serial && *announced.serial < kept.highest) return FreshnessVerdict::Replayed;
  if (announced.expires && now > AddSaturated64(*announced.expires, tolerance)) return FreshnessVerdict::Expired;
  return FreshnessVerdict::Accepted;
}

std::string FreshnessText(FreshnessVerdict verdict, const Freshness& announced, const SerialState& kept) {
  const std::string highest = std::to_string(kept.highest);
  switch (verdict) {
    case FreshnessVerdict::Accepted:
      return "current";
    case FreshnessVerdict::Replayed:
      return "its serial " + std::to_string(announced.serial.value_or(0)) + " is below " + highest +
             ", the highest accepted: an older announcement replayed";
    case FreshnessVerdict::NoSerial:
      return "it carries no serial, but serial " + highest + " was accepted: an older announcement replayed";
    case FreshnessVerdict::Expired:
      return "it expired at " + UtcText(announced.expires.value_or(0)) + ": the server keeps an old announcement";
    case FreshnessVerdict::BadSerial:
      return "its serial is not a number of 1 or more";
    case FreshnessVerdict::BadExpires:
      return "its expiry is not a UTC date and time";
  }
  return {};
}

int64_t SerialInForce(int64_t keptSerial, std::string_view keptKeyHex, std::string_view packageKeys) {
  if (keptSerial <= 0) return 0;
  const std::string kept = LowerCase(Trim(keptKeyHex));
  if (kept.empty()) return keptSerial;
  for (const std::string& key : SplitPublicKeys(packageKeys))
    if (LowerHex(key) == kept) return keptSerial;
  return 0;
}

int64_t SerialToKeep(const Freshness& announced, int64_t highest) {
  return announced.serial && *announced.serial > highest ? *announced.serial : highest;
}

int64_t NextSerial(const Freshness& current, std::optional<int64_t> given) {
  if (given) return *given;
  return current.serial ? AddSaturated64(*current.serial, 1) : 1;
}

}  // namespace tarnix
