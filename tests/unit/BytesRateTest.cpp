// The transfer-rate meter against a clock the test moves by hand, so that
// which piece refreshes the speed, and with what figure, is exact.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

#include "net/CommUtils.h"

namespace tarnix {
namespace {

uint32_t g_now = 0;
uint32_t FakeClock() { return g_now; }

constexpr int64_t kMiB = 1048576;

struct AmountCase {
  const char* name;
  bool kilo, mega;
  int64_t total, received;
  const char* text;
};

// Names the case in test listings instead of its bytes.
void PrintTo(const AmountCase& c, std::ostream* os) { *os << c.name; }

class BytesRateAmountTest : public ::testing::TestWithParam<AmountCase> {};

TEST_P(BytesRateAmountTest, ShowsTheAmountInItsUnit) {
  const AmountCase& c = GetParam();
  g_now = 1000;
  TBytesRate rate(c.kilo, c.mega, FakeClock);
  EXPECT_EQ(rate.ProgressText(c.total, c.received, 100), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Units, BytesRateAmountTest,
    ::testing::Values(AmountCase{"Bytes", false, false, 4096, 2048, "2048/4096 BytesArr"},
                      AmountCase{"LargestBytes", false, false, 0xFFFFFFFFLL, 0, "0/4294967295 BytesArr"},
                      AmountCase{"KiloBytes", true, false, 204800, 1536, "1.5/200.0 KB"},
                      AmountCase{"KiloBytesWithSeparators", true, false, 2048 * 1024, 1024 * 1024, "1,024.0/2,048.0 KB"},
                      AmountCase{"MegaBytes", false, true, 20 * kMiB, kMiB + kMiB / 2, "1.5/20.0 MB"},
                      AmountCase{"MegaWinsOverKilo", true, true, 20 * kMiB, kMiB + kMiB / 2, "1.5/20.0 MB"},
                      AmountCase{"MegaBytesWithSeparators", true, true, 0xFFFFFFFFLL, 1234 * kMiB + kMiB / 2, "1,234.5/4,096.0 MB"}),
    [](const ::testing::TestParamInfo<AmountCase>& info) { return std::string(info.param.name); });

class BytesRateSpeedTest : public ::testing::Test {
 protected:
  // One piece of `bytes` arriving at `tick`; the speed text after it.
  std::string Piece(uint32_t tick, uint32_t bytes) {
    g_now = tick;
    return rate_.SpeedText(bytes);
  }

  TBytesRate rate_{false, false, FakeClock};
};

TEST_F(BytesRateSpeedTest, FirstFourPiecesShowNoSpeed) {
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(Piece(1000 + i * 100, 1024), "") << "piece " << i + 1;
  // The fifth spans 400 ms, in which the four after the first brought 4 KB.
  EXPECT_EQ(Piece(1400, 1024), "10.00");
}

TEST_F(BytesRateSpeedTest, ProgressTextAppendsTheSpeed) {
  for (int i = 0; i < 4; ++i) {
    g_now = 1000 + i * 100;
    const std::string amount = std::to_string(1024 * (i + 1));
    EXPECT_EQ(rate_.ProgressText(9000, 1024 * (i + 1), 1024), amount + "/9000 BytesArr");
  }
  g_now = 1400;
  EXPECT_EQ(rate_.ProgressText(9000, 5120, 1024), "5120/9000 BytesArr   -   10.00 KB/Sec");
}

TEST_F(BytesRateSpeedTest, RefreshesAtMostEvery500Ms) {
  for (uint32_t i = 0; i < 4; ++i) Piece(1000 + i * 100, 1024);
  ASSERT_EQ(Piece(1400, 1024), "10.00");
  // Faster now, but the figure stays until more than 500 ms have passed.
  EXPECT_EQ(Piece(1450, 2048), "10.00");
  EXPECT_EQ(Piece(1900, 2048), "10.00");
  // Ticks 1300..1901; the last four pieces brought 1024 + 3 * 2048 bytes.
  EXPECT_EQ(Piece(1901, 2048), "11.65");
}

TEST_F(BytesRateSpeedTest, EmptyPiecesMoveBothWindows) {
  for (uint32_t i = 0; i < 5; ++i) Piece(1000 + i * 100, 1024);
  // Ticks 1100..2000 span 900 ms holding three pieces of 1 KB and the empty one.
  EXPECT_EQ(Piece(2000, 0), "3.33");
}

TEST_F(BytesRateSpeedTest, NoRefreshWhileAllFiveTicksAreEqual) {
  for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(Piece(5000, 1024), "");
  // The first tick that differs gives the window a span: 4 KB in 100 ms.
  EXPECT_EQ(Piece(5100, 1024), "40.00");
}

TEST_F(BytesRateSpeedTest, ResetForgetsTheSpeedAndTheWindows) {
  for (uint32_t i = 0; i < 5; ++i) Piece(1000 + i * 100, 1024);
  rate_.Reset();
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(Piece(3000 + i * 100, 1024), "");
  EXPECT_EQ(Piece(3400, 1024), "10.00");
}

TEST_F(BytesRateSpeedTest, TicksWrappingAround32BitsStillMeasure) {
  const uint32_t start = 0xFFFFFF00;
  for (uint32_t i = 0; i < 4; ++i) Piece(start + i * 200, 1024);
  EXPECT_EQ(Piece(start + 800, 1024), "5.00");
}

}  // namespace
}  // namespace tarnix
