// Text helpers: 1-based positions, ASCII case folding, and conversions that
// answer with a default instead of failing.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
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
