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

std::string ParkedExeName(std::string_view exePath, uint32_t processId) {
  return std::string(exePath) + "." + std::to_string(processId) + ".old";
}

std::string SelfDeleteScript(std::string_view exePath, std::string_view folder, std::string_view batchPath,
                             bool removeFolder) {
  std::string script = ":START\r\n";
  script += "DEL " + Quoted(exePath) + "\r\n";
  script += "IF not exist " + Quoted(exePath) + " GOTO DONE\r\n";
  script += "PING -n 2 127.0.0.1 >NUL\r\n";
  script += "GOTO START\r\n";
  script += ":DONE\r\n";
  if (removeFolder) script += "RD " + Quoted(folder) + "\r\n";
  script += "DEL " + Quoted(batchPath) + "\r\n";
  return script;
}

}  // namespace tarnix
