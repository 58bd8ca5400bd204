// The slice of a message-pumping wait: short enough to keep windows
// responsive, long enough not to spin.
#include <gtest/gtest.h>

#include <cstdint>

#include "Utils/MessagePump.h"

namespace tarnix {
namespace {

TEST(DelayPumpStepTest, AutomaticStepIsATenthWithinOneTo25Ms) {
  struct Case {
    int step;
    int64_t duration;
    uint32_t expected;
  } cases[] = {
      {0, 100, 10}, {0, 1000, 25}, {0, 250, 25}, {0, 249, 24}, {0, 9, 1},
      {0, 0, 1},    {0, -50, 1},   {-3, 100, 10}, {0, INT64_MAX, 25},
      // A step given by the caller is kept as it is.
      {7, 1000, 7}, {300, 100, 300},
  };
  for (const auto& c : cases) EXPECT_EQ(DelayPumpStep(c.step, c.duration), c.expected) << c.step << " " << c.duration;
}

}  // namespace
}  // namespace tarnix
