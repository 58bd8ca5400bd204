// Finding, posting to, ending and waiting for the test's own child
// programs, and running a console program to capture its output. The
// children run under names of their own, and the child also stands in for
// the platform's tasklist.exe.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ProcessTestSupport.h"
#include "Utils/DateUtils.h"
#include "Utils/OsInfo.h"
#include "Utils/ProcessUtils.h"
#include "Utils/SUB.h"
#include "Utils/StrUtils.h"
#include "Utils/SysInfo.h"
#include "Utils/WindowUtils.h"

namespace tarnix {
namespace {

class ProcessUtilsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { folder_ = new test::ChildFolder; }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(folder_->HasChild()) << "TARNIX_TEST_CHILD_EXE is not set"; }

  // A copy of the child under `name`, started with `arguments`; a child
  // with windows is waited for until they exist.
  static test::Child Start(const std::string& name, const std::string& arguments) {
    test::Child child(folder_->Copy(name), arguments);
    if (arguments.rfind("window", 0) == 0) {
      EXPECT_TRUE(child.WaitIdle()) << name;
    }
    return child;
  }

  static HWND ChildMainWindow(const std::string& title) { return ::FindWindowA(test::kChildWindowClass, title.c_str()); }

  static bool ListsByWindows() { return !ListsProcessesByPsapi(GetOSVersionRecord()); }

  static test::ChildFolder* folder_;
};

test::ChildFolder* ProcessUtilsTest::folder_ = nullptr;

std::set<uint32_t> Pids(uint32_t a, uint32_t b) { return {a, b}; }

TEST_F(ProcessUtilsTest, TwoCopiesOfOneExecutableAreFoundAndEndedOneByOne) {
  const std::string name = "tarnix_twins.exe";
  test::Child first = Start(name, "window 60000 TwinOne");
  test::Child second = Start(name, "window 60000 TwinTwo");
  const std::set<uint32_t> both = Pids(first.Pid(), second.Pid());

  EXPECT_TRUE(IsProcessRunning(name));
  EXPECT_TRUE(IsProcessRunning("  \"" + UpperCase(name) + "\"  "));

  // Each finder gives one copy from the start of its list and the other
  // from the end.
  EXPECT_EQ(Pids(FindPidByToolhelp(name, false, true), FindPidByToolhelp(name, false, false)), both);
  EXPECT_EQ(Pids(FindPidByPsapi(name, false, true), FindPidByPsapi(name, false, false)), both);
  const std::string path = folder_->Path(name);
  EXPECT_EQ(Pids(FindPidByPsapi(path, true, true), FindPidByPsapi(path, true, false)), both);
  EXPECT_EQ(Pids(FindPidByTasklist(name, true), FindPidByTasklist(name, false)), both);
  EXPECT_EQ(Pids(FindPidInProcessList(name, false, true), FindPidInProcessList(name, false, false)), both);

  const std::string list = ListProcesses(false, true);
  EXPECT_TRUE(SUB::Contains(list, name + "=" + std::to_string(first.Pid()), true, true)) << list;
  EXPECT_TRUE(SUB::Contains(list, name + "=" + std::to_string(second.Pid()), true, true)) << list;

  // The copy listed last goes first; the other one keeps running.
  const uint32_t last = FindPidInProcessList(name, false, false);
  ASSERT_TRUE(TerminateProcessByName(name, false));
  test::Child& ended = last == first.Pid() ? first : second;
  test::Child& other = last == first.Pid() ? second : first;
  EXPECT_TRUE(ended.Ended(10000));
  EXPECT_EQ(ended.ExitCode(), 0u);
  EXPECT_FALSE(other.Ended());
  EXPECT_TRUE(IsProcessRunning(name));

  ASSERT_TRUE(TerminateProcessByName(name, false));
  EXPECT_TRUE(other.Ended(10000));
  EXPECT_FALSE(IsProcessRunning(name));
  EXPECT_FALSE(TerminateProcessByName(name, false));
}

