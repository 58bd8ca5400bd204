// The Windows version classification: names and codes by platform, version,
// 64-bit Windows and server edition; the correction of a capped version; the
// version questions other modules ask.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>

#include "Utils/OsInfo.h"

namespace tarnix {
namespace {

OsVersionRecord Record(uint32_t platform, uint32_t major, uint32_t minor, uint32_t build = 0) {
  OsVersionRecord r;
  r.platformId = platform;
  r.majorVersion = major;
  r.minorVersion = minor;
  r.buildNumber = build;
  return r;
}

TEST(OsInfoTest, ClassifiesEverySystemByPlatformVersionAndFlags) {
  constexpr uint32_t k9x = kPlatformWindows9x, kNT = kPlatformNT;
  struct Case {
    uint32_t platform, major, minor, build;
    bool is64, server;
    const char* versionText;
    const char* name;
    uint32_t code;
  } cases[] = {
      {kPlatformWin32s, 3, 10, 0, false, false, "3.10", "32S", 0},
      // Windows 9x; ME may report 4.10 with build 3000.
      {k9x, 4, 0, 950, false, false, "4.0", "95", kOsCode95},
      {k9x, 4, 10, 2222, false, false, "4.10", "98", kOsCode98},
      {k9x, 4, 10, 3000, false, false, "4.90", "ME", kOsCodeME},
      {k9x, 4, 10, 0x040A0BB8, false, false, "4.90", "ME", kOsCodeME},
      {k9x, 4, 90, 3000, false, false, "4.90", "ME", kOsCodeME},
      {k9x, 4, 3, 0, false, false, "4.3", "9x", kOsCode95},
      {k9x, 4, 10, 2222, true, true, "4.10", "98", kOsCode98},
      // NT family, 32-bit workstation.
      {kNT, 4, 0, 1381, false, false, "4.0", "NT", kOsCodeNT4},
      {kNT, 5, 0, 2195, false, false, "5.0", "2000", kOsCode2000},
      {kNT, 5, 1, 2600, false, false, "5.1", "XP", kOsCodeXP},
      {kNT, 5, 2, 3790, false, false, "5.2", "2003", kOsCode2003},
      {kNT, 6, 0, 6002, false, false, "6.0", "Vista", kOsCodeVista},
      {kNT, 6, 1, 7601, false, false, "6.1", "7", kOsCode7},
      {kNT, 6, 2, 9200, false, false, "6.2", "8", kOsCode8},
      {kNT, 6, 3, 9600, false, false, "6.3", "8.1", kOsCode8_1},
      {kNT, 10, 0, 19045, false, false, "10.0", "10", kOsCode10},
      {kNT, 6, 4, 0, false, false, "6.4", "NTx", kOsCodeNT4},
      {kNT, 3, 51, 0, false, false, "3.51", "NTx", kOsCodeNT4},
      // 64-bit Windows.
      {kNT, 5, 2, 3790, true, false, "5.2", "XP.64", kOsCodeXP64},
      {kNT, 6, 0, 6002, true, false, "6.0", "Vista.64", kOsCodeVista64},
      {kNT, 6, 1, 7601, true, false, "6.1", "7.64", kOsCode7_64},
      {kNT, 6, 2, 9200, true, false, "6.2", "8.64", kOsCode8_64},
      {kNT, 6, 3, 9600, true, false, "6.3", "8.1.64", kOsCode8_1_64},
      {kNT, 10, 0, 19045, true, false, "10.0", "10.64", kOsCode10_64},
      {kNT, 5, 1, 2600, true, false, "5.1", "XP", kOsCodeXP},
      {kNT, 6, 4, 0, true, false, "6.4", "NTx", kOsCodeNT4},
      // Server editions.
      {kNT, 6, 0, 6002, true, true, "6.0", "2008.64", kOsCode2008_64},
      {kNT, 6, 1, 7601, true, true, "6.1", "2008R2.64", kOsCode2008R2_64},
      {kNT, 6, 2, 9200, true, true, "6.2", "2012.64", kOsCode2012_64},
      {kNT, 6, 3, 9600, true, true, "6.3", "2012R2.64", kOsCode2012R2_64},
      {kNT, 10, 0, 17763, true, true, "10.0", "10.64", kOsCode10_64},
      {kNT, 5, 2, 3790, true, true, "5.2", "XP.64", kOsCodeXP64},
      {kNT, 6, 0, 6002, false, true, "6.0", "2008", kOsCode2008},
      {kNT, 6, 1, 7601, false, true, "6.1", "7", kOsCode7},
      {kNT, 5, 2, 3790, false, true, "5.2", "2003", kOsCode2003},
      {kNT, 5, 0, 2195, false, true, "5.0", "2000", kOsCode2000},
      // A platform the rules do not know.
      {3, 5, 0, 0, true, true, "5.0", "", 0},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const OsInfo info = ClassifyOs(Record(c.platform, c.major, c.minor, c.build), c.is64, c.server);
    EXPECT_EQ(info.versionText, c.versionText) << "case " << i;
    EXPECT_EQ(info.name, c.name) << "case " << i;
    EXPECT_EQ(info.code, c.code) << "case " << i;
  }
}

TEST(OsInfoTest, BuildIsTheLowWordAndServicePackIsTrimmedAndBounded) {
  OsVersionRecord r = Record(kPlatformWindows9x, 4, 10, 0x040A08AE);
  r.csdVersion = " A ";
  OsInfo info = ClassifyOs(r, false, false);
  EXPECT_EQ(info.build, 2222u);
  EXPECT_EQ(info.servicePack, "A");

  r = Record(kPlatformNT, 5, 1, 2600);
  r.csdVersion = std::string(127, ' ') + "Service Pack 3";
  EXPECT_EQ(ClassifyOs(r, false, false).servicePack, "S");
  r.csdVersion = "Service Pack 3\t\r\n";
  EXPECT_EQ(ClassifyOs(r, false, false).servicePack, "Service Pack 3");
}

TEST(OsInfoTest, EveryCodeIsABitOfItsOwn) {
  const uint32_t codes[] = {kOsCode95,        kOsCode98,      kOsCodeME,        kOsCodeNT4,     kOsCode2000,
                            kOsCodeXP,        kOsCode2003,    kOsCodeVista,     kOsCodeXP64,    kOsCodeVista64,
                            kOsCode7,         kOsCode7_64,    kOsCode2008,      kOsCode2008_64, kOsCode2008R2_64,
                            kOsCode8,         kOsCode8_64,    kOsCode2012_64,   kOsCode8_1,     kOsCode8_1_64,
                            kOsCode2012R2_64, kOsCode10,      kOsCode10_64};
  uint32_t seen = 0;
  for (uint32_t code : codes) {
    EXPECT_EQ(code & (code - 1), 0u) << code;
    EXPECT_EQ(seen & code, 0u) << code;
    seen |= code;
  }
}

TEST(OsInfoTest, CappedVersionIsReplacedByKernel32Version) {
  struct Case {
    uint32_t major, minor, build;
    const char* kernel32;
    uint32_t wantMajor, wantMinor, wantBuild;
  } cases[] = {
      {6, 3, 9600, "10.0.19041.1", 10, 0, 19041},
      {6, 3, 9600, "6.3.9600.17031 (winblue_gdr.140221-1952)", 6, 3, 9600},
      {6, 3, 9600, "10.0", 10, 0, 0},
      {6, 3, 9600, "10, 0, 22621, 1", 10, 0, 22621},
      {6, 3, 9600, "", 6, 3, 9600},
      {6, 3, 9600, "  ", 6, 3, 9600},
      {7, 5, 1, "11.0.1", 11, 0, 1},
      // Below 6.3 (and 10.0, whose minor version is 0) the reported numbers stand.
      {6, 2, 9200, "10.0.19041.1", 6, 2, 9200},
      {5, 1, 2600, "10.0.19041.1", 5, 1, 2600},
      {10, 0, 19045, "10.0.22621.1", 10, 0, 19045},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    OsVersionRecord r = Record(kPlatformNT, c.major, c.minor, c.build);
    r.csdVersion = "SP";
    const OsVersionRecord out = CorrectCappedVersion(r, c.kernel32);
    EXPECT_EQ(out.majorVersion, c.wantMajor) << "case " << i;
    EXPECT_EQ(out.minorVersion, c.wantMinor) << "case " << i;
    EXPECT_EQ(out.buildNumber, c.wantBuild) << "case " << i;
    EXPECT_EQ(out.platformId, kPlatformNT) << "case " << i;
    EXPECT_EQ(out.csdVersion, "SP") << "case " << i;
  }
}

TEST(OsInfoTest, VersionQuestions) {
  struct Case {
    uint32_t platform, major, minor;
    bool nt, xp, win8OrLater;
  } cases[] = {
      {kPlatformNT, 5, 1, true, true, false},
      {kPlatformWindows9x, 5, 1, false, false, false},
      {kPlatformNT, 5, 10, true, false, false},
      {kPlatformNT, 5, 2, true, false, false},
      {kPlatformNT, 6, 1, true, false, false},
      {kPlatformNT, 6, 2, true, false, true},
      {kPlatformNT, 6, 3, true, false, true},
      {kPlatformNT, 10, 0, true, false, true},
      {kPlatformWindows9x, 6, 2, false, false, false},
      {kPlatformWin32s, 10, 0, false, false, false},
      // Major "." minor read as a decimal number: 6.10 is below 6.2, 6.20 is not.
      {kPlatformNT, 6, 10, true, false, false},
      {kPlatformNT, 6, 20, true, false, true},
      {kPlatformNT, 7, 0, true, false, true},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const OsVersionRecord r = Record(c.platform, c.major, c.minor);
    EXPECT_EQ(RecordIsNT(r), c.nt) << "case " << i;
    EXPECT_EQ(RecordIsWindowsXP(r), c.xp) << "case " << i;
    EXPECT_EQ(RecordIsWin8OrLater(r), c.win8OrLater) << "case " << i;
  }
}

}  // namespace
}  // namespace tarnix
