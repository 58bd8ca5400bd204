// Work done beside the calling thread: a few worker threads take jobs from
// one queue in the order they were handed in. Jobs are pure computation on
// memory they own (inflating a block, say): they never touch windows, files
// or the message queue, which stay with the thread that owns the pool. That
// thread alone hands jobs in and waits for them.
//
// The Windows implementation uses only what every supported Windows has
// (threads, critical sections, events, semaphores), so code linked into the
// stub can use it; elsewhere it runs on the standard library's threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace tarnix {

class PoolJob {
 public:
  PoolJob() = default;
  virtual ~PoolJob() = default;
  PoolJob(const PoolJob&) = delete;
  PoolJob& operator=(const PoolJob&) = delete;

  // Runs once, on a worker thread. Whatever it throws is swallowed: a job
  // reports its failures in its own members.
  virtual void Run() = 0;

  // True once Run has returned; everything Run wrote is then visible to the
  // thread that reads this.
  bool Finished() const { return finished_.load(std::memory_order_acquire); }

  // For pool implementations: runs the job and marks it finished.
  void RunAndFinish() noexcept;

 private:
  std::atomic<bool> finished_{false};
};

class WorkerPool {
 public:
  WorkerPool() = default;
  // Jobs still queued are dropped and never run; a job running on a worker
  // is finished first, so no worker outlives the pool.
  virtual ~WorkerPool() = default;
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  virtual unsigned Workers() const = 0;
  // Queues `job`, which must stay alive until it has finished or the pool
  // is gone.
  virtual void Submit(PoolJob& job) = 0;
  // Waits at most `ms` milliseconds for `job` to finish; true when it has.
  virtual bool WaitFinished(const PoolJob& job, uint32_t ms) = 0;
};

// A pool of `threads` workers, or of as many as the system gave; null when
// it gave none (or `threads` is 0).
std::unique_ptr<WorkerPool> StartWorkerPool(unsigned threads);

// The processors this process may run on, at least 1.
unsigned ProcessorCount();

}  // namespace tarnix
