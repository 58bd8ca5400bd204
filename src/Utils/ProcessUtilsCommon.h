// The platform-free rules of the process utilities: command lines, the
// choice of process finder by Windows version, the fixed names of the
// system's own processes, and the pieces of captured console output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Utils/OsInfo.h"
#include "Utils/PathUtils.h"

namespace tarnix {

// The longest command line that process creation accepts.
inline constexpr size_t kMaxCommandLineLength = 32766;

// The exit code and error text of a program that could not be started.
inline constexpr uint32_t kRunFailedExitCode = 21;
inline constexpr std::string_view kCommandLineTooLong = "Command line is too long";

// `exe` in double quotes when it holds a blank and no double quote, then,
// when there are parameters, one blank and the parameters.
std::string BuildCommandLine(std::string_view exe, std::string_view parameters);

// The error text for a command line that could not be started: its first
// 256 characters, " --- " and the system's message; for a command line over
// kMaxCommandLineLength, kCommandLineTooLong.
std::string RunFailedText(std::string_view commandLine, std::string_view systemMessage);

// How a process is found by name on each system: the platform's tasklist
// from Windows 8 on, the process-status library on the other NT systems, the
// tool-help snapshot on the 9x family.
enum class PidFinder { Tasklist, Psapi, Toolhelp };
PidFinder ChoosePidFinder(const OsVersionRecord& record);

// Whether the list of running processes comes from the process-status
// library (Windows XP) rather than from the top-level windows.
bool ListsProcessesByPsapi(const OsVersionRecord& record);

// The name of a process whose executable cannot be read: the idle process,
// and the system process of NT 4 (id 2) and 2000 (id 8); empty for any other.
std::string FixedProcessName(uint32_t pid, uint32_t osCode);

// The length of the front of `bytes` that ends on a whole character, so that
// a double-byte character split between two reads of a pipe is converted
// once it is complete.
size_t WholeCharsLength(std::string_view bytes, LeadBytePredicate isLead);

// A program whose manifest asks for more rights than its caller holds (most
// products' own setups) is refused by process creation with
// ERROR_ELEVATION_REQUIRED; the shell starts it, showing the system's consent
// prompt. A user who refuses the prompt makes the shell fail with
// ERROR_CANCELLED.
inline constexpr uint32_t kErrorElevationRequired = 740;
inline constexpr uint32_t kErrorCancelled = 1223;

enum class StartRoute { Started, ThroughShell, Failed };
// What follows a failed process creation with this error.
StartRoute RouteAfterCreateFailure(uint32_t error);

enum class ShellStart { Started, Refused, Failed };
// The shell's start: started, refused at the consent prompt, or failed.
ShellStart ShellStartOutcome(bool started, uint32_t error);

// The program and its parameters, as the shell wants them apart.
struct ProgramParts {
  std::string program;
  std::string parameters;
};
using FileExistsPredicate = bool (*)(const std::string& path);
// Splits a command line as process creation reads it: a quoted program ends
// at its closing quote; an unquoted one is the shortest front, cut at a
// blank, that names a file (".exe" added to one without an extension), or
// the first word when none does. The parameters lose their leading blanks.
ProgramParts SplitCommandLine(std::string_view commandLine, FileExistsPredicate isFile);

}  // namespace tarnix
