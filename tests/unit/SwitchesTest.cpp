// Command-line switches read from a given command line, so every quoting and
// spelling the platform may hand over can be tried.
#include <gtest/gtest.h>

#include <string>

#include "Utils/Switches.h"

namespace tarnix {
namespace {

TEST(SwitchesTest, CommandLineParamsDropTheProgramPath) {
  struct Case {
    std::string commandLine, exePath, expected;
  } cases[] = {
      {R"("C:\Prog Files\setup.exe" /hide /x)", R"(C:\Prog Files\setup.exe)", "/hide /x"},
      {R"(C:\dir\setup.exe /hide)", R"(C:\dir\setup.exe)", "/hide"},
      {R"("C:\DIR\SETUP.EXE"   /Q  )", R"(C:\dir\setup.exe)", "/Q"},
      {R"("C:\dir\setup.exe")", R"(C:\dir\setup.exe)", ""},
      // A lone character after the name is not a parameter.
      {R"("C:\dir\setup.exe" x)", R"(C:\dir\setup.exe)", ""},
      {R"(C:\dir\setup.exe")", R"(C:\dir\setup.exe)", ""},
      // Typed without its extension, the name is not found and nothing is cut.
      {"setup /hide", R"(C:\dir\setup.exe)", "setup /hide"},
      {"/opt/x/setup.exe -a b", "/opt/x/setup.exe", "-a b"},
      {"  /a  ", "", "/a"},
      {"", R"(C:\dir\setup.exe)", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(CommandLineParams(c.commandLine, c.exePath), c.expected) << c.commandLine;
}

TEST(SwitchesTest, ExeFileNameIsThePartAfterTheLastSeparator) {
  EXPECT_EQ(ExeFileName(R"(C:\a.b\Agent.exe)"), "Agent.exe");
  EXPECT_EQ(ExeFileName("C:/a\\b/X_Agent.exe"), "X_Agent.exe");
  EXPECT_EQ(ExeFileName("Agent.exe"), "Agent.exe");
  EXPECT_EQ(ExeFileName(R"(C:\dir\)"), "");
}

TEST(SwitchesTest, HasSwitchMatchesWholeWordsInAnyCase) {
  struct Case {
    std::string params, sw;
    bool expected;
  } cases[] = {
      {"/a /hide", "/hide", true},
      {"/HIDE", "/hide", true},
      {"/Hide /x", std::string(kSwitchHide), true},
      {"/hidden", "/hide", false},
      {"/hide=1", "/hide", false},
      {"/S", "/S", true},
      {"/SILENT", "/S", false},
      {"/hide", "  /hide ", true},
      {"", "/hide", false},
      {"/hide", "", false},
      {"/x /AutoUpdateProg", std::string(kSwitchAutoUpdateProg), true},
  };
  for (const auto& c : cases) EXPECT_EQ(HasSwitchIn(c.params, c.sw), c.expected) << c.params << " [" << c.sw << "]";
}

TEST(SwitchesTest, SwitchValueRunsToTheNextSwitch) {
  struct Case {
    std::string params, name, expected;
  } cases[] = {
      {R"(/Dir="C:\My Apps" /Q)", "/Dir", R"(C:\My Apps)"},
      {R"(/hide /SpanDiskFName1="D:\My CD\setup.exe.001" /OriginExe="D:\My CD\setup.exe")",
       std::string(kSwitchSpanDiskFName1), R"(D:\My CD\setup.exe.001)"},
      {R"(/hide /SpanDiskFName1="D:\My CD\setup.exe.001" /OriginExe="D:\My CD\setup.exe")",
       std::string(kSwitchOriginExe), R"(D:\My CD\setup.exe)"},
      {"/a=1", "/b", "def"},
      {"/a= /b=2", "/a", ""},
      {"/A=  x y  /b", "/a", "x y"},
      {"/x = 5", "/x", "5"},
      {"/a=1 /a=2", "/a", "1"},
      {"/url=http://host/p /c", "/url", "http://host/p"},
      {"/TRANSIENTx=1|2 /TRANSIENT=abc", std::string(kSwitchTransient), "abc"},
      {"/TRANSIENTx=1|2 /TRANSIENT=abc", std::string(kSwitchTransientX), "1|2"},
      {"/hide", "/hide", "def"},
      {"-x=5 -y=6", "-x", "5"},
      // Written with "-", a value runs to the next " -" only.
      {"-x=5 /y=6", "-x", "5 /y=6"},
      {"-x=5", "/x", "def"},
      {"/x=5", "-x", "def"},
      {"", "/a", "def"},
      {"/a=1", "", "def"},
      {"/a=1", "/", "def"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SwitchValueIn(c.params, c.name, "def"), c.expected) << c.params << " [" << c.name << "]";
}

TEST(SwitchesTest, SwitchIntGivesTheDefaultUnlessADecimalNumber) {
  struct Case {
    std::string params;
    int64_t expected;
  } cases[] = {
      {"/STOP=3", 3},
      {"/stop= -2 /x", -2},
      {"/STOP=abc", -1},
      {"/STOP=", -1},
      {"/STOP=3x", -1},
      {"/STOP=99999999999999999999", -1},
      {"/STOPX=3", -1},
      {"/hide", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(SwitchIntIn(c.params, kSwitchStop, -1), c.expected) << c.params;
}

}  // namespace
}  // namespace tarnix
