// The worker pool with its real threads: every job runs once, the owner's
// wait sees what a job wrote, and a pool that goes away leaves no worker
// behind and starts nothing that was still queued.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "Utils/WorkerPool.h"

namespace tarnix {
namespace {

// Sums a range into a member, plainly: a waiter that saw Finished() too
// early, or a second run, would read a wrong or torn value.
class SumJob final : public PoolJob {
 public:
  explicit SumJob(uint64_t n) : n_(n) {}
  void Run() override {
    ++runs;
    for (uint64_t i = 1; i <= n_; ++i) sum += i;
  }
  uint64_t sum = 0;
  std::atomic<int> runs{0};

 private:
  uint64_t n_;
};

// Runs until the test opens its gate.
class GateJob final : public PoolJob {
 public:
  explicit GateJob(std::atomic<bool>& gate) : gate_(gate) {}
  void Run() override {
    started = true;
    while (!gate_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ended = true;
  }
  std::atomic<bool> started{false};
  std::atomic<bool> ended{false};

 private:
  std::atomic<bool>& gate_;
};

class ThrowingJob final : public PoolJob {
 public:
  void Run() override { throw std::runtime_error("job failed"); }
};

bool WaitUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 5000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return done();
}

TEST(WorkerPoolTest, StartsTheWorkersAskedFor) {
  for (unsigned threads : {1u, 2u, 4u}) {
    auto pool = StartWorkerPool(threads);
    ASSERT_TRUE(pool) << threads;
    EXPECT_EQ(pool->Workers(), threads);
  }
  EXPECT_FALSE(StartWorkerPool(0));
  EXPECT_GE(ProcessorCount(), 1u);
}

TEST(WorkerPoolTest, EveryJobRunsOnceAndItsResultIsSeenByTheWaiter) {
  auto pool = StartWorkerPool(3);
  ASSERT_TRUE(pool);
  std::vector<std::unique_ptr<SumJob>> jobs;
  for (uint64_t n = 0; n < 300; ++n) jobs.push_back(std::make_unique<SumJob>(n * 97));
  for (auto& job : jobs) pool->Submit(*job);
  // Waited for in an order of their own, not the order they finish in.
  for (size_t i = jobs.size(); i-- > 0;) {
    SumJob& job = *jobs[(i * 7) % jobs.size()];
    while (!pool->WaitFinished(job, 50)) {
    }
  }
  for (uint64_t n = 0; n < jobs.size(); ++n) {
    const uint64_t last = n * 97;
    EXPECT_EQ(jobs[n]->sum, last * (last + 1) / 2) << n;
    EXPECT_EQ(jobs[n]->runs, 1) << n;
  }
}

TEST(WorkerPoolTest, WaitingForAJobStillRunningTimesOut) {
  std::atomic<bool> gate{false};
  GateJob job(gate);
  auto pool = StartWorkerPool(1);
  ASSERT_TRUE(pool);
  pool->Submit(job);
  EXPECT_FALSE(pool->WaitFinished(job, 20));
  EXPECT_FALSE(job.Finished());
  gate = true;
  EXPECT_TRUE(pool->WaitFinished(job, 5000));
  EXPECT_TRUE(job.ended);
}

TEST(WorkerPoolTest, AJobThatThrowsStillFinishesAndTheWorkerGoesOn) {
  auto pool = StartWorkerPool(1);
  ASSERT_TRUE(pool);
  ThrowingJob bad;
  SumJob good(10);
  pool->Submit(bad);
  pool->Submit(good);
  EXPECT_TRUE(pool->WaitFinished(bad, 5000));
  EXPECT_TRUE(pool->WaitFinished(good, 5000));
  EXPECT_EQ(good.sum, 55u);
}

TEST(WorkerPoolTest, GoingAwayFinishesTheRunningJobAndDropsTheQueuedOnes) {
  std::atomic<bool> gate{false};
  GateJob running(gate);
  SumJob queued1(5), queued2(6);
  auto pool = StartWorkerPool(1);
  ASSERT_TRUE(pool);
  pool->Submit(running);
  pool->Submit(queued1);
  pool->Submit(queued2);
  ASSERT_TRUE(WaitUntil([&] { return running.started.load(); }));
  // Opens the gate a little after the pool has been asked to go away.
  std::thread opener([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    gate = true;
  });
  pool.reset();
  // The pool returned only once its worker had left the running job.
  EXPECT_TRUE(running.ended);
  EXPECT_TRUE(running.Finished());
  opener.join();
  EXPECT_EQ(queued1.runs, 0);
  EXPECT_EQ(queued2.runs, 0);
  EXPECT_FALSE(queued1.Finished());
}

}  // namespace
}  // namespace tarnix
