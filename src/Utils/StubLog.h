// The stub log: a text file beside the executable with one line per step of
// start-up and of the agent, written only when the package asks for it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

// Timestamp, a blank, the thread id right-aligned in 5 (longer ids whole),
// the tag, the message, CR LF.
std::string FormatLogLine(std::string_view timestamp, uint32_t threadId, std::string_view tag,
                          std::string_view message);

// Windows only. The log's full path beside the running executable, computed
// on the first call.
const std::string& LogFileName();

// Windows only. Appends one line when the log is enabled.
void WriteLog(std::string_view message);

}  // namespace tarnix
