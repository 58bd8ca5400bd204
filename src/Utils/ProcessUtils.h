// Windows only. Finding another running program by the name of its
// executable, finding its main window, asking it to close or quit, ending
// it, waiting for it, and running a console tool to capture what it prints.
// The technique that finds a process depends on the Windows version; the
// facilities that older systems lack are looked up at run time, and a
// missing one finds nothing. Every wait pumps the caller's messages, and
// messages to other programs are posted, never sent.
//
// "exe" is a path or file name of an executable; lists are self-delimited
// lists (SUB).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "Utils/ProcessUtilsCommon.h"
#include "Utils/UniqueResource.h"

namespace tarnix {

// What the window enumeration records: item i of each list describes the
// same top-level window.
struct TProcessData {
  // Every window, or at most one per executable name, stopping at the target.
  bool ListAll = false;
  std::string TargetExe;
  int32_t TargetPid = -1;
  std::string Pids = "|";
  std::string ExeNames = "|";
  std::string ClassNames = "|";
  std::string Handles = "|";
  std::string ThreadIds = "|";
  std::string Titles = "|";
  // "1" for a visible window, else "0".
  std::string Visible = "|";
};

// Surrounding quotes and blanks of `exe` are ignored. On the NT systems other
// than XP the list comes from the top-level windows, so a process without
// any window counts as not running there.
bool IsProcessRunning(std::string_view exe);
// Until the program has ended or `timeoutMs` (0 = 1000) have passed.
void WaitForProcessEnd(std::string_view exe, uint32_t timeoutMs);

// Post `message` to the program's main window; true when a window was found.
bool PostToProcess(std::string_view exe, bool fullPath, UINT message, WPARAM wParam, LPARAM lParam);
// WM_CLOSE, then with a wait above 0 WaitForProcessEnd; true when posted.
bool CloseProcessWindow(std::string_view exe, bool fullPath, uint32_t waitMs);
bool QuitProcessWindow(std::string_view exe, bool fullPath);
// Ends the process with exit code 0; on NT the one listed last.
bool TerminateProcessByName(std::string_view exe, bool fullPath);

// The window of the program's process that owns most of its other windows,
// a title and visibility deciding ties; 0 when there is no such process or
// window. `fromStart` takes the first matching process rather than the last.
HWND FindProcessMainWindow(std::string_view exe, bool fullPathOnly, bool fromStart);

// Until no window of that class and name (either may be empty) exists. There
// is no time limit; with both empty it returns at once, as any window at all
// would match.
void WaitWhileWindowExists(std::string_view className, std::string_view windowName);

// The running executables, optionally as name=pid items; full paths only
// where the process-status library gives the list.
std::string ListProcesses(bool fullPath, bool withPid);

// The finders: a process id, or 0. `firstMatch` takes the process nearest
// the start of the system's list, else the one nearest its end.
uint32_t FindPidByTasklist(std::string_view exe, bool fromStart);
uint32_t FindPidByToolhelp(std::string_view exe, bool fullPathOnly, bool firstMatch);
uint32_t FindPidByPsapi(std::string_view exe, bool fullPathOnly, bool firstMatch);
uint32_t FindPidInProcessList(std::string_view exe, bool fullPath, bool keepOrder);

std::string ListProcessesPsapi(bool fullPath, bool withPid);
// Executable names of the windows' processes; with `withPid` name=pid items,
// else with `withHandle` name=window items.
std::string ListWindowProcesses(bool withPid, bool withHandle);
TProcessData EnumProcessWindows(bool listAll, std::string_view targetExe, int32_t targetPid);
// The executable file name of the window's process; empty when unknown.
std::string GetWindowExeName(HWND window);
// The full path of the process's executable where the system tells it
// (PSAPI), else its name as the process list gives it; empty for a process
// that is gone.
std::string ProcessImagePath(uint32_t pid);

// Starts `commandLine` (the program's path quoted when it holds blanks) with
// the show command and returns at once; true when the program started. Unlike
// WinExec it never waits for the program to read its first message: a copy
// of the stub that only waits and ends would keep the caller waiting until
// it has gone.
bool LaunchProgram(std::string_view commandLine, int showCommand);

// How a program was started, or why it was not.
enum class ProgramStart {
  Started,
  // Through the shell, after its consent prompt: the program asks for more
  // rights than its caller holds.
  StartedElevated,
  // The user refused the consent prompt.
  Refused,
  Failed,
};

struct StartedProgram {
  ProgramStart how = ProgramStart::Failed;
  // Empty unless started.
  UniqueHandle process;
  // Why it failed, for the log.
  uint32_t systemError = 0;
};

// Starts `commandLine` like LaunchProgram and keeps the process handle; a
// program that needs elevation is started through the shell, which asks
// the user.
StartedProgram StartProgram(std::string_view commandLine, int showCommand);
// The shell's part of StartProgram: the program of `commandLine` (found as
// process creation finds it) started with its normal verb, so that Windows
// asks for elevation when the program's manifest wants it.
StartedProgram StartThroughShell(std::string_view commandLine, int showCommand);

// Receives each piece of captured output (or the start failure's text) with
// the caller's context; setting `abort` ends the program with exit code 255.
using CaptureCallback = void (*)(std::string_view piece, void* context, bool& abort);

// Runs `exe` with `parameters` at idle priority and collects its standard
// output and error, converted from the OEM code page, while it runs.
// `settleMs` is how long the output must stay quiet after the program ended
// before the capture stops (at least a short grace period), for output that
// a program it started still writes. When the program cannot be started the
// exit code is kRunFailedExitCode and `errorText` says why; otherwise
// `errorText` is what it wrote to its standard error. True for exit code 0.
bool RunAndCapture(std::string_view exe, std::string_view parameters, int showWindow, CaptureCallback callback,
                   void* context, uint32_t settleMs, std::string& errorText, std::string& outputText,
                   uint32_t& exitCode);

}  // namespace tarnix
