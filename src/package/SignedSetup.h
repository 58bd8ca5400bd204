// Windows only. A web installer whose package carries the vendor's key and
// the full setup's SHA-256 runs only a setup file of exactly the size and
// hash it carries, whether downloaded or found beside it. Without the key
// or the hash it takes any, as ever.
#pragma once

#include <string>

namespace tarnix {

// Empty when `package` may run; else the text of the error box. The check
// that failed goes to the debug channel and the stub log.
std::string CheckSetupFile(const std::string& package);

}  // namespace tarnix
