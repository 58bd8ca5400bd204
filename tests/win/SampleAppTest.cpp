// The sample product program, as the update agent meets it: it shows the
// version it was built with, and each way of ending it (a close request to
// its main window, a quit message, ending the process, all found by its full
// path) meets each of its close behaviours. Every run writes a record, which
// tells how the program ended.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "DebugTestSupport.h"
#include "ProcessTestSupport.h"
#include "Utils/FileUtils.h"
#include "Utils/ProcessUtils.h"
#include "Utils/VersionInfo.h"

namespace tarnix {
namespace {

constexpr char kQuestionClass[] = "#32770";
constexpr char kQuestionTitle[] = "Tarnix Sample App";
constexpr DWORD kEndMs = 10000;
// A program that ends on a quit message returns its wParam, which
// QuitProcessWindow sets to 15; ended processes give 0.
constexpr DWORD kQuitExitCode = 15;

struct QuestionSearch {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectQuestion(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<QuestionSearch*>(context);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  char className[64] = {}, title[64] = {};
  ::GetClassNameA(window, className, sizeof className);
  ::GetWindowTextA(window, title, sizeof title);
  if (owner == search.pid && ::IsWindowVisible(window) && std::string(className) == kQuestionClass &&
      std::string(title) == kQuestionTitle)
    search.found.push_back(window);
  return TRUE;
}

// The visible question boxes of the process.
std::vector<HWND> QuestionBoxes(DWORD pid) {
  QuestionSearch search{pid, {}};
  ::EnumWindows(CollectQuestion, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The program's question box, once it is up; null when none comes.
HWND WaitForQuestion(DWORD pid) {
  for (int i = 0; i < 100; ++i) {
    const std::vector<HWND> boxes = QuestionBoxes(pid);
    if (!boxes.empty()) return boxes.front();
    ::Sleep(100);
  }
  return nullptr;
}

void Answer(HWND box, int button) {
  ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(box, button)));
}

std::string WindowTitle(HWND window) {
  char title[256] = {};
  ::GetWindowTextA(window, title, sizeof title);
  return title;
}

// A folder of its own for each test, where a copy of a build of the sample
// runs as SampleApp.exe, the name the sample's setups install it under.
class SampleAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    versions_ = {test::PathFromEnv("TARNIX_SAMPLE_APP_V1_EXE"), test::PathFromEnv("TARNIX_SAMPLE_APP_V2_EXE")};
    ASSERT_FALSE(versions_[0].empty()) << "TARNIX_SAMPLE_APP_V1_EXE is not set";
    ASSERT_FALSE(versions_[1].empty()) << "TARNIX_SAMPLE_APP_V2_EXE is not set";
    static int folders = 0;
    dir_ = test::TempDir() + "tarnix-sample-" + std::to_string(::GetCurrentProcessId()) + "-" +
           std::to_string(++folders);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    app_.End();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  // Installs `version` (1 or 2) and starts it with `arguments`, waiting
  // until its window is up.
  void Start(int version, const std::string& arguments) {
    ASSERT_TRUE(::CopyFileA(versions_[version - 1].c_str(), Exe().c_str(), FALSE));
    app_ = test::Child(Exe(), arguments);
    ASSERT_TRUE(app_.WaitIdle());
  }

  std::string Exe() const { return dir_ + "\\SampleApp.exe"; }
  std::string RecordPath() const { return dir_ + "\\record.txt"; }
  std::vector<std::string> Record() const { return test::CrLfLines(test::ReadWholeFile(RecordPath())); }

  // The record after the three lines of the start.
  std::vector<std::string> RecordAfterStart() const {
    std::vector<std::string> lines = Record();
    lines.erase(lines.begin(), lines.begin() + std::min<size_t>(3, lines.size()));
    return lines;
  }

  bool WaitForRecordLine(const std::string& line) const {
    for (int i = 0; i < 100; ++i) {
      const std::vector<std::string> lines = Record();
      if (std::find(lines.begin(), lines.end(), line) != lines.end()) return true;
      ::Sleep(100);
    }
    return false;
  }

