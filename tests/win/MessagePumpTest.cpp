// Waits that pump messages: messages posted to a window of the test before
// and during a wait are dispatched in slices while it lasts, and a quit
// request survives the wait.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "Utils/DateUtils.h"
#include "Utils/MessagePump.h"
#include "Utils/UniqueResource.h"

namespace tarnix {
namespace {

constexpr UINT kTestMessage = WM_APP + 1;
constexpr char kClassName[] = "TarnixMessagePumpTest";

// When each test message was dispatched.
std::vector<int64_t> g_handled;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kTestMessage) {
    g_handled.push_back(NowMs());
    return 0;
  }
  return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

class MessagePumpTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = kClassName;
    ::RegisterClassA(&wc);
  }

  void SetUp() override {
    g_handled.clear();
    window_.reset(::CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    ::GetModuleHandleA(nullptr), nullptr));
    ASSERT_TRUE(window_);
  }

  void TearDown() override {
    window_.reset();
    // Nothing of one test may reach the next.
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  UniqueWindow window_;
};

TEST_F(MessagePumpTest, ZeroWaitDispatchesWhatIsWaiting) {
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(::PostMessageA(window_.get(), kTestMessage, 0, 0));
  const int64_t start = NowMs();
  DelayPump(0, 0);
  EXPECT_EQ(g_handled.size(), 5u);
  EXPECT_LT(NowMs() - start, 1000);

  ASSERT_TRUE(::PostMessageA(window_.get(), kTestMessage, 0, 0));
  YieldX(0);
  EXPECT_EQ(g_handled.size(), 6u);
}

TEST_F(MessagePumpTest, MessagesPostedDuringTheWaitAreDispatchedInSlices) {
  // Another thread posts for 200 ms while this one waits 300 ms with the
  // automatic step (25 ms).
  std::atomic<int> posted{0};
  const HWND target = window_.get();
  std::thread poster([&] {
    const int64_t until = NowMs() + 200;
    while (NowMs() < until) {
      if (::PostMessageA(target, kTestMessage, 0, 0)) ++posted;
      ::Sleep(5);
    }
  });
  const int64_t start = NowMs();
  DelayPump(0, 300);
  const int64_t elapsed = NowMs() - start;
  poster.join();

  EXPECT_GE(elapsed, 300);
  EXPECT_LT(elapsed, 3000);
  ASSERT_FALSE(g_handled.empty());
  EXPECT_EQ(int(g_handled.size()), posted.load());
  // Dispatched while the wait lasted, in several passes, not in one at its end.
  EXPECT_LT(g_handled.front() - start, 150);
  int passes = 1;
  int64_t widestGap = 0;
  for (size_t i = 1; i < g_handled.size(); ++i) {
    const int64_t gap = g_handled[i] - g_handled[i - 1];
    if (gap > 2) ++passes;
    widestGap = std::max(widestGap, gap);
  }
  EXPECT_GE(passes, 4);
  EXPECT_LT(widestGap, 150);
}

TEST_F(MessagePumpTest, QuitRequestOutlivesTheWait) {
  ::PostQuitMessage(7);
  ASSERT_TRUE(::PostMessageA(window_.get(), kTestMessage, 0, 0));
  DelayPump(0, 30);
  EXPECT_EQ(g_handled.size(), 1u);
  MSG msg;
  ASSERT_TRUE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
}

}  // namespace
}  // namespace tarnix
