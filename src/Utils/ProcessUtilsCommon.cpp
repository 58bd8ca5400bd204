#include "Utils/ProcessUtilsCommon.h"

#include <algorithm>

namespace tarnix {

std::string BuildCommandLine(std::string_view exe, std::string_view parameters) {
  std::string line;
  if (exe.find(' ') != std::string_view::npos && exe.find('"') == std::string_view::npos) {
    line.reserve(exe.size() + 2);
    line += '"';
    line += exe;
    line += '"';
  } else {
    line = std::string(exe);
  }
  if (!parameters.empty()) {
    line += ' ';
    line += parameters;
  }
  return line;
}

std::string RunFailedText(std::string_view commandLine, std::string_view systemMessage) {
  if (commandLine.size() > kMaxCommandLineLength) return std::string(kCommandLineTooLong);
  std::string text(commandLine.substr(0, 256));
  text += " --- ";
  text += systemMessage;
  return text;
}

PidFinder ChoosePidFinder(const OsVersionRecord& record) {
  if (!RecordIsNT(record)) return PidFinder::Toolhelp;
  return RecordIsWin8OrLater(record) ? PidFinder::Tasklist : PidFinder::Psapi;
}

bool ListsProcessesByPsapi(const OsVersionRecord& record) { return RecordIsWindowsXP(record); }

std::string FixedProcessName(uint32_t pid, uint32_t osCode) {
  if (pid == 0) return "System Idle Process";
  if ((pid == 2 && (osCode & kOsCodeNT4)) || (pid == 8 && (osCode & kOsCode2000))) return "System Process";
  return {};
}

size_t WholeCharsLength(std::string_view bytes, LeadBytePredicate isLead) {
  size_t i = 0;
  while (i < bytes.size()) {
    if (isLead(static_cast<unsigned char>(bytes[i]))) {
      if (i + 1 >= bytes.size()) return i;
      i += 2;
    } else {
      ++i;
    }
  }
  return i;
}

}  // namespace tarnix