  std::string dir_;
  std::vector<std::string> versions_;
  test::Child app_;
};

TEST_F(SampleAppTest, ShowsTheVersionItWasBuiltWith) {
  for (const int version : {1, 2}) {
    SCOPED_TRACE(version);
    const std::string text = std::to_string(version) + ".0.0.0";
    ASSERT_NO_FATAL_FAILURE(Start(version, "/Record=" + RecordPath()));
    EXPECT_EQ(GetExeVersion(Exe(), 1, 4), text);
    const HWND main = FindProcessMainWindow(Exe(), true, false);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(WindowTitle(main), "Tarnix Sample App " + text);
    ASSERT_TRUE(QuitProcessWindow(Exe(), true));
    ASSERT_TRUE(app_.Ended(kEndMs));
  }
  // Both runs are in the record, one after the other.
  const std::vector<std::string> lines = Record();
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "Started=1.0.0.0");
  EXPECT_EQ(lines[4], "Started=2.0.0.0");
  EXPECT_EQ(lines[7], "Ended=WM_QUIT");
}

enum class Method { Close, Quit, Terminate };

struct ShutdownCase {
  const char* name;
  const char* onClose;
  Method method;
  // Whether the program still runs after the method and the agent's wait.
  bool keepsRunning;
  // Whether its question box is up then.
  bool asks;
  DWORD exitCode;
  // The record after its start, once a program that kept running was sent a
  // quit message; an answer of "*" is any answer.
  std::vector<std::string> record;
};

void PrintTo(const ShutdownCase& c, std::ostream* os) { *os << c.name; }

class SampleAppShutdownTest : public SampleAppTest, public ::testing::WithParamInterface<ShutdownCase> {};

// The agent's way: the method, then a wait of up to a second for the end.
TEST_P(SampleAppShutdownTest, EndsAsItsCloseBehaviourSays) {
  const ShutdownCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(Start(1, std::string("/OnClose=") + c.onClose + " /Record=" + RecordPath()));
  ASSERT_TRUE(IsProcessRunning(Exe()));
  switch (c.method) {
    case Method::Close:
      EXPECT_TRUE(CloseProcessWindow(Exe(), true, 0));
      break;
    case Method::Quit:
      EXPECT_TRUE(QuitProcessWindow(Exe(), true));
      break;
    case Method::Terminate:
      EXPECT_TRUE(TerminateProcessByName(Exe(), true));
      break;
  }
  WaitForProcessEnd(Exe(), 0);

  if (c.keepsRunning) {
    EXPECT_FALSE(app_.Ended());
    EXPECT_TRUE(IsProcessRunning(Exe()));
    if (c.asks) {
      EXPECT_NE(WaitForQuestion(app_.Pid()), nullptr);
    } else {
      // Once the request is on record, a question would be up already.
      EXPECT_TRUE(WaitForRecordLine(c.record.front()));
      EXPECT_TRUE(QuestionBoxes(app_.Pid()).empty());
    }
    // A quit message ends it all the same, also while its question is up.
    EXPECT_TRUE(QuitProcessWindow(Exe(), true));
  }
  ASSERT_TRUE(app_.Ended(kEndMs));
  EXPECT_EQ(app_.ExitCode(), c.exitCode);
  EXPECT_FALSE(IsProcessRunning(Exe()));

  const std::vector<std::string> lines = Record();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[1], "Pid=" + std::to_string(app_.Pid()));
  EXPECT_EQ(lines[2], std::string("OnClose=") + c.onClose);
  std::vector<std::string> rest = RecordAfterStart();
  for (size_t i = 0; i < rest.size() && i < c.record.size(); ++i)
    if (c.record[i] == "Answer=*" && rest[i].rfind("Answer=", 0) == 0) rest[i] = c.record[i];
  EXPECT_EQ(rest, c.record);
}

const ShutdownCase kShutdownCases[] = {
    {"CloseRequestClosing", "close", Method::Close, false, false, 0, {"Close=closing", "Ended=WM_CLOSE"}},
    // The product that asks first stays up with its question: the agent
    // does not count it as stopped.
    {"CloseRequestAsking",
     "ask",
     Method::Close,
     true,
     true,
     kQuitExitCode,
     {"Close=asked", "Answer=*", "Ended=WM_QUIT"}},
    {"CloseRequestIgnoring", "ignore", Method::Close, true, false, kQuitExitCode, {"Close=ignored", "Ended=WM_QUIT"}},
    {"QuitClosing", "close", Method::Quit, false, false, kQuitExitCode, {"Ended=WM_QUIT"}},
    {"QuitAsking", "ask", Method::Quit, false, false, kQuitExitCode, {"Ended=WM_QUIT"}},
    {"QuitIgnoring", "ignore", Method::Quit, false, false, kQuitExitCode, {"Ended=WM_QUIT"}},
    // An ended process writes nothing more.
    {"TerminateClosing", "close", Method::Terminate, false, false, 0, {}},
    {"TerminateAsking", "ask", Method::Terminate, false, false, 0, {}},
    {"TerminateIgnoring", "ignore", Method::Terminate, false, false, 0, {}},
};

