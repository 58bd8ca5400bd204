// The agent's two folders. Its home is where it is installed, beside the
// product's .original file, which stays the source of the product's facts
// (its version above all). Its work folder is where it writes: its X_ copy,
// log, .info copy, downloads, resume records and the times and stamp it
// records. The two are one folder unless the agent cannot write its home (a
// per-machine product in Program Files, run by a standard user); then it
// works from a folder of its own per user, under the local application-data
// folder.
#pragma once

#include <string>
#include <string_view>

namespace tarnix {

// The per-user work folder of the agent `agentName` below the local
// application-data folder, with a trailing backslash; empty for an agent
// without a name or a missing application-data folder.
std::string PerUserAgentDir(std::string_view localAppData, std::string_view agentName);

// The per-user work folder's .original file names the home in this key, for
// the X_ copy that runs from the work folder.
inline constexpr char kAgentSection[] = "Agent";
inline constexpr char kInstallFolderKey[] = "InstallFolder";

// Windows only. Both with a trailing backslash; for a stub that is no agent
// the running executable's folder. The plain agent settles the work folder
// (and creates it) on the first call.
const std::string& AgentHomeDir();
const std::string& AgentWorkDir();
bool AgentWorksPerUser();

}  // namespace tarnix
