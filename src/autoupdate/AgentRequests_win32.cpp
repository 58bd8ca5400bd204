#include "autoupdate/AgentRequests.h"

#include <algorithm>

#include "autoupdate/AgentState.h"
#include "autoupdate/SettingsFiles.h"
#include "autoupdate/TransientOverrides.h"
#include "startup/AgentMessages.h"

namespace tarnix {

namespace {

void RequestCheck(intptr_t argument) {
  AgentState& agent = Agent();
  agent.ForcedShot = true;
  agent.AutoUpdateTimerCount = std::max(agent.AutoUpdateTimerCount, 1);
  if (argument == kOnDemandCheck) agent.OnDemand = 2;
}

// Agent times (seconds since 1899) are above 2^31 today: they travel in the
// message's 32 bits as unsigned numbers, so a controller that reads a time
// and sets it again gets back what it read.
int64_t TimeArgument(intptr_t argument) { return int64_t(uint32_t(argument)); }

}  // namespace

intptr_t HandleAgentRequest(int32_t type, intptr_t argument) {
  switch (type) {
    case kRequestVersionOriginal: return VersionOriginal();
    case kRequestVersionNew: return VersionNew();
    case kRequestAgentStatus: return Agent().AgentStatus;
    case kRequestProbeSecondsInterval: return intptr_t(ProbeSecondsInterval());
    case kRequestReAskSecondsInterval: return intptr_t(ReAskSecondsInterval());
    case kRequestProbeSecondsLast: return intptr_t(ProbeSecondsLast());
    case kRequestReAskSecondsLast: return intptr_t(ReAskSecondsLast());
    case kRequestSetProbeSecondsInterval: SetProbeSecondsInterval(argument); break;
    case kRequestSetReAskSecondsInterval: SetReAskSecondsInterval(argument); break;
    case kRequestSetProbeSecondsLast: SetProbeSecondsLast(TimeArgument(argument)); break;
    case kRequestSetReAskSecondsLast: SetReAskSecondsLast(TimeArgument(argument)); break;
    case kRequestStopCountdown: Agent().StopCountdown = int(argument); break;
    case kRequestCheck: RequestCheck(argument); break;
    case kRequestRefreshInfo: Agent().JustDownloadInfo = true; break;
    default:
      if (type >= kRequestSetOverrideFirst && type <= kRequestSetOverrideLast)
        SetOverride(type - kRequestSetOverrideFirst, argument);
      break;
  }
  return 0;
}

}  // namespace tarnix
