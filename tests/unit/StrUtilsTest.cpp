// Text helpers: 1-based positions, ASCII case folding, and conversions that
// answer with a default instead of failing.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <limits>
#include <random>
#include <string>

#include "Utils/StrUtils.h"

namespace tarnix {
namespace {

TEST(StrUtilsTest, TrimAndCase) {
  EXPECT_EQ(Trim(" \t\r\n a b \x01"), "a b");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(UpperCase("abc-Xyz\xE4"), "ABC-XYZ\xE4");
  EXPECT_EQ(LowerCase("ABC-xyz"), "abc-xyz");
  EXPECT_TRUE(SameText("Setup.EXE", "setup.exe"));
  EXPECT_FALSE(SameText("setup.exe", "setup.ex"));
  EXPECT_TRUE(SameTextTrim("  Agent.exe ", "AGENT.EXE"));
}

TEST(StrUtilsTest, PositionsAreOneBasedAndZeroWhenAbsent) {
  struct Case {
    size_t actual, expected;
  } cases[] = {
      {PosCI("B", "abcb"), 2},
      {PosCI("x", "abc"), 0},
      {PosCI("", "abc"), 0},
      {PosCI("abcd", "abc"), 0},
      {PosFrom("b", "abcb", 3, false), 4},
      {PosFrom("B", "abcb", 3, false), 0},
      {PosFrom("B", "abcb", 3, true), 4},
      {PosFrom("b", "abcb", 0, false), 0},
      {PosFrom("b", "abcb", 5, false), 0},
      {PosFrom("b", "abcb", 99, false), 0},
      {LastPos("b", "abcb"), 4},
      {LastPos("x", "abcb"), 0},
  };
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].actual, cases[i].expected) << "case " << i;
}

TEST(StrUtilsTest, StartsEndsBeforeAfter) {
  EXPECT_TRUE(StartsWith("set", "Setup", true));
  EXPECT_FALSE(StartsWith("", "Setup", true));
  EXPECT_TRUE(EndsWith("", "Setup", true));
  EXPECT_FALSE(StartsWith("set", "Setup", false));
  EXPECT_FALSE(StartsWith("Setup.exe", "Setup", true));
  EXPECT_TRUE(EndsWith(".EXE", "a.exe", true));
  EXPECT_FALSE(EndsWith(".EXE", "a.exe", false));
  EXPECT_FALSE(EndsWith("long.exe", "a.exe", true));

  EXPECT_EQ(TextBefore("key = value = x", "=", "def", true), "key");
  EXPECT_EQ(TextAfter("key = value = x", "=", "def", false), " value = x");
  EXPECT_EQ(TextBefore("novalue", "=", " def ", false), " def ");
  EXPECT_EQ(TextAfter("novalue", "=", " def ", true), "def");
}

TEST(StrUtilsTest, ReplacementsDoNotOverlap) {
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceAll("a.b.c", ".", ".."), "a..b..c");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceAll("abc", "B", "x"), "abc");
  EXPECT_EQ(ReplaceAllCI("<p>a<P>", "<P>", "\r\n"), "\r\na\r\n");
  EXPECT_EQ(ReplaceChar("a|b|c", '|', '*'), "a*b*c");
  EXPECT_STREQ(BoolText(true), "TRUE");
  EXPECT_STREQ(BoolText(false), "FALSE");
  EXPECT_EQ(BoolDigit(true), '1');
}

TEST(StrUtilsTest, StripQuoteEncloseFilter) {
  struct Case {
    std::string actual, expected;
  } cases[] = {
      {ReverseText("abc"), "cba"},
      {ReverseText(""), ""},
      {StripChar("|||", '|', false), ""},
      {StripChar("|", '|', false), ""},
      {StripChar("||a|b||", '|', false), "a|b"},
      {StripChar("||a|b", '|', false), "||a|b"},
      {StripChar("a|b||", '|', false), "a|b||"},
      {StripChar("||a|b", '|', true), "a|b"},
      {StripChar("a", '|', true), "a"},
      {StripChar("", '|', true), ""},
      {Unquote("  \"C:\\My Apps\"  ", false), "C:\\My Apps"},
      {Unquote("\"half", false), "\"half"},
      {Unquote("\"half", true), "half"},
      {Quote("path"), "\"path\""},
      {Quote(" \"\"path\" "), "\"path\""},
      {Quote(""), "\"\""},
      {Enclose("a|b", '|', false), "|a|b|"},
      {Enclose("|a|b||", '|', true), "|a|b|"},
      {Enclose("|a|b||", '|', false), "||a|b|||"},
      {Enclose("", '|', true), "||"},
      {FilterChars("a1-b2_c3", "abc123", "2"), "a1bc3"},
      {FilterChars("abc", "", ""), ""},
      {FilterChars("\xE4\x01x", "\xE4x", ""), "\xE4x"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].actual, cases[i].expected) << "case " << i;
}

