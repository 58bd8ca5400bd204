#include "Utils/DecimalConversion.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace tarnix {

namespace {

constexpr int kFractionBits = 52;
constexpr uint64_t kHiddenBit = uint64_t{1} << kFractionBits;
// The weight of the lowest bit of the smallest doubles.
constexpr int kLowestExponent = -1074;

// A finite double without its sign: mantissa * 2^exponent.
struct Binary {
  uint64_t mantissa;
  int exponent;
};

Binary Decompose(double value) {
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  const uint64_t fraction = bits & (kHiddenBit - 1);
  const int biased = int(bits >> kFractionBits & 0x7FF);
  if (biased == 0) return {fraction, kLowestExponent};
  return {fraction | kHiddenBit, biased + kLowestExponent - 1};
}

// A positive number as decimal digits without leading zeros, times
// 10^exponent.
struct Decimal {
  std::string digits;
  int64_t exponent;
};

// n * 2^power exactly, for an n of up to 63 bits. Every binary fraction has a
// finite decimal expansion: n * 2^-k is n * 5^k * 10^-k.
Decimal ExactDecimal(uint64_t n, int power) {
  // Little-endian limbs of nine decimal digits each.
  constexpr uint32_t kBase = 1000000000;
  std::vector<uint32_t> limbs;
  for (; n > 0; n /= kBase) limbs.push_back(uint32_t(n % kBase));
  auto multiply = [&limbs](uint32_t factor) {
    uint64_t carry = 0;
    for (uint32_t& limb : limbs) {
      carry += uint64_t{limb} * factor;
      limb = uint32_t(carry % kBase);
      carry /= kBase;
    }
    for (; carry > 0; carry /= kBase) limbs.push_back(uint32_t(carry % kBase));
  };
  // Factors of up to 2^29 and 5^13 keep a limb's product within 64 bits.
  for (int twos = power; twos > 0; twos -= 29) multiply(uint32_t{1} << std::min(twos, 29));
  for (int fives = -power; fives > 0; fives -= 13) {
    uint32_t factor = 1;
    for (int i = std::min(fives, 13); i > 0; --i) factor *= 5;
    multiply(factor);
  }
  Decimal d{limbs.empty() ? std::string() : std::to_string(limbs.back()), power < 0 ? power : 0};
  for (size_t i = limbs.size(); i > 1; --i) {
    const std::string part = std::to_string(limbs[i - 2]);
    d.digits.append(9 - part.size(), '0').append(part);
  }
  return d;
}

// Both positive, without leading zeros: <0, 0 or >0 as a is below, equal to
// or above b.
int Compare(const Decimal& a, const Decimal& b) {
  const int64_t magnitudeA = int64_t(a.digits.size()) + a.exponent;
  const int64_t magnitudeB = int64_t(b.digits.size()) + b.exponent;
  if (magnitudeA != magnitudeB) return magnitudeA < magnitudeB ? -1 : 1;
  for (size_t i = 0; i < std::max(a.digits.size(), b.digits.size()); ++i) {
    const char x = i < a.digits.size() ? a.digits[i] : '0';
    const char y = i < b.digits.size() ? b.digits[i] : '0';
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

// The first `n` digits (at most 19) as a number.
uint64_t Leading(std::string_view digits, size_t n) {
  uint64_t r = 0;
  for (size_t i = 0; i < n; ++i) r = r * 10 + uint64_t(digits[i] - '0');
  return r;
}

bool AnyNonZero(std::string_view digits) { return digits.find_first_not_of('0') != std::string_view::npos; }

// The midpoints between a positive finite double and its neighbours, as
// numerators over 2^(exponent - 2): whatever lies strictly between them
// reads back as the double, and so do the midpoints themselves when its
// mantissa is even.
struct Interval {
  uint64_t low, value, high;
  int power;
};

Interval RoundingInterval(const Binary& b) {
  // Just above a power of two the neighbour below is half as far away.
  const bool closerBelow = b.mantissa == kHiddenBit && b.exponent > kLowestExponent;
  return {4 * b.mantissa - (closerBelow ? 1 : 2), 4 * b.mantissa, 4 * b.mantissa + 2, b.exponent - 2};
}

// The shortest digits that read back as the positive finite `value`, nearest
// to it among those of that length, ties to an even last digit.
Decimal ShortestDecimal(double value) {
  const Binary b = Decompose(value);
  const Interval in = RoundingInterval(b);
  const bool inclusive = b.mantissa % 2 == 0;
  const Decimal high = ExactDecimal(in.high, in.power);
  const int64_t exponent = high.exponent;
  // All three with the same number of digits, so that a prefix of each is the
  // same multiple of a power of ten.
  const auto padded = [&high](uint64_t n, int power) {
    std::string digits = ExactDecimal(n, power).digits;
    return std::string(high.digits.size() - digits.size(), '0') + digits;
  };
  const std::string low = padded(in.low, in.power);
  const std::string exact = padded(in.value, in.power);
  // A prefix of n digits stands for prefix * 10^(size - n). The shortest
  // text has at most 17 significant digits, and the high end at most one
  // digit more than the value, so n stays within 64 bits.
  for (size_t n = 1;; ++n) {
    const std::string_view lowRest = std::string_view(low).substr(n);
    const std::string_view highRest = std::string_view(high.digits).substr(n);
    const uint64_t first = Leading(low, n) + (AnyNonZero(lowRest) || !inclusive ? 1 : 0);
    const uint64_t last = Leading(high.digits, n) - (!AnyNonZero(highRest) && !inclusive ? 1 : 0);
    if (first > last) continue;
    uint64_t nearest = Leading(exact, n);
    const std::string_view rest = std::string_view(exact).substr(n);
    const bool above = !rest.empty() && (rest[0] > '5' || (rest[0] == '5' && AnyNonZero(rest.substr(1))));
    const bool tie = !rest.empty() && rest[0] == '5' && !AnyNonZero(rest.substr(1));
    if (above || (tie && nearest % 2 == 1)) ++nearest;
    nearest = std::clamp(nearest, first, last);
    return {std::to_string(nearest), exponent + int64_t(high.digits.size() - n)};
  }
}

std::string WholeNumberText(double magnitude) {
  const Binary b = Decompose(magnitude);
  if (b.exponent >= 0) return ExactDecimal(b.mantissa, b.exponent).digits;
  return std::to_string(b.mantissa >> -b.exponent);
}

std::string FractionText(double magnitude) {
  const Decimal d = ShortestDecimal(magnitude);
  const size_t decimals = size_t(-d.exponent);
  if (d.digits.size() > decimals)
    return d.digits.substr(0, d.digits.size() - decimals) + '.' + d.digits.substr(d.digits.size() - decimals);
  return "0." + std::string(decimals - d.digits.size(), '0') + d.digits;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The digits of a decimal text: leading zeros dropped, and past
// kKeptDigits only whether any was not zero. No midpoint between two doubles
// has as many significant digits, so the kept ones decide the rounding.
constexpr size_t kKeptDigits = 800;

struct DigitReader {
  Decimal d{{}, 0};
  bool dropped = false;

  void Add(char c, bool fraction) {
    if (d.digits.empty() && c == '0') {
      if (fraction) --d.exponent;
      return;
    }
    if (d.digits.size() < kKeptDigits) {
      d.digits += c;
      if (fraction) --d.exponent;
    } else {
      dropped = dropped || c != '0';
      if (!fraction) ++d.exponent;
    }
  }

  // A dropped digit that was not zero leaves the number just above its kept
  // digits, which a further 1 says.
  Decimal Finish() {
    if (dropped) {
      d.digits += '1';
      --d.exponent;
    }
    while (!d.digits.empty() && d.digits.back() == '0') {
      d.digits.pop_back();
      ++d.exponent;
    }
    return d;
  }
};

// The nearest double to the positive `d`, or infinity or zero when it lies
// beyond the doubles.
double NearestDouble(const Decimal& d) {
  const int64_t magnitude = int64_t(d.digits.size()) + d.exponent;
  // At or above 10^309, or below 10^-325 and so below half the smallest double.
  if (magnitude > 309) return std::numeric_limits<double>::infinity();
  if (magnitude < -324) return 0;
  // A first guess within a few units of the last place: 19 digits scaled one
  // power of ten at a time, in the widest floating type at hand.
  const size_t leading = std::min<size_t>(d.digits.size(), 19);
  long double estimate = static_cast<long double>(Leading(d.digits, leading));
  for (int64_t e = d.exponent + int64_t(d.digits.size() - leading); e != 0; e += e > 0 ? -1 : 1)
    estimate = e > 0 ? estimate * 10 : estimate / 10;
  double guess = std::min(static_cast<double>(estimate), std::numeric_limits<double>::max());
  // Then one step at a time until d lies between the midpoints around the
  // guess; a midpoint itself goes to the even mantissa.
  for (;;) {
    const Binary b = Decompose(guess);
    const Interval in = RoundingInterval(b);
    const bool odd = b.mantissa % 2 == 1;
    const int up = Compare(d, ExactDecimal(in.high, in.power));
    if (up > 0 || (up == 0 && odd)) {
      guess = std::nextafter(guess, std::numeric_limits<double>::infinity());
      if (std::isinf(guess)) return guess;
      continue;
    }
    if (b.mantissa == 0) return guess;
    const int down = Compare(d, ExactDecimal(in.low, in.power));
    if (down < 0 || (down == 0 && odd)) {
      guess = std::nextafter(guess, 0.0);
      continue;
    }
    return guess;
  }
}

}  // namespace

std::string ShortestFixedText(double value) {
  const std::string sign = std::signbit(value) ? "-" : "";
  const double magnitude = std::fabs(value);
  if (std::isnan(value)) return sign + "nan";
  if (std::isinf(value)) return sign + "inf";
  if (magnitude == 0) return sign + "0";
  // A whole number is written out as stored, not as its shortest digits and
  // zeros after them.
  if (magnitude == std::trunc(magnitude)) return sign + WholeNumberText(magnitude);
  return sign + FractionText(magnitude);
}

bool ReadDecimal(std::string_view text, double& value) {
  size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++i;
  DigitReader reader;
  bool anyDigit = false;
  for (; i < text.size() && IsDigit(text[i]); ++i, anyDigit = true) reader.Add(text[i], false);
  if (i < text.size() && text[i] == '.')
    for (++i; i < text.size() && IsDigit(text[i]); ++i, anyDigit = true) reader.Add(text[i], true);
  if (!anyDigit) return false;
  int64_t power = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    const bool negativePower = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    if (i == text.size()) return false;
    // Far beyond any double either way; the bound only keeps the sum small.
    constexpr int64_t kPowerBound = int64_t{1} << 40;
    for (; i < text.size() && IsDigit(text[i]); ++i) power = std::min(power * 10 + (text[i] - '0'), kPowerBound);
    if (negativePower) power = -power;
  }
  if (i != text.size()) return false;
  Decimal d = reader.Finish();
  double magnitude = 0;
  if (!d.digits.empty()) {
    d.exponent += power;
    magnitude = NearestDouble(d);
    if (magnitude == 0 || std::isinf(magnitude)) return false;
  }
  value = negative ? -magnitude : magnitude;
  return true;
}

}  // namespace tarnix
