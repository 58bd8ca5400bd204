#include "Utils/StubLog.h"

#include <algorithm>

namespace tarnix {

namespace {

bool g_logEnabled = false;

std::string& Tag() {
  static std::string tag(kDefaultLogTag);
  return tag;
}

}  // namespace

bool LogEnabled() { return g_logEnabled; }
void SetLogEnabled(bool enabled) { g_logEnabled = enabled; }

const std::string& LogTag() { return Tag(); }
void SetLogTag(std::string_view tag) { Tag() = tag; }

std::string StubLogName(std::string_view exeName) {
  std::string name = exeName.substr(0, 2) == "X_" ? std::string(exeName) : "X_" + std::string(exeName);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name + ".log";
}

bool LogNeedsRotation(uint64_t logSize, size_t lineSize) {
  return logSize > 0 && logSize + lineSize > kStubLogCap;
}

std::string PreviousLogName(std::string_view logName) {
  constexpr std::string_view kExtension = ".log";
  const size_t stem = logName.size() - std::min(logName.size(), kExtension.size());
  if (logName.size() > kExtension.size() && logName.substr(stem) == kExtension) {
    return std::string(logName.substr(0, stem)) + ".old.log";
  }
  return std::string(logName) + ".old";
}

std::string FormatLogLine(std::string_view timestamp, uint32_t threadId, std::string_view tag,
                          std::string_view message) {
  const std::string id = std::to_string(threadId);
  std::string line(timestamp);
  line += ' ';
  if (id.size() < 5) line.append(5 - id.size(), ' ');
  line += id;
  line += tag;
  line += message;
  line += "\r\n";
  return line;
}

}  // namespace tarnix
