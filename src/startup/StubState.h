// Process-wide state of the running stub, set once at start-up and read by
// every mode.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "package/TGFileInfo.h"

namespace tarnix {

// The package of the running executable (empty when it carries none).
const TGFileInfo& StubPackage();
void SetStubPackage(TGFileInfo reader);

// A text of the stub's own package in the user's language, the built-in
// English text when the package lacks it.
std::string StubText(std::string_view key);

// The process exit code: 0 unless the setup program returned another.
uint32_t ExitCode();
void SetExitCode(uint32_t code);

}  // namespace tarnix
