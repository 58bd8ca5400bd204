// The developer-mode switch and the key that holds the registered owner.
#include <gtest/gtest.h>

#include "Utils/SysInfo.h"

namespace tarnix {
namespace {

TEST(SysInfoTest, OnlyTheExactCodeSwitchesDeveloperModeOn) {
  struct Case {
    const char* value;
    bool on;
  } cases[] = {
      {"468", true},   {nullptr, false}, {"", false},     {" 468", false}, {"468 ", false},
      {"4680", false}, {"46", false},    {"0468", false}, {"x468", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsDeveloperCode(c.value), c.on) << (c.value ? c.value : "(unset)");
}

TEST(SysInfoTest, CurrentVersionKeyByPlatform) {
  EXPECT_EQ(WinCurrentVersionKey(false), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
  EXPECT_EQ(WinCurrentVersionKey(true), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");
}

}  // namespace
}  // namespace tarnix
