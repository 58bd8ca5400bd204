#include "package/TempSpace.h"

#include <gtest/gtest.h>

namespace tarnix {
namespace {

TEST(MegabyteTextTest, DecimalsFollowTheSize) {
  const struct {
    double bytes;
    const char* text;
  } cases[] = {
      {0, "0.000"},           {-5, "0.000"},          {524288, "0.500"},     {1048576, "1.00"},
      {10 * 1048576.0, "10.00"}, {10.5 * 1048576, "10.5"}, {123456789, "117.7"},
  };
  for (const auto& c : cases) EXPECT_EQ(MegabyteText(c.bytes), c.text) << c.bytes;
}

const TempSpaceTexts kTexts{"info <DRIVE>;", "short <DRIVE>;", "req <SPACE_REQ>;", "free <SPACE_AVAIL>;", "go?"};

TEST(TempSpaceQuestionTest, NoQuestionWithRoomAndWithoutInfo) {
  EXPECT_EQ(TempSpaceQuestion(kTexts, false, "c:\\temp", 100, 101), "");
}

TEST(TempSpaceQuestionTest, InfoAsksAlways) {
  EXPECT_EQ(TempSpaceQuestion(kTexts, true, "c:\\temp", 1048576, 2 * 1048576),
            "info C:;req 1.00;free 2.00;go?");
}

TEST(TempSpaceQuestionTest, EqualRoomCountsAsTooLittle) {
  EXPECT_EQ(TempSpaceQuestion(kTexts, false, "d:\\t", 1048576, 1048576), "short D:;req 1.00;free 1.00;go?");
  EXPECT_EQ(TempSpaceQuestion(kTexts, true, "d:\\t", 2 * 1048576, 1048576), "short D:;req 2.00;free 1.00;go?");
}

}  // namespace
}  // namespace tarnix
