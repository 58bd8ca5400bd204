// `tarnix-pack info`: the sizes and names of an update's files written into
// its announcement file, with the rest of the file kept byte for byte.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "Fixtures.h"
#include "IniEditor.h"

namespace tarnix::pack::test {
namespace {

struct InfoCase {
  const char* name;
  // The .info file before; none when it does not exist.
  std::optional<std::string> before;
  // "@NAME" is a file or folder beside it: SampleSetup.exe (1234 bytes),
  // Inform.txt (56 bytes), folder.
  std::vector<std::string> args;
  int code;
  // The .info file after; for a fault, nothing means it still does not exist.
  std::optional<std::string> after;
  // For a fault, a piece of the error line.
  const char* error;
};

void PrintTo(const InfoCase& c, std::ostream* os) { *os << c.name; }

class InfoFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir.Path() / "SampleSetup.exe", RandomBytes(1234, 7));
    WriteFile(dir.Path() / "Inform.txt", std::string(56, 'i'));
    fs::create_directories(dir.Path() / "folder");
  }

  std::string Info() const { return dir / "Product.info"; }

  TempDir dir;
};

class InfoTest : public InfoFixture, public ::testing::WithParamInterface<InfoCase> {};

TEST_P(InfoTest, WritesTheSizesAndKeepsTheRest) {
  const InfoCase& c = GetParam();
  if (c.before) WriteFile(Info(), *c.before);
  std::vector<std::string> args = {"info", Info()};
  for (const std::string& a : c.args) args.push_back(a[0] == '@' ? dir / a.substr(1) : a);
  const CliResult r = RunCli(args);
  EXPECT_EQ(r.code, c.code) << r.err;
  if (c.code != 0) {
    EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
  }
  if (c.after) {
    EXPECT_EQ(ReadFile(Info()), *c.after);
  } else {
    EXPECT_FALSE(fs::exists(Info()));
  }
  EXPECT_FALSE(fs::exists(Info() + ".tmp"));
}

const InfoCase kInfoCases[] = {
    {"NewFile",
     std::nullopt,
     {"--update", "@SampleSetup.exe", "--version", "2", "--stamp", "20240611"},
     0,
     "[NewSetup]\r\nNameOfUpdateFile=SampleSetup.exe\r\nSizeOfUpdateFile=1234\r\nVersionNew=2\r\nStamp=20240611\r\n",
     ""},
    {"NewFileWithInform",
     std::nullopt,
     {"--update", "@SampleSetup.exe", "--inform", "@Inform.txt"},
     0,
     "[NewSetup]\r\nNameOfUpdateFile=SampleSetup.exe\r\nSizeOfUpdateFile=1234\r\n\r\n"
     "[AutoInform]\r\nNameOfInformFile=Inform.txt\r\nSizeOfInformFile=56\r\n",
     ""},
    // Comments, blank lines, odd lines and other sections stay; a key that
    // is missing joins its section after the last entry, before the
    // comment that introduces the next section; the file's "key = value"
    // style is kept.
    {"OtherKeysAndCommentsKept",
     "; Sample product, version 2\n[General]\nAutoInform = 0\n\n[NewSetup]\nDownloadURL_UPDATE = http://u.test/\n"
     "SizeOfUpdateFile = 99   \nShutDownMethod = Using WM_CLOSE\nnot an entry\n\n; the inform box\n[AutoInform]\n"
     "AutoInformW = 400\n",
     {"--update", "@SampleSetup.exe", "--version", "3"},
     0,
     "; Sample product, version 2\n[General]\nAutoInform = 0\n\n[NewSetup]\nDownloadURL_UPDATE = http://u.test/\n"
     "SizeOfUpdateFile = 1234\nShutDownMethod = Using WM_CLOSE\nNameOfUpdateFile = SampleSetup.exe\n"
     "VersionNew = 3\nnot an entry\n\n; the inform box\n[AutoInform]\nAutoInformW = 400\n",
     ""},
    {"CrLfKept",
     "[NewSetup]\r\nNameOfUpdateFile=Product-2.exe\r\nVersionNew=1\r\n",
     {"--update", "@SampleSetup.exe", "--version", "2"},
     0,
     "[NewSetup]\r\nNameOfUpdateFile=Product-2.exe\r\nVersionNew=2\r\nSizeOfUpdateFile=1234\r\n",
     ""},
    // The first line's ending counts for new lines; each old line keeps its own.
    {"MixedEndingsAndNoLastLineEnd",
     "[General]\nAutoInform=1\r\n[AutoInform]\r\nDownloadURL_INFORM=http://u.test/new.html",
     {"--inform", "@Inform.txt"},
     0,
     "[General]\nAutoInform=1\r\n[AutoInform]\r\nDownloadURL_INFORM=http://u.test/new.html\n"
     "NameOfInformFile=Inform.txt\nSizeOfInformFile=56\n",
     ""},
    // Names compare ignoring case, and of two sections or keys of one name
    // the first counts, as they do for the agent.
    {"FirstOfEachNameIgnoringCase",
     "[newsetup]\r\nsizeofupdatefile=1\r\nSIZEOFUPDATEFILE=2\r\nNameOfUpdateFile=\r\n[NewSetup]\r\nStamp=5\r\n",
     {"--update", "@SampleSetup.exe", "--stamp", "6"},
     0,
     "[newsetup]\r\nsizeofupdatefile=1234\r\nSIZEOFUPDATEFILE=2\r\nNameOfUpdateFile=SampleSetup.exe\r\n"
     "Stamp=6\r\n[NewSetup]\r\nStamp=5\r\n",
     ""},
    {"ByteOrderMarkKept",
     "\xEF\xBB\xBF[NewSetup]\r\nSizeOfUpdateFile=1\r\n",
     {"--update", "@SampleSetup.exe"},
     0,
     "\xEF\xBB\xBF[NewSetup]\r\nSizeOfUpdateFile=1234\r\nNameOfUpdateFile=SampleSetup.exe\r\n",
     ""},
    {"MissingUpdateFile",
     "[NewSetup]\r\nSizeOfUpdateFile=1\r\n",
     {"--update", "@Missing.exe", "--version", "2"},
     1,
     "[NewSetup]\r\nSizeOfUpdateFile=1\r\n",
     "Product.info: [NewSetup] SizeOfUpdateFile: "},
    {"MissingInformFileCreatesNothing",
     std::nullopt,
     {"--update", "@SampleSetup.exe", "--inform", "@Missing.txt"},
     1,
     std::nullopt,
     "[AutoInform] SizeOfInformFile: "},
    {"RolloutPercent",
     "[NewSetup]\r\nVersionNew=2\r\nRolloutPercent=10\r\n",
     {"--rollout", "100"},
     0,
     "[NewSetup]\r\nVersionNew=2\r\nRolloutPercent=100\r\n",
     ""},
    {"RolloutPercentNew",
     "[NewSetup]\r\nVersionNew=2\r\n",
     {"--rollout", "0", "--stamp", "3"},
     0,
     "[NewSetup]\r\nVersionNew=2\r\nStamp=3\r\nRolloutPercent=0\r\n",
     ""},
    {"UpdateIsAFolder", std::nullopt, {"--update", "@folder"}, 1, std::nullopt, "not a file"},
    {"NotASettingsFile",
     std::string("[NewSetup]\r\n\0\x01\x02", 15),
     {"--version", "2"},
     1,
     std::string("[NewSetup]\r\n\0\x01\x02", 15),
     "a NUL byte at offset 12"},
};

