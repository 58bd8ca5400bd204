// Windows only. Gathers what `agent-control NAME report` prints (Report.h).
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "Report.h"

namespace tarnix::control {

// The facts about the agent `name` (its file name, or its path): the files
// beside the agent in its folder, which is the folder `name` gives, else
// the running agent's (`agent`, may be null), else the current one; and
// what the running agent answers. `logLines`: how many lines of its log.
ReportFacts GatherReport(const std::string& name, HWND agent, size_t logLines);

}  // namespace tarnix::control
