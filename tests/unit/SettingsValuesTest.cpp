// How settings values read: "1"-only switches, the override slots before
// the file, 32-bit versions and the companion keys of stored times.
#include "autoupdate/SettingsValues.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace tarnix {
namespace {

constexpr char kAllFree[] = "|255|255|255|255|255|255|255|255|";

TEST(EffectiveSwitchTest, TheFileCountsOnlyWhileTheSlotIsFree) {
  struct Case {
    int64_t slot;
    const char* fileText;
    bool on;
    int reads;
  } cases[] = {
      {255, "1", true, 1},  {255, "0", false, 1}, {255, "true", false, 1}, {255, "01", false, 1},
      {1, "0", true, 0},    {0, "1", false, 0},   {7, "1", false, 0},
  };
  for (const Case& c : cases) {
    SetOverride(kSlotRestartProcess, c.slot);
    int reads = 0;
    const bool on = EffectiveSwitch(kSlotRestartProcess, [&] {
      ++reads;
      return std::string(c.fileText);
    });
    EXPECT_EQ(on, c.on) << c.slot << " " << c.fileText;
    EXPECT_EQ(reads, c.reads) << c.slot << " " << c.fileText;
  }
  ApplyTransientText(kAllFree);
}

TEST(SettingsValuesTest, SwitchesAreOnOnlyAsExactly1) {
  for (const char* on : {"1"}) EXPECT_TRUE(IsSwitchOn(on)) << on;
  for (const char* off : {"0", "01", " 1", "1 ", "yes", "true", "TRUE", "", "2", "-1", "1.0"})
    EXPECT_FALSE(IsSwitchOn(off)) << off;
}

TEST(SettingsValuesTest, VersionsKeepTheLow32Bits) {
  EXPECT_EQ(LowInt32(5), 5);
  EXPECT_EQ(LowInt32(-1), -1);
  EXPECT_EQ(LowInt32((int64_t{1} << 32) + 7), 7);
  EXPECT_EQ(LowInt32(int64_t{INT32_MAX} + 1), INT32_MIN);
}

TEST(SettingsValuesTest, StoredTimesHaveAnUnderscoredCompanion) {
  EXPECT_EQ(CompanionKey("ProbeSecondsLast"), "__ProbeSecondsLast");
  EXPECT_EQ(CompanionKey("ReAskSecondsLast"), "__ReAskSecondsLast");
}

}  // namespace
}  // namespace tarnix
