#include "startup/SelfCopy.h"

#include <windows.h>

#include <string>

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
  const std::string script = SelfDeleteScript(InOemCodePage(GetExeFileName()), InOemCodePage(GetExeDir(false)),
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
