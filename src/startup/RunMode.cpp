#include "startup/RunMode.h"

#include "Utils/StrUtils.h"
#include "Utils/SUB.h"
#include "Utils/Switches.h"

namespace tarnix {

namespace {

constexpr std::string_view kClassPrefix = ".AutoUpdate.";

std::string_view WithoutLastExtension(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? name : name.substr(0, dot);
}

}  // namespace

RunMode ChooseRunMode(std::string_view params, std::string_view exePath, const RunModeFacts& facts) {
  const std::string agentName = Trim(facts.agentExeName);
  if (facts.isAgent && !agentName.empty()) {
    const std::string_view name = ExeFileName(exePath);
    if (SameTextTrim(name, agentName)) return RunMode::PlainAgent;
    if (SameTextTrim(name, "X_" + agentName)) return RunMode::XAgent;
  }
  if (facts.cdSpanning && SwitchIntIn(params, kSwitchSpanCdLvl, 1) == 1) return RunMode::CdRelaunch;
  return RunMode::Setup;
}

std::string WindowClassName(bool agentMode, std::string_view exePath) {
  if (!agentMode) return std::string(exePath);
  return std::string(kClassPrefix) + std::string(WithoutLastExtension(ExeFileName(exePath)));
}

std::string XAgentClassName(std::string_view agentExeName) {
  return std::string(kClassPrefix) + "X_" + std::string(WithoutLastExtension(Trim(agentExeName)));
}

std::string CdRelaunchCommandLine(std::string_view copyPath, std::string_view params, std::string_view exePath) {
  // The copy's path is quoted: the temp folder may hold blanks, and an
  // unquoted path would start whatever program its first word names.
  // The level comes first: the copy reads the first occurrence of a switch,
  // and a "/SpanCdLvl=1" among the parameters passed on must not make every
  // copy relaunch itself again.
  std::string rest = std::string(params) + " " + std::string(kSwitchSpanDiskFName1) + "\"" + std::string(exePath) +
                     ".001\" " + std::string(kSwitchOriginExe) + "\"" + std::string(exePath) + "\"";
  return Quote(copyPath) + " " + std::string(kSwitchSpanCdLvl) + "2 " + Trim(rest);
}

std::string XAgentCommandLine(std::string_view xPath, std::string_view transient, std::string_view delay) {
  std::string line = Quote(xPath);
  if (!transient.empty()) line += " " + std::string(kSwitchTransientX) + std::string(transient);
  if (!delay.empty()) line += " " + std::string(kSwitchSleepX) + std::string(delay);
  return line;
}

WmMsgArgs ParseWmMsg(std::string_view value) {
  std::string wrapped(1, ':');
  wrapped += value;
  wrapped += ':';
  return {SUB::ItemAsInt64(wrapped, 0, 0), SUB::ItemAsInt64(wrapped, 1, 0)};
}

}  // namespace tarnix
