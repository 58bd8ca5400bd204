#include "autoupdate/AgentRestart.h"

#include "Utils/StrUtils.h"
#include "Utils/Switches.h"

namespace tarnix {

std::string AgentRestartCommandLine(std::string_view agentPath, std::string_view transientText) {
  // Quoted: an agent under "C:\Program Files\..." must not start
  // "C:\Program.exe".
  return Quote(agentPath) + " " + std::string(kSwitchZZ) + "99 " + std::string(kSwitchWait) + "10 " +
         std::string(kSwitchTransient) + std::string(transientText);
}

}  // namespace tarnix
