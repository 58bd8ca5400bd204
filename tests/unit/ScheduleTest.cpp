// When the agent probes, how its ticks count, test mode's day, the question
// before a check and the agent's restart command.
#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

#include "Utils/Switches.h"
#include "autoupdate/AgentRestart.h"
#include "autoupdate/Schedule.h"

namespace tarnix {
namespace {

constexpr int64_t kNow = 3'970'000'000;  // an agent time of the 2020s
constexpr int64_t kDay = 86400;

struct ShotCase {
  const char* name;
  ShotTimeFacts facts;
  int expected;
};

// Names the case in test listings instead of its bytes.
void PrintTo(const ShotCase& c, std::ostream* os) { *os << c.name; }

class ShotTimeStatusTest : public ::testing::TestWithParam<ShotCase> {};

TEST_P(ShotTimeStatusTest, Status) { EXPECT_EQ(ShotTimeStatus(GetParam().facts), GetParam().expected); }

ShotTimeFacts Facts(int64_t interval, int64_t last, bool autoProbe = true, bool forced = false,
                    bool testMode = false) {
  ShotTimeFacts f;
  f.autoProbe = autoProbe;
  f.forcedShot = forced;
  f.testMode = testMode;
  f.probeSecondsInterval = interval;
  f.probeSecondsLast = last;
  f.now = kNow;
  return f;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShotTimeStatusTest,
    ::testing::Values(
        ShotCase{"DailyProbeDue", Facts(kDay, kNow - kDay), 1},
        ShotCase{"DailyProbeOneSecondEarly", Facts(kDay, kNow - kDay + 1), 0},
        ShotCase{"DailyProbeJustDone", Facts(kDay, kNow), 0},
        ShotCase{"OncePerStartAlsoRightAfterAProbe", Facts(0, kNow), 2},
        ShotCase{"OncePerStartWithALastProbeInTheFuture", Facts(0, kNow + 10), 0},
        ShotCase{"NeverOnItsOwn", Facts(-1, 0), 0},
        ShotCase{"NeverUnlessForced", Facts(-1, 0, true, true), 1},
        ShotCase{"ForcedWithinTheInterval", Facts(kDay, kNow, true, true), 1},
        ShotCase{"ForcedAfterTheOneProbeOfThisStart", Facts(0, kNow, false, true), 1},
        ShotCase{"NoMoreAutomaticProbes", Facts(kDay, 0, false), 0},
        ShotCase{"TestModeProbesEveryFiveSeconds", Facts(kDay, kNow - 5, true, false, true), 1},
        ShotCase{"TestModeFourSecondsAfter", Facts(kDay, kNow - 4, true, false, true), 0},
        ShotCase{"TestModeKeepsNever", Facts(-1, 0, true, false, true), 0},
        ShotCase{"TestModeKeepsOncePerStart", Facts(0, kNow - 5, true, false, true), 2},
        // Values from a file may be anything: a sum past the 64-bit range
        // must not wrap into the past and probe every second.
        ShotCase{"HugeIntervalNeverDue", Facts(INT64_MAX, kNow), 0},
        ShotCase{"HugeLastProbeNeverDue", Facts(kDay, INT64_MAX), 0},
        ShotCase{"FarPastLastProbeDue", Facts(kDay, INT64_MIN), 1}),
    [](const ::testing::TestParamInfo<ShotCase>& info) { return std::string(info.param.name); });

// Ticks until the state asks to quit, at most `limit`.
int TicksUntilQuit(AgentState& state, int limit) {
  for (int tick = 1; tick <= limit; ++tick)
    if (AdvanceTickCounters(state)) return tick;
  return 0;
}

TEST(AgentTickTest, TheFirstProbeComesWithTheFourthTick) {
  AgentState state;
  std::vector<int> counts;
  for (int i = 0; i < 5; ++i) {
    AdvanceTickCounters(state);
    counts.push_back(state.AutoUpdateTimerCount);
  }
  EXPECT_EQ(counts, (std::vector<int>{-2, -1, 0, 1, 2}));
}

TEST(AgentTickTest, AStopCountdownOfThreeEndsTheAgentWithTheFourthTick) {
  AgentState state;
  state.StopCountdown = 3;
  EXPECT_EQ(TicksUntilQuit(state, 10), 4);
  EXPECT_EQ(state.StopCountdown, -1);
  EXPECT_EQ(TicksUntilQuit(state, 10), 0) << "an ended countdown stays ended";
}

TEST(AgentTickTest, AStopOfZeroEndsTheAgentWithTheNextTick) {
  AgentState state;
  state.StopCountdown = 0;
  EXPECT_EQ(TicksUntilQuit(state, 3), 1);
}

TEST(AgentTickTest, ACheckTheUserAskedForStartsWithTheNextTick) {
  AgentState state;  // still in its start delay
  state.OnDemand = 2;
  state.AutoUpdateTimerCount = 1;  // what the request does
  AdvanceTickCounters(state);
  EXPECT_EQ(state.OnDemand, 1);
  EXPECT_EQ(state.AutoUpdateTimerCount, 1) << "the check counts from the tick it starts on";
}

TEST(AgentTickTest, TheTickCounterStopsBelowOverflow) {
  AgentState state;
  state.AutoUpdateTimerCount = INT32_MAX;
  AdvanceTickCounters(state);
  EXPECT_EQ(state.AutoUpdateTimerCount, INT32_MAX);
}

TEST(TestModeTest, OnlyOnTheDayTheRegistryNames) {
  struct Case {
    const char *mode, *date, *today;
    bool on;
  } cases[] = {
      {"1", "10-DEC-2026", "10-DEC-2026", true},
      {"1", "09-DEC-2026", "10-DEC-2026", false},
      {"0", "10-DEC-2026", "10-DEC-2026", false},
      {"1", "", "10-DEC-2026", false},
      {"1 ", "10-DEC-2026", "10-DEC-2026", false},
      {"1", "", "", false},
  };
  for (const Case& c : cases) EXPECT_EQ(TestModeOn(c.mode, c.date, c.today), c.on) << c.mode << "/" << c.date;
}

TEST(TestModeTest, ReadAgainAfterThirtySecondsOrWhenForced) {
  EXPECT_TRUE(TestModeReadDue(1000, 1000, true));
  EXPECT_FALSE(TestModeReadDue(31000, 1000, false));
  EXPECT_TRUE(TestModeReadDue(31001, 1000, false));
  // Near the wrap of the tick counter the sum wraps first, and the values
  // are read on every tick for a while: a registry read too many, no more.
  EXPECT_TRUE(TestModeReadDue(0xFFFFFFF0u, 0xFFFFF000u, false));
}

TEST(CheckNowQuestionTest, PartsLocationAndTestModeNotice) {
  const std::string note = "<P><P><T><B>PLEASE NOTE</B> - You are now running in <B>Test Mode</B>!";
  struct Case {
    const char* location;
    bool testMode;
    std::string expected;
  } cases[] = {
      {"http://updates.example.com/p", false, "Check Tool now? Online. Yes?"},
      {"C:\\updates", false, "Check Tool now? Yes?"},
      {"\\\\server\\share", false, "Check Tool now? Online. Yes?"},
      {"x", false, "Check Tool now? Yes?"},
      {"C:\\updates", true, "Check Tool now? Yes?" + note},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CheckNowQuestion("Check PROG_NAME now? ", "Online. ", "Yes?", c.location, c.testMode, "Tool"),
              c.expected)
        << c.location;
}

TEST(AgentRestartTest, TheFreshAgentIsStartedByItsQuotedPathWithTheOverrides) {
  const std::string agent = R"(C:\Program Files\Product\Agent.exe)";
  const std::string line = AgentRestartCommandLine(agent, "|1|255|255|255|255|0|255|255|");
  EXPECT_EQ(line, R"("C:\Program Files\Product\Agent.exe" /_ZZ=99 /WAIT=10 /TRANSIENT=|1|255|255|255|255|0|255|255|)");
  const std::string params = CommandLineParams(line, agent);
  EXPECT_EQ(SwitchValueIn(params, kSwitchZZ, ""), "99");
  EXPECT_EQ(SwitchIntIn(params, kSwitchWait, 0), 10);
  EXPECT_EQ(SwitchValueIn(params, kSwitchTransient, ""), "|1|255|255|255|255|0|255|255|");
}

}  // namespace
}  // namespace tarnix
