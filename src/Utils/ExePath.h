// The running executable's own path.
#pragma once

#include <string>

namespace tarnix {

// Full path of the running executable; with `baseNameOnly`, its file name.
// Paths longer than MAX_PATH are returned whole.
std::string GetExeFileName(bool baseNameOnly = false);

}  // namespace tarnix
