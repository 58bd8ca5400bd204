#include <chrono>
#include <thread>

#include "ui/ProgBar.h"

namespace tarnix {

void PumpMessagesFor(int64_t ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace tarnix
