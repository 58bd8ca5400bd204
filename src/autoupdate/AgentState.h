// The resident agent's process-wide state: one set per process, read and
// changed by the timer ticks, the probe, the update decision and the
// commands that other programs send to the agent window.
#pragma once

#include <cstdint>
#include <string>

namespace tarnix {

struct AgentState {
  // A tick is running; ticks that come meanwhile return at once.
  bool AgentBusy = false;
  // Counts ticks; probes are considered only above 0, so the first one comes
  // with the fourth tick.
  int AutoUpdateTimerCount = -3;
  // Ticks until the agent quits; below 0 it does not count.
  int StopCountdown = -1;
  // Automatic probes allowed.
  bool AutoProbe = true;
  // Probe at the next opportunity whatever the interval.
  bool ForcedShot = false;
  // 2: a user asked for a check; 1: that check is running; 0: none.
  int OnDemand = 0;
  // The next tick only refreshes the announcement file.
  bool JustDownloadInfo = false;
  // 0 idle, 1 announcement download, 2 update or inform download, 3 new
  // setup running.
  int AgentStatus = 0;
  // The last announcement came from a web server, not from a folder: the
  // locations it names are then only taken as web addresses.
  bool InfoOverHttp = false;
  bool TestMode = false;
  // In test mode, the location that replaces every download location.
  std::string TestModeURL;
  // The tick count of the last reading of the test-mode values.
  uint32_t LastTestModeRead = 0;
};

// The process's one agent state, in its start values until changed.
AgentState& Agent();

// Whether the check in progress is one a user asked for.
bool IsOnDemandCheck();

}  // namespace tarnix
