#include "Utils/MessagePump.h"
#include "ui/ProgBar.h"

namespace tarnix {

// An event without a wait only serves the queue: a download reports one per
// piece, and a slice of sleep on each would cap its speed.
void PumpMessagesFor(int64_t ms) {
  if (ms <= 0) {
    YieldX(0);
  } else {
    DelayPump(0, ms);
  }
}

}  // namespace tarnix
