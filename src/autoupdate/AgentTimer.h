// Windows only. The resident agent's one-second tick: it counts down the
// start delay and a requested stop, asks whether to check when it should,
// and fires a probe when the interval, a request or test mode says so. A
// tick that probes may run for minutes while it pumps messages; ticks that
// arrive meanwhile return at once.
#pragma once

namespace tarnix {

// Called by the agent window for every timer tick.
void AgentTimerTick();

// 0, 1 or 2 (Schedule.h) for the agent's state and settings now; clears a
// forced probe.
int ShotTimeStatus();

// Asks the user whether to check now; a No sets `status` to 0.
void AskBeforeShot(int& status);

}  // namespace tarnix
