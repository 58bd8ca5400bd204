// Windows only (except DelayPumpStep). Waiting while the thread's windows
// stay responsive: every wait of the program pumps the message queue, so a
// window procedure can be entered again during any wait.
#pragma once

#include <algorithm>
#include <cstdint>

namespace tarnix {

// Dispatches every message waiting in the calling thread's queue and returns
// at once: long work calls it between pieces so that it never sleeps while
// there is work to do. A quit request is left in the queue.
void PumpMessages();

// Dispatches every message waiting in the calling thread's queue, then
// sleeps `ms`. A quit request is left in the queue for the outer message loop.
void YieldX(uint32_t ms);

// The slice DelayPump sleeps between two passes over the queue: `step`, or
// for a step of 0 (or less) a tenth of the duration within 1 to 25 ms.
inline uint32_t DelayPumpStep(int step, int64_t duration) {
  if (step > 0) return static_cast<uint32_t>(step);
  return static_cast<uint32_t>(std::clamp<int64_t>(duration / 10, 1, 25));
}

// YieldX with the slice until `duration` ms have passed; at least one pass.
void DelayPump(int step, int64_t duration);

}  // namespace tarnix
