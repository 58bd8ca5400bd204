// The stub log as the stub writes it: the name beside the executable, one
// line per start-up step with timestamp, thread id and tag, only for an
// agent package with logging on; and whole lines when several writers
// append at once.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <thread>
#include <vector>

#include "DebugTestSupport.h"
#include "PackageBuilder.h"
#include "Utils/FileUtils.h"
#include "Utils/StubLog.h"

namespace tarnix {
namespace {

using test::CrLfLines;

class StubLogWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    stub_ = test::PathFromEnv("TARNIX_STUB_EXE");
    ASSERT_FALSE(stub_.empty()) << "TARNIX_STUB_EXE is not set";
  }

  // A package named `exeName` in `dir`.
  std::string BuildAgent(const test::ScratchDir& dir, const std::string& exeName, bool isAgent, bool agentLog) {
    pack::PackageSpec plan;
    plan.stubPath = stub_;
    plan.isAgent = isAgent;
    if (agentLog) plan.options |= kAgentLog;
    plan.agentExeName = "Agent.exe";
    const std::string path = dir / exeName;
    pack::BuildReport report;
    std::string error;
    EXPECT_TRUE(pack::BuildPackage(plan, path, report, error)) << error;
    return path;
  }

  std::string stub_;
};

bool IsTimestamp(const std::string& t) {
  if (t.size() != 17) return false;
  for (size_t i : {0, 1, 3, 4, 6, 7, 9, 10, 12, 13, 15, 16})
    if (!std::isdigit(static_cast<unsigned char>(t[i]))) return false;
  return t[8] == ' ';
}

std::string Padded(DWORD threadId) {
  std::string id = std::to_string(threadId);
  return std::string(id.size() < 5 ? 5 - id.size() : 0, ' ') + id;
}

TEST_F(StubLogWinTest, AnAgentWithLoggingWritesItsStartUpStepsBesideItself) {
  struct Case {
    const char* exe;
    const char* log;
    const char* tag;
    bool xAgentRunning, plainAgent, xAgent;
  } cases[] = {
      {"X_Setup.exe", "X_Setup.log", "   ", false, false, false},
      {"x_setup.exe", "X_x_setup.log", "   ", false, false, false},
      {"Agent.exe", "X_Agent.log", "   ", false, true, false},
      {"X_Agent.exe", "X_Agent.log", " X ", false, false, true},
      {"Other.exe", "X_Other.log", "   ", true, false, false},
  };
  const char* kTruth[] = {"FALSE", "TRUE"};
  WNDCLASSA agentClass{};
  agentClass.lpfnWndProc = ::DefWindowProcA;
  agentClass.hInstance = ::GetModuleHandleA(nullptr);
  agentClass.lpszClassName = ".AutoUpdate.X_Agent";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exe);
    // The plain agent and its X_ copy share a log; each case gets a folder.
    test::ScratchDir dir;
    const std::string exe = BuildAgent(dir, c.exe, true, true);
    // A window of the running X_ agent's class; finding it needs no answer.
    UniqueWindow xAgent;
    if (c.xAgentRunning) {
      ASSERT_TRUE(::RegisterClassA(&agentClass) || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS);
      xAgent.reset(::CreateWindowExA(0, agentClass.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                     agentClass.hInstance, nullptr));
      ASSERT_TRUE(xAgent);
    }

    const std::string commandLine = "\"" + exe + "\" /hide";
    const test::ProcessRun run = test::RunPumping(exe, commandLine);
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, 0u);

    const std::string prefix = Padded(run.threadId) + c.tag;
    const std::vector<std::string> expected = {
        "",
        "",
        "=== START === " + exe,
        "CommandLine=" + commandLine,
        "Agent Version=" + std::to_string(TARNIX_VERSION_MAJOR) + "." + std::to_string(TARNIX_VERSION_MINOR) + "." +
            std::to_string(TARNIX_VERSION_PATCH) + "." + std::to_string(TARNIX_VERSION_TWEAK),
        "DoRunStubWin() --- Start",
        std::string("X_ExeIsRunning=") + kTruth[c.xAgentRunning],
        std::string("ThisIs_Plain_AutoUpdate_Exe=") + kTruth[c.plainAgent],
        std::string("ThisIs_X_AutoUpdate_Exe=") + kTruth[c.xAgent],
        "DoRunStubWin() --- End",
        "=== EXIT === " + exe,
        "",
    };
    const std::string text = test::ReadWholeFile(dir / c.log);
    ASSERT_FALSE(text.empty()) << c.log << " is missing or empty";
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    const std::vector<std::string> lines = CrLfLines(text);
    ASSERT_EQ(lines.size(), expected.size()) << text;
    for (size_t i = 0; i < lines.size(); ++i) {
      SCOPED_TRACE(lines[i]);
      EXPECT_TRUE(IsTimestamp(lines[i].substr(0, 17)));
      EXPECT_EQ(lines[i].substr(17), " " + prefix + expected[i]);
    }
  }
  ::UnregisterClassA(".AutoUpdate.X_Agent", ::GetModuleHandleA(nullptr));
}

TEST_F(StubLogWinTest, NoLogUnlessThePackageIsAnAgentWithLoggingOn) {
  struct Case {
    const char* exe;
    bool isAgent, agentLog;
  } cases[] = {
      {"X_Setup.exe", true, false},
      {"Setup.exe", false, true},
      {"Agent.exe", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exe);
    test::ScratchDir dir;
    const std::string exe = BuildAgent(dir, c.exe, c.isAgent, c.agentLog);
    const test::ProcessRun run = test::RunPumping(exe, "\"" + exe + "\"");
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(::GetFileAttributesA((dir / StubLogName(c.exe)).c_str()), INVALID_FILE_ATTRIBUTES);
  }
}

TEST(SharedAppendTest, WritersAppendingAtOnceKeepEveryLineWhole) {
  test::ScratchDir dir;
  const std::string path = dir / "X_shared.log";
  constexpr int kWriters = 4;
  constexpr int kLines = 250;
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w)
    writers.emplace_back([&path, w] {
      const std::string line = "writer " + std::to_string(w) + " " + std::string(50, char('a' + w)) + "\r\n";
      for (int i = 0; i < kLines; ++i) AppendFileText(path, line);
    });
  for (auto& t : writers) t.join();

  const std::vector<std::string> lines = CrLfLines(test::ReadWholeFile(path));
  ASSERT_EQ(lines.size(), size_t{kWriters * kLines});
  int perWriter[kWriters] = {};
  for (const std::string& line : lines) {
    ASSERT_EQ(line.size(), 59u) << line;
    const int w = line[7] - '0';
    ASSERT_TRUE(w >= 0 && w < kWriters) << line;
    EXPECT_EQ(line, "writer " + std::to_string(w) + " " + std::string(50, char('a' + w)));
    ++perWriter[w];
  }
  for (int w = 0; w < kWriters; ++w) EXPECT_EQ(perWriter[w], kLines);
}

}  // namespace
}  // namespace tarnix
