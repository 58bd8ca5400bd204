#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "Utils/WorkerPool.h"

namespace tarnix {

namespace {

class ThreadPool final : public WorkerPool {
 public:
  void Start(unsigned threads) {
    for (unsigned i = 0; i < threads; ++i) {
      try {
        workers_.emplace_back([this] { Work(); });
      } catch (const std::system_error&) {
        break;
      }
    }
  }

  ~ThreadPool() override {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) worker.join();
  }

  unsigned Workers() const override { return static_cast<unsigned>(workers_.size()); }

  void Submit(PoolJob& job) override {
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(&job);
    }
    wake_.notify_one();
  }

  bool WaitFinished(const PoolJob& job, uint32_t ms) override {
    std::unique_lock lock(mutex_);
    return finished_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return job.Finished(); });
  }

 private:
  void Work() {
    for (;;) {
      PoolJob* job = nullptr;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return stop_ || !queue_.empty(); });
        if (stop_) return;
        job = queue_.front();
        queue_.pop_front();
      }
      job->RunAndFinish();
      // Taking the lock orders this wake-up after the owner's check of
      // Finished(), so the owner cannot miss it.
      { std::lock_guard lock(mutex_); }
      finished_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  std::deque<PoolJob*> queue_;
  bool stop_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace

std::unique_ptr<WorkerPool> StartWorkerPool(unsigned threads) {
  if (threads == 0) return nullptr;
  auto pool = std::make_unique<ThreadPool>();
  pool->Start(threads);
  if (pool->Workers() == 0) return nullptr;
  return pool;
}

unsigned ProcessorCount() {
  const unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? n : 1u;
}

}  // namespace tarnix
