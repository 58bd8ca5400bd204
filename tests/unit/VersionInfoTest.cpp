// Version texts in their comparable form: components of equal width,
// zero-padded, so that the texts compare as the versions do.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "Utils/VersionInfo.h"

namespace tarnix {
namespace {

TEST(VersionInfoTest, NormalizeVersion) {
  struct Case {
    const char* text;
    int width, count;
    const char* normalized;
  } cases[] = {
      {"1, 2, 3", 1, 4, "1.2.3.0"},
      {"5.6.7.8", 3, 3, "005.006.007"},
      {"1.0.0.1", 1, 4, "1.0.0.1"},
      {"1.2.3.4.5", 1, 4, "1.2.3.4"},
      {"10.0.19041.1", 5, 4, "00010.00000.19041.00001"},
      {"123.4", 2, 2, "123.04"},
      {"1,2", 2, 2, "01.02"},
      {"v1.2 beta", 1, 4, "1.2.0.0"},
      {"1..3", 1, 4, "1.0.3.0"},
      {".5", 1, 3, "0.5.0"},
      {"", 1, 4, "0.0.0.0"},
      {"abc", 2, 2, "00.00"},
      {"4294967295.1", 1, 2, "4294967295.1"},
      {"4294967296.1", 1, 2, "0.1"},
      {"99999999999999999999999.7", 1, 2, "0.7"},
      {"-3.2", 1, 2, "3.2"},
      {"1.2", 0, 2, "1.2"},
      {"1.2", 1, 0, ""},
      {"1.2", 1, -1, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(NormalizeVersion(c.text, c.width, c.count), c.normalized)
        << "'" << c.text << "' " << c.width << " " << c.count;
}

TEST(VersionInfoTest, NormalizedVersionsOfEqualWidthCompareAsTexts) {
  EXPECT_LT(NormalizeVersion("1.9", 3, 2), NormalizeVersion("1.10", 3, 2));
  EXPECT_LT(NormalizeVersion("2, 0", 3, 3), NormalizeVersion("10.0", 3, 3));
  EXPECT_EQ(NormalizeVersion("3.1", 3, 3), NormalizeVersion("3,1,0", 3, 3));
}

TEST(VersionInfoTest, VersionComponents) {
  EXPECT_EQ(VersionComponents("10.0.19041.1", 3), (std::vector<uint32_t>{10, 0, 19041}));
  EXPECT_EQ(VersionComponents("7", 3), (std::vector<uint32_t>{7, 0, 0}));
  EXPECT_EQ(VersionComponents("7", 0), std::vector<uint32_t>{});
}

}  // namespace
}  // namespace tarnix
