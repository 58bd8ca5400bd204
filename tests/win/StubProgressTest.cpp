// The stub's progress sink on two progress bars created by the test: it
// changes nothing until the bars are registered, then sets up, steps and
// empties the main bar and moves the activity bar round 0 to 5.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

#include "Utils/StubProgress.h"
#include "Utils/UniqueResource.h"

namespace tarnix {
namespace {

struct BarState {
  int low, high, pos;
  bool operator==(const BarState&) const = default;
};

std::ostream& operator<<(std::ostream& os, const BarState& s) {
  return os << "[" << s.low << ".." << s.high << " at " << s.pos << "]";
}

BarState Read(HWND bar) {
  PBRANGE range{};
  ::SendMessageA(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  return {range.iLow, range.iHigh, static_cast<int>(::SendMessageA(bar, PBM_GETPOS, 0, 0))};
}

class StubProgressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX init{sizeof init, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&init);
    parent_.reset(::CreateWindowExA(0, "STATIC", "bars", WS_POPUP, 0, 0, 300, 100, nullptr, nullptr,
                                    ::GetModuleHandleA(nullptr), nullptr));
    ASSERT_TRUE(parent_);
    main_ = Bar(10);
    activity_ = Bar(50);
    ASSERT_TRUE(main_ && activity_);
    // A state the sink has not made, to see whether it touched the bars.
    for (HWND bar : {main_, activity_}) {
      ::SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 77));
      ::SendMessageA(bar, PBM_SETPOS, 7, 0);
    }
  }
  void TearDown() override { SetStubProgressBars(nullptr, nullptr); }

  HWND Bar(int y) {
    return ::CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 0, y, 200, 20, parent_.get(), nullptr,
                             ::GetModuleHandleA(nullptr), nullptr);
  }

  UniqueWindow parent_;
  HWND main_ = nullptr;
  HWND activity_ = nullptr;
};

TEST_F(StubProgressTest, NothingChangesBeforeTheBarsAreRegistered) {
  StubProgressCallback(0, 0, 10, nullptr, 1, 3);
  StubProgressCallback(1, 0, 0, "text", 0, 0);
  EXPECT_EQ(Read(main_), (BarState{0, 77, 7}));
  EXPECT_EQ(Read(activity_), (BarState{0, 77, 7}));
}

TEST_F(StubProgressTest, SetUpStepsAndTheActivityRound) {
  SetStubProgressBars(main_, activity_);
  StubProgressCallback(0, 0, 10, nullptr, 1, 3);
  EXPECT_EQ(Read(main_), (BarState{0, 10, 3}));
  EXPECT_EQ(Read(activity_), (BarState{0, 5, 0}));

  const int activity[] = {1, 2, 3, 4, 5, 0, 1};
  for (int i = 0; i < 7; ++i) {
    StubProgressCallback(1, 0, 0, "step", 0, 0);
    EXPECT_EQ(Read(main_).pos, std::min(10, 4 + i)) << i;
    EXPECT_EQ(Read(activity_).pos, activity[i]) << i;
  }

  // Any other action changes nothing.
  StubProgressCallback(2, 0, 99, nullptr, 5, 50);
  EXPECT_EQ(Read(main_), (BarState{0, 10, 10}));

  // A set-up starts the activity round again.
  StubProgressCallback(0, 0, 20, nullptr, 2, 0);
  StubProgressCallback(1, 0, 0, nullptr, 0, 0);
  EXPECT_EQ(Read(main_), (BarState{0, 20, 2}));
  EXPECT_EQ(Read(activity_).pos, 1);
}

TEST_F(StubProgressTest, TheProcessReporterDrivesTheBars) {
  SetStubProgressBars(main_, activity_);
  TProgBar& reporter = EnsureStubProgress();
  EXPECT_EQ(&reporter, &EnsureStubProgress());

  reporter.ReportPosition(3, 10);
  EXPECT_EQ(Read(main_), (BarState{0, 10, 3}));
  EXPECT_EQ(Read(activity_), (BarState{0, 5, 0}));
  for (int i = 0; i < 6; ++i) reporter.ReportStep("1 KB/s");
  EXPECT_EQ(Read(main_).pos, 9);
  EXPECT_EQ(Read(activity_).pos, 0);

  reporter.Finish(0, 0);
  EXPECT_EQ(Read(main_).pos, 0);
  EXPECT_EQ(Read(main_).high, 0);
}

}  // namespace
}  // namespace tarnix
