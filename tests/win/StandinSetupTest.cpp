// The stand-in setup program, started the way the stub starts it: from the
// extraction folder, with the run token, the origin and a show command, after
// the run's atom was added. It records its start, owns the dialog class the
// stub waits for, installs the files beside it and reports completion by
// deleting the atom.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "DebugTestSupport.h"
#include "Utils/FileUtils.h"
#include "Utils/UniqueResource.h"
#include "Utils/WindowUtils.h"

namespace tarnix {
namespace {

constexpr char kAtomPrefix[] = "AutoUpdateAtomTokenByTarnix";
constexpr char kClassPrefix[] = ".SDialog_Class_Name.";
// Ends with the program's own name, Setup.exe, which must not be taken for
// the end of the program's path.
constexpr char kOrigin[] = R"(C:\Downloads\SampleSetup.exe)";
// 3 February 2001 04:06:12 as a packed date and time: far from any stamp a
// fresh copy would get.
constexpr uint32_t kOldStamp = (21u << 25 | 2u << 21 | 3u << 16) | (4u << 11 | 6u << 5 | 6u);
constexpr int kNoShowCommand = -1;

// The run's atom as the stub adds it; what is left of it goes with the object.
class RunAtom {
 public:
  RunAtom(const std::string& token, bool add) : name_(kAtomPrefix + token) {
    if (add) ::GlobalAddAtomA(name_.c_str());
  }
  ~RunAtom() {
    for (int i = 0; i < 4 && Exists(); ++i) ::GlobalDeleteAtom(::GlobalFindAtomA(name_.c_str()));
  }
  RunAtom(const RunAtom&) = delete;
  RunAtom& operator=(const RunAtom&) = delete;

  bool Exists() const { return ::GlobalFindAtomA(name_.c_str()) != 0; }

 private:
  std::string name_;
};

// Without STARTF_USESHOWWINDOW for kNoShowCommand; null when it did not start.
UniqueHandle Start(std::string commandLine, int showCommand, const std::string& workingDir) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  if (showCommand != kNoShowCommand) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showCommand);
  }
  PROCESS_INFORMATION started{};
  if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, workingDir.c_str(),
                        &startup, &started)) {
    ADD_FAILURE() << "CreateProcessA " << commandLine << " failed with " << ::GetLastError();
    return UniqueHandle();
  }
  UniqueHandle thread(started.hThread);
  return UniqueHandle(started.hProcess);
}

// The exit code, or nothing when the program did not end within 30 s.
std::optional<DWORD> WaitForExit(const UniqueHandle& process) {
  if (!process || ::WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  ::GetExitCodeProcess(process.get(), &code);
  return code;
}

std::map<std::string, std::string> ReadRecord(const std::string& path) {
  std::map<std::string, std::string> values;
  for (const std::string& line : test::CrLfLines(test::ReadWholeFile(path))) {
    const size_t equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return values;
}

int64_t LastWriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<int64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// An extraction folder as the stub leaves it: the stand-in as Setup.exe, two
// product files (one with an old stamp) and a folder that is not installed.
class StandinSetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string standin = test::PathFromEnv("TARNIX_STANDIN_EXE");
    ASSERT_FALSE(standin.empty()) << "TARNIX_STANDIN_EXE is not set";
    std::filesystem::create_directories(setupDir_ + "\\Docs");
    std::filesystem::create_directories(workDir_);
    ASSERT_TRUE(::CopyFileA(standin.c_str(), setupExe_.c_str(), FALSE));
    ASSERT_TRUE(WriteFileText(setupDir_ + "\\Readme.txt", "Read me.\r\n"));
    ASSERT_TRUE(WriteFileText(setupDir_ + "\\Product.ini", "[Product]\r\nVersion=1\r\n", kOldStamp));
  }

  // A token of the stub's form that no other run of this program uses.
  std::string NewToken() {
    std::string token = "_";
    token += std::to_string(::GetCurrentThreadId());
    token += std::to_string(++runs_);
    return token;
  }

  // The command line the stub builds: the program unquoted, its parameters,
  // the token and the origin in quotes.
  std::string CommandLine(const std::string& params, const std::string& token) const {
    return setupExe_ + " " + params + " /TH_ID=" + token + " /OriginExe=\"" + kOrigin + "\"";
  }

  test::ScratchDir scratch_;
  const std::string setupDir_ = scratch_ / "SETUP_";
  const std::string setupExe_ = setupDir_ + "\\Setup.exe";
  const std::string workDir_ = scratch_ / "Work";
  int runs_ = 0;
};

TEST_F(StandinSetupTest, InstallsRecordsAndReportsCompletionByTheAtom) {
  struct Case {
    const char* what;
    std::string switches;
    bool atomAdded;
    int showCommand;
    DWORD exitCode;
    bool completed;
    int copied;
  } cases[] = {
      {"plain run", "", true, SW_HIDE, 0, true, 2},
      {"exit code", "/ExitCode=7", true, SW_SHOWNORMAL, 7, true, 2},
      {"negative exit code", "/ExitCode=-2", true, SW_HIDE, 0xFFFFFFFE, true, 2},
      {"exit code too wide", "/ExitCode=99999999999", true, SW_HIDE, 0, true, 2},
      {"kept atom", "/KeepAtom /ExitCode=3", true, SW_HIDE, 3, false, 2},
      {"no copy", "/NoCopy", true, SW_SHOWMINNOACTIVE, 0, true, 0},
      {"no atom", "", false, kNoShowCommand, 0, true, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string token = NewToken();
    RunAtom atom(token, c.atomAdded);
    // A blank in the path, and parents that do not exist yet.
    const std::string installDir = scratch_ / ("Program Files " + token + "\\Tarnix Sample Product");
    const std::string record = scratch_ / ("record" + token + ".txt");
    const std::string commandLine =
        CommandLine(c.switches + " /InstallDir=\"" + installDir + "\" /Record=\"" + record + "\"", token);

    UniqueHandle process = Start(commandLine, c.showCommand, workDir_);
    const std::optional<DWORD> exitCode = WaitForExit(process);
    ASSERT_TRUE(exitCode.has_value()) << commandLine;
    EXPECT_EQ(*exitCode, c.exitCode);
    EXPECT_EQ(atom.Exists(), !c.completed);
    EXPECT_EQ(::FindWindowA((kClassPrefix + token).c_str(), nullptr), nullptr);

    const std::map<std::string, std::string> expected = {
        {"CommandLine", commandLine},
        {"WorkingDir", workDir_},
        {"ExeDir", setupDir_},
        {"ShowWindow", std::to_string(c.showCommand)},
        {"Token", token},
        {"AtomFound", c.atomAdded ? "1" : "0"},
        {"Completed", c.completed ? "1" : "0"},
        {"Copied", std::to_string(c.copied)},
    };
    EXPECT_EQ(ReadRecord(record), expected);

    EXPECT_EQ(Exists(installDir), c.copied > 0);
    if (c.copied == 0) continue;
    for (const char* name : {"Readme.txt", "Product.ini"}) {
      const std::string copy = installDir + "\\" + name;
      EXPECT_EQ(test::ReadWholeFile(copy), test::ReadWholeFile(setupDir_ + "\\" + name)) << name;
      EXPECT_EQ(LastWriteTime(copy), LastWriteTime(setupDir_ + "\\" + name)) << name;
    }
    EXPECT_FALSE(Exists(installDir + "\\Setup.exe"));
    EXPECT_FALSE(Exists(installDir + "\\Docs"));
  }
}

TEST_F(StandinSetupTest, OwnsTheDialogClassWhileUp) {
  struct Case {
    const char* what;
    bool withToken;
    int showCommand;
    bool visible;
  } cases[] = {
      {"shown", true, SW_SHOWNORMAL, true},
      {"hidden", true, SW_HIDE, false},
      // Started by hand: the class carries no token.
      {"no token", false, SW_SHOWNORMAL, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string token = c.withToken ? NewToken() : "";
    const std::string className = kClassPrefix + token;
    const std::string params = "/NoCopy /DelayMs=1500";
    const std::string commandLine = c.withToken ? CommandLine(params, token) : setupExe_ + " " + params;

    const DWORD started = ::GetTickCount();
    UniqueHandle process = Start(commandLine, c.showCommand, setupDir_);
    ASSERT_TRUE(process);
    HWND dialog = nullptr;
    for (int i = 0; i < 200 && !dialog && ::WaitForSingleObject(process.get(), 50) == WAIT_TIMEOUT; ++i)
      dialog = ::FindWindowA(className.c_str(), nullptr);
    ASSERT_NE(dialog, nullptr) << className;
    // The closing text is set once the dialog has been shown as asked.
    HWND done = nullptr;
    for (int i = 0; i < 200 && !done && ::WaitForSingleObject(process.get(), 10) == WAIT_TIMEOUT; ++i)
      done = ::FindWindowExA(dialog, nullptr, "STATIC", "Installation complete.");
    ASSERT_NE(done, nullptr);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(dialog, &owner);
    EXPECT_EQ(owner, ::GetProcessId(process.get()));
    EXPECT_EQ(GetWindowTitleText(dialog), "Tarnix Sample Product Setup");
    EXPECT_EQ(::GetParent(dialog), nullptr);
    EXPECT_EQ(::IsWindowVisible(dialog) != FALSE, c.visible);

    ASSERT_EQ(WaitForExit(process), std::optional<DWORD>(0));
    EXPECT_GE(::GetTickCount() - started, 1500u);
    EXPECT_EQ(::FindWindowA(className.c_str(), nullptr), nullptr);
  }
}

}  // namespace
}  // namespace tarnix
