// The progress reporter against a sink and a pump that write down what they
// are asked, in one log, so the order of waits and events shows.
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/ProgBar.h"

namespace tarnix {
namespace {

std::vector<std::string> g_log;

void RecordingSink(int action, uint16_t wordValue, int range, const char* text, int step, int position) {
  g_log.push_back("sink " + std::to_string(action) + "," + std::to_string(wordValue) + "," + std::to_string(range) +
                  "," + (text ? "'" + std::string(text) + "'" : std::string("null")) + "," + std::to_string(step) +
                  "," + std::to_string(position));
}

void ThrowingSink(int, uint16_t, int, const char*, int, int) { throw std::runtime_error("display gone"); }

void CountingPump(int64_t ms) { g_log.push_back("pump " + std::to_string(ms)); }

using Log = std::vector<std::string>;

class ProgBarTest : public ::testing::Test {
 protected:
  void SetUp() override { g_log.clear(); }
};

TEST_F(ProgBarTest, CreatedWithoutWaitsOrCancel) {
  TProgBar bar(RecordingSink, CountingPump);
  EXPECT_FALSE(bar.Cancel());
  const TProgBar::WaitTimes& w = bar.Waits();
  EXPECT_EQ(w.positionBefore + w.positionAfter + w.stepBefore + w.stepAfter + w.finishBefore + w.finishAfter, 0);
  EXPECT_TRUE(g_log.empty());
}

TEST_F(ProgBarTest, EachEventReachesTheSinkBetweenTwoPumps) {
  TProgBar bar(RecordingSink, CountingPump);
  bar.ReportPosition(3, 10);
  EXPECT_EQ(g_log, (Log{"pump 0", "sink 0,0,10,null,1,3", "pump 0"}));

  g_log.clear();
  bar.ReportStep("12.5 KB/s");
  EXPECT_EQ(g_log, (Log{"pump 0", "sink 1,0,0,'12.5 KB/s',0,0", "pump 0"}));

  g_log.clear();
  bar.ReportStep("");
  EXPECT_EQ(g_log, (Log{"pump 0", "sink 1,0,0,'',0,0", "pump 0"}));

  g_log.clear();
  bar.ReportStatus("setup.exe");
  EXPECT_EQ(g_log, (Log{"pump 0"}));

  g_log.clear();
  bar.Finish(0, 0);
  EXPECT_EQ(g_log, (Log{"pump 0", "pump 0", "sink 0,0,0,null,1,0", "pump 0", "pump 0"}));
}

TEST_F(ProgBarTest, WaitTimesSurroundTheirOwnEvents) {
  TProgBar bar(RecordingSink, CountingPump);
  bar.SetWaits({11, 12, 21, 22, 31, 32});
  bar.ReportPosition(1, 11);
  bar.ReportStep("x");
  bar.ReportStatus("name");
  bar.Finish(300, 400);
  EXPECT_EQ(g_log, (Log{"pump 11", "sink 0,0,11,null,1,1", "pump 12",                                //
                        "pump 21", "sink 1,0,0,'x',0,0", "pump 22",                                    //
                        "pump 0",                                                                      //
                        "pump 300", "pump 31", "sink 0,0,0,null,1,0", "pump 32", "pump 400"}));
}

TEST_F(ProgBarTest, DestructionFinishesTheBar) {
  {
    TProgBar bar(RecordingSink, CountingPump);
    bar.SetWaits({0, 0, 0, 0, 5, 6});
  }
  EXPECT_EQ(g_log, (Log{"pump 0", "pump 5", "sink 0,0,0,null,1,0", "pump 6", "pump 0"}));
}

TEST_F(ProgBarTest, WithoutSinkEveryEventStillPumps) {
  {
    TProgBar bar(nullptr, CountingPump);
    bar.ReportPosition(3, 10);
    bar.ReportStep("x");
    bar.ReportStatus("x");
    bar.Finish(7, 8);
  }
  EXPECT_EQ(g_log, (Log{"pump 0", "pump 0", "pump 0", "pump 0", "pump 0", "pump 7", "pump 0", "pump 0", "pump 8",
                        "pump 0", "pump 0", "pump 0", "pump 0"}));
}

TEST_F(ProgBarTest, FailingSinkDoesNotStopTheOperation) {
  TProgBar bar(ThrowingSink, CountingPump);
  EXPECT_NO_THROW(bar.ReportPosition(3, 10));
  EXPECT_NO_THROW(bar.ReportStep("x"));
  EXPECT_EQ(g_log, (Log{"pump 0", "pump 0", "pump 0", "pump 0"}));
}

}  // namespace
}  // namespace tarnix
