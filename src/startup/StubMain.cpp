#include "startup/StubMain.h"

#include <windows.h>

#include "Utils/CommandLine.h"
#include "Utils/FileUtils.h"
#include "Utils/StrUtils.h"
#include "Utils/StubLog.h"
#include "Utils/Trace.h"
#include "Utils/VersionInfo.h"
#include "Utils/PathUtils.h"
#include "Utils/ProcessUtils.h"
#include "Utils/Switches.h"
#include "autoupdate/TestMode.h"
#include "package/ExtractFolders.h"
#include "startup/AgentFolders.h"
#include "startup/MainWindow.h"
#include "startup/ForwardSwitches.h"
#include "startup/RunMode.h"
#include "startup/SelfCopy.h"
#include "startup/StubState.h"

namespace tarnix {

namespace {

std::string RawCommandLine() {
  const char* raw = ::GetCommandLineA();
  return raw ? raw : "";
}

void TraceBanner(const char* banner, const std::string& commandLine) {
  Trace("%lu%s%s<", ::GetCurrentProcessId(), banner, commandLine.c_str());
}

void LogStart(const std::string& exePath, const std::string& commandLine) {
  WriteLog("");
  WriteLog("");
  WriteLog("=== START === " + exePath);
  WriteLog("CommandLine=" + commandLine);
  WriteLog("Agent Version=" + GetExeVersion("", 1, 4));
}

void LogFact(const char* name, bool value) { WriteLog(std::string(name) + "=" + BoolText(value)); }

bool WindowClassExists(const std::string& className) {
  return ::FindWindowA(className.c_str(), nullptr) != nullptr;
}

// Runs the package of a CD set from a copy in the temp folder, so that the
// CD drive is free for the next disk.
void CdRelaunch(const std::string& exePath) {
  const std::string copy = SetupFolder() + "\\Y_" + FileNamePart(exePath);
  const std::string commandLine = CdRelaunchCommandLine(copy, GetCommandLineParams(), exePath);
  if (!::CopyFileA(exePath.c_str(), copy.c_str(), FALSE) || !LaunchProgram(commandLine, SW_HIDE))
    Trace("CdRelaunch: cannot start %s", commandLine.c_str());
}

// The resident agent: it runs its loop under the X_ name, then leaves its
// deletion to a batch file.
void RunXAgent(const char* className) {
  WriteLog("CheckTestMode");
  CheckTestMode(true);
  WriteLog("WinMain");
  WinMain(className);
  WriteLog("DeleteMySelf");
  DeleteMySelf(false);
}

void DoRunStubWin(RunMode mode, const TGFileInfo& package, const std::string& exePath) {
  WriteLog("DoRunStubWin() --- Start");
  const std::string className = WindowClassName(package.IsAgent(), exePath);
  const bool xAgentWasRunning = WindowClassExists(XAgentClassName(package.AgentExeName()));
  LogFact("X_ExeIsRunning", xAgentWasRunning);
  LogFact("ThisIs_Plain_AutoUpdate_Exe", mode == RunMode::PlainAgent);
  LogFact("ThisIs_X_AutoUpdate_Exe", mode == RunMode::XAgent);
  // A second start of a running executable finds its window and leaves.
  if (!WindowClassExists(className)) {
    switch (mode) {
      case RunMode::PlainAgent:
        CreateAndRun_X_Exe(xAgentWasRunning);
        break;
      case RunMode::XAgent:
        RunXAgent(className.c_str());
        break;
      case RunMode::CdRelaunch:
        CdRelaunch(exePath);
        break;
      case RunMode::Setup:
        // An agent package under another name runs as an agent in place.
        WinMain(className.c_str());
        if (GetSwitchInt(kSwitchSpanCdLvl, 1) == 2) DeleteMySelf(true);
        break;
    }
  }
  // The switches reach the running X_ agent whatever happened above.
  if (mode == RunMode::PlainAgent) HandleParamOK(xAgentWasRunning);
  WriteLog("DoRunStubWin() --- End");
}

}  // namespace

int StubMain() {
  const std::string exePath = GetExeFileName();
  const std::string commandLine = RawCommandLine();
  TraceBanner(" ==== STUB START ====> ", commandLine);

  SetStubPackage(TGFileInfo(exePath));
  const TGFileInfo& package = StubPackage();
  const bool agentMode = package.IsAgent();
  SetLogEnabled(agentMode && package.AgentLog());
  if (agentMode) SetLogFolder(AgentWorkDir());
  const RunModeFacts facts{agentMode, package.AgentExeName(), package.CdSpanning()};
  const RunMode mode = ChooseRunMode(GetCommandLineParams(), exePath, facts);
  if (mode == RunMode::XAgent) SetLogTag(kXAgentLogTag);
  LogStart(exePath, commandLine);
  Trace("%lu ==== ThisIs_AutoUpdateProg=%s", ::GetCurrentProcessId(), BoolText(agentMode));

  DoRunStubWin(mode, package, exePath);

  SetStubPackage(TGFileInfo());
  TraceBanner(" ==== STUB END ====> ", commandLine);
  Trace("%s", "");
  WriteLog("=== EXIT === " + exePath);
  WriteLog("");
  return static_cast<int>(ExitCode());
}

}  // namespace tarnix
