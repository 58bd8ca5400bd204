#include "Utils/WorkerPool.h"

namespace tarnix {

void PoolJob::RunAndFinish() noexcept {
  try {
    Run();
  } catch (...) {
    // Nothing may unwind out of a worker thread; the job's own members say
    // how far it got.
  }
  // The owner may free the job as soon as it reads this: it comes last.
  finished_.store(true, std::memory_order_release);
}

}  // namespace tarnix
