#include "startup/SelfDeleteScript.h"

namespace tarnix {

namespace {
std::string Quoted(std::string_view path) { return "\"" + std::string(path) + "\""; }
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
