// Windows only. Web installers: packages that carry no setup files and fetch
// the full setup package first, from beside the stub or over HTTP.
#pragma once

#include <string>

namespace tarnix {

// Writes the agent copy of the running stub into the extraction folder when
// `agentName` is given, then fetches and runs the full setup.
void DownloadSetup(const std::string& agentName);

// Takes `location`\`name` when it exists, else downloads `location`/`name`
// after the user agreed to its size; checks that it carries this stub's
// download token and runs it. Errors other than a declined download are
// shown in a box.
void DownloadAndRun(const std::string& target, const std::string& location, const std::string& name);

}  // namespace tarnix
