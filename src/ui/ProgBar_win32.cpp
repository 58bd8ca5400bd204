#include "Utils/MessagePump.h"
#include "ui/ProgBar.h"

namespace tarnix {

void PumpMessagesFor(int64_t ms) { DelayPump(0, ms); }

}  // namespace tarnix
