// What `tarnix-pack info` writes, read back the way the agent reads its
// settings files: through the platform's INI calls. The builder edits the
// text itself, so here its idea of sections, keys, case and repeated names
// meets the platform's.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Utils/IniFile.h"
#include "pack/Fixtures.h"

namespace tarnix {
namespace {

using pack::test::CliResult;
using pack::test::RunCli;
using pack::test::TempDir;
using pack::test::WriteFile;

struct Expected {
  const char* section;
  const char* key;
  const char* value;
};

struct ReadBackCase {
  const char* name;
  std::string before;
  std::vector<Expected> expected;
};

void PrintTo(const ReadBackCase& c, std::ostream* os) { *os << c.name; }

class InfoReadBackTest : public ::testing::TestWithParam<ReadBackCase> {};

TEST_P(InfoReadBackTest, TheAgentReadsWhatInfoWrote) {
  const ReadBackCase& c = GetParam();
  TempDir dir;
  const std::string info = dir / "Product.info";
  WriteFile(dir.Path() / "ProductSetup.exe", std::string(4321, 's'));
  WriteFile(dir.Path() / "Inform.txt", std::string(65, 'i'));
  if (!c.before.empty()) WriteFile(info, c.before);
  const CliResult r = RunCli({"info", info, "--update", dir / "ProductSetup.exe", "--inform", dir / "Inform.txt",
                              "--version", "2", "--stamp", "77"});
  ASSERT_EQ(r.code, 0) << r.err;
  for (const Expected& e : c.expected)
    EXPECT_EQ(ReadIniString(info, e.section, e.key, "(missing)"), e.value) << e.section << " " << e.key;
}

const std::vector<Expected> kWritten = {
    {"NewSetup", "NameOfUpdateFile", "ProductSetup.exe"},
    {"NewSetup", "SizeOfUpdateFile", "4321"},
    {"NewSetup", "VersionNew", "2"},
    {"NewSetup", "Stamp", "77"},
    {"AutoInform", "NameOfInformFile", "Inform.txt"},
    {"AutoInform", "SizeOfInformFile", "65"},
};

std::vector<Expected> WrittenAnd(std::vector<Expected> more) {
  more.insert(more.begin(), kWritten.begin(), kWritten.end());
  return more;
}

const ReadBackCase kReadBackCases[] = {
    {"NewFile", "", kWritten},
    {"LineFeedsAndSpacedEntries",
     "; v2\n[General]\nAutoInform = 0\n\n[NewSetup]\n  DownloadURL_UPDATE =  http://u.test/  \nVersionNew = 1\n"
     "; the inform box\n[AutoInform]\nAutoInformW = 400\n",
     WrittenAnd({{"General", "AutoInform", "0"},
                 {"NewSetup", "DownloadURL_UPDATE", "http://u.test/"},
                 {"AutoInform", "AutoInformW", "400"}})},
    {"OtherCaseAndRepeatedNames",
     "[newsetup]\r\nsizeofupdatefile=1\r\nSIZEOFUPDATEFILE=2\r\nversionNEW=1\r\n[NewSetup]\r\nStamp=5\r\n"
     "[AUTOINFORM]\r\nnameofinformfile=\r\n",
     kWritten},
    {"BlanksInTheSectionName", "[ NewSetup ]\r\nVersionNew=1\r\n", kWritten},
};

INSTANTIATE_TEST_SUITE_P(Files, InfoReadBackTest, ::testing::ValuesIn(kReadBackCases),
                         [](const ::testing::TestParamInfo<ReadBackCase>& info) { return info.param.name; });

}  // namespace
}  // namespace tarnix
