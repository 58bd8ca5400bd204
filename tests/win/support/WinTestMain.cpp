// The Windows tests' main: GoogleTest with a watchdog. A test that waits on
// another process can hang in ways no bounded wait of its own catches (a
// stuck Wine service, a child that never ends); the group would then run
// into ctest's limit and report nothing about which test hung. The watchdog
// names the test and ends the program instead.
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

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new Watchdog);
  return RUN_ALL_TESTS();
}
