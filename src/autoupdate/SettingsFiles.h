// Windows only. Where the agent's two settings files lie: beside the running
// executable, named from the package's settings block. The paths are
// computed on every call, never kept.
#pragma once

#include <string>

namespace tarnix {

// The installed product's settings: versions, intervals, texts.
std::string OriginalFilePath();
// The announcement of a newer setup, fetched from the update location.
std::string InfoFilePath();

}  // namespace tarnix
