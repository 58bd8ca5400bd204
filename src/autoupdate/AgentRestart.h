// Windows only. After an update the agent replaces itself with a fresh
// agent process, since the update may have brought a new agent executable:
// it starts the installed agent file, which makes a new X_ copy once this
// one has gone, and ends.
#pragma once

#include <string>
#include <string_view>

namespace tarnix {

// The command that starts the fresh agent: the installed agent file, a new
// X_ copy even though this one still runs, up to ten seconds for this one
// to go, and the transient overrides handed on.
std::string AgentRestartCommandLine(std::string_view agentPath, std::string_view transientText);

// Nothing while a stop has been requested (the stop countdown runs).
void ReStartAutoUpdateExe();

}  // namespace tarnix
