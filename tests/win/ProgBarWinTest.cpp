// The progress reporter with the platform's pump: messages waiting before an
// event are dispatched before the sink sees it, messages the sink causes are
// dispatched before the event returns, and the waits take their time.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "Utils/DateUtils.h"
#include "Utils/UniqueResource.h"
#include "ui/ProgBar.h"

namespace tarnix {
namespace {

constexpr UINT kTestMessage = WM_APP + 7;
constexpr char kClassName[] = "TarnixProgBarTest";

int g_dispatched = 0;
HWND g_window = nullptr;
// How many test messages had been dispatched when the sink was called.
std::vector<int> g_seenBySink;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kTestMessage) {
    ++g_dispatched;
    return 0;
  }
  return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

// A sink that, like a real bar, causes window traffic of its own.
void PostingSink(int, uint16_t, int, const char*, int, int) {
  g_seenBySink.push_back(g_dispatched);
  ::PostMessageA(g_window, kTestMessage, 0, 0);
}

class ProgBarWinTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = kClassName;
    ::RegisterClassA(&wc);
  }

  void SetUp() override {
    g_dispatched = 0;
    g_seenBySink.clear();
    window_.reset(::CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    ::GetModuleHandleA(nullptr), nullptr));
    ASSERT_TRUE(window_);
    g_window = window_.get();
  }

  void TearDown() override {
    window_.reset();
    g_window = nullptr;
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  void Post() { ASSERT_TRUE(::PostMessageA(window_.get(), kTestMessage, 0, 0)); }

  UniqueWindow window_;
};

TEST_F(ProgBarWinTest, MessagesAreDispatchedAroundEveryEvent) {
  TProgBar bar(PostingSink);
  Post();
  bar.ReportPosition(3, 10);
  Post();
  bar.ReportStep("1 KB/s");
  EXPECT_EQ(g_seenBySink, (std::vector<int>{1, 3}));
  EXPECT_EQ(g_dispatched, 4);

  Post();
  bar.ReportStatus("setup.exe");
  EXPECT_EQ(g_dispatched, 5);
}

TEST_F(ProgBarWinTest, WithoutSinkTheQueueIsStillServed) {
  {
    TProgBar bar(nullptr);
    Post();
    bar.ReportPosition(1, 2);
    Post();
    bar.ReportStep("x");
    EXPECT_EQ(g_dispatched, 2);
    Post();
  }
  EXPECT_EQ(g_dispatched, 3);
}

TEST_F(ProgBarWinTest, WaitTimesAreSpentPumping) {
  TProgBar bar(PostingSink);
  bar.SetWaits({0, 0, 0, 0, 60, 60});
  const int64_t start = NowMs();
  bar.Finish(40, 40);
  EXPECT_GE(NowMs() - start, 200);
  EXPECT_EQ(g_dispatched, 1);
}

}  // namespace
}  // namespace tarnix