// The platform's tasklist.exe is started from the system folder, never one
// planted in the current folder (or the program's), which a bare name
// would find first.
TEST_F(ProcessUtilsTest, TasklistIsTheSystemsOwnNotOnePlantedInTheCurrentFolder) {
  ASSERT_NE(::GetFileAttributesA(folder_->Path("tasklist.exe").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(FindPidByTasklist("tarnix_planted.exe", false), 0u);
  EXPECT_NE(FindPidByTasklist("win_tests.exe", false), 0u) << "the system's tasklist lists nothing";
}

TEST_F(ProcessUtilsTest, AWindowlessProcessIsFoundOnlyByTheProcessFinders) {
  const std::string name = "tarnix_windowless.exe";
  test::Child child = Start(name, "sleep 60000");
  // Give the new process a moment to appear in every list.
  ASSERT_FALSE(child.Ended(500));

  EXPECT_EQ(FindPidByToolhelp(name, false, false), child.Pid());
  EXPECT_EQ(FindPidByPsapi(name, false, false), child.Pid());
  EXPECT_EQ(FindPidByTasklist(name, false), child.Pid());
  EXPECT_EQ(FindProcessMainWindow(name, false, false), nullptr);
  EXPECT_FALSE(PostToProcess(name, false, WM_NULL, 0, 0));
  // Where the list of processes comes from the windows, a process without
  // one does not count as running.
  EXPECT_EQ(IsProcessRunning(name), !ListsByWindows());
  EXPECT_EQ(FindPidInProcessList(name, false, false), ListsByWindows() ? 0u : child.Pid());
}

TEST_F(ProcessUtilsTest, TheVisibleTitledOwnerIsTheMainWindow) {
  const std::string name = "tarnix_owner.exe";
  test::Child child = Start(name, "window 60000 OwnerWindow");
  const HWND main = ChildMainWindow("OwnerWindow");
  ASSERT_NE(main, nullptr);

  EXPECT_EQ(FindProcessMainWindow(name, false, false), main);
  EXPECT_EQ(FindProcessMainWindow(name, false, true), main);
  EXPECT_EQ(GetWindowExeName(main), name);

  // The two hidden dialogs are owned by the main window and enumerated
  // before it.
  const TProcessData all = EnumProcessWindows(true, "*", -1);
  const std::vector<std::string> pids = SUB::Items(all.Pids);
  const std::vector<std::string> handles = SUB::Items(all.Handles);
  const std::vector<std::string> titles = SUB::Items(all.Titles);
  const std::vector<std::string> visible = SUB::Items(all.Visible);
  ASSERT_EQ(pids.size(), handles.size());
  ASSERT_EQ(pids.size(), titles.size());
  int dialogs = 0;
  for (size_t i = 0; i < pids.size(); ++i) {
    if (pids[i] != std::to_string(child.Pid()) || !StartsWith("dialog", titles[i], false)) continue;
    ++dialogs;
    const HWND dialog = reinterpret_cast<HWND>(static_cast<uintptr_t>(StrToInt64Def(handles[i], 0)));
    EXPECT_EQ(GetRootOwner(dialog), main);
    EXPECT_EQ(visible[i], "0");
  }
  EXPECT_EQ(dialogs, 2);

  // Without ListAll the enumeration stops at the target's first window.
  const TProcessData upTo = EnumProcessWindows(false, name, -1);
  EXPECT_EQ(SUB::Item(upTo.ExeNames, -1), name);
  EXPECT_EQ(SUB::Count(upTo.ExeNames), SUB::Count(SUB::Distinct(upTo.ExeNames)));
  const TProcessData byPid = EnumProcessWindows(false, "*", static_cast<int32_t>(child.Pid()));
  EXPECT_EQ(SUB::Item(byPid.Pids, -1), std::to_string(child.Pid()));

  const std::string withHandles = ListWindowProcesses(false, true);
  EXPECT_TRUE(SUB::Contains(withHandles, name + "=" + std::to_string(reinterpret_cast<uintptr_t>(main)), true, true));
}

TEST_F(ProcessUtilsTest, CloseAndQuitArePostedWithTheirParameters) {
  const std::string name = "tarnix_closing.exe";
  {
    test::Child child = Start(name, "window 60000 Closing");
    EXPECT_TRUE(CloseProcessWindow(name, false, 10000));
    ASSERT_TRUE(child.Ended(10000));
    EXPECT_EQ(child.ExitCode(), 15255u);
  }
  {
    test::Child child = Start(name, "window 60000 Quitting");
    EXPECT_TRUE(QuitProcessWindow(name, false));
    ASSERT_TRUE(child.Ended(10000));
    EXPECT_EQ(child.ExitCode(), 15u);
  }
  EXPECT_FALSE(CloseProcessWindow(name, false, 0));
  EXPECT_FALSE(QuitProcessWindow(name, false));
}

TEST_F(ProcessUtilsTest, WaitsEndWithTheProgramOrTheTimeout) {
  const std::string name = "tarnix_waiting.exe";
  test::Child lasting = Start(name, "window 60000 Lasting");
  int64_t start = NowMs();
  WaitForProcessEnd(name, 0);
  int64_t elapsed = NowMs() - start;
  EXPECT_GE(elapsed, 1000);
  EXPECT_LT(elapsed, 5000);
  lasting.End();

  test::Child ending = Start(name, "window 1500 Ending");
  start = NowMs();
  WaitForProcessEnd(name, 30000);
  EXPECT_LT(NowMs() - start, 15000);
  EXPECT_TRUE(ending.Ended(5000));

  test::Child shown = Start(name, "window 1500 Shown");
  start = NowMs();
  WaitWhileWindowExists(test::kChildWindowClass, "Shown");
  EXPECT_LT(NowMs() - start, 15000);
  EXPECT_EQ(ChildMainWindow("Shown"), nullptr);
  // Any window at all would match nothing given, so there is nothing to wait for.
  WaitWhileWindowExists("", "");
}

struct Captured {
  bool ok = false;
  uint32_t exitCode = 0;
  std::string output, errors;
  std::vector<std::string> pieces;
  bool abortOnFirst = false;
};

void Collect(std::string_view piece, void* context, bool& abort) {
  auto& captured = *static_cast<Captured*>(context);
  captured.pieces.emplace_back(piece);
  if (captured.abortOnFirst) abort = true;
}

Captured Capture(const std::string& exe, const std::string& parameters, bool withCallback = false, bool abort = false) {
  Captured c;
  c.abortOnFirst = abort;
  c.ok = RunAndCapture(exe, parameters, SW_HIDE, withCallback ? Collect : nullptr, &c, 1, c.errors, c.output,
                       c.exitCode);
  return c;
}

TEST_F(ProcessUtilsTest, RunAndCaptureGivesExitCodesAndOutput) {
  const std::string exe = folder_->Copy("tarnix capture.exe");
  struct Case {
    const char* parameters;
    bool ok;
    uint32_t exitCode;
    std::string output;
    std::string errors;
  } cases[] = {
      {"exit 0", true, 0, "", ""},
      {"exit 3", false, 3, "", ""},
      {"exit 259", false, 259, "", ""},
      {"echo 48690d0a", true, 0, "Hi\r\n", ""},
      {"echoerr 6f6f7073", true, 0, "", "oops"},
  };
  for (const Case& c : cases) {
    const Captured r = Capture(exe, c.parameters);
    EXPECT_EQ(r.ok, c.ok) << c.parameters;
    EXPECT_EQ(r.exitCode, c.exitCode) << c.parameters;
    EXPECT_EQ(r.output, c.output) << c.parameters;
    EXPECT_EQ(r.errors, c.errors) << c.parameters;
  }
}

TEST_F(ProcessUtilsTest, RunAndCaptureTakesMoreThanAPipeHolds) {
  const std::string exe = folder_->Copy("tarnix_big.exe");
  constexpr size_t kSize = 200000;
  std::string expected(kSize, '\0');
  for (size_t i = 0; i < kSize; ++i) expected[i] = static_cast<char>('a' + i % 26);

  const Captured plain = Capture(exe, "write " + std::to_string(kSize));
  EXPECT_TRUE(plain.ok);
  EXPECT_EQ(plain.output.size(), kSize);
  EXPECT_TRUE(plain.output == expected);

  const Captured reported = Capture(exe, "write " + std::to_string(kSize), true);
  std::string joined;
  for (const std::string& piece : reported.pieces) joined += piece;
  EXPECT_TRUE(reported.output == expected);
  EXPECT_TRUE(joined == expected);
}

TEST_F(ProcessUtilsTest, RunAndCaptureConvertsFromTheOemCodePage) {
  const std::string exe = folder_->Copy("tarnix_oem.exe");
  std::string bytes, hex;
  for (int b = 0x80; b <= 0xFF; ++b) {
    bytes += static_cast<char>(b);
    hex += BytesToHex(std::string(1, static_cast<char>(b)), false, false);
  }
  std::string expected = bytes;
  ::OemToCharBuffA(expected.data(), expected.data(), static_cast<DWORD>(expected.size()));
  const Captured r = Capture(exe, "echo " + hex);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.output, expected);
}

TEST_F(ProcessUtilsTest, RunAndCaptureReportsAProgramThatCannotStart) {
  const std::string missing = folder_->Path("missing.exe");
  Captured r = Capture(missing, "/a", true);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.exitCode, kRunFailedExitCode);
  EXPECT_EQ(r.errors, RunFailedText(missing + " /a", SysErrorMessage(ERROR_FILE_NOT_FOUND)));
  EXPECT_TRUE(StartsWith(missing + " /a --- ", r.errors, false)) << r.errors;
  ASSERT_EQ(r.pieces.size(), 1u);
  EXPECT_EQ(r.pieces[0], r.errors + "\r\n");

  r = Capture(folder_->ChildExe(), std::string(kMaxCommandLineLength, 'p'), true);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.exitCode, kRunFailedExitCode);
  EXPECT_EQ(r.errors, "Command line is too long");
  ASSERT_EQ(r.pieces.size(), 1u);
  EXPECT_EQ(r.pieces[0], "Command line is too long\r\n");
}

