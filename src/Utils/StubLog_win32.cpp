#include <windows.h>

#include <utility>

#include "Utils/DateUtils.h"
#include "Utils/FileUtils.h"
#include "Utils/StubLog.h"

namespace tarnix {

namespace {

std::string& LogFolder() {
  static std::string folder;
  return folder;
}

}  // namespace

void SetLogFolder(std::string folder) { LogFolder() = std::move(folder); }

const std::string& LogFileName() {
  static const std::string name =
      (LogFolder().empty() ? GetExeDir(true) : LogFolder()) + StubLogName(GetExeFileName(true));
  return name;
}

const std::string& PreviousLogFileName() {
  static const std::string name = PreviousLogName(LogFileName());
  return name;
}

void WriteLog(std::string_view message) {
  if (!LogEnabled()) return;
  try {
    const std::string line = FormatLogLine(LogTimestamp(kDateNow), ::GetCurrentThreadId(), LogTag(), message);
    const int64_t size = GetFileSizeByName(LogFileName());
    if (size > 0 && LogNeedsRotation(static_cast<uint64_t>(size), line.size())) {
      // The agent and its X_ copy may both move it; the one that comes
      // second finds nothing to move and appends to the new log.
      ::DeleteFileA(PreviousLogFileName().c_str());
      ::MoveFileA(LogFileName().c_str(), PreviousLogFileName().c_str());
    }
    AppendFileText(LogFileName(), line);
  } catch (...) {
  }
}

void WriteFailureLog(std::string_view what, const Failure& why) {
  WriteLog(FailureLine("ERROR: " + std::string(what) + ": " + why.reason, why));
}

}  // namespace tarnix
