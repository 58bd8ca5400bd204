#include "package/SetupCommandLine.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace tarnix {
namespace {

TEST(RunTokenTest, NamesTheAtomAndTheDialogClass) {
  const std::string token = RunToken(4711);
  EXPECT_EQ(token, "_4711");
  EXPECT_EQ(RunAtomName(token), "AutoUpdateAtomTokenByTarnix_4711");
  EXPECT_EQ(SetupDialogClassName(token), ".SDialog_Class_Name._4711");
}

struct LaunchCase {
  const char* name;
  const char* entry;
  const char* parameters;
  bool agentMode;
  const char* expected;
  const char* folder = "C:\\Temp\\SETUP_1";
};

// Names the case in test listings instead of its bytes.
void PrintTo(const LaunchCase& c, std::ostream* os) { *os << c.name; }

class SetupCommandLineTest : public testing::TestWithParam<LaunchCase> {};

TEST_P(SetupCommandLineTest, Builds) {
  const LaunchCase& c = GetParam();
  SetupLaunch launch{c.entry, c.folder, c.parameters, "_12", "C:\\cd\\setup.exe", c.agentMode};
  EXPECT_EQ(BuildSetupCommandLine(launch), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, SetupCommandLineTest,
    testing::Values(
        LaunchCase{"EntryWithoutArguments", "Engine.exe*", "/a", false,
                   "\"C:\\Temp\\SETUP_1\\Engine.exe\" /a /TH_ID=_12 /OriginExe=\"C:\\cd\\setup.exe\""},
        LaunchCase{"EntryArgumentsTrimmed", "Engine.exe* /x  /y ", "", false,
                   "\"C:\\Temp\\SETUP_1\\Engine.exe\" /x  /y /TH_ID=_12 /OriginExe=\"C:\\cd\\setup.exe\""},
        LaunchCase{"AgentMode", "Engine.exe* /x", "/a", true,
                   "\"C:\\Temp\\SETUP_1\\Engine.exe\" /x /a /TH_ID=_12 /OriginExe=\"C:\\cd\\setup.exe\" /AutoUpdateProg"},
        // A chain of copies keeps the first executable as its origin.
        LaunchCase{"OriginKeptFromTheChain", "Engine.exe*", "/OriginExe=D:\\first.exe", false,
                   "\"C:\\Temp\\SETUP_1\\Engine.exe\" /OriginExe=D:\\first.exe /TH_ID=_12"},
        // The stub's own switches never reach the program, in any case.
        LaunchCase{"StubSwitchesRemoved", "Engine.exe*", "/SpanCdLvl=2 /SpanDiskFName1=C:\\My Setup\\setup.exe.001 /a", false,
                   "\"C:\\Temp\\SETUP_1\\Engine.exe\" /a /TH_ID=_12 /OriginExe=\"C:\\cd\\setup.exe\""},
        LaunchCase{"StubSwitchesRemovedInAnyCase", "Engine.exe*", "/a /spandiskfname1=x.001", false,
                   "\"C:\\Temp\\SETUP_1\\Engine.exe\" /a /TH_ID=_12 /OriginExe=\"C:\\cd\\setup.exe\""},
        // Blanks in the folder or the program's name never split the path:
        // neither D:\Temp.exe nor D:\...\Product.exe is what starts.
        LaunchCase{"BlanksInTheFolderAndTheName", "Product Setup.exe* /q", "", false,
                   "\"D:\\Temp Files\\SETUP_1\\Product Setup.exe\" /q /TH_ID=_12 /OriginExe=\"C:\\cd\\setup.exe\"",
                   "D:\\Temp Files\\SETUP_1"},
        LaunchCase{"FolderWithATrailingBackslash", "Engine.exe*", "", false,
                   "\"D:\\Temp Files\\Engine.exe\" /TH_ID=_12 /OriginExe=\"C:\\cd\\setup.exe\"",
                   "D:\\Temp Files\\"}),
    [](const testing::TestParamInfo<LaunchCase>& info) { return std::string(info.param.name); });

TEST(RemoveSwitchTest, RemovesTheSwitchItsValueAndTheBlankAfterIt) {
  EXPECT_EQ(RemoveSwitch("a /X=1 /Y=2", "/X="), "a /Y=2");
  EXPECT_EQ(RemoveSwitch("a /Y=2 /X=1", "/X="), "a /Y=2 ");
  EXPECT_EQ(RemoveSwitch("a /Y=2", "/X="), "a /Y=2");
  EXPECT_EQ(RemoveSwitch("/X=1 /X=2 /Z", "/X="), "/Z");
  EXPECT_EQ(RemoveSwitch("a /X=1", ""), "a /X=1");
}

}  // namespace
}  // namespace tarnix
