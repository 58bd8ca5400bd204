#include "startup/SelfDeleteScript.h"

namespace tarnix {

namespace {

// In quotes, for the blanks; every "%" doubled, since cmd.exe expands "%"
// in a script even within quotes ("100%\" would lose its sign).
std::string Quoted(std::string_view path) {
  std::string quoted = "\"";
  for (char c : path) quoted += c == '%' ? std::string("%%") : std::string(1, c);
  return quoted + "\"";
}

}  // namespace

std::string SelfDeleteBatchName(uint32_t processId) { return "_DEL_ME_" + std::to_string(processId) + ".BAT"; }

std::string SelfDeleteScript(std::string_view exePath, std::string_view folder, std::string_view batchPath,
                             bool removeFolder) {
  std::string script = ":START\r\n";
  script += "DEL " + Quoted(exePath) + "\r\n";
  script += "IF exist " + Quoted(exePath) + " GOTO START\r\n";
  if (removeFolder) script += "RD " + Quoted(folder) + "\r\n";
  script += "DEL " + Quoted(batchPath) + "\r\n";
  return script;
}

}  // namespace tarnix
