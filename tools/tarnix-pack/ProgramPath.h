// The path of the running tarnix-pack executable, which finds its default
// stub beside itself.
#pragma once

#include <string>

namespace tarnix::pack {

// `argv0` is the fallback when the system cannot say; empty when neither
// gives a path.
std::string ProgramPath(const char* argv0);

}  // namespace tarnix::pack
