#include "startup/SelfCopy.h"

#include <windows.h>

#include "Utils/CommandLine.h"
#include "Utils/FileUtils.h"
#include "Utils/MessagePump.h"
#include "Utils/PathUtils.h"
#include "Utils/ProcessUtils.h"
#include "Utils/StrUtils.h"
#include "Utils/StubLog.h"
#include "Utils/Switches.h"
#include "Utils/Trace.h"
#include "startup/RunMode.h"
#include "startup/SelfDeleteScript.h"
#include "startup/StubState.h"

namespace tarnix {

namespace {

constexpr DWORD kCopyStartPollMs = 200;
constexpr DWORD kCopyStartWaitMs = 3000;

bool XAgentRuns() { return ::FindWindowA(XAgentClassName(StubPackage().AgentExeName()).c_str(), nullptr); }

void WaitUntilRunning(const std::string& exe) {
  const DWORD start = ::GetTickCount();
  while (!IsProcessRunning(exe) && ::GetTickCount() - start < kCopyStartWaitMs) DelayPump(0, kCopyStartPollMs);
}

void WriteAndStartCopy() {
  const std::string exe = GetExeFileName();
  const std::string copy = GetExeDir(true) + "X_" + FileNamePart(exe);
  Trace("%lu CreateAndRun_X_Exe-2", ::GetCurrentProcessId());
  const int64_t wait = GetSwitchInt(kSwitchWait, 0);
  WriteLog("Wait " + std::to_string(wait) + " SEC");
  if (wait > 0) DelayPump(0, wait * 1000);
  ::CopyFileA(exe.c_str(), copy.c_str(), FALSE);
  WriteLog("Create X_ File ");
  const std::string commandLine =
      XAgentCommandLine(copy, GetSwitchValue(kSwitchTransient, ""), GetSwitchValue(kSwitchDelay, ""));
  WriteLog("WinExec: " + commandLine);
  if (!LaunchProgram(commandLine, SW_HIDE)) Trace("CreateAndRun_X_Exe: cannot start %s", commandLine.c_str());
  if (!GetCommandLineParams().empty()) WaitUntilRunning(copy);
}

}  // namespace

bool CreateAndRun_X_Exe(bool xAgentWasRunning) {
  WriteLog("CreateAndRun_X_Exe() --- Start");
  const std::string zz = GetSwitchValue(kSwitchZZ, "");
  Trace("%lu CreateAndRun_X_Exe-1 %s", ::GetCurrentProcessId(), zz.c_str());
  const TGFileInfo& package = StubPackage();
  // "/_ZZ=99" is the restart after an update: the old X_ agent is on its
  // way out and a new one must follow it.
  if (package.IsAgent() && !(XAgentRuns() && zz != "99") &&
      SameTextTrim(FileNamePart(GetExeFileName()), package.AgentExeName()))
    WriteAndStartCopy();
  WriteLog("CreateAndRun_X_Exe() --- End");
  return xAgentWasRunning;
}

void DeleteMySelf(bool removeFolder) {
  const std::string batch = GetTempDir(true) + SelfDeleteBatchName(::GetCurrentProcessId());
  const std::string script = SelfDeleteScript(GetExeFileName(), GetExeDir(false), batch, removeFolder);
  // The folder to be removed must not be the batch's current folder.
  ::SetCurrentDirectoryA(GetTempDir(false).c_str());
  // Quoted, since the temp folder may hold blanks.
  const std::string command = "\"" + batch + "\"";
  if (!WriteFileText(batch, script) || ::WinExec(command.c_str(), SW_HIDE) <= 31)
    Trace("DeleteMySelf: cannot start %s", batch.c_str());
}

}  // namespace tarnix
