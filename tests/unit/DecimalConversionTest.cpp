#include "Utils/DecimalConversion.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

using namespace tarnix;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kTiny = std::numeric_limits<double>::denorm_min();

// The library's conversions, which the stub leaves out for their size, are
// the reference: the same text for every double, the same double for every
// text.
std::string LibraryFixed(double value) {
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  return std::string(buffer, result.ptr);
}

bool LibraryRead(const std::string& text, double& value) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value, std::chars_format::general);
  return result.ec == std::errc() && result.ptr == end;
}

uint64_t Bits(double value) { return std::bit_cast<uint64_t>(value); }

// Doubles where a shortest text is easy to get wrong: around powers of two
// (the gap below is half the gap above), both ends of the subnormals, the
// largest double, whole numbers past 2^53, and decimal fractions.
std::vector<double> EdgeValues() {
  std::vector<double> values = {0.1, 0.15, 0.3, 0.1 + 0.2, 4.35, 2.5, 1e-7, 123456.789, 1e21, 1e22, 1e23, 5e-324,
                                2.2250738585072009e-308, 2.2250738585072014e-308, kMax, 9007199254740993.0,
                                0x1.fffffffffffffp52, 0x1.0000000000001p52, 2000000000000000.5};
  for (int e = -1074; e < 1024; e += 7) {
    const double power = std::ldexp(1.0, e);
    values.insert(values.end(), {power, std::nextafter(power, 0.0), std::nextafter(power, kInf)});
  }
  for (int e = -320; e <= 308; e += 3) values.push_back(std::pow(10.0, e));
  return values;
}

// Random bit patterns reach every exponent; scaled random integers give the
// everyday sizes and rates.
std::vector<double> RandomValues(size_t count) {
  std::mt19937_64 random(20240611);
  std::vector<double> values;
  while (values.size() < count) {
    const double any = std::bit_cast<double>(random());
    if (std::isfinite(any)) values.push_back(any);
    values.push_back(double(random() % 100000000) / double(1 + random() % 100000));
  }
  return values;
}

TEST(DecimalConversionTest, ShortestFixedTextMatchesTheLibrary) {
  for (const double value : EdgeValues()) {
    EXPECT_EQ(ShortestFixedText(value), LibraryFixed(value)) << std::hexfloat << value;
    EXPECT_EQ(ShortestFixedText(-value), LibraryFixed(-value)) << std::hexfloat << -value;
  }
  for (const double value : RandomValues(4000)) EXPECT_EQ(ShortestFixedText(value), LibraryFixed(value)) << std::hexfloat << value;
}

TEST(DecimalConversionTest, ShortestFixedTextOfSpecialValues) {
  struct Case {
    const char* name;
    double value;
    std::string expected;
  } cases[] = {
      {"zero", 0.0, "0"},
      {"negative zero", -0.0, "-0"},
      {"infinity", kInf, "inf"},
      {"negative infinity", -kInf, "-inf"},
      {"not a number", std::numeric_limits<double>::quiet_NaN(), "nan"},
      {"negative not a number", -std::numeric_limits<double>::quiet_NaN(), "-nan"},
      {"whole number past 2^53 as stored", 1e23, "99999999999999991611392"},
      {"smallest subnormal", kTiny, "0." + std::string(323, '0') + "5"},
      {"a tenth", 0.1, "0.1"},
      {"a sum that is not three tenths", 0.1 + 0.2, "0.30000000000000004"},
  };
  for (const auto& c : cases) EXPECT_EQ(ShortestFixedText(c.value), c.expected) << c.name;
}

TEST(DecimalConversionTest, ReadDecimalMatchesTheLibrary) {
  for (const double value : RandomValues(2000)) {
    char scientific[40];
    std::snprintf(scientific, sizeof scientific, "%.17e", value);
    for (const std::string& text : {LibraryFixed(value), std::string(scientific)}) {
      double ours = -7, library = -7;
      ASSERT_TRUE(ReadDecimal(text, ours)) << text;
      ASSERT_TRUE(LibraryRead(text, library)) << text;
      EXPECT_EQ(Bits(ours), Bits(library)) << text;
    }
  }
  // Random digits with a point and a power anywhere in range, including
  // texts beyond the doubles at both ends.
  std::mt19937_64 random(7);
  for (int i = 0; i < 4000; ++i) {
    std::string text = random() % 2 ? "-" : "";
    const int digits = 1 + int(random() % 25);
    for (int k = 0; k < digits; ++k) {
      text += char('0' + random() % 10);
      if (k == digits / 2 && random() % 2) text += '.';
    }
    if (random() % 2) text += "e" + std::to_string(int(random() % 700) - 350);
    double ours = -7, library = -7;
    const bool read = ReadDecimal(text, ours);
    ASSERT_EQ(read, LibraryRead(text, library)) << text;
    if (read) {
      EXPECT_EQ(Bits(ours), Bits(library)) << text;
    }
  }
}

