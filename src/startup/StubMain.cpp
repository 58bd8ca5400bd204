#include "startup/StubMain.h"

#include <windows.h>

#include "Utils/CommandLine.h"
#include "Utils/FileUtils.h"
#include "Utils/StrUtils.h"
#include "Utils/StubLog.h"
#include "Utils/Trace.h"
#include "Utils/VersionInfo.h"
#include "Utils/PathUtils.h"
#include "Utils/Switches.h"
#include "package/ExtractFolders.h"
#include "startup/MainWindow.h"
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
  if (!::CopyFileA(exePath.c_str(), copy.c_str(), FALSE) || ::WinExec(commandLine.c_str(), SW_HIDE) <= 31)
    Trace("CdRelaunch: cannot start %s", commandLine.c_str());
}

void DoRunStubWin(RunMode mode, const TGFileInfo& package, const std::string& exePath) {
  WriteLog("DoRunStubWin() --- Start");
  const std::string className = WindowClassName(package.IsAgent(), exePath);
  LogFact("X_ExeIsRunning", WindowClassExists(XAgentClassName(package.AgentExeName())));
  LogFact("ThisIs_Plain_AutoUpdate_Exe", mode == RunMode::PlainAgent);
  LogFact("ThisIs_X_AutoUpdate_Exe", mode == RunMode::XAgent);
  // A second start of a running executable finds its window and leaves.
  if (!WindowClassExists(className)) {
    if (mode == RunMode::CdRelaunch) {
      CdRelaunch(exePath);
    } else if (mode == RunMode::Setup && !package.IsAgent()) {
      WinMain(className.c_str());
      if (GetSwitchInt(kSwitchSpanCdLvl, 1) == 2) DeleteMySelf(true);
    }
  }
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
