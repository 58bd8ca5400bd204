#include "autoupdate/AgentTimer.h"

#include <windows.h>

#include "Utils/DateUtils.h"
#include "Utils/Trace.h"
#include "autoupdate/AgentState.h"
#include "autoupdate/Probe.h"
#include "autoupdate/Schedule.h"
#include "autoupdate/SettingsFiles.h"
#include "autoupdate/TestMode.h"
#include "autoupdate/TransientOverrides.h"
#include "startup/StubState.h"
#include "ui/MsgBox.h"

namespace tarnix {

namespace {

// AgentBusy for the length of one tick, also when the tick ends early.
class BusyTick {
 public:
  BusyTick() { Agent().AgentBusy = true; }
  ~BusyTick() {
    Agent().AgentStatus = 0;
    Agent().AgentBusy = false;
  }
  BusyTick(const BusyTick&) = delete;
  BusyTick& operator=(const BusyTick&) = delete;
};

void CountTick() {
  SetMsgBoxFont(MsgBoxFontName(), MsgBoxFontSize(), MsgBoxCharSet());
  AgentState& agent = Agent();
  if (AdvanceTickCounters(agent)) ::PostQuitMessage(0);
  Trace("%lu AutoUpdateTimerCount=%d", ::GetCurrentProcessId(), agent.AutoUpdateTimerCount);
}

void ConsiderProbe() {
  AgentState& agent = Agent();
  CheckTestMode(false);
  int status = ShotTimeStatus();
  Trace("%lu ShotTimeStatus=%d", ::GetCurrentProcessId(), status);
  if (status == 2) agent.AutoProbe = false;
  if (status > 0 && (IsOnDemandCheck() || AskBeforeCheck())) AskBeforeShot(status);
  if (status > 0) PerformShot();
  if (IsOnDemandCheck()) agent.OnDemand = 0;
}

}  // namespace

void AgentTimerTick() {
  if (Agent().AgentBusy) return;
  BusyTick busy;
  if (Agent().JustDownloadInfo) {
    Trace("%s", "-------------- JustDownloadInfoFile ---------------");
    Agent().JustDownloadInfo = false;
    DownloadInfoOnly();
    return;
  }
  CountTick();
  if (Agent().AutoUpdateTimerCount > 0) ConsiderProbe();
}

int ShotTimeStatus() {
  AgentState& agent = Agent();
  ShotTimeFacts facts;
  facts.autoProbe = agent.AutoProbe;
  facts.forcedShot = agent.ForcedShot;
  if (facts.autoProbe || facts.forcedShot) {
    facts.testMode = agent.TestMode;
    facts.probeSecondsInterval = ProbeSecondsInterval();
    facts.probeSecondsLast = ProbeSecondsLast();
    facts.probeSecondsNext = ProbeSecondsNext();
    facts.now = NowSeconds();
  }
  agent.ForcedShot = false;
  return ShotTimeStatus(facts);
}

void AskBeforeShot(int& status) {
  const bool testMode = CheckTestMode(true);
  const std::string location = testMode ? Agent().TestModeURL : StubPackage().UpdateLocation();
  const std::string text = CheckNowQuestion(AgentText("s22"), AgentText("s23"), AgentText("s24"), location,
                                            testMode, OriginalProgramName());
  if (!MsgBoxConfirm(1, text, MsgBoxConfirmTitle(), 0, MsgBoxCharSet(), MsgBoxButtons())) status = 0;
}

}  // namespace tarnix
