// Path shaping: trailing backslashes, base names, doubled backslashes, drive
// roots and write block sizes, in single-byte and double-byte code pages.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>

#include "Utils/PathUtils.h"

namespace tarnix {
namespace {

// The lead bytes of the Japanese code page; its second bytes include 0x5C,
// the backslash.
bool ShiftJisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// "表" in that code page: a lead byte followed by a backslash byte.
const std::string kHyou = "\x95\x5C";

TEST(PathUtilsTest, NormalizeDirKeepsExactlyOneTrailingBackslashOnRequest) {
  struct Case {
    const char* path;
    bool add;
    const char* expected;
  } cases[] = {
      {"C:", true, "C:\\"},
      {"C:\\", true, "C:\\"},
      {"C:\\", false, "C:"},
      {"C:", false, "C:"},
      {"C:\\Temp\\", true, "C:\\Temp\\"},
      {"C:\\Temp\\", false, "C:\\Temp"},
      {"C:\\Temp", true, "C:\\Temp\\"},
      {"C:\\Temp", false, "C:\\Temp"},
      {"\\\\srv\\share\\", false, "\\\\srv\\share"},
      // Two characters or fewer are never cut.
      {"a\\", false, "a\\"},
      {"\\", false, "\\"},
      {"", false, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(NormalizeDir(c.path, c.add), c.expected) << c.path << " add=" << c.add;
}

TEST(PathUtilsTest, ABackslashInsideADoubleByteCharacterIsNotASeparator) {
  const std::string dir = "C:\\" + kHyou;
  EXPECT_EQ(NormalizeDir(dir, false, ShiftJisLead), dir);
  EXPECT_EQ(NormalizeDir(dir, true, ShiftJisLead), dir + "\\");
  EXPECT_EQ(NormalizeDir(dir + "\\", false, ShiftJisLead), dir);
  EXPECT_EQ(RemoveTrailingSlash(dir, ShiftJisLead), dir);
  EXPECT_EQ(GetBaseName(dir + ".txt", false, ShiftJisLead), kHyou);
  // Without the code page's lead bytes the same bytes read as a separator.
  EXPECT_EQ(NormalizeDir(dir, false), "C:\\\x95");
}

TEST(PathUtilsTest, DoubleByteCharactersAreReadFromTheStartOfThePath) {
  // "\x95\x95" is one character; the backslash after it is a real separator
  // although the byte before it is in the lead range.
  const std::string dir = "C:\\a\x95\x95\\";
  EXPECT_EQ(NormalizeDir(dir, false, ShiftJisLead), "C:\\a\x95\x95");
  EXPECT_EQ(RemoveTrailingSlash(dir, ShiftJisLead), "C:\\a\x95\x95");
}

TEST(PathUtilsTest, DirectoryPartDropsTheFileNameAndOneBackslash) {
  struct Case {
    const char* path;
    const char* expected;
  } cases[] = {
      {"C:\\Tools\\run.exe", "C:\\Tools"},
      {"C:\\run.exe", "C:"},
      {"C:run.exe", "C:"},
      {"run.exe", ""},
      {"C:\\Tools\\", "C:\\Tools"},
      {"\\\\srv\\share\\x.exe", "\\\\srv\\share"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(DirectoryPart(c.path), c.expected) << c.path;
  // The second byte of a double-byte character is no separator.
  EXPECT_EQ(DirectoryPart("C:\\" + kHyou + "\\x.exe", ShiftJisLead), "C:\\" + kHyou);
  EXPECT_EQ(DirectoryPart("C:\\a" + kHyou + "x.exe", ShiftJisLead), "C:");
}

TEST(PathUtilsTest, GetBaseNameCutsExtensionsFromTheFileNamePart) {
  struct Case {
    const char* path;
    bool all;
    const char* expected;
  } cases[] = {
      {"a.tar.gz", false, "a.tar"},
      {"a.tar.gz", true, "a"},
      {"C:\\Program Files\\Tarnix\\stub.exe", false, "stub"},
      {"C:\\dir.d\\name", false, "name"},
      {"C:\\dir.d\\name", true, "name"},
      {"README", true, "README"},
      {"C:\\x\\", false, ""},
      {"C:setup.exe", false, "setup"},
      {"http://host/path/agent.v2.exe", true, "agent"},
      {".profile", false, ""},
      {"", false, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(GetBaseName(c.path, c.all), c.expected) << c.path << " all=" << c.all;
}

TEST(PathUtilsTest, RemoveTrailingSlash) {
  struct Case {
    const char* path;
    const char* expected;
  } cases[] = {
      {"\\", ""},       {"", ""},          {"a\\", "a"},          {"C:\\", "C:"},
      {"C:\\x", "C:\\x"}, {"C:\\x\\\\", "C:\\x\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(RemoveTrailingSlash(c.path), c.expected) << c.path;
}

TEST(PathUtilsTest, CollapseSlashesKeepsUncAndQuotedPrefixes) {
  struct Case {
    const char* path;
    bool removeTrailing;
    const char* expected;
  } cases[] = {
      {"C:\\\\a\\\\\\b\\\\", false, "C:\\a\\b\\"},
      {"C:\\\\a\\\\\\b\\\\", true, "C:\\a\\b"},
      {"\\\\server\\\\share\\dir", false, "\\\\server\\share\\dir"},
      {"\\\\\\server\\share", false, "\\\\server\\share"},
      {"\"\\\\server\\\\share\"", false, "\"\\\\server\\share\""},
      {"\"C:\\\\dir\\\\\"", true, "\"C:\\dir\\\""},
      {"|C:\\\\a|\\\\srv\\\\b|\\\\\\c|", false, "|C:\\a|\\\\srv\\b|\\\\c|"},
      {"|\\\\srv\\x|C:\\y", false, "|\\srv\\x|C:\\y"},
      {"|a\\\\|b", false, "|a\\|b"},
      {"x\\\\\\\\", false, "x\\"},
      {"\\\\", false, "\\\\"},
      {"a\\", true, "a"},
      {"", true, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CollapseSlashes(c.path, c.removeTrailing), c.expected) << c.path << " remove=" << c.removeTrailing;
  }
}

TEST(PathUtilsTest, CollapseSlashesLeavesDoubleByteCharactersWhole) {
  const std::string path = "C:\\" + kHyou + "\\file";
  EXPECT_EQ(CollapseSlashes(path, false, ShiftJisLead), path);
  EXPECT_EQ(CollapseSlashes("C:\\" + kHyou + "\\\\file", false, ShiftJisLead), path);
}

TEST(PathUtilsTest, GetDriveRootChangesSlashesInPlaceAndCutsAfterTheFirstFolder) {
  struct Case {
    const char* path;
    bool force;
    const char* root;
    const char* changed;
  } cases[] = {
      {"C:\\Data\\Sub", false, "C:\\Data", "C:\\Data\\Sub"},
      {"C:\\Data\\Sub", true, "C:\\", "C:\\Data\\Sub"},
      {"c:/data/sub/x", false, "c:\\data", "c:\\data\\sub\\x"},
      {"C:\\Data", false, "C:\\Data", "C:\\Data"},
      {"C:\\", false, "C:\\", "C:\\"},
      {"d", false, "D:\\", "d"},
      {"e:", false, "E:\\", "e:"},
      {"e:\\temp", true, "E:\\", "e:\\temp"},
      {"\\\\srv\\share\\dir", false, "\\\\srv", "\\\\srv\\share\\dir"},
      {"", false, "", ""},
      {"", true, "", ""},
  };
  for (const Case& c : cases) {
    std::string path = c.path;
    EXPECT_EQ(GetDriveRoot(path, c.force), c.root) << c.path << " force=" << c.force;
    EXPECT_EQ(path, c.changed) << c.path;
  }
  std::string dbcs = "C:\\" + kHyou + "x\\y";
  EXPECT_EQ(GetDriveRoot(dbcs, false, ShiftJisLead), "C:\\" + kHyou + "x");
}

TEST(PathUtilsTest, IsRootPathFindsDrivesAndSharesInAnyShape) {
  struct Case {
    const char* path;
    bool root;
  } cases[] = {
      {"", true},
      {"\\", true},
      {"C:", true},
      {"c:\\", true},
      {"C:\\\\", true},
      {"C:/", true},
      {"\\\\server", true},
      {"\\\\server\\share", true},
      {"\\\\server\\share\\", true},
      {"//server/share", true},
      {"C:\\Temp", false},
      {"C:\\Temp\\", false},
      {"\\Temp", false},
      {"\\\\server\\share\\dir", false},
      {"SETUP_1234", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsRootPath(c.path), c.root) << c.path;
  // A share whose name holds a backslash byte inside a character.
  EXPECT_TRUE(IsRootPath("\\\\server\\" + kHyou + "x", ShiftJisLead));
  EXPECT_FALSE(IsRootPath("\\\\server\\" + kHyou + "x\\dir", ShiftJisLead));
}

TEST(PathUtilsTest, ChooseBlockSizeSplitsIntoTenthsBetween1024AndTheLargest) {
  const uint64_t MiB = 1048576;
  struct Case {
    uint64_t largest, total, expected;
  } cases[] = {
      {MiB, 3 * MiB, 314572},
      {MiB, 5000, 1024},
      {MiB, 500, 500},
      {MiB, 0, 0},
      {MiB, 10240, 1024},
      {MiB, 10250, 1025},
      {MiB, 20 * MiB, MiB},
      {MiB, 10 * MiB + 9, MiB},
  };
  for (const Case& c : cases) EXPECT_EQ(ChooseBlockSize(c.largest, c.total), c.expected) << c.total;
}

}  // namespace
}  // namespace tarnix
