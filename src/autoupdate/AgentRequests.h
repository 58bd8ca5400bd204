// Windows only. The requests other programs send to the agent window
// (wm_AgentMsg): read or set the probe and re-ask settings, read the
// versions and the agent's status, set overrides, request a stop, a check
// or a fresh announcement.
#pragma once

#include <cstdint>

namespace tarnix {

// The request's result: the value read, else 0 (also for unknown types). The
// argument and the result are 32-bit values in a build of either width.
intptr_t HandleAgentRequest(int32_t type, intptr_t argument);

}  // namespace tarnix
