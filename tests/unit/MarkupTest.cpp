// Message markup: tags in any case become line breaks, tabs and bold ranges
// of the plain text; a "<B>" is paired with the first "</B>" of the text as
// it stands when that lies after it.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "Utils/StrUtils.h"
#include "ui/Markup.h"

namespace tarnix {
namespace {

using Ranges = std::vector<BoldRange>;

TEST(MarkupTest, TagsBecomePlainTextAndBoldRanges) {
  struct Case {
    std::string markup;
    std::string text;
    Ranges bold;
  } cases[] = {
      {"Please insert <B>DISK #3</B> and press OK to continue",
       "Please insert DISK #3 and press OK to continue",
       {{14, 21}}},
      {"<b>a</b>b", "ab", {{0, 1}}},
      {"<B>a</b>b", "ab", {{0, 1}}},
      {"x<b>y</B>", "xy", {{1, 2}}},
      {"<B>one</B> and <b>two</b>", "one and two", {{0, 3}, {8, 11}}},
      // No "</B>" after the tag: nothing bold, and no tag shown.
      {"x<B>y", "xy", {}},
      {"x<B>y<B>z", "xyz", {}},
      {"a</B>b", "ab", {}},
      // A stray "</B>" in front is the first one of the text, so the "<B>"
      // after it pairs with nothing.
      {"a</B>b<B>c</B>d", "abcd", {}},
      // Ranges are positions at the time each pair is taken out; the outer
      // pair of a nested run is recorded before the inner tags go.
      {"<B>a<B>b</B>c</B>d", "abcd", {{0, 4}, {1, 3}}},
      {"<B></B>x", "x", {}},
      {"a<P>b<p>c", "a\r\nb\r\nc", {}},
      {"a<T>b<t>c", "a\tb\tc", {}},
      {"a\\\\nb\\\\tc", "a\r\nb\tc", {}},
      {"a\\nb", "a\\nb", {}},
      {"Size: <SIZE> MB <I>x</I> <Bx>", "Size: <SIZE> MB <I>x</I> <Bx>", {}},
      // The heading that the wrappers put in front.
      {"<<b>ERROR</b><P><P>Bad CRC!<P>", "ERROR\r\n\r\nBad CRC!\r\n", {{0, 5}}},
      {"<<B>X</B>", "<X", {{1, 2}}},
      {"a<<b>b</b>", "a<b", {{2, 3}}},
      // Taking a tag out can join the characters around it into another.
      {"<<B>B>x", "x", {}},
      {"x<</B>/B>", "x", {}},
      {"<B>b<P></B>", "b\r\n", {{0, 3}}},
      {"", "", {}},
  };
  for (const auto& c : cases) {
    const MarkupText m = ParseMarkup(c.markup);
    EXPECT_EQ(m.text, c.text) << c.markup;
    EXPECT_EQ(m.bold, c.bold) << c.markup;
  }
}

TEST(MarkupTest, OverlongMarkupIsCutAndStillTakenApartQuickly) {
  EXPECT_EQ(ParseMarkup(std::string(kMaxMarkupLength + 100, 'x')).text.size(), kMaxMarkupLength);

  std::string tags;
  while (tags.size() + 3 <= kMaxMarkupLength) tags += "<b>";
  EXPECT_EQ(ParseMarkup(tags + "tail").text, "");
  // Only the first tag finds the "</b>" after it.
  tags.resize(tags.size() - 6);
  const MarkupText m = ParseMarkup(tags + "x</b>");
  EXPECT_EQ(m.text, "x");
  EXPECT_EQ(m.bold, (Ranges{{0, 1}}));
}

// The rule taken literally: search from the start every time, then drop the
// ranges that the final text no longer holds.
MarkupText LiteralMarkup(const std::string& markup) {
  MarkupText r;
  r.text = ExpandEscapes(markup);
  if (r.text.starts_with("<<b>")) r.text.erase(0, 1);
  for (;;) {
    const size_t open = UpperCase(r.text).find("<B>");
    if (open == std::string::npos) break;
    r.text.erase(open, 3);
    const size_t close = UpperCase(r.text).find("</B>");
    if (close == std::string::npos || close < open) continue;
    r.text.erase(close, 4);
    r.bold.push_back({uint32_t(open), uint32_t(close)});
  }
  for (size_t p; (p = UpperCase(r.text).find("</B>")) != std::string::npos;) r.text.erase(p, 4);
  Ranges kept;
  for (BoldRange b : r.bold) {
    b.start = std::min<uint32_t>(b.start, uint32_t(r.text.size()));
    b.end = std::min<uint32_t>(b.end, uint32_t(r.text.size()));
    if (b.start < b.end) kept.push_back(b);
  }
  r.bold = kept;
  return r;
}

TEST(MarkupTest, AgreesWithTheLiteralRuleOnTagSoup) {
  const char* pieces[] = {"<", "/", "b", "B", ">", "x", "<B>", "</B>", "<b>", "</b>", "<P>"};
  std::mt19937 random(4711);
  for (int round = 0; round < 20000; ++round) {
    std::string markup;
    const int n = static_cast<int>(random() % 14);
    for (int i = 0; i < n; ++i) markup += pieces[random() % std::size(pieces)];
    const MarkupText expected = LiteralMarkup(markup);
    const MarkupText actual = ParseMarkup(markup);
    ASSERT_EQ(actual.text, expected.text) << markup;
    ASSERT_EQ(actual.bold, expected.bold) << markup;
  }
}

// A box's text in the agent's log stays on its one line.
TEST(MarkupTest, LogTextIsThePlainTextOnOneLine) {
  const struct {
    const char* markup;
    const char* line;
  } cases[] = {
      {"http://host/Setup.exe<P><P>Unable to Download File!", "http://host/Setup.exe  Unable to Download File!"},
      {"<B>404 File Not Found...</B><P>URL:<T>x", "404 File Not Found... URL: x"},
      {"a\r\nb\nc\rd", "a b c d"},
      {"plain", "plain"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(MarkupLogText(c.markup), c.line) << c.markup;
}

}  // namespace
}  // namespace tarnix
