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

StartRoute RouteAfterCreateFailure(uint32_t error) {
  return error == kErrorElevationRequired ? StartRoute::ThroughShell : StartRoute::Failed;
}

ShellStart ShellStartOutcome(bool started, uint32_t error) {
  if (started) return ShellStart::Started;
  return error == kErrorCancelled ? ShellStart::Refused : ShellStart::Failed;
}

namespace {

std::string_view TrimLeadingBlanks(std::string_view text) {
  const size_t start = text.find_first_not_of(" \t");
  return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

// The file that process creation would run for this front of a command line.
std::string ExistingProgram(const std::string& front, FileExistsPredicate isFile) {
  if (isFile(front)) return front;
  const bool hasExtension = FileNamePart(front).find('.') != std::string::npos;
  if (!hasExtension && isFile(front + ".exe")) return front + ".exe";
  return {};
}

}  // namespace

ProgramParts SplitCommandLine(std::string_view commandLine, FileExistsPredicate isFile) {
  const std::string_view line = TrimLeadingBlanks(commandLine);
  if (!line.empty() && line.front() == '"') {
    const size_t close = line.find('"', 1);
    if (close == std::string_view::npos) return {std::string(line.substr(1)), {}};
    return {std::string(line.substr(1, close - 1)), std::string(TrimLeadingBlanks(line.substr(close + 1)))};
  }
  for (size_t blank = line.find(' '); blank != std::string_view::npos; blank = line.find(' ', blank + 1)) {
    const std::string program = ExistingProgram(std::string(line.substr(0, blank)), isFile);
    if (!program.empty()) return {program, std::string(TrimLeadingBlanks(line.substr(blank)))};
  }
  const std::string whole = ExistingProgram(std::string(line), isFile);
  if (!whole.empty()) return {whole, {}};
  const size_t firstBlank = line.find(' ');
  if (firstBlank == std::string_view::npos) return {std::string(line), {}};
  return {std::string(line.substr(0, firstBlank)), std::string(TrimLeadingBlanks(line.substr(firstBlank)))};
}

}  // namespace tarnix
