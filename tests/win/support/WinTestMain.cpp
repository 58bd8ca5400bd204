// The Windows tests' main: GoogleTest with a watchdog, in a job of its own.
// A test that waits on another process can hang in ways no bounded wait of
// its own catches (a stuck Wine service, a child that never ends); the
// group would then run into ctest's limit and report nothing about which
// test hung. The watchdog names the test and ends the program instead.
//
// Every process that the tests start, and every process those start, lives
// in the run's job. Under Wine they all share the test program's output
// pipe, so one left running after the last test (a setup program that
// waits, a helper a product started) would keep ctest waiting until its
// limit, although every test passed. The run names what it left and ends
// it; closing the job ends whatever started in between.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Utils/UniqueResource.h"

namespace {

// Well above the slowest end-to-end test, well below a group's limit.
constexpr auto kTestLimit = std::chrono::minutes(4);

// A longer limit where TARNIX_TEST_LIMIT_SECONDS asks for one: a benchmark
// that runs a test for an hour.
std::chrono::seconds TestLimit() {
  const char* value = std::getenv("TARNIX_TEST_LIMIT_SECONDS");
  const long seconds = value ? std::strtol(value, nullptr, 10) : 0;
  return std::max<std::chrono::seconds>(kTestLimit, std::chrono::seconds(seconds));
}

class Watchdog : public ::testing::EmptyTestEventListener {
 public:
  Watchdog() : thread_([this] { Watch(); }) {}
  ~Watchdog() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

  void OnTestStart(const ::testing::TestInfo& test) override {
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = std::string(test.test_suite_name()) + "." + test.name();
    ++generation_;
    changed_.notify_all();
  }
  void OnTestEnd(const ::testing::TestInfo&) override {
    std::lock_guard<std::mutex> lock(mutex_);
    running_.clear();
    ++generation_;
    changed_.notify_all();
  }

 private:
  void Watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!quit_) {
      if (running_.empty()) {
        changed_.wait(lock);
        continue;
      }
      const unsigned generation = generation_;
      if (changed_.wait_for(lock, limit_, [&] { return quit_ || generation_ != generation; })) continue;
      std::fprintf(stdout, "\n[ WATCHDOG ] %s still runs after %d seconds; the test program ends\n",
                   running_.c_str(), int(limit_.count()));
      std::fflush(stdout);
      ::TerminateProcess(::GetCurrentProcess(), 3);
    }
  }

  const std::chrono::seconds limit_ = TestLimit();
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string running_;
  unsigned generation_ = 0;
  bool quit_ = false;
  std::thread thread_;
};

class RunJob {
 public:
  // Without a job (a system that refuses one) the run goes on as before.
  RunJob() : job_(::CreateJobObjectA(nullptr, nullptr)) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job_ && (!::SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits) ||
                 !::AssignProcessToJobObject(job_.get(), ::GetCurrentProcess())))
      job_.reset();
  }

  // Ends the processes that the run left, naming each, then this program
  // with `code`; static destructors and library detaching, which could wait
  // on a thread a test left, do not run.
  [[noreturn]] void End(int code) {
    for (DWORD id : Leftovers()) {
      const tarnix::UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
      std::fprintf(stdout, "[ LEFTOVER ] %s (process %lu) still ran after the last test; it is ended\n",
                   ImageName(process.get()).c_str(), static_cast<unsigned long>(id));
      if (process) ::TerminateProcess(process.get(), 1);
    }
    std::fflush(stdout);
    std::fflush(stderr);
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(code));
    std::_Exit(code);
  }

 private:
  std::vector<DWORD> Leftovers() const {
    std::vector<DWORD> ids;
    if (!job_) return ids;
    // Room for far more processes than a run starts at once.
    constexpr DWORD kMaxIds = 1024;
    std::vector<char> buffer(sizeof(JOBOBJECT_BASIC_PROCESS_ID_LIST) + kMaxIds * sizeof(ULONG_PTR));
    auto* list = reinterpret_cast<JOBOBJECT_BASIC_PROCESS_ID_LIST*>(buffer.data());
    if (!::QueryInformationJobObject(job_.get(), JobObjectBasicProcessIdList, list, static_cast<DWORD>(buffer.size()),
                                     nullptr))
      return ids;
    for (DWORD i = 0; i < list->NumberOfProcessIdsInList && i < kMaxIds; ++i)
      if (list->ProcessIdList[i] != ::GetCurrentProcessId()) ids.push_back(static_cast<DWORD>(list->ProcessIdList[i]));
    return ids;
  }

  static std::string ImageName(HANDLE process) {
    char path[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH;
    return process && ::QueryFullProcessImageNameA(process, 0, path, &size) ? path : "?";
  }

  tarnix::UniqueHandle job_;
};

}  // namespace

int main(int argc, char** argv) {
  RunJob job;
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new Watchdog);
  job.End(RUN_ALL_TESTS());
}
