#include <windows.h>

#include <deque>
#include <vector>

#include "Utils/UniqueResource.h"
#include "Utils/WorkerPool.h"

namespace tarnix {

namespace {

// Workers need little stack: jobs keep their data on the heap.
constexpr SIZE_T kWorkerStack = 256 * 1024;

class CriticalSection {
 public:
  CriticalSection() { ::InitializeCriticalSection(&section_); }
  ~CriticalSection() { ::DeleteCriticalSection(&section_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  void Enter() { ::EnterCriticalSection(&section_); }
  void Leave() { ::LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

class Locked {
 public:
  explicit Locked(CriticalSection& section) : section_(section) { section_.Enter(); }
  ~Locked() { section_.Leave(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  CriticalSection& section_;
};

// A semaphore counts the queued jobs; a manual-reset event tells every
// worker to end; an auto-reset event wakes the owner whenever a job
// finishes (it has one waiter, the owner, so no wake-up is lost).
class Win32Pool final : public WorkerPool {
 public:
  bool Start(unsigned threads) {
    queued_.reset(::CreateSemaphoreA(nullptr, 0, 0x7FFFFFFF, nullptr));
    stop_.reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    finished_.reset(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!queued_ || !stop_ || !finished_) return false;
    for (unsigned i = 0; i < threads; ++i) {
      DWORD id = 0;
      UniqueHandle thread(::CreateThread(nullptr, kWorkerStack, &Win32Pool::Main, this, 0, &id));
      if (!thread) break;
      threads_.push_back(std::move(thread));
    }
    return !threads_.empty();
  }

  ~Win32Pool() override {
    if (stop_) ::SetEvent(stop_.get());
    for (const UniqueHandle& thread : threads_) ::WaitForSingleObject(thread.get(), INFINITE);
  }

  unsigned Workers() const override { return static_cast<unsigned>(threads_.size()); }

  void Submit(PoolJob& job) override {
    {
      Locked lock(section_);
      queue_.push_back(&job);
    }
    ::ReleaseSemaphore(queued_.get(), 1, nullptr);
  }

  bool WaitFinished(const PoolJob& job, uint32_t ms) override {
    const DWORD start = ::GetTickCount();
    while (!job.Finished()) {
      const DWORD spent = ::GetTickCount() - start;
      if (spent >= ms) return false;
      ::WaitForSingleObject(finished_.get(), ms - spent);
    }
    return true;
  }

 private:
  static DWORD WINAPI Main(void* self) {
    static_cast<Win32Pool*>(self)->Work();
    return 0;
  }

  void Work() {
    const HANDLE wake[] = {stop_.get(), queued_.get()};
    // The stop event comes first, so a stopping pool starts nothing new.
    while (::WaitForMultipleObjects(2, wake, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
      PoolJob* job = nullptr;
      {
        Locked lock(section_);
        if (queue_.empty()) continue;
        job = queue_.front();
        queue_.pop_front();
      }
      job->RunAndFinish();
      ::SetEvent(finished_.get());
    }
  }

  CriticalSection section_;
  std::deque<PoolJob*> queue_;
  UniqueHandle queued_;
  UniqueHandle stop_;
  UniqueHandle finished_;
  std::vector<UniqueHandle> threads_;
};

}  // namespace

std::unique_ptr<WorkerPool> StartWorkerPool(unsigned threads) {
  if (threads == 0) return nullptr;
  auto pool = std::make_unique<Win32Pool>();
  if (!pool->Start(threads)) return nullptr;
  return pool;
}

unsigned ProcessorCount() {
  SYSTEM_INFO info{};
  ::GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? static_cast<unsigned>(info.dwNumberOfProcessors) : 1u;
}

}  // namespace tarnix
