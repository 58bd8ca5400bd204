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
