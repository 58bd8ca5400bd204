// When the resident agent probes, and how its one-second ticks move its
// counters: plain rules over the agent state, so that the timing of probes,
// checks on request and stops is the same in the agent and in tests.
#pragma once

#include <cstdint>
#include <string_view>

#include "autoupdate/AgentState.h"

namespace tarnix {

// In test mode the agent probes this often, whatever the settings say
// (except that 0 and -1 keep their meaning).
inline constexpr int64_t kTestModeProbeSeconds = 5;

struct ShotTimeFacts {
  bool autoProbe = true;
  bool forcedShot = false;
  bool testMode = false;
  int64_t probeSecondsInterval = 0;
  int64_t probeSecondsLast = 0;
  // The next scheduled probe as the last one planned it (spread, back-off,
  // Retry-After; ProbePacing.h): 0 for none. Test mode goes by its own
  // interval alone.
  int64_t probeSecondsNext = 0;
  int64_t now = 0;
};

// 0: no probe now; 1: probe; 2: probe, and it is the one probe of this
// agent start (an interval of 0), so automatic probes end with it.
int ShotTimeStatus(const ShotTimeFacts& facts);

// The counters' step at the start of a tick: a check the user asked for
// starts now, the stop countdown and the tick counter move on. True when
// the countdown has run out and the agent must end.
bool AdvanceTickCounters(AgentState& state);

// The registry's test-mode values switch test mode on only on the day they
// name, so a forgotten test mode lapses at midnight.
bool TestModeOn(std::string_view testMode, std::string_view testModeDate, std::string_view today);

// Whether the test-mode values are to be read again: when forced, or when
// more than 30 s have passed since the last reading (millisecond ticks;
// unsigned, as the system's tick count wraps).
bool TestModeReadDue(uint32_t nowTicks, uint32_t lastReadTicks, bool force);

// The text of the question whether to check now: the three parts, the
// second only for a location that is not a local folder (a drive path), and
// the test-mode notice in test mode, with PROG_NAME replaced.
std::string CheckNowQuestion(std::string_view s22, std::string_view s23, std::string_view s24,
                             std::string_view location, bool testMode, std::string_view programName);

}  // namespace tarnix