INSTANTIATE_TEST_SUITE_P(Cases, InfoTest, ::testing::ValuesIn(kInfoCases),
                         [](const ::testing::TestParamInfo<InfoCase>& info) { return info.param.name; });

TEST_F(InfoFixture, RefusesAFolderAsTheInfoFile) {
  fs::create_directories(Info());
  const CliResult r = RunCli({"info", Info(), "--version", "2"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Product.info: not a file"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::is_directory(Info()));
}

TEST_F(InfoFixture, ReportsWhatItWrote) {
  WriteFile(Info(), "[NewSetup]\r\nNameOfUpdateFile=Renamed.exe\r\nSizeOfUpdateFile=1234\r\nVersionNew=1\r\n");
  const CliResult r = RunCli({"info", Info(), "--update", dir / "SampleSetup.exe", "--version", "2", "--stamp", "9"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string at = Info() + ": ";
  EXPECT_EQ(r.out, at + "[NewSetup] SizeOfUpdateFile=1234 (unchanged)\n" + at + "[NewSetup] VersionNew=2 (was 1)\n" +
                       at + "[NewSetup] Stamp=9 (new)\n" + at +
                       "[NewSetup] NameOfUpdateFile stays Renamed.exe, the measured file is SampleSetup.exe\n");
}

// A size of 2^31 bytes or more is beyond what the agent compares. The files
// are sparse where the file system allows it; elsewhere the test is skipped.
TEST(InfoSizeTest, SizesUpToTheLargestThirtyTwoBitNumber) {
  struct Case {
    const char* name;
    uintmax_t size;
    int code;
  } cases[] = {
      {"Largest", 2147483647u, 0},
      {"OneMore", 2147483648u, 1},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path update = dir.Path() / (std::string(c.name) + ".exe");
    WriteFile(update, "");
    std::error_code ec;
    fs::resize_file(update, c.size, ec);
    if (ec || fs::file_size(update, ec) != c.size) GTEST_SKIP() << "no sparse file of " << c.size << " bytes here";
    const std::string info = dir / (std::string(c.name) + ".info");
    const CliResult r = RunCli({"info", info, "--update", update.string()});
    fs::remove(update, ec);
    EXPECT_EQ(r.code, c.code) << r.err;
    if (c.code == 0) {
      EXPECT_NE(ReadFile(info).find("SizeOfUpdateFile=2147483647\r\n"), std::string::npos);
    } else {
      EXPECT_NE(r.err.find("2147483648 bytes, more than the agent can compare"), std::string::npos) << r.err;
      EXPECT_FALSE(fs::exists(info));
    }
  }
}

TEST(IniEditorTest, ReadsAsTheAgentDoes) {
  const IniEditor ini("; [NewSetup]\nNameOfUpdateFile=comment\n[ NewSetup ]\n  VersionNew =  7  \n;Stamp=1\n"
                      "=orphan\n[Other]\nStamp=2\n");
  EXPECT_EQ(ini.Get("newsetup", "versionnew"), "7");
  EXPECT_EQ(ini.Get("NewSetup", "Stamp"), std::nullopt);
  EXPECT_EQ(ini.Get("NewSetup", "NameOfUpdateFile"), std::nullopt);
  EXPECT_EQ(ini.Get("Other", "Stamp"), "2");
  EXPECT_EQ(ini.Get("Missing", "Stamp"), std::nullopt);
}

}  // namespace
}  // namespace tarnix::pack::test
