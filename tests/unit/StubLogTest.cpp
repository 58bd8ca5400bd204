// The stub log's file name and line layout.
#include <gtest/gtest.h>

#include <string>

#include "Utils/StubLog.h"

namespace tarnix {
namespace {

TEST(StubLogTest, FileNameGetsTheCaseSensitiveXPrefixAndTheLogExtension) {
  struct Case {
    const char* exe;
    const char* log;
  } cases[] = {
      {"X_Setup.exe", "X_Setup.log"},
      {"x_setup.exe", "X_x_setup.log"},
      {"setup.exe", "X_setup.log"},
      {"Agent.v2.exe", "X_Agent.v2.log"},
      {"Setup", "X_Setup.log"},
      {"X_", "X_.log"},
      {"X", "X_X.log"},
      {"", "X_.log"},
  };
  for (const auto& c : cases) EXPECT_EQ(StubLogName(c.exe), c.log) << c.exe;
}

TEST(StubLogTest, AFullLogMovesAsideBeforeTheLineThatWouldPassTheCap) {
  struct Case {
    const char* name;
    uint64_t size;
    size_t line;
    bool rotates;
  } cases[] = {
      {"empty log, any line", 0, 100, false},
      {"empty log, a line longer than the cap", 0, kStubLogCap + 1, false},
      {"room left", 1000, 100, false},
      {"line ends exactly at the cap", kStubLogCap - 100, 100, false},
      {"line passes the cap", kStubLogCap - 99, 100, true},
      {"log over the cap already", kStubLogCap + 5000, 1, true},
  };
  for (const auto& c : cases) EXPECT_EQ(LogNeedsRotation(c.size, c.line), c.rotates) << c.name;
}

TEST(StubLogTest, PreviousLogName) {
  struct Case {
    const char* log;
    const char* previous;
  } cases[] = {
      {"C:\\Program Files\\Product\\X_Agent.log", "C:\\Program Files\\Product\\X_Agent.old.log"},
      {"X_.log", "X_.old.log"},
      {"X_Agent.LOG", "X_Agent.LOG.old"},
      {".log", ".log.old"},
      {"X_Agent", "X_Agent.old"},
  };
  for (const auto& c : cases) EXPECT_EQ(PreviousLogName(c.log), c.previous) << c.log;
}

TEST(StubLogTest, LineHoldsTimestampPaddedThreadIdTagMessageAndCrLf) {
  struct Case {
    uint32_t threadId;
    const char* tag;
    const char* message;
    const char* line;
  } cases[] = {
      {4711, "   ", "CommandLine=/hide", "07/12/26 14:39:41  4711   CommandLine=/hide\r\n"},
      {42, "   ", "x", "07/12/26 14:39:41    42   x\r\n"},
      {0, "   ", "x", "07/12/26 14:39:41     0   x\r\n"},
      {12345, " X ", "x", "07/12/26 14:39:41 12345 X x\r\n"},
      {123456, "   ", "x", "07/12/26 14:39:41 123456   x\r\n"},
      {4294967295u, "   ", "x", "07/12/26 14:39:41 4294967295   x\r\n"},
      {42, "   ", "", "07/12/26 14:39:41    42   \r\n"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatLogLine("07/12/26 14:39:41", c.threadId, c.tag, c.message), c.line) << c.threadId;
}

}  // namespace
}  // namespace tarnix
