// The stub's main routine, kept apart from the Windows entry point so that the
// entry file stays a thin shim over it.
#pragma once

namespace tarnix {

// Returns the process exit code.
int StubMain();

}  // namespace tarnix
