#include <windows.h>

#include "Utils/DateUtils.h"
#include "Utils/FileUtils.h"
#include "Utils/StubLog.h"

namespace tarnix {

const std::string& LogFileName() {
  static const std::string name = GetExeDir(true) + StubLogName(GetExeFileName(true));
  return name;
}

void WriteLog(std::string_view message) {
  if (!LogEnabled()) return;
  try {
    AppendFileText(LogFileName(), FormatLogLine(LogTimestamp(kDateNow), ::GetCurrentThreadId(), LogTag(), message));
  } catch (...) {
  }
}

}  // namespace tarnix
