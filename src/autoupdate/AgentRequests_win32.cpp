#include "autoupdate/AgentRequests.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "Utils/StubLog.h"
#include "autoupdate/AgentState.h"
#include "autoupdate/ProbePacing.h"
#include "autoupdate/SettingsFiles.h"
#include "autoupdate/TransientOverrides.h"
#include "startup/AgentMessages.h"

namespace tarnix {

namespace {

void RequestCheck(int32_t argument) {
  AgentState& agent = Agent();
  agent.ForcedShot = true;
  agent.AutoUpdateTimerCount = std::max(agent.AutoUpdateTimerCount, 1);
  if (argument == kOnDemandCheck) agent.OnDemand = 2;
}

// Agent times (seconds since 1899) are above 2^31 today: they travel in the
// message's 32 bits as unsigned numbers, so a controller that reads a time
// and sets it again gets back what it read.
int64_t TimeArgument(int32_t argument) { return int64_t(uint32_t(argument)); }

// The channel's name travels as a global atom (0: no channel); a name that
// is none leaves the channel as it was.
void RequestChannel(int32_t argument) {
  char name[256] = {};
  const ATOM atom = static_cast<ATOM>(argument);
  if (atom != 0 && ::GlobalGetAtomNameA(atom, name, sizeof name) == 0) return;
  const std::string channel = name;
  if (!channel.empty() && !ValidChannelName(channel)) return;
  SetChannel(channel);
  WriteLog(channel.empty() ? std::string("Channel: none") : "Channel: " + channel);
}

// A probe time or interval set from outside starts the schedule anew: the
// plan the last probe made goes.
void ForgetPlan() { SetProbeSecondsNext(0); }

int64_t Answer(int32_t type, int32_t argument) {
  switch (type) {
    case kRequestVersionOriginal: return VersionOriginal();
    case kRequestVersionNew: return VersionNew();
    case kRequestAgentStatus: return Agent().AgentStatus;
    case kRequestProbeSecondsInterval: return ProbeSecondsInterval();
    case kRequestReAskSecondsInterval: return ReAskSecondsInterval();
    case kRequestProbeSecondsLast: return ProbeSecondsLast();
    case kRequestReAskSecondsLast: return ReAskSecondsLast();
    case kRequestSetProbeSecondsInterval:
      SetProbeSecondsInterval(argument);
      ForgetPlan();
      break;
    case kRequestSetReAskSecondsInterval: SetReAskSecondsInterval(argument); break;
    case kRequestSetProbeSecondsLast:
      SetProbeSecondsLast(TimeArgument(argument));
      ForgetPlan();
      break;
    case kRequestSetReAskSecondsLast: SetReAskSecondsLast(TimeArgument(argument)); break;
    case kRequestStopCountdown: Agent().StopCountdown = argument; break;
    case kRequestCheck: RequestCheck(argument); break;
    case kRequestRefreshInfo: Agent().JustDownloadInfo = true; break;
    case kRequestSetChannel: RequestChannel(argument); break;
    default:
      if (type >= kRequestSetOverrideFirst && type <= kRequestSetOverrideLast)
        SetOverride(type - kRequestSetOverrideFirst, argument);
      break;
  }
  return 0;
}

}  // namespace

// A 32-bit program's message to a 64-bit agent keeps only the low 32 bits of
// its argument, and a 32-bit program sees only the low 32 bits of the
// answer: so requests and answers carry 32-bit values whatever the widths
// of the agent and of the program that asks, the answer sign-extended as a
// 32-bit agent's reaches a 64-bit program.
intptr_t HandleAgentRequest(int32_t type, intptr_t argument) {
  return intptr_t(int32_t(uint32_t(Answer(type, int32_t(argument)))));
}

}  // namespace tarnix
