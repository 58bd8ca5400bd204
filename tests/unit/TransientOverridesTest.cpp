// The transient overrides: commands set one slot's low byte, the text hands
// all eight on to the next agent process, and the switches they force.
#include "autoupdate/TransientOverrides.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstdint>
#include <optional>
#include <string>

namespace tarnix {
namespace {

constexpr char kAllFree[] = "|255|255|255|255|255|255|255|255|";
constexpr char kAllNine[] = "|9|9|9|9|9|9|9|9|";

class TransientOverridesTest : public testing::Test {
 protected:
  void SetUp() override { ApplyTransientText(kAllFree); }
  void TearDown() override { ApplyTransientText(kAllFree); }
};

TEST_F(TransientOverridesTest, FreeSlotsReadAs255) {
  EXPECT_EQ(TransientText(), kAllFree);
  for (int slot = -1; slot <= 8; ++slot) {
    EXPECT_EQ(OverrideValue(slot), kNoOverride) << slot;
    EXPECT_FALSE(SwitchOverride(slot).has_value()) << slot;
  }
  EXPECT_FALSE(AskBeforeCheck());
}

TEST_F(TransientOverridesTest, CommandsSetTheLowByteOfTheFirstSixSlots) {
  struct Case {
    int slot;
    int64_t value;
    bool stored;
    const char* text;
  } cases[] = {
      {0, 1, true, "|1|255|255|255|255|255|255|255|"},
      {5, 0, true, "|255|255|255|255|255|0|255|255|"},
      {2, 256, true, "|255|255|0|255|255|255|255|255|"},
      {3, 257, true, "|255|255|255|1|255|255|255|255|"},
      {1, -1, true, kAllFree},
      {4, 0x7FFFFFFF02, true, "|255|255|255|255|2|255|255|255|"},
      {6, 1, false, kAllFree},
      {7, 1, false, kAllFree},
      {-1, 1, false, kAllFree},
      {8, 1, false, kAllFree},
  };
  for (const Case& c : cases) {
    ApplyTransientText(kAllFree);
    EXPECT_EQ(SetOverride(c.slot, c.value), c.stored) << c.slot << " " << c.value;
    EXPECT_EQ(TransientText(), c.text) << c.slot << " " << c.value;
  }
}

TEST_F(TransientOverridesTest, SlotsForceSwitchesOnOnlyWith1) {
  struct Case {
    int64_t value;
    std::optional<bool> forced;
  } cases[] = {{1, true}, {0, false}, {2, false}, {254, false}, {255, std::nullopt}};
  for (const Case& c : cases) {
    SetOverride(kSlotAskBeforeCheck, c.value);
    SetOverride(kSlotRestartProcess, c.value);
    EXPECT_EQ(SwitchOverride(kSlotRestartProcess), c.forced) << c.value;
    EXPECT_EQ(AskBeforeCheck(), c.value == 1) << c.value;
  }
}

struct ApplyCase {
  const char* name;
  std::string text;
  std::string expected;
};

// Names the case in test listings instead of its bytes.
void PrintTo(const ApplyCase& c, std::ostream* os) { *os << c.name; }

class ApplyTransientTextTest : public testing::TestWithParam<ApplyCase> {
 protected:
  void SetUp() override { ApplyTransientText(kAllNine); }
  void TearDown() override { ApplyTransientText(kAllFree); }
};

TEST_P(ApplyTransientTextTest, SetsTheSlotsOfTheItemsThatAreNumbers) {
  ApplyTransientText(GetParam().text);
  EXPECT_EQ(TransientText(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ApplyTransientTextTest,
    testing::Values(
        ApplyCase{"AllEight", "|1|0|1|0|1|0|1|0|", "|1|0|1|0|1|0|1|0|"},
        ApplyCase{"AtStart", kAllFree, kAllFree},
        ApplyCase{"ShortList", "|1|0|", "|1|0|9|9|9|9|9|9|"},
        ApplyCase{"ShortListWithoutClosingDelimiter", "|1|0", "|1|0|9|9|9|9|9|9|"},
        ApplyCase{"OtherDelimiter", ",3,4,", "|3|4|9|9|9|9|9|9|"},
        ApplyCase{"OtherDelimiterUnclosed", "*3*4", "|3|4|9|9|9|9|9|9|"},
        ApplyCase{"NotANumber", "|x|1|yes|0x10|1e2|", "|9|1|9|9|9|9|9|9|"},
        ApplyCase{"EmptyItems", "|||5|", "|9|9|5|9|9|9|9|9|"},
        ApplyCase{"TooBigForAnyNumber", "|99999999999999999999|1|", "|9|1|9|9|9|9|9|9|"},
        ApplyCase{"LowByteOfBigValues", "|256|511|-1|", "|0|255|255|9|9|9|9|9|"},
        ApplyCase{"ItemsBeyondTheEighth", "|1|1|1|1|1|1|1|1|7|7|", "|1|1|1|1|1|1|1|1|"},
        ApplyCase{"Empty", "", kAllNine},
        ApplyCase{"DelimiterAlone", "|", kAllNine},
        ApplyCase{"PlainNumber", "5", kAllNine}),
    [](const testing::TestParamInfo<ApplyCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnix
