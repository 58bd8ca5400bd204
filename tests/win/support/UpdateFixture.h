// The fixture of the update tests: version 1 of the sample product
// installed with its agent, version 2 built as a full setup with the
// stand-in as its setup program, and the announcement that offers it.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "PackageBuilder.h"
#include "win/support/AgentFixture.h"
#include "win/support/ProcessImages.h"

namespace tarnix::test {

inline constexpr char kProductClass[] = "TarnixSampleApp";
inline constexpr char kUpdateName[] = "SampleSetup2.exe";

class UpdateFixture : public AgentFixture {
 protected:
  void SetUp() override {
    AgentFixture::SetUp();
    appV1_ = PathFromEnv("TARNIX_SAMPLE_APP_V1_EXE");
    appV2_ = PathFromEnv("TARNIX_SAMPLE_APP_V2_EXE");
    standin_ = PathFromEnv("TARNIX_STANDIN_EXE");
    ASSERT_FALSE(appV1_.empty() || appV2_.empty() || standin_.empty()) << "the sample app or the stand-in is not set";
    std::filesystem::create_directories(dir_ / "out");
  }

  void TearDown() override {
    EndAgentsFromTheProductFolder();
    DeleteScriptsOfEndedAgents();
    AgentFixture::TearDown();
    EndProduct();
  }

  // An update restarts the agent: the old X_ agent starts the new plain
  // one, which starts a fresh X_ agent once the old has gone. Any link of
  // that chain may still be on its way when a test ends, and would meet the
  // next test's agent. A program starts the next before it ends, so once a
  // look finds none of them left, none can follow.
  void EndAgentsFromTheProductFolder() const {
    for (int pass = 0; pass < 20; ++pass)
      if (EndProgramsFromTheProductFolder() == 0) return;
  }

  // An agent ended between writing its deletion script and starting it
  // leaves a script that never runs; it names this test's folder only.
  void DeleteScriptsOfEndedAgents() const {
    WIN32_FIND_DATAA found{};
    UniqueFindHandle find(::FindFirstFileA((TempDir() + "_DEL_ME_*.BAT").c_str(), &found));
    if (!find) return;
    do {
      const std::string script = TempDir() + found.cFileName;
      if (FileMentions(script, installDir_)) ::DeleteFileA(script.c_str());
    } while (::FindNextFileA(find.get(), &found));
  }

  // Ends every program started from the installation folder but the
  // product; how many there were.
  int EndProgramsFromTheProductFolder() const {
    int ended = 0;
    for (const ProcessImage& program : ProcessesStartingWith(installDir_ + "\\")) {
      if (::lstrcmpiA(program.path.c_str(), ProductPath().c_str()) == 0) continue;
      UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, program.pid));
      if (!process) continue;
      ::TerminateProcess(process.get(), 1);
      ::WaitForSingleObject(process.get(), 5000);
      ++ended;
    }
    return ended;
  }

  std::string ProductPath() const { return installDir_ + "\\SampleApp.exe"; }
  std::string ProductRecordPath() const { return dir_ / "app-record.txt"; }
  std::string SetupRecordPath() const { return dir_ / "setup-record.txt"; }

  // Version 1 as its setup left it: the product, its settings and the
  // agent's .original file with the installation folder.
  void InstallVersion1(const std::string& onClose = "close", int64_t probeInterval = 0) {
    InstallAgent();
    ASSERT_TRUE(::CopyFileA(appV1_.c_str(), ProductPath().c_str(), FALSE));
    const std::string ini = installDir_ + "\\SampleApp.ini";
    ::WritePrivateProfileStringA("SampleApp", "OnClose", onClose.c_str(), ini.c_str());
    ::WritePrivateProfileStringA("SampleApp", "Record", ProductRecordPath().c_str(), ini.c_str());
    WriteOriginal(1, probeInterval, 0);
    SetOriginal("Directories", "TargetDir", installDir_);
    SetOriginal("AutoUpdate", "s11", "A new version of PROG_NAME is available.<P>");
    SetOriginal("AutoUpdate", "s13", "Download it now?");
    SetOriginal("AutoUpdate", "s12", "Download and install it now?");
    SetOriginal("AutoUpdate", "s14", "Install PROG_NAME now?");
    SetOriginal("AutoUpdate", "s16", "PROG_NAME has been updated.");
    SetOriginal("AutoUpdate", "s17", "<P>Start it again?");
  }

  // Version 2 as a full setup that installs into the same folder and
  // carries `token`, with the .original file at `original` when given, as
  // a per-machine setup installs the product's facts; its path.
  std::string BuildVersion2(const std::string& token = kProductToken, const std::string& setupArgs = "",
                            const std::string& original = "") {
    pack::PackageSpec plan = AgentPlan(ServerLocation());
    plan.isAgent = false;
    plan.createAgent = true;
    plan.settingsToken = token;
    plan.files.push_back({"setup.exe", standin_, 0, true,
                          "/InstallDir=" + installDir_ + " /Record=" + SetupRecordPath() + setupArgs});
    plan.files.push_back({"SampleApp.exe", appV2_, 0, false, ""});
    if (!original.empty()) plan.files.push_back({kOriginalName, original, 0, false, ""});
    const std::string path = dir_ / ("out\\" + std::string(kUpdateName));
    std::string error;
    pack::BuildReport report;
    EXPECT_TRUE(pack::BuildPackage(plan, path, report, error)) << error;
    return path;
  }

  // Serves the setup at the update location.
  void ServeUpdate(const std::string& setupPath) {
    HttpResponse setup;
    setup.bodyFile = setupPath;
    server_.Serve("/updates/" + std::string(kUpdateName), setup);
  }
  int UpdateRequests() const { return Gets("/updates/" + std::string(kUpdateName)); }

  // The announcement of version 2 with `keys` added to (or replacing)
  // the defaults of a confirmed update that stops the product with
  // WM_CLOSE and restarts it.
  std::string Announcement(const std::string& setupPath, const std::map<std::string, std::string>& keys = {}) const {
    std::map<std::string, std::string> all = {
        {"DownloadURL_UPDATE", ServerLocation()},
        {"NameOfUpdateFile", kUpdateName},
        {"SizeOfUpdateFile", std::to_string(std::filesystem::file_size(setupPath))},
        {"VersionNew", "2"},
        {"Stamp", "7"},
        {"ProgramName", "Sample App"},
        {"RunningProcess", "<InstallDir>SampleApp.exe"},
        {"ShutDownMethod", "Using WM_CLOSE"},
        {"RestartProcess", "1"},
        {"InformFinish", "1"},
        {"RequestConfirmationBeforeDownload", "1"},
        {"RequestConfirmationBeforeInstall", "1"},
    };
    for (const auto& [key, value] : keys) all[key] = value;
    std::string info = "[NewSetup]\r\n";
    for (const auto& [key, value] : all)
      if (value != "-") info += key + "=" + value + "\r\n";
    return info;
  }

  // Starts the installed product; its process id.
  DWORD StartProduct() {
    StartedProcess started = StartProcess(ProductPath(), "\"" + ProductPath() + "\"");
    product_ = std::move(started.process);
    EXPECT_TRUE(WaitUntil([] { return ::FindWindowA(kProductClass, nullptr) != nullptr; }, 20000));
    return started.processId;
  }

  // The process id of the running product's window; 0 when none runs.
  static DWORD ProductPid() {
    HWND window = ::FindWindowA(kProductClass, nullptr);
    DWORD pid = 0;
    if (window) ::GetWindowThreadProcessId(window, &pid);
    return pid;
  }

  void EndProduct() {
    // Bounded: a window that outlives its terminated process must not hang
    // the test.
    for (int attempt = 0; attempt < 5; ++attempt) {
      HWND window = ::FindWindowA(kProductClass, nullptr);
      if (!window) return;
      DWORD pid = 0;
      ::GetWindowThreadProcessId(window, &pid);
      UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
      if (!process) break;
      ::TerminateProcess(process.get(), 1);
      ::WaitForSingleObject(process.get(), 5000);
    }
  }

  std::map<std::string, std::string> SetupRecord() const {
    std::map<std::string, std::string> record;
    for (const std::string& line : CrLfLines(ReadWholeFile(SetupRecordPath()))) {
      const size_t eq = line.find('=');
      if (eq != std::string::npos) record[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return record;
  }

  bool InstalledVersion2() const { return ReadWholeFile(ProductPath()) == ReadWholeFile(appV2_); }

  // After an update, the agent that ran it starts a fresh one from the
  // installed file, which takes over once the old one has gone (up to ten
  // seconds later). Waits for it and stops it: an agent that outlived its
  // test would meet the next test's agent.
  void StopFreshAgent(HWND oldAgent) {
    ASSERT_TRUE(WaitUntil(
        [&] {
          HWND now = XAgentWindow();
          return now != nullptr && now != oldAgent;
        },
        40000))
        << "no fresh agent after the update\n"
        << Log();
    StopXAgent();
  }

  // Answers Yes to every question, OK to every notice.
  static std::string AnswerYes(const SeenBox& box) {
    for (const std::string& caption : box.captions)
      if (caption == "&Yes") return caption;
    return {};
  }

  std::string appV1_, appV2_, standin_;
  UniqueHandle product_;
};

}  // namespace tarnix::test