TEST(DecimalConversionTest, ReadDecimalAtTheEdges) {
  // The exact midpoint between 0 and the smallest subnormal, which rounds to
  // the even neighbour, zero.
  const std::string halfTiny =
      "2.4703282292062327208828439643411068618252990130716238221279284125033775363510437593264991818081799618989828"
      "2347722858865463328355177969898199387398005390939063150356595155702263922908583924491051844359318028499365"
      "3615250031937045767824921936562366986365848075700158576926990370631192827955855133292783433840935197801553"
      "1246597263579574622766465272827220056374006485499977096599470454020828166226237857393450736339007967761930"
      "5775067401763246736009689513405355374585166611342237666786041621596804619144672918403005300575308490487653"
      "9171138659164623952491262365388187963623937328042389101867234849766823508986338858792562830275599565752445"
      "5507255189313690836254779186948667994968324049705821028513185451396213837722826145437693412532098591327667"
      "236328125e-324";
  struct Case {
    const char* name;
    std::string text;
    bool read;
    double expected;
  } cases[] = {
      {"plain", "1.5", true, 1.5},
      {"negative", "-2.25", true, -2.25},
      {"negative zero", "-0", true, -0.0},
      {"zero with a huge power", "0e999", true, 0.0},
      {"bare fraction", ".5", true, 0.5},
      {"point at the end", "1.", true, 1.0},
      {"capital E and a plus", "1E+5", true, 1e5},
      {"leading zeros", "00012", true, 12.0},
      {"largest double", "1.7976931348623157e308", true, kMax},
      {"just below the overflow threshold", "1.797693134862315807937289714053e308", true, kMax},
      // Midway between the largest double and 2^1024, which is even.
      {"the overflow threshold",
       "17976931348623158079372897140530341507993413271003782693617377898044496829276475094664901797758720709633028641"
       "66928879109465555478519404026306574886715058206819089020007083836762738548458177115317644757302700698555713"
       "66959622842914819860834936475292719074168444365510704342711559699508093042880177904174497792",
       false, 0},
      {"beyond the doubles", "1e309", false, 0},
      {"smallest subnormal", "5e-324", true, kTiny},
      {"half the smallest subnormal", halfTiny, false, 0},
      {"just above half the smallest subnormal", halfTiny.substr(0, halfTiny.size() - 5) + "1e-324", true, kTiny},
      {"rounds to zero", "2e-324", false, 0},
      {"a huge power", "1e99999999999999999999", false, 0},
      {"a huge negative power", "1e-99999999999999999999", false, 0},
      {"more digits than are kept", "1." + std::string(900, '0') + "1", true, 1.0},
      {"a dropped digit that decides a tie", "9007199254740993" + std::string(900, '0') + "1e-901", true,
       9007199254740994.0},
      {"empty", "", false, 0},
      {"sign alone", "-", false, 0},
      {"point alone", ".", false, 0},
      {"power without digits", "1e", false, 0},
      {"power with a sign only", "1e-", false, 0},
      {"power without a mantissa", ".e1", false, 0},
      {"plus in front", "+1", false, 0},
      {"hexadecimal", "0x10", false, 0},
      {"infinity", "inf", false, 0},
      {"not a number", "nan", false, 0},
      {"trailing text", "1.5x", false, 0},
      {"inner blank", "1 5", false, 0},
  };
  for (const auto& c : cases) {
    double value = -7;
    ASSERT_EQ(ReadDecimal(c.text, value), c.read) << c.name;
    if (c.read) {
      EXPECT_EQ(Bits(value), Bits(c.expected)) << c.name;
    }
  }
}

}  // namespace
