// FormatText against the C library's printf, which it stands in for in the
// stub: the same text for every conversion it knows.
#include "Utils/TextFormat.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tarnix {
namespace {

// Formats are passed on as they are; the warning about formats that are not
// literals would only repeat the check made here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
template <typename... Args>
void ExpectLikePrintf(const char* format, Args... args) {
  char expected[512];
  std::snprintf(expected, sizeof expected, format, args...);
  EXPECT_EQ(FormatText(format, args...), expected) << "format: " << format;
}
#pragma GCC diagnostic pop

// For formats the compiler's check would rightly reject.
std::string Unchecked(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatTextV(format, args);
  va_end(args);
  return text;
}

TEST(TextFormatTest, SignedIntegersWithFlagsWidthsAndPrecisions) {
  for (const char* format : {"%d", "%i", "%5d", "%-5d|", "%05d", "%+d", "% d", "%.3d", "%8.3d", "%-+8.3d|",
                             "%.0d", "%+.0d", "%05.2d", "%0-6d|"}) {
    for (int value : {0, 7, -7, 12345, -12345, INT_MAX, INT_MIN}) ExpectLikePrintf(format, value);
  }
}

TEST(TextFormatTest, UnsignedAndHexadecimalIntegers) {
  for (const char* format : {"%u", "%x", "%X", "%#x", "%#X", "%08x", "%#08x", "%.4x", "%.4x%.4x", "%-6X|", "%#.0x"}) {
    for (unsigned value : {0u, 9u, 0x409u, 0x4e4u, 0xdeadbeefu, UINT_MAX}) ExpectLikePrintf(format, value, value);
  }
}

TEST(TextFormatTest, LengthModifiersTakeTheArgumentsOfTheirSize) {
  ExpectLikePrintf("%ld %lu %lx", LONG_MIN, ULONG_MAX, 0x1234ul);
  ExpectLikePrintf("%lld %llu %llX", LLONG_MIN, ULLONG_MAX, 0xfedcba9876543210ull);
  ExpectLikePrintf("%jd %ju", INTMAX_MIN, UINTMAX_MAX);
  ExpectLikePrintf("%zu %zx %td", SIZE_MAX, size_t{255}, PTRDIFF_MIN);
  // Char and short arrive as int and are cut back to their own size.
  ExpectLikePrintf("%hhd %hhu %hd %hu %hx", 300, 300, 70000, 70000, 70000);
  ExpectLikePrintf("%lu ==== STUB START ====> %s<", 1234ul, "C:\\s.exe");
}

TEST(TextFormatTest, TextsAndCharactersWithWidthsAndPrecisions) {
  for (const char* format : {"%s", "[%10s]", "[%-10s]", "[%.2s]", "[%8.3s]", "[%-8.3s]", "[%.0s]"}) {
    for (const char* value : {"", "abc", "C:\\Program Files\\a.exe"}) ExpectLikePrintf(format, value);
  }
  ExpectLikePrintf("[%c][%3c][%-3c]", 'a', 'b', 'c');
  ExpectLikePrintf("100%% done, %s", "ok");
}

TEST(TextFormatTest, WidthAndPrecisionFromTheArguments) {
  ExpectLikePrintf("[%*d]", 6, 42);
  ExpectLikePrintf("[%*d]", -6, 42);
  ExpectLikePrintf("[%.*s]", 3, "abcdef");
  ExpectLikePrintf("[%*.*s]", 5, 2, "abcdef");
  ExpectLikePrintf("[%.*d]", -1, 42);
}

TEST(TextFormatTest, TextWithAPrecisionNeedNotEndWithinIt) {
  const char unterminated[3] = {'a', 'b', 'c'};
  EXPECT_EQ(FormatText("%.3s|%.2s", unterminated, unterminated), "abc|ab");
}

TEST(TextFormatTest, HugeWidthsAreBounded) {
  EXPECT_EQ(FormatText("%999999999d", 1).size(), 4096u);
  EXPECT_EQ(FormatText("%*s", INT_MAX, "x").size(), 4096u);
  EXPECT_EQ(FormatText("%.999999999d", 1).size(), 4096u);
}

TEST(TextFormatTest, UnknownConversionsAndATruncatedFormatAreCopiedAsTheyStand) {
  EXPECT_EQ(Unchecked("a %q b"), "a %q b");
  EXPECT_EQ(Unchecked("50%"), "50%");
  EXPECT_EQ(Unchecked("50%-0"), "50%-0");
  EXPECT_EQ(Unchecked("%s %s", "x", nullptr), "x (null)");
  EXPECT_EQ(Unchecked(""), "");
}

}  // namespace
}  // namespace tarnix
