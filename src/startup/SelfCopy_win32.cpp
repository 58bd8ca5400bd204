#include "startup/SelfCopy.h"

#include <windows.h>

#include <string>

#include "Utils/CommandLine.h"
#include "Utils/DateUtils.h"
#include "Utils/FileUtils.h"
#include "Utils/MessagePump.h"
#include "Utils/PathUtils.h"
#include "Utils/ProcessUtils.h"
#include "Utils/StrUtils.h"
#include "Utils/SysInfo.h"
#include "Utils/StubLog.h"
#include "Utils/Switches.h"
#include "Utils/Trace.h"
#include "startup/AgentFolders.h"
#include "startup/RunMode.h"
#include "startup/SelfDeleteScript.h"
#include "startup/StubState.h"

namespace tarnix {

namespace {

constexpr DWORD kCopyStartPollMs = 200;
constexpr DWORD kCopyStartWaitMs = 3000;
// How long a copy is tried while the X_ file is still held by the agent
// before this one, which frees it as it ends.
constexpr int64_t kCopyTryMs = 15000;

// `text` of the ANSI code page in the OEM code page; false when it holds a
// character the OEM code page lacks.
bool AnsiToOem(const std::string& text, std::string& oem) {
  oem.clear();
  if (text.empty()) return true;
  const int length = static_cast<int>(text.size());
  const int wideLength = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (wideLength <= 0) return false;
  std::wstring wide(static_cast<size_t>(wideLength), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), wideLength);
  BOOL lacking = FALSE;
  const int oemLength = ::WideCharToMultiByte(CP_OEMCP, 0, wide.data(), wideLength, nullptr, 0, nullptr, &lacking);
  if (oemLength <= 0 || lacking) return false;
  oem.resize(static_cast<size_t>(oemLength));
  ::WideCharToMultiByte(CP_OEMCP, 0, wide.data(), wideLength, oem.data(), oemLength, nullptr, &lacking);
  return !lacking;
}

// `path` in the OEM code page, in which cmd.exe reads a script. A path with
// a character that code page lacks ("C:\Users\Jürgen" in some) goes by
// its short name, which has none; the path as it is when it has none.
std::string InOemCodePage(const std::string& path) {
  std::string oem;
  if (AnsiToOem(path, oem)) return oem;
  char shortPath[MAX_PATH] = {};
  const DWORD length = ::GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
  if (length > 0 && length < MAX_PATH && AnsiToOem(std::string(shortPath, length), oem)) return oem;
  return path;
}

bool XAgentRuns() { return ::FindWindowA(XAgentClassName(StubPackage().AgentExeName()).c_str(), nullptr); }

void WaitUntilRunning(const std::string& exe) {
  const DWORD start = ::GetTickCount();
  while (!IsProcessRunning(exe) && ::GetTickCount() - start < kCopyStartWaitMs) DelayPump(0, kCopyStartPollMs);
}

// Waits "/WAIT=" seconds. A restart after an update (`restart`) waits only
// until the agent before it has gone.
void WaitBeforeCopy(bool restart) {
  const int64_t wait = GetSwitchInt(kSwitchWait, 0);
  WriteLog("Wait " + std::to_string(wait) + " SEC");
  const int64_t start = NowMs();
  while (NowMs() - start < wait * 1000) {
    if (restart && !XAgentRuns()) {
      WriteLog("Wait ended: the X_ agent before has gone");
      return;
    }
    DelayPump(0, kCopyStartPollMs);
  }
}

// Copies the running agent over the X_ file. An agent that is ending holds
// that file until it moves it out of the way, a moment later, so a copy
// that fails is tried again for a while; false when it never succeeds, and
// the file there (the old image) must not be started.
bool WriteCopy(const std::string& exe, const std::string& copy) {
  const int64_t start = NowMs();
  while (!::CopyFileA(exe.c_str(), copy.c_str(), FALSE)) {
    if (NowMs() - start >= kCopyTryMs) {
      WriteFailureLog("Create X_ File failed", LastErrorFailure("cannot copy"));
      return false;
    }
    DelayPump(0, kCopyStartPollMs);
  }
  WriteLog("Create X_ File ");
  return true;
}

void WriteAndStartCopy(bool restart) {
  const std::string exe = GetExeFileName();
  const std::string copy = AgentWorkDir() + "X_" + FileNamePart(exe);
  Trace("%lu CreateAndRun_X_Exe-2", ::GetCurrentProcessId());
  WaitBeforeCopy(restart);
  if (!WriteCopy(exe, copy)) return;
  const std::string commandLine =
      XAgentCommandLine(copy, GetSwitchValue(kSwitchTransient, ""), GetSwitchValue(kSwitchDelay, ""));
  WriteLog("WinExec: " + commandLine);
  if (!LaunchProgram(commandLine, SW_HIDE)) {
    Trace("CreateAndRun_X_Exe: cannot start %s", commandLine.c_str());
    WriteFailureLog("Start of the X_ agent failed", LastErrorFailure("cannot start"));
  }
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
  const bool restart = zz == "99";
  if (package.IsAgent() && !(XAgentRuns() && !restart) &&
      SameTextTrim(FileNamePart(GetExeFileName()), package.AgentExeName()))
    WriteAndStartCopy(restart);
  WriteLog("CreateAndRun_X_Exe() --- End");
  return xAgentWasRunning;
}

void DeleteMySelf(bool removeFolder) {
  const uint32_t pid = ::GetCurrentProcessId();
  const std::string batch = GetTempDir(true) + SelfDeleteBatchName(pid);
  // A running program cannot be deleted, but it can be renamed: under a name
  // of its process's own the file is out of the way of a new copy at once,
  // and the script deletes that name only, never a new copy. Where renaming
  // fails, the script waits for the name it has.
  std::string exe = GetExeFileName();
  const std::string parked = ParkedExeName(exe, pid);
  if (::MoveFileA(exe.c_str(), parked.c_str())) exe = parked;
  const std::string script = SelfDeleteScript(InOemCodePage(exe), InOemCodePage(GetExeDir(false)),
                                              InOemCodePage(GetTempDir(false)) + "\\" + FileNamePart(batch),
                                              removeFolder);
  // The folder to be removed must not be the batch's current folder.
  ::SetCurrentDirectoryA(GetTempDir(false).c_str());
  // Quoted, since the temp folder may hold blanks.
  const std::string command = "\"" + batch + "\"";
  if (!WriteFileText(batch, script) || ::WinExec(command.c_str(), SW_HIDE) <= 31)
    Trace("DeleteMySelf: cannot start %s", batch.c_str());
}

}  // namespace tarnix
