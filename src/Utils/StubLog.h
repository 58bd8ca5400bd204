// The stub log: a text file beside the executable with one line per step of
// start-up and of the agent, written only when the package asks for it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Utils/Failure.h"

namespace tarnix {

inline constexpr std::string_view kDefaultLogTag = "   ";
inline constexpr std::string_view kXAgentLogTag = " X ";

// Set once by start-up; WriteLog does nothing until then.
bool LogEnabled();
void SetLogEnabled(bool enabled);

const std::string& LogTag();
void SetLogTag(std::string_view tag);

// The log's file name for an executable of this name: "X_" in front unless it
// starts with exactly "X_", the extension replaced by ".log". The stub and
// its X_ copy thus share one log.
std::string StubLogName(std::string_view exeName);

// The log stays below about this many bytes: the line that would take it
// past the cap first moves it to its previous-log name, replacing the one
// there. An agent that probes every few seconds for years thus keeps at
// most twice the cap on the disk.
inline constexpr uint64_t kStubLogCap = 1048576;

// Whether a log of `logSize` bytes moves aside before a line of `lineSize`
// bytes: only one that holds something and would pass the cap.
bool LogNeedsRotation(uint64_t logSize, size_t lineSize);

// The previous log's name: ".log" at the end becomes ".old.log"
// (X_Agent.log, X_Agent.old.log); any other name gets ".old".
std::string PreviousLogName(std::string_view logName);

// Timestamp, a blank, the thread id right-aligned in 5 (longer ids whole),
// the tag, the message, CR LF.
std::string FormatLogLine(std::string_view timestamp, uint32_t threadId, std::string_view tag,
                          std::string_view message);

// Windows only. The folder the log goes to, set before the first line:
// beside the running executable unless set.
void SetLogFolder(std::string folder);

// Windows only. The log's full path, computed on the first call.
const std::string& LogFileName();

// Windows only. The previous log's full path (PreviousLogName).
const std::string& PreviousLogFileName();

// Windows only. Appends one line when the log is enabled, first moving a
// full log aside (kStubLogCap).
void WriteLog(std::string_view message);

// Windows only. "ERROR: " + what + ": " + the reason and its numbers
// (FailureLine), as one log line.
void WriteFailureLog(std::string_view what, const Failure& why);

}  // namespace tarnix
