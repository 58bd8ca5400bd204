// The private window messages by which other programs (the product, its
// shortcuts through the plain agent, agent-control) steer a running agent,
// and the notifications the agent posts back to a registered controller.
// The numbers are an interface between separately shipped programs: they
// never change.
#pragma once

#include <cstdint>

namespace tarnix {

// WM_USER + 99, + 100, + 101.
inline constexpr unsigned wm_ShutDown = 0x400 + 99;   // word: ticks until the agent ends
inline constexpr unsigned wm_LocalMsg = 0x400 + 100;  // word: controller window; long: its message
inline constexpr unsigned wm_AgentMsg = 0x400 + 101;  // word: request type; long: argument

// Request types of wm_AgentMsg; the result of a read is the value, of
// everything else 0.
enum AgentRequest : int32_t {
  kRequestVersionOriginal = 4,
  kRequestVersionNew = 5,
  kRequestAgentStatus = 7,
  kRequestProbeSecondsInterval = 8,
  kRequestReAskSecondsInterval = 9,
  kRequestProbeSecondsLast = 10,
  kRequestReAskSecondsLast = 11,
  kRequestSetProbeSecondsInterval = 12,
  kRequestSetReAskSecondsInterval = 13,
  kRequestSetProbeSecondsLast = 14,
  kRequestSetReAskSecondsLast = 15,
  // 20 to 25 set transient override slots 0 to 5.
  kRequestSetOverrideFirst = 20,
  kRequestSetOverrideLast = 25,
  kRequestStopCountdown = 30,
  // Argument 2: a check the user asked for.
  kRequestCheck = 31,
  kRequestRefreshInfo = 32,
  // The channel the product follows: the argument is a global atom with its
  // name, 0 for none (ProbePacing.h).
  kRequestSetChannel = 36,
};

// Notification codes (word parameter) with their values (long parameter).
inline constexpr int32_t kNotifyInfoDownload = 40;  // 1 before, 2 after the .info download
inline constexpr int32_t kNotifyFileDownload = 41;  // 1 before, 2 after the update or inform download
inline constexpr int32_t kNotifySetupRun = 42;      // 1 before, 2 after the new setup ran
inline constexpr int32_t kNotifyLoopEnded = 43;     // 0: the agent's message loop has ended
inline constexpr int32_t kNotifyAgentWindow = 50;   // the agent's window handle
inline constexpr int32_t kNotifyAgentMessage = 51;  // wm_AgentMsg, the message requests go to

// The value of on-demand checks in kRequestCheck.
inline constexpr int32_t kOnDemandCheck = 2;

}  // namespace tarnix
