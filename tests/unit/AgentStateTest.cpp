// The agent's process-wide state starts as a freshly started agent needs it.
#include "autoupdate/AgentState.h"

#include <gtest/gtest.h>

namespace tarnix {
namespace {

TEST(AgentStateTest, StartsIdleWithTheFirstProbeAtTheFourthTick) {
  const AgentState start;
  EXPECT_FALSE(start.AgentBusy);
  EXPECT_EQ(start.AutoUpdateTimerCount, -3);
  EXPECT_EQ(start.StopCountdown, -1);
  EXPECT_TRUE(start.AutoProbe);
  EXPECT_FALSE(start.ForcedShot);
  EXPECT_EQ(start.OnDemand, 0);
  EXPECT_FALSE(start.JustDownloadInfo);
  EXPECT_EQ(start.AgentStatus, 0);
  EXPECT_FALSE(start.TestMode);
  EXPECT_EQ(start.TestModeURL, "");
  EXPECT_EQ(start.LastTestModeRead, 0u);
}

TEST(AgentStateTest, OnlyARunningRequestedCheckIsOnDemand) {
  for (int onDemand : {0, 1, 2}) {
    Agent().OnDemand = onDemand;
    EXPECT_EQ(IsOnDemandCheck(), onDemand == 1) << onDemand;
  }
  Agent() = AgentState();
}

}  // namespace
}  // namespace tarnix