INSTANTIATE_TEST_SUITE_P(Methods, SampleAppShutdownTest, ::testing::ValuesIn(kShutdownCases),
                         [](const ::testing::TestParamInfo<ShutdownCase>& info) { return info.param.name; });

TEST_F(SampleAppTest, AnAskingProductClosesOnlyWhenTheUserSaysYes) {
  ASSERT_NO_FATAL_FAILURE(Start(1, "/OnClose=ask /Record=" + RecordPath()));
  ASSERT_TRUE(CloseProcessWindow(Exe(), true, 0));
  HWND box = WaitForQuestion(app_.Pid());
  ASSERT_NE(box, nullptr);

  // A second request while the question is up opens no second box.
  ASSERT_TRUE(CloseProcessWindow(Exe(), true, 0));
  WaitForProcessEnd(Exe(), 0);
  EXPECT_EQ(QuestionBoxes(app_.Pid()).size(), 1u);

  Answer(box, IDNO);
  WaitForProcessEnd(Exe(), 0);
  EXPECT_FALSE(app_.Ended());
  EXPECT_TRUE(QuestionBoxes(app_.Pid()).empty());

  ASSERT_TRUE(CloseProcessWindow(Exe(), true, 0));
  box = WaitForQuestion(app_.Pid());
  ASSERT_NE(box, nullptr);
  Answer(box, IDYES);
  ASSERT_TRUE(app_.Ended(kEndMs));
  EXPECT_EQ(app_.ExitCode(), 0u);
  EXPECT_EQ(RecordAfterStart(), (std::vector<std::string>{"Close=asked", "Close=ignored", "Answer=no", "Close=asked",
                                                          "Answer=yes", "Ended=WM_CLOSE"}));
}

struct OptionsCase {
  const char* name;
  // The settings file beside the program; none when empty.
  const char* settings;
  // The switches; "RECORD" stands for the record's path.
  const char* arguments;
  const char* onClose;
};

void PrintTo(const OptionsCase& c, std::ostream* os) { *os << c.name; }

class SampleAppOptionsTest : public SampleAppTest, public ::testing::WithParamInterface<OptionsCase> {};

// A restart after an update passes no switches, so the settings file beside
// the program is what tells that copy what to do.
TEST_P(SampleAppOptionsTest, SwitchesComeBeforeTheSettingsFile) {
  const OptionsCase& c = GetParam();
  auto withRecord = [&](std::string text) {
    const size_t at = text.find("RECORD");
    return at == std::string::npos ? text : text.replace(at, 6, RecordPath());
  };
  if (*c.settings) {
    ASSERT_TRUE(WriteFileText(dir_ + "\\SampleApp.ini", withRecord(c.settings)));
  }
  ASSERT_NO_FATAL_FAILURE(Start(1, withRecord(c.arguments)));
  ASSERT_TRUE(QuitProcessWindow(Exe(), true));
  ASSERT_TRUE(app_.Ended(kEndMs));
  const std::vector<std::string> lines = Record();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2], std::string("OnClose=") + c.onClose);
}

const OptionsCase kOptionsCases[] = {
    {"Neither", "", "/Record=RECORD", "close"},
    {"SettingsFileOnly", "[SampleApp]\r\nOnClose=ignore\r\nRecord=RECORD\r\n", "", "ignore"},
    {"SwitchOverSettingsFile", "[SampleApp]\r\nOnClose=ignore\r\n", "/OnClose=Ask /Record=RECORD", "ask"},
    {"UnknownWordCloses", "", "/OnClose=later /Record=RECORD", "close"},
};

INSTANTIATE_TEST_SUITE_P(Sources, SampleAppOptionsTest, ::testing::ValuesIn(kOptionsCases),
                         [](const ::testing::TestParamInfo<OptionsCase>& info) { return info.param.name; });

}  // namespace
}  // namespace tarnix
