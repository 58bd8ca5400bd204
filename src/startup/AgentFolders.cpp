#include "startup/AgentFolders.h"

#include "Utils/PathUtils.h"
#include "Utils/StrUtils.h"

namespace tarnix {

std::string PerUserAgentDir(std::string_view localAppData, std::string_view agentName) {
  // A name from a package never leads out of the folder.
  const std::string name = Trim(FileNamePart(Trim(agentName)));
  if (name.empty() || name == "." || name == ".." || Trim(localAppData).empty()) return {};
  return NormalizeDir(localAppData, true) + "Halvorin\\Tarnix\\" + name + "\\";
}

}  // namespace tarnix