// Wine never refuses process creation for want of elevation, so the shell's
// start, which a program that asks for elevation takes, is driven directly.
TEST_F(ProcessUtilsTest, ThroughTheShellAProgramGetsItsParametersAndGivesItsExitCode) {
  const std::string exe = folder_->Copy("tarnix shell child.exe");
  for (const std::string& line : {exe + " exit 7", Quote(exe) + "  exit 7"}) {
    const StartedProgram started = StartThroughShell(line, SW_HIDE);
    EXPECT_EQ(started.how, ProgramStart::StartedElevated) << line;
    ASSERT_TRUE(started.process) << line;
    ASSERT_EQ(::WaitForSingleObject(started.process.get(), 20000), WAIT_OBJECT_0) << line;
    DWORD code = 0;
    EXPECT_TRUE(::GetExitCodeProcess(started.process.get(), &code));
    EXPECT_EQ(code, 7u) << line;
  }
  const StartedProgram missing = StartThroughShell(folder_->Path("missing.exe") + " /a", SW_HIDE);
  EXPECT_EQ(missing.how, ProgramStart::Failed);
  EXPECT_FALSE(missing.process);
}

TEST_F(ProcessUtilsTest, AProgramThatNeedsNoElevationStartsWithoutTheShell) {
  const StartedProgram started = StartProgram(Quote(folder_->Copy("tarnix direct child.exe")) + " exit 3", SW_HIDE);
  EXPECT_EQ(started.how, ProgramStart::Started);
  ASSERT_TRUE(started.process);
  ASSERT_EQ(::WaitForSingleObject(started.process.get(), 20000), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(::GetExitCodeProcess(started.process.get(), &code));
  EXPECT_EQ(code, 3u);
  EXPECT_EQ(StartProgram(folder_->Path("missing.exe"), SW_HIDE).how, ProgramStart::Failed);
}

TEST_F(ProcessUtilsTest, RunAndCaptureDoesNotWaitForAGrandchildHoldingThePipes) {
  const std::string exe = folder_->Copy("tarnix_parent.exe");
  const int64_t start = NowMs();
  const Captured r = Capture(exe, "grandchild 60000");
  const int64_t elapsed = NowMs() - start;
  EXPECT_TRUE(r.ok);
  EXPECT_LT(elapsed, 5000);
  ASSERT_TRUE(StartsWith("grandchild=", r.output, false)) << r.output;
  const DWORD grandchild = static_cast<DWORD>(StrToInt64Def(TextAfter(r.output, "=", "0", true), 0));
  UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, grandchild));
  ASSERT_TRUE(process);
  EXPECT_EQ(::WaitForSingleObject(process.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the grandchild still runs";
  ::TerminateProcess(process.get(), 1);
  ::WaitForSingleObject(process.get(), 10000);
}

// The program's input is a pipe whose writing end the parent closes at
// once; a copy of that end handed down to the program would keep its input
// open for as long as it runs.
TEST_F(ProcessUtilsTest, RunAndCaptureGivesAnInputThatEnds) {
  const std::string exe = folder_->Copy("tarnix_input.exe");
  const Captured r = Capture(exe, "readinput 5000");
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.output, "input ended");
}

TEST_F(ProcessUtilsTest, RunAndCaptureEndsTheProgramWhenTheCallbackAborts) {
  const std::string exe = folder_->Copy("tarnix_abort.exe");
  const int64_t start = NowMs();
  const Captured r = Capture(exe, "writesleep 60000", true, true);
  EXPECT_LT(NowMs() - start, 10000);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.exitCode, 255u);
  EXPECT_EQ(r.output, "waiting\r\n");
}

}  // namespace
}  // namespace tarnix
