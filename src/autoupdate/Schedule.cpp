#include "autoupdate/Schedule.h"

#include <string>

#include "Utils/StrUtils.h"
#include "autoupdate/ProbePacing.h"

namespace tarnix {

namespace {

constexpr int64_t kProbeOncePerStart = 0;
constexpr int64_t kNeverProbe = -1;
constexpr uint32_t kTestModeReadMs = 30000;

constexpr std::string_view kTestModeNotice =
    "<P><P><T><B>PLEASE NOTE</B> - You are now running in <B>Test Mode</B>!";

}  // namespace

int ShotTimeStatus(const ShotTimeFacts& facts) {
  if (!facts.autoProbe && !facts.forcedShot) return 0;
  const int64_t interval = facts.testMode ? kTestModeProbeSeconds : facts.probeSecondsInterval;
  const int64_t due = facts.testMode ? AddSaturated64(facts.probeSecondsLast, interval)
                                     : ScheduledProbeDue(facts.probeSecondsLast, interval, facts.probeSecondsNext);
  int status = facts.now >= due ? 1 : 0;
  if (facts.probeSecondsInterval == kProbeOncePerStart && status == 1) status = 2;
  if (facts.probeSecondsInterval == kNeverProbe) status = 0;
  if (facts.forcedShot) status = 1;
  return status;
}

bool AdvanceTickCounters(AgentState& state) {
  state.AgentStatus = 0;
  if (state.OnDemand == 2) state.OnDemand = 1;
  if (state.OnDemand == 1) state.AutoUpdateTimerCount = 0;
  const bool quit = state.StopCountdown == 0;
  if (state.StopCountdown >= 0) --state.StopCountdown;
  // The counter only grows; it is held below overflow for an agent that
  // runs for years.
  if (state.AutoUpdateTimerCount < INT32_MAX) ++state.AutoUpdateTimerCount;
  return quit;
}

bool TestModeOn(std::string_view testMode, std::string_view testModeDate, std::string_view today) {
  return testMode == "1" && !today.empty() && testModeDate == today;
}

bool TestModeReadDue(uint32_t nowTicks, uint32_t lastReadTicks, bool force) {
  return force || nowTicks > uint32_t(lastReadTicks + kTestModeReadMs);
}

std::string CheckNowQuestion(std::string_view s22, std::string_view s23, std::string_view s24,
                             std::string_view location, bool testMode, std::string_view programName) {
  const bool folder = location.size() < 2 || location[1] == ':';
  std::string text = std::string(s22) + std::string(folder ? "" : s23) + std::string(s24);
  if (testMode) text += kTestModeNotice;
  return ReplaceAll(text, "PROG_NAME", programName);
}

}  // namespace tarnix
