// The platform-free rules of the process utilities: command lines, the
// start failure's text, file name parts, the finder for each Windows
// version, the fixed system process names, and whole characters of
// captured output.
#include <gtest/gtest.h>

#include <string>

#include "Utils/ProcessUtilsCommon.h"

namespace tarnix {
namespace {

bool ShiftJisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

TEST(ProcessUtilsCommonTest, BuildCommandLineQuotesOnlyUnquotedPathsWithBlanks) {
  struct Case {
    const char* exe;
    const char* parameters;
    const char* expected;
  } cases[] = {
      {"C:\\Program Files\\App\\app.exe", "/S", "\"C:\\Program Files\\App\\app.exe\" /S"},
      {"C:\\Program Files\\App\\app.exe", "", "\"C:\\Program Files\\App\\app.exe\""},
      {"\"C:\\Program Files\\App\\app.exe\"", "/S", "\"C:\\Program Files\\App\\app.exe\" /S"},
      {"C:\\App\\app.exe", "/a /b", "C:\\App\\app.exe /a /b"},
      {"tasklist.exe", "/FO csv", "tasklist.exe /FO csv"},
      {"", "", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(BuildCommandLine(c.exe, c.parameters), c.expected) << c.exe;
}

TEST(ProcessUtilsCommonTest, RunFailedTextCutsTheCommandLine) {
  EXPECT_EQ(RunFailedText("nothere.exe /x", "The system cannot find the file specified."),
            "nothere.exe /x --- The system cannot find the file specified.");
  const std::string longLine(300, 'a');
  EXPECT_EQ(RunFailedText(longLine, "msg"), std::string(256, 'a') + " --- msg");
  EXPECT_EQ(RunFailedText(std::string(kMaxCommandLineLength, 'a'), "msg"), std::string(256, 'a') + " --- msg");
  EXPECT_EQ(RunFailedText(std::string(kMaxCommandLineLength + 1, 'a'), "msg"), "Command line is too long");
}

TEST(ProcessUtilsCommonTest, FileNamePartFollowsTheLastSeparator) {
  struct Case {
    const char* path;
    const char* expected;
  } cases[] = {
      {"C:\\Program Files\\App\\app.exe", "app.exe"},
      {"app.exe", "app.exe"},
      {"C:app.exe", "app.exe"},
      {"dir/sub/app.exe", "app.exe"},
      {"\\\\server\\share\\app.exe", "app.exe"},
      {"C:\\dir\\", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(FileNamePart(c.path), c.expected) << c.path;
  // The second byte of a double-byte character is no separator.
  EXPECT_EQ(FileNamePart("C:\\d\\\x95\x5C.exe", ShiftJisLead), "\x95\x5C.exe");
  EXPECT_EQ(FileNamePart("C:\\d\\\x95\x5C.exe"), ".exe");
}

OsVersionRecord Record(uint32_t platform, uint32_t major, uint32_t minor) {
  OsVersionRecord r;
  r.platformId = platform;
  r.majorVersion = major;
  r.minorVersion = minor;
  return r;
}

TEST(ProcessUtilsCommonTest, TheFinderDependsOnTheWindowsVersion) {
  struct Case {
    const char* system;
    OsVersionRecord record;
    PidFinder finder;
    bool psapiList;
  } cases[] = {
      {"95", Record(kPlatformWindows9x, 4, 0), PidFinder::Toolhelp, false},
      {"ME", Record(kPlatformWindows9x, 4, 90), PidFinder::Toolhelp, false},
      {"NT 4", Record(kPlatformNT, 4, 0), PidFinder::Psapi, false},
      {"2000", Record(kPlatformNT, 5, 0), PidFinder::Psapi, false},
      {"XP", Record(kPlatformNT, 5, 1), PidFinder::Psapi, true},
      {"2003", Record(kPlatformNT, 5, 2), PidFinder::Psapi, false},
      {"Vista", Record(kPlatformNT, 6, 0), PidFinder::Psapi, false},
      {"7", Record(kPlatformNT, 6, 1), PidFinder::Psapi, false},
      {"8", Record(kPlatformNT, 6, 2), PidFinder::Tasklist, false},
      {"8.1", Record(kPlatformNT, 6, 3), PidFinder::Tasklist, false},
      {"10", Record(kPlatformNT, 10, 0), PidFinder::Tasklist, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChoosePidFinder(c.record), c.finder) << c.system;
    EXPECT_EQ(ListsProcessesByPsapi(c.record), c.psapiList) << c.system;
  }
}

TEST(ProcessUtilsCommonTest, FixedProcessNamesDependOnTheSystem) {
  struct Case {
    uint32_t pid;
    uint32_t osCode;
    const char* expected;
  } cases[] = {
      {0, kOsCodeXP, "System Idle Process"},
      {0, kOsCodeNT4, "System Idle Process"},
      {2, kOsCodeNT4, "System Process"},
      {2, kOsCode2000, ""},
      {8, kOsCode2000, "System Process"},
      {8, kOsCodeNT4, ""},
      {4, kOsCodeXP, ""},
      {8, kOsCodeXP, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FixedProcessName(c.pid, c.osCode), c.expected) << c.pid << " on " << c.osCode;
}

TEST(ProcessUtilsCommonTest, WholeCharsLengthHoldsBackASplitCharacter) {
  struct Case {
    std::string bytes;
    size_t expected;
  } cases[] = {
      {"abc", 3},
      {"ab\x95", 2},
      {"ab\x95\x5C", 4},
      // The lead byte's second half may itself be in the lead range.
      {"\x95\x95", 2},
      {"\x95\x95\x95", 2},
      {"\x95", 0},
      {"", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(WholeCharsLength(c.bytes, ShiftJisLead), c.expected) << c.bytes;
  EXPECT_EQ(WholeCharsLength("ab\x95", NoLeadBytes), 3u);
}

}  // namespace
}  // namespace tarnix

namespace tarnix {
namespace {

TEST(ElevatedStartTest, OnlyElevationRequiredGoesThroughTheShell) {
  struct Case {
    uint32_t error;
    StartRoute expected;
  } cases[] = {
      {kErrorElevationRequired, StartRoute::ThroughShell},
      {2, StartRoute::Failed},     // file not found
      {5, StartRoute::Failed},     // access denied: the shell would fail too
      {193, StartRoute::Failed},   // not a valid program
      {kErrorCancelled, StartRoute::Failed},
  };
  for (const Case& c : cases) EXPECT_EQ(RouteAfterCreateFailure(c.error), c.expected) << c.error;
}

TEST(ElevatedStartTest, ARefusedPromptIsToldApartFromAFailure) {
  EXPECT_EQ(ShellStartOutcome(true, 0), ShellStart::Started);
  EXPECT_EQ(ShellStartOutcome(true, kErrorCancelled), ShellStart::Started);
  EXPECT_EQ(ShellStartOutcome(false, kErrorCancelled), ShellStart::Refused);
  EXPECT_EQ(ShellStartOutcome(false, 2), ShellStart::Failed);
  EXPECT_EQ(ShellStartOutcome(false, kErrorElevationRequired), ShellStart::Failed);
}

// The files of a temporary folder below a user name with a blank, as on
// Windows XP ("Documents and Settings").
bool TempFileExists(const std::string& path) {
  return path == "C:\\Documents and Settings\\Jo Doe\\Temp\\_ab\\Setup.exe" ||
         path == "C:\\Documents and Settings\\Jo Doe\\Temp\\_cd\\Setup Two.exe" || path == "C:\\Tools\\run.exe" ||
         path == "C:\\Program";
}

TEST(ElevatedStartTest, SplitCommandLineFindsTheProgramAsProcessCreationDoes) {
  struct Case {
    const char* name;
    const char* line;
    const char* program;
    const char* parameters;
  } cases[] = {
      {"unquoted path with blanks", "C:\\Documents and Settings\\Jo Doe\\Temp\\_ab\\Setup.exe /TH_ID=_12 /a",
       "C:\\Documents and Settings\\Jo Doe\\Temp\\_ab\\Setup.exe", "/TH_ID=_12 /a"},
      {"unquoted program name with a blank",
       "C:\\Documents and Settings\\Jo Doe\\Temp\\_cd\\Setup Two.exe /x",
       "C:\\Documents and Settings\\Jo Doe\\Temp\\_cd\\Setup Two.exe", "/x"},
      {"quoted path", "\"C:\\Program Files\\App\\app.exe\"  /S \"a b\"", "C:\\Program Files\\App\\app.exe",
       "/S \"a b\""},
      {"quoted path alone", "\"C:\\Program Files\\App\\app.exe\"", "C:\\Program Files\\App\\app.exe", ""},
      {"unclosed quote", "\"C:\\App\\app.exe /S", "C:\\App\\app.exe /S", ""},
      {".exe added to a name without extension", "C:\\Tools\\run /q", "C:\\Tools\\run.exe", "/q"},
      // A file without extension at the first blank wins, as it does for
      // process creation: the reason paths with blanks are quoted.
      {"first existing front wins", "C:\\Program Files\\App\\app.exe /S", "C:\\Program", "Files\\App\\app.exe /S"},
      {"no such file: the first word", "C:\\Gone\\setup.exe /a /b", "C:\\Gone\\setup.exe", "/a /b"},
      {"whole line is the program", "C:\\Tools\\run.exe", "C:\\Tools\\run.exe", ""},
      {"leading blanks", "   C:\\Tools\\run.exe  /q", "C:\\Tools\\run.exe", "/q"},
      {"empty", "", "", ""},
  };
  for (const Case& c : cases) {
    const ProgramParts parts = SplitCommandLine(c.line, TempFileExists);
    EXPECT_EQ(parts.program, c.program) << c.name;
    EXPECT_EQ(parts.parameters, c.parameters) << c.name;
  }
}

}  // namespace
}  // namespace tarnix