TEST(StrUtilsTest, ReplaceTextReplacesTheNumberedOccurrences) {
  struct Case {
    const char* text;
    const char* find;
    int last, first;
    const char* expected;
  } cases[] = {
      {"aaa", "aa", 0, 0, "-a"},
      {"x.x.x.x", ".", 0, 0, "x-x-x-x"},
      {"x.x.x.x", ".", 0, 2, "x.x-x.x"},   // last 0: only the first-th
      {"x.x.x.x", ".", -1, 2, "x.x-x.x"},  // last below 0 likewise
      {"x.x.x.x", ".", 3, 2, "x.x-x-x"},
      {"x.x.x.x", ".", 9, 2, "x.x-x-x"},
      {"x.x.x.x", ".", 2, 0, "x-x-x.x"},  // first 0 with a last: from the start
      {"x.x.x.x", ".", 1, 3, "x.x.x.x"},  // crossed range: nothing
      {"x.x.x.x", ".", 0, 4, "x.x.x.x"},  // beyond the last occurrence
      {"x.x", "", 0, 0, "x.x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReplaceText(c.text, c.find, "-", c.last, c.first, false), c.expected)
        << c.text << " " << c.first << ".." << c.last;
    EXPECT_EQ(ReplaceTextCI(c.text, c.find, "-", c.last, c.first, false), c.expected)
        << c.text << " " << c.first << ".." << c.last;
  }
  EXPECT_EQ(ReplaceText("aaa", "aa", "b", 0, 0, false), "ba");
  EXPECT_EQ(ReplaceText("aAa", "A", "b", 0, 0, false), "aba");
  EXPECT_EQ(ReplaceTextCI("aAa", "A", "b", 0, 0, false), "bbb");
  EXPECT_EQ(ReplaceTextCI("aAa", "A", "b", 0, 2, false), "aba");
  EXPECT_EQ(ReplaceText(" a.b ", ".", " ", 0, 0, true), "a b");
  EXPECT_EQ(ReplaceTextCI(" a.b ", ".", " ", 0, 0, true), "a b");
  // Without an occurrence the case-sensitive form hands the text back as it was.
  EXPECT_EQ(ReplaceText(" a ", "x", "y", 0, 0, true), " a ");
  EXPECT_EQ(ReplaceTextCI(" a ", "x", "y", 0, 0, true), "a");
}

TEST(StrUtilsTest, ReplaceRepeatedCollapsesRuns) {
  struct Case {
    std::string text, find, repl;
    std::string expected;
  } cases[] = {
      {"a   b     c", "  ", " ", "a b c"},
      {"a\\\\\\b", "\\\\", "\\", "a\\b"},
      {"no runs", "  ", " ", "no runs"},
      // The replacement contains find: replaced nowhere.
      {"a  b", " ", "  ", "a  b"},
      // A replacement that forms a new occurrence with what stands before it.
      {"aab", "ab", "b", "b"},
      {"xaaaab", "ab", "b", "xb"},
      // Bubbling: each replacement can start a new one further left.
      {"aabb", "ab", "ba", "bbaa"},
      {"", "a", "b", ""},
      {"abc", "", "x", "abc"},
  };
  for (const auto& c : cases) EXPECT_EQ(ReplaceRepeated(c.text, c.find, c.repl, false), c.expected) << c.text;
  EXPECT_EQ(ReplaceRepeated("  a    b  ", "  ", " ", true), "a b");
  EXPECT_EQ(ReplaceRepeated("  a ", "x", "y", true), "a");
  // A long run stays fast.
  EXPECT_EQ(ReplaceRepeated("[" + std::string(200000, ' ') + "]", "  ", " ", false), "[ ]");
}

// The rule itself: replace the first occurrence, search again from the start.
TEST(StrUtilsTest, ReplaceRepeatedMatchesReplacingTheFirstOccurrenceAgain) {
  std::mt19937 rng(12345);
  auto randomText = [&](size_t maxLength) {
    std::string t(std::uniform_int_distribution<size_t>(0, maxLength)(rng), ' ');
    for (char& c : t) c = "ab "[std::uniform_int_distribution<int>(0, 2)(rng)];
    return t;
  };
  for (int round = 0; round < 3000; ++round) {
    const std::string text = randomText(12), find = randomText(3), repl = randomText(2);
    // Shrinking or same-length replacements never grow the text, so the
    // plain loop below is the rule, not a bounded version of it.
    if (find.empty() || repl.size() > find.size()) continue;
    std::string expected = text;
    if (repl.find(find) == std::string::npos)
      for (size_t at; (at = expected.find(find)) != std::string::npos;) expected.replace(at, find.size(), repl);
    EXPECT_EQ(ReplaceRepeated(text, find, repl, false), expected) << "[" << text << "] [" << find << "] [" << repl << "]";
  }
}

TEST(StrUtilsTest, ReplaceRepeatedThatFeedsItselfStopsGrowing) {
  // "ab" -> "bbaa" doubles the b's for every a in front: 40 a's would need
  // 2^40 characters.
  const std::string text = std::string(40, 'a') + "b";
  const std::string r = ReplaceRepeated(text, "ab", "bbaa", false);
  EXPECT_LE(r.size(), text.size() + (text.size() / 2 + 1) * 4);
}

TEST(StrUtilsTest, ExpandEscapesAndMarkup) {
  EXPECT_EQ(ExpandEscapes("a\\\\nb\\\\tc"), "a\r\nb\tc");
  // Only the doubled backslash counts, and only in lower case.
  EXPECT_EQ(ExpandEscapes("a\\nb\\\\N"), "a\\nb\\\\N");
  EXPECT_EQ(ExpandEscapes("one<P>two<p>x<T>y<t>"), "one\r\ntwo\r\nx\ty\t");
}

TEST(StrUtilsTest, PaddingAndCutting) {
  struct Case {
    std::string actual, expected;
  } cases[] = {
      {PadLeft("42", 5, ' '), "   42"},
      {PadLeft("abcdef", -4, ' '), "abc."},
      {PadLeft("ab", -4, '*'), "**ab"},
      {PadLeft("abcd", -4, ' '), "abcd"},
      {PadLeft("abcdef", -3, ' '), "ab."},
      {PadLeft("abcdef", -2, ' '), "abcdef"},
      {PadLeft("ab", -1, ' '), "ab"},
      {PadLeft("ab", 0, ' '), "ab"},
      {PadLeft("abcdef", 3, ' '), "abcdef"},
      {PadLeft("", 2, '0'), "00"},
      {ZeroPad("7", 3), "007"},
      {ZeroPad("1234", 3), "1234"},
      {ZeroPad("12", -5), "12"},
      {IntToZeroPad(5, 4), "0005"},
      {IntToZeroPad(123456, 2), "123456"},
      {IfText(true, "a", "b"), "a"},
      {IfText(false, "a", "b"), "b"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].actual, cases[i].expected) << "case " << i;
  EXPECT_EQ(IfInt(false, 1, 2), 2);
  EXPECT_EQ(IfInt64(true, INT64_MAX, 0), INT64_MAX);
}

TEST(StrUtilsTest, ThousandsAndSizes) {
  struct Case {
    std::string actual, expected;
  } cases[] = {
      {AddThousandsSep("7654321"), "7,654,321"},
      {AddThousandsSep("654321"), "654,321"},
      {AddThousandsSep("4321.12345"), "4,321.12345"},
      {AddThousandsSep("321"), "321"},
      {AddThousandsSep("-1234"), "-1,234"},
      {AddThousandsSep("-123"), "-123"},
      {AddThousandsSep(""), ""},
      {AddThousandsSep(".5"), ".5"},
      {SizeText(1025, 1024, 0, false), "2"},
      {SizeText(1024, 1024, 0, false), "1"},
      {SizeText(1, 1024, 0, false), "1"},
      {SizeText(0, 1024, 0, false), "0"},
      {SizeText(0, 1024, 1, false), "0.0"},
      {SizeText(1536, 1024, 1, false), "1.5"},
      {SizeText(1025, 1024, 1, false), "1.0"},
      {SizeText(1024LL * 1234567, 1024, 0, true), "1,234,567"},
      {SizeText(1024LL * 1234567 + 512, 1024, 1, true), "1,234,567.5"},
      {SizeText(INT64_MAX, 1, 0, false), "9223372036854775807"},
      // A unit that would divide by zero counts bytes.
      {SizeText(5, 0, 0, false), "5"},
      {KBText(false, 0, 3000), "3"},
      {KBText(true, 1, 2048000), "2,000.0"},
      {MBText(false, 1, 3 * 1048576 / 2), "1.5"},
      {MBText(true, 0, 1048577), "2"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].actual, cases[i].expected) << "case " << i;
}

TEST(StrUtilsTest, TextToFloatReadsCommaAndPointAlike) {
  struct Case {
    const char* text;
    double expected;
  } cases[] = {
      {"1,5", 1.5},
      {"9,876.5", 9876.5},
      {"1.5", 1.5},
      {" -2.25 ", -2.25},
      {"+3", 3},
      {".5", 0.5},
      {"1e3", 1000},
      {"12", 12},
      {"abc", -7},
      {"", -7},
      {".", -7},
      {"1,234,567", -7},  // no point: both commas become points
      {"1.5x", -7},
      {"inf", -7},
      {"nan", -7},
      {"-inf", -7},
      {"+-1", -7},
      {"1e999", -7},
      {"1e-400", -7},
      {"-.5", -0.5},
      {"0x10", -7},
      {"+.5", 0.5},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(TextToFloat(c.text, -7), c.expected) << c.text;
}

TEST(StrUtilsTest, FloatToTextAndTrimZeros) {
  struct Case {
    std::string actual, expected;
  } cases[] = {
      {TrimZeros("1.500"), "1.5"},
      {TrimZeros("2.000"), "2"},
      {TrimZeros("0.5"), ".5"},
      {TrimZeros("100"), "100"},
      {TrimZeros("100.0"), "100"},
      {TrimZeros("0.000"), "."},
      {TrimZeros("-1.50"), "-1.5"},
      {FloatToText(1.5, 3, false, "."), "1.500"},
      {FloatToText(1.5, 3, true, "."), "1.5"},
      {FloatToText(2, 2, true, "."), "2"},
      {FloatToText(0, 2, true, "."), "0"},
      {FloatToText(0.25, 1, false, "."), "0.3"},
      {FloatToText(0.15, 1, false, "."), "0.2"},
      {FloatToText(2.5, 0, false, "."), "3"},
      {FloatToText(-2.5, 0, false, "."), "-3"},
      {FloatToText(9.96, 1, false, "."), "10.0"},
      {FloatToText(-0.04, 1, false, "."), "0.0"},
      {FloatToText(1e20, 1, false, "."), "100000000000000000000.0"},
      {FloatToText(0.1, 40, false, "."), "0.10000000000000000000"},
      {FloatToText(1234.4, 0, false, "."), "1234"},
      {FloatToText(1.5, 3, false, ","), "1,500"},
      // Zeros are trimmed before the user's separator goes in.
      {FloatToText(1.5, 3, true, ","), "1,5"},
      {FloatToText(0, 2, true, ","), "0"},
      {FloatToText(1.5, -3, false, "."), "2"},
      // Halves round away from zero, judged on the shortest text of the value.
      {FloatToText(0.125, 2, false, "."), "0.13"},
      {FloatToText(-0.125, 2, false, "."), "-0.13"},
      {FloatToText(1.005, 2, false, "."), "1.01"},
      {FloatToText(0.5, 0, false, "."), "1"},
      {FloatToText(-0.5, 0, false, "."), "-1"},
      {FloatToText(0.45, 0, false, "."), "0"},
      {FloatToText(999.995, 2, false, "."), "1000.00"},
      // Whole numbers past 2^53 as stored, not as their shortest digits.
      {FloatToText(1e23, 0, false, "."), "99999999999999991611392"},
      {FloatToText(1e23, 2, true, "."), "99999999999999991611392"},
      {FloatToText(9007199254740993.0, 1, false, "."), "9007199254740992.0"},
      {FloatToText(123456789012345678.0, 0, false, "."), "123456789012345680"},
      // No digits beyond the double's precision, up to 20 decimals.
      {FloatToText(1.0 / 3, 20, false, "."), "0.33333333333333330000"},
      {FloatToText(1.0 / 3, 0, false, "."), "0"},
      {FloatToText(2.0 / 3, 16, false, "."), "0.6666666666666666"},
      {FloatToText(2.0 / 3, 15, false, "."), "0.666666666666667"},
      {FloatToText(1e-20, 20, false, "."), "0.00000000000000000001"},
      {FloatToText(5e-21, 20, false, "."), "0.00000000000000000001"},
      {FloatToText(4e-21, 20, false, "."), "0.00000000000000000000"},
      {FloatToText(0.1 + 0.2, 17, false, "."), "0.30000000000000004"},
      {FloatToText(1e-300, 3, false, "."), "0.000"},
      // A zero, negative or rounded, has no sign.
      {FloatToText(-0.0, 1, false, "."), "0.0"},
      {FloatToText(-0.0, 0, true, "."), "0"},
      {FloatToText(-1e-30, 2, false, "."), "0.00"},
      // What is not a number is named, whatever the decimals.
      {FloatToText(std::numeric_limits<double>::infinity(), 2, false, "."), "inf"},
      {FloatToText(-std::numeric_limits<double>::infinity(), 2, true, "."), "-inf"},
      {FloatToText(std::numeric_limits<double>::quiet_NaN(), 1, false, ","), "nan"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].actual, cases[i].expected) << "case " << i;
}

TEST(StrUtilsTest, RandomAndRanges) {
  for (int round = 0; round < 200; ++round) {
    const int64_t r = RandomInRange(5, 3);
    EXPECT_GE(r, 3);
    EXPECT_LE(r, 5);
    const int64_t wide = RandomInRange(INT64_MAX, INT64_MIN);
    (void)wide;
  }
  bool sawHigh = false, sawLow = false;
  for (int round = 0; round < 500 && !(sawHigh && sawLow); ++round) {
    const int64_t r = RandomInRange(1, 0);
    sawHigh |= r == 1;
    sawLow |= r == 0;
  }
  EXPECT_TRUE(sawHigh && sawLow);
  EXPECT_EQ(RandomInRange(3, 3), 3);
  EXPECT_EQ(RandomInRange(2, 9), 9);
  EXPECT_EQ(RandomText(-4, -4), "-4");

  EXPECT_EQ(Min64(-1, 2), -1);
  EXPECT_EQ(Max64(-1, 2), 2);
  EXPECT_EQ(EnsureRange64(5, 1, 10), 5);
  EXPECT_EQ(EnsureRange64(-5, 1, 10), 1);
  EXPECT_EQ(EnsureRange64(50, 1, 10), 10);
  EXPECT_EQ(EnsureRange64(5, 10, 1), 1);  // crossed bounds: the maximum wins
}

TEST(StrUtilsTest, AddSaturated64StaysAtTheLimits) {
  struct Case {
    int64_t a, b, sum;
  } cases[] = {
      {1, 2, 3},
      {-5, 3, -2},
      {INT64_MAX, 0, INT64_MAX},
      {INT64_MAX, 1, INT64_MAX},
      {INT64_MAX, INT64_MAX, INT64_MAX},
      {INT64_MAX, -1, INT64_MAX - 1},
      {INT64_MIN, -1, INT64_MIN},
      {INT64_MIN, INT64_MIN, INT64_MIN},
      {INT64_MIN, INT64_MAX, -1},
      {-1, INT64_MIN, INT64_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(AddSaturated64(c.a, c.b), c.sum) << c.a << " + " << c.b;
}

TEST(StrUtilsTest, ParseInt64IsStrictDecimal) {
  struct Case {
    const char* text;
    bool ok;
    int64_t value;
  } cases[] = {
      {"123", true, 123},
      {" -5 ", true, -5},
      {"+7", true, 7},
      {"9223372036854775807", true, INT64_MAX},
      {"-9223372036854775808", true, INT64_MIN},
      {"9223372036854775808", false, 0},
      {"-9223372036854775809", false, 0},
      {"", false, 0},
      {"-", false, 0},
      {"1a", false, 0},
      {"1 2", false, 0},
      {"0x10", false, 0},
  };
  for (const auto& c : cases) {
    int64_t v = 0;
    EXPECT_EQ(ParseInt64(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
    EXPECT_EQ(StrToInt64Def(c.text, -42), c.ok ? c.value : -42) << c.text;
  }
}

TEST(StrUtilsTest, StrToIntBaseReadsHexDigitsFromTheRight) {
  struct Case {
    const char* text;
    int base;
    int64_t expected;
  } cases[] = {
      {"ff", 16, 255},
      {" 1A ", 16, 26},
      {"101", 2, 5},
      {"777", 8, 511},
      // A digit at or above the base is not rejected: 1*8 + 9.
      {"19", 8, 17},
      {"G", 16, -99},
      {"-1", 10, -99},
      {"1 0", 10, -99},
      {"", 10, 0},
      // Far beyond 64 bits: wraps instead of failing.
      {"FFFFFFFFFFFFFFFFFFFFFFFF", 16, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(StrToIntBase(c.text, c.base, -99), c.expected) << c.text;
  EXPECT_EQ(HexToInt("0x1f", 0), 31);
  EXPECT_EQ(HexToInt(" 0X1F", 0), 31);
  EXPECT_EQ(HexToInt("0x", 7), 0);
  EXPECT_EQ(HexToInt("x1", 7), 7);
}

TEST(StrUtilsTest, HexTextAndBytes) {
  EXPECT_EQ(BytesToHex("\x01\xab", false, false), "01AB");
  EXPECT_EQ(BytesToHex("\x01\xab", true, false), "01 AB ");
  EXPECT_EQ(BytesToHex("\x01\xab", false, true), "0x010xAB");
  EXPECT_EQ(BytesToHex(std::string(9, '\0'), true, false), "00 00 00 00 00 00 00 00  00 ");

  EXPECT_EQ(HexToBytes("01ab"), "\x01\xAB");
  EXPECT_EQ(HexToBytes("zz01"), "\xFF\x01");
  EXPECT_EQ(HexToBytes("0g"), "\xFF");
  EXPECT_EQ(HexToBytes("abc"), "\xAB\x0C");
  EXPECT_EQ(HexToBytes("abz"), "\xAB\xFF");
  EXPECT_EQ(HexToBytes(""), "");

  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(HexToBytes(BytesToHex(all, false, false)), all);
}

class ScrambleTest : public testing::Test {
 protected:
  static std::string Samples(size_t i) {
    static const std::string samples[] = {"a", "secret value", std::string("\0\xff|=\x01", 5), std::string(1000, 'q')};
    return samples[i];
  }
  static constexpr size_t kSamples = 4;
};

TEST_F(ScrambleTest, RoundTripsForEveryKeyAndForm) {
  for (size_t i = 0; i < kSamples; ++i)
    for (int key : {33, 34, 77, 121, 122})
      for (bool hex : {false, true}) {
        const std::string stored = ScrambleTextWithKey(Samples(i), key, hex);
        EXPECT_NE(stored, Samples(i));
        EXPECT_EQ(ScrambleText(stored, false, hex), Samples(i)) << i << " " << key << " " << hex;
      }
}

TEST_F(ScrambleTest, StoredFormIsMarkerKeyAndAlternatingXor) {
  // 'A' ^ (1 + 33), then 'B' ^ low byte of (2 - 33): the key changes sign.
  const std::string expected = std::string("Scrambled=01!") + char('A' ^ 34) + char('B' ^ 0xE1);
  EXPECT_EQ(ScrambleTextWithKey("AB", 33, false), expected);
  EXPECT_EQ(ScrambleTextWithKey("AB", 33, true), BytesToHex(expected, false, false));
}

TEST_F(ScrambleTest, RandomKeyIsAVisibleCharacter) {
  for (int round = 0; round < 20; ++round) {
    const std::string stored = ScrambleText("text", true, false);
    ASSERT_EQ(stored.size(), 12u + 1u + 4u);
    const int key = static_cast<unsigned char>(stored[12]);
    EXPECT_GE(key, 33);
    EXPECT_LE(key, 122);
    EXPECT_EQ(ScrambleText(stored, false, false), "text");
  }
}

TEST_F(ScrambleTest, TextAlreadyInTheWantedFormIsReturnedUnchanged) {
  const std::string scrambled = ScrambleTextWithKey("x", 50, false);
  EXPECT_EQ(ScrambleText(scrambled, true, false), scrambled);
  EXPECT_EQ(ScrambleTextWithKey(scrambled, 60, false), scrambled);
  EXPECT_EQ(ScrambleText("plain", false, false), "plain");
  EXPECT_EQ(ScrambleText("41424344", false, true), "41424344");
  EXPECT_EQ(ScrambleText("", true, true), "");
  EXPECT_EQ(ScrambleText("", false, false), "");
}

TEST_F(ScrambleTest, TruncatedScrambledTextsStayInBounds) {
  EXPECT_EQ(ScrambleText("Scrambled=01", false, false), "");
  EXPECT_EQ(ScrambleText("Scrambled=01!", false, false), "");
  EXPECT_EQ(ScrambleText(BytesToHex("Scrambled=01", false, false) + "4", false, true), "");
}

}  // namespace
}  // namespace tarnix
