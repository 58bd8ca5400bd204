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
#include "win/support/SetupProcess.h"
#include "PackageBuilder.h"
#include "Utils/FileUtils.h"
#include "Utils/PathUtils.h"
#include "Utils/StubLog.h"
#include "Utils/UniqueResource.h"
#include "startup/AgentMessages.h"

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

// The log lines of one process, told apart from those of the other
// processes writing to the same log by the thread id.
std::vector<std::string> LinesOf(const std::string& text, const std::string& prefix) {
  std::vector<std::string> own;
  for (const std::string& line : CrLfLines(text)) {
    EXPECT_TRUE(IsTimestamp(line.substr(0, 17))) << line;
    if (line.size() >= 18 + prefix.size() && line.compare(18, prefix.size(), prefix) == 0)
      own.push_back(line.substr(18 + prefix.size()));
  }
  return own;
}

// Ends the resident agent whose window has `className`, if one runs.
void EndResidentAgent(const std::string& className) {
  HWND window = ::FindWindowA(className.c_str(), nullptr);
  if (!window) return;
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
  ::PostMessageA(window, wm_ShutDown, 0, 0);
  if (process) {
    EXPECT_EQ(::WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0) << className << " stays";
  }
}

TEST_F(StubLogWinTest, AnAgentWithLoggingWritesItsStartUpStepsBesideItself) {
  struct Case {
    const char* exe;
    const char* log;
    const char* tag;
    bool xAgentRunning, plainAgent, xAgent;
    // The class of the resident agent this start leaves running.
    const char* residentClass;
  } cases[] = {
      {"X_Setup.exe", "X_Setup.log", "   ", false, false, false, ".AutoUpdate.X_Setup"},
      {"x_setup.exe", "X_x_setup.log", "   ", false, false, false, ".AutoUpdate.x_setup"},
      {"Agent.exe", "X_Agent.log", "   ", false, true, false, ".AutoUpdate.X_Agent"},
      {"X_Agent.exe", "X_Agent.log", " X ", false, false, true, ".AutoUpdate.X_Agent"},
      // An agent package under another name runs as an agent in place.
      {"Other.exe", "X_Other.log", "   ", true, false, false, ".AutoUpdate.Other"},
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
    test::StartedProcess started = test::StartProcess(exe, commandLine);
    ASSERT_TRUE(started.process);
    // Every start but the plain agent's stays resident until asked to end.
    ASSERT_TRUE(test::PollUntil([&] { return ::FindWindowA(c.residentClass, nullptr) != nullptr; }, 30000));
    EndResidentAgent(c.residentClass);
    ASSERT_EQ(::WaitForSingleObject(started.process.get(), 30000), WAIT_OBJECT_0);
    xAgent.reset();
    DWORD exitCode = 1;
    ::GetExitCodeProcess(started.process.get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);

    const std::vector<std::string> head = {
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
    };
    const std::vector<std::string> tail = {"DoRunStubWin() --- End", "=== EXIT === " + exe, ""};
    const std::string text = test::ReadWholeFile(dir / c.log);
    ASSERT_FALSE(text.empty()) << c.log << " is missing or empty";
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    const std::vector<std::string> lines = LinesOf(text, Padded(started.threadId) + c.tag);
    ASSERT_GE(lines.size(), head.size() + tail.size()) << text;
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + head.size()), head) << text;
    EXPECT_EQ(std::vector<std::string>(lines.end() - tail.size(), lines.end()), tail) << text;
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
    test::StartedProcess started = test::StartProcess(exe, "\"" + exe + "\"");
    ASSERT_TRUE(started.process);
    if (c.isAgent) {
      // An agent stays until asked to end.
      const std::string agentClass = ".AutoUpdate." + GetBaseName(c.exe, false);
      ASSERT_TRUE(test::PollUntil([&] { return ::FindWindowA(agentClass.c_str(), nullptr) != nullptr; }, 30000));
      EndResidentAgent(agentClass);
    }
    ASSERT_EQ(::WaitForSingleObject(started.process.get(), 60000), WAIT_OBJECT_0);
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
