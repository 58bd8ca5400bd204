#include "Utils/StubLog.h"

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
