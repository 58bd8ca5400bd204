#include "package/SetupCommandLine.h"

#include "Utils/StrUtils.h"
#include "Utils/Switches.h"

namespace tarnix {

std::string RunToken(uint32_t threadId) { return "_" + std::to_string(threadId); }
std::string RunAtomName(std::string_view token) { return "AutoUpdateAtomTokenByTarnix" + std::string(token); }
std::string SetupDialogClassName(std::string_view token) { return ".SDialog_Class_Name." + std::string(token); }

std::string RemoveSwitch(std::string_view line, std::string_view switchText) {
  std::string out(line);
  if (switchText.empty()) return out;
  // Switches are read ignoring case, so they are removed ignoring case, and
  // every time they occur: none of them may reach the program.
  const std::string wanted = UpperCase(switchText);
  for (size_t at = UpperCase(out).find(wanted); at != std::string::npos; at = UpperCase(out).find(wanted, at)) {
    size_t end = at;
    // The switch itself starts with "/", so the scan starts after it.
    do ++end;
    while (end < out.size() && out[end] != '/');
    out.erase(at, end - at);
  }
  return out;
}

std::string BuildSetupCommandLine(const SetupLaunch& launch) {
  std::string program = launch.entry;
  std::string parameters = launch.parameters;
  const size_t star = launch.entry.find('*');
  if (star != std::string::npos) {
    program = Trim(std::string_view(launch.entry).substr(0, star));
    const std::string arguments = Trim(std::string_view(launch.entry).substr(star + 1));
    parameters = Trim(arguments + " " + parameters);
  }
  std::string path = launch.folder;
  if (path.empty() || path.back() != '\\') path += '\\';
  // Quoted: with blanks in the path, Windows would first try the part
  // before the first blank as a program ("D:\Temp.exe" for a temp folder
  // "D:\Temp Files"), which anybody who can write there could plant.
  std::string line = "\"" + path + program + "\"";
  if (!parameters.empty()) line += " " + parameters;
  line += " " + std::string(kSwitchThId) + launch.token;
  if (line.find(kSwitchOriginExe) == std::string::npos)
    line += " " + std::string(kSwitchOriginExe) + "\"" + launch.originExe + "\"";
  if (launch.agentMode) line += " " + std::string(kSwitchAutoUpdateProg);
  line = RemoveSwitch(line, kSwitchSpanCdLvl);
  return RemoveSwitch(line, kSwitchSpanDiskFName1);
}

}  // namespace tarnix
