// The batch script that deletes an executable once its process has ended
// (a running program cannot delete itself), and with it, when asked, the
// folder it ran from.
#pragma once

#include <string>
#include <string_view>

namespace tarnix {

// Lines end in CR LF: the script retries the deletion until the process has
// gone, removes the folder when asked, then deletes itself.
std::string SelfDeleteScript(std::string_view exePath, std::string_view folder, std::string_view batchPath,
                             bool removeFolder);

}  // namespace tarnix
