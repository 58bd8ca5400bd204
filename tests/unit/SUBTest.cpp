// Self-delimited lists: the delimiter is the list's first character, and a
// text that does not end with it holds no items at all.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Utils/SUB.h"

namespace tarnix {
namespace {

using Texts = std::vector<std::string>;

TEST(SUBTest, CountAndItemsAgreeOnWhatIsAList) {
  struct Case {
    std::string list;
    Texts items;
  } cases[] = {
      {"|a|b|c|", {"a", "b", "c"}},
      {"|a||b|", {"a", "", "b"}},
      {"||", {""}},
      {"*a|b*", {"a|b"}},
      {"|", {}},
      {"|a|b", {}},
      {"", {}},
      {"x", {}},
      {std::string(1, '\0'), {}},
      {"~a~~", {"a", ""}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SUB::Count(c.list), static_cast<int>(c.items.size())) << c.list;
    EXPECT_EQ(SUB::Items(c.list), c.items) << c.list;
  }
}

TEST(SUBTest, ItemGivesTheDefaultForMissingAndEmptyItems) {
  const std::string buttons = "|&OK|&Cancel|";
  struct Case {
    std::string list;
    int index;
    std::string expected;
  } cases[] = {
      {buttons, 0, "&OK"},
      {buttons, 1, "&Cancel"},
      {buttons, -1, "&Cancel"},
      {buttons, 2, "def"},
      {buttons, -2, "def"},
      {"|a||b|", 1, "def"},
      {"|a|b", 0, "def"},
      {"|", -1, "def"},
      {std::string(1, '\0'), 0, "def"},
      {"#x|y#z#", 0, "x|y"},
  };
  for (const auto& c : cases) EXPECT_EQ(SUB::Item(c.list, c.index, "def"), c.expected) << c.list << " " << c.index;
  EXPECT_EQ(SUB::Item(buttons, 5), "");
}

TEST(SUBTest, ItemAsInt64ParsesDecimalOrGivesTheDefault) {
  const std::string list = "|12|x|-5| 7 ||99999999999999999999|";
  struct Case {
    int index;
    int64_t expected;
  } cases[] = {{0, 12}, {1, -1}, {2, -5}, {3, 7}, {4, -1}, {5, -1}, {6, -1}};
  for (const auto& c : cases) EXPECT_EQ(SUB::ItemAsInt64(list, c.index, -1), c.expected) << c.index;
}

TEST(SUBTest, IndexOfFindsWholeItemsOrPrefixesIgnoringCase) {
  const std::string list = "|Alpha|Beta|Gamma||Delta|";
  struct Case {
    std::string list;
    std::string item;
    bool prefix;
    int expected;
  } cases[] = {
      {list, "alpha", false, 0},
      {list, "BETA", false, 1},
      {list, "gam", false, -1},
      {list, "gam", true, 2},
      {list, "", false, 3},
      {list, "delta", false, 4},
      {list, " beta ", false, 1},
      {list, "eta", true, -1},
      {"  |a|b|  ", "b", false, 1},
      {"|a|b", "b", false, -1},
      {"", "", true, -1},
      {"*x|y*z*", "z", false, 1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SUB::IndexOf(c.list, c.item, -1, c.prefix), c.expected) << c.list << " [" << c.item << "]";
}

TEST(SUBTest, ContainsHonoursTrimAndCaseFlags) {
  struct Case {
    std::string list;
    std::string item;
    bool trim, ignoreCase, expected;
  } cases[] = {
      {"|a|B|", "b", false, true, true},
      {"|a|B|", "b", false, false, false},
      {" |a|b| ", "b", true, false, true},
      {" |a|b| ", "b", false, false, false},
      {"|a|b|", " a ", true, false, true},
      {"|a|b|", " a ", false, false, false},
      {"|ab|", "a", false, false, false},
      {"|a|b", "a", false, false, false},
      {"", "", true, true, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SUB::Contains(c.list, c.item, c.trim, c.ignoreCase), c.expected) << c.list << " [" << c.item << "]";
}

TEST(SUBTest, ValueReadsKeyValueLists) {
  struct Case {
    std::string list;
    std::string key;
    std::string expected;
  } cases[] = {
      {"|Name = Tool|Ver=2|", "name", " Tool"},
      {"|Name = Tool|Ver=2|", "VER", "2"},
      {"|Name = Tool|Ver=2|", "Ver=", "2"},
      {"|Name = Tool|Ver=2|", "Size", "missing"},
      {"|Empty=|b=1|", "empty", "empty"},
      {"|ab=1|b=2|", "b", "2"},
      {"| a=1|", "a", "1"},
      {"|a   =1|", "a", "1"},
      {"|Path=C:\\My Apps|", "path", "C:\\My Apps"},
      {"|a=x=y|", "a", "x=y"},
      {"|==x|", "=", "x"},
      {"|a=1|", "=", "missing"},
      {"|=5|", "", "5"},
      {"|a=1", "a", "missing"},
      {"||", "", "missing"},
      {"", "a", "missing"},
      {"*k=x|y*", "k", "x|y"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SUB::Value(c.list, c.key, "empty", "missing"), c.expected) << c.list << " [" << c.key << "]";
}

TEST(SUBTest, SidesSplitItemsAtTheFirstEquals) {
  struct Case {
    std::string list, lefts, rights;
  } cases[] = {
      {"|a=1|b=|c|=d|", "|a|b|c||", "|1|||d|"},
      {"*x=1|2*y=a=b*", "*x*y*", "*1|2*a=b*"},
      {"", "", ""},
      {"|a=1", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SUB::LeftSides(c.list), c.lefts) << c.list;
    EXPECT_EQ(SUB::RightSides(c.list), c.rights) << c.list;
    EXPECT_EQ(SUB::SplitPairs(c.list), std::make_pair(c.lefts, c.rights)) << c.list;
  }
}

TEST(SUBTest, ZipPairsItemsUpToTheLongerList) {
  struct Case {
    std::string keys, values;
    bool dropEmptyEnds;
    std::string expected;
  } cases[] = {
      {"|a|b|", "|1|", false, "|a=1|b=|"},
      {"|a|", "|1|2|", false, "|a=1|=2|"},
      {"|a|b||", "|1|||", false, "|a=1|b=|=|"},
      {"|a|b||", "|1|||", true, "|a=1|b=|"},
      {"|k|", "*x|y*", false, "*k=x|y*"},
      {"", "", false, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SUB::Zip(c.keys, c.values, c.dropEmptyEnds), c.expected) << c.keys << " " << c.values;
}

TEST(SUBTest, DeleteRemovesOneItemInTheSameDelimiter) {
  struct Case {
    std::string list;
    int index;
    std::string expected;
  } cases[] = {
      {"|a|b|c|", 1, "|a|c|"},
      {"|a|b|c|", 2, "|a|b|"},
      {"|a|b|c|", 3, "|a|b|c|"},
      {"|a|b|c|", -1, "|a|b|c|"},
      {"*a|b*c*", 1, "*a|b*"},
      {"|a||b|", 1, "|a|b|"},
      {"|a|b", 0, "|a|b"},
      {"|a|", 0, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(SUB::Delete(c.list, c.index), c.expected) << c.list << " " << c.index;
}

TEST(SUBTest, SetItemPadsAndRedelimitsWhenNeeded) {
  struct Case {
    std::string list;
    int index;
    std::string value, expected;
  } cases[] = {
      {"|a|b|", 4, "e", "|a|b|||e|"},
      {"|a|b|", 0, "x", "|x|b|"},
      {"~a~", 0, "b|c", "~b|c~"},
      {"|a|b|", 1, "x|y", "*a*x|y*"},
      {"", 1, "x", "||x|"},
      {"|a|b", 0, "x", "|x|"},
      {"|a|", 0, "", "||"},
      {"|a|", -1, "x", "|a|"},
      {"|a|", 1 << 30, "x", "|a|"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SUB::SetItem(c.list, c.index, c.value), c.expected) << c.list << " " << c.index;
}

TEST(SUBTest, JoinPicksTheFirstDelimiterNoTextHolds) {
  struct Case {
    Texts texts;
    bool removeDuplicates;
    std::string expected;
  } cases[] = {
      {{"a", "b"}, false, "|a|b|"},
      {{"x|y", "z"}, false, "*x|y*z*"},
      {{"|", "*", "~"}, false, "^|^*^~^"},
      {{"a", "", "A", "b"}, false, "|a||A|b|"},
      {{"a", "", "A", "b"}, true, "|a|b|"},
      {{""}, false, "||"},
      {{}, false, ""},
      {{std::string("a\0b", 3)}, false, std::string("|a\0b|", 5)},
  };
  for (const auto& c : cases) EXPECT_EQ(SUB::Join(c.texts, c.removeDuplicates), c.expected);
}

TEST(SUBTest, JoinKeepsItemsApartWhenEveryCandidateIsTaken) {
  const Texts texts = {std::string(SUB::kDelimiterCandidates), "plain"};
  const std::string list = SUB::Join(texts, false);
  EXPECT_EQ(SUB::Items(list), texts);
}

TEST(SUBTest, AppendKeepsTheDelimiterUnlessANewTextHoldsIt) {
  struct Case {
    std::string list;
    Texts texts;
    bool removeDuplicates;
    std::string expected;
  } cases[] = {
      {"|a|", {"b", "c"}, false, "|a|b|c|"},
      {"~a~", {"b|c"}, false, "~a~b|c~"},
      {"|a|", {"b|c"}, false, "*a*b|c*"},
      {"|a|b|", {"A", " b", "c"}, true, "|a|b|c|"},
      {"|a|", {}, false, "|a|"},
      {"", {"x"}, false, "|x|"},
      {"|a|b", {"x|y"}, false, "*x|y*"},
  };
  for (const auto& c : cases) EXPECT_EQ(SUB::Append(c.list, c.texts, c.removeDuplicates), c.expected) << c.list;
}

TEST(SUBTest, ReverseDistinctAndTrimEmptyKeepTheDelimiter) {
  EXPECT_EQ(SUB::Reverse("|a|b|c|"), "|c|b|a|");
  EXPECT_EQ(SUB::Reverse("~a~~"), "~~a~");
  EXPECT_EQ(SUB::Reverse("|a|b"), "");

  EXPECT_EQ(SUB::Distinct("|a|A| a||b|"), "|a|b|");
  EXPECT_EQ(SUB::Distinct("*x|y*X|Y*z*"), "*x|y*z*");
  EXPECT_EQ(SUB::Distinct("|||"), "");

  struct Case {
    bool atEnd, atStart;
    std::string expected;
  } cases[] = {
      {true, false, "||a||b|"},
      {false, true, "|a||b||"},
      {true, true, "|a||b|"},
      {false, false, "||a||b||"},
  };
  for (const auto& c : cases) EXPECT_EQ(SUB::TrimEmpty("||a||b||", c.atEnd, c.atStart), c.expected);
  EXPECT_EQ(SUB::TrimEmpty("|||", true, true), "");
}

TEST(SUBTest, RedelimitAndSetDelimiter) {
  struct Case {
    std::string text, expected;
  } cases[] = {
      {"|a|b|", "|a|b|"},
      {"~a~b~", "|a|b|"},
      {"*a|b*", "*a|b*"},
      {std::string("\0a|b\0", 5), "*a|b*"},
      {"||", "||"},
      {"x", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(SUB::Redelimit(c.text), c.expected) << c.text;

  EXPECT_EQ(SUB::SetDelimiter("|a|b|", '*'), "*a*b*");
  EXPECT_EQ(SUB::SetDelimiter("", '*'), "");
}

}  // namespace
}  // namespace tarnix
