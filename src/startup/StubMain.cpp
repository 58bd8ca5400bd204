#include "startup/StubMain.h"

#include <windows.h>

#include "Utils/CommandLine.h"
#include "Utils/FileUtils.h"
#include "Utils/StrUtils.h"
#include "Utils/StubLog.h"
#include "Utils/Trace.h"
#include "Utils/VersionInfo.h"
#include "startup/RunMode.h"
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

// Logs the facts that choose the mode. The work of each mode (window,
// extraction, agent) is not there yet, so every mode ends here.
void DoRunStubWin(RunMode mode, const TGFileInfo& package) {
  WriteLog("DoRunStubWin() --- Start");
  LogFact("X_ExeIsRunning", WindowClassExists(XAgentClassName(package.AgentExeName())));
  LogFact("ThisIs_Plain_AutoUpdate_Exe", mode == RunMode::PlainAgent);
  LogFact("ThisIs_X_AutoUpdate_Exe", mode == RunMode::XAgent);
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

  DoRunStubWin(mode, package);

  SetStubPackage(TGFileInfo());
  TraceBanner(" ==== STUB END ====> ", commandLine);
  Trace("%s", "");
  WriteLog("=== EXIT === " + exePath);
  WriteLog("");
  return static_cast<int>(ExitCode());
}

}  // namespace tarnix
