// Before a new setup runs, the product it updates must not be running. The
// announcement names the product's executable and one of five ways of
// stopping it, compared exactly as written.
#pragma once

#include <string>
#include <string_view>

namespace tarnix {

enum class ShutDownMethodKind {
  AskUser,         // "Issue a Message Box": ask the user until it is closed
  WmClose,         // "Using WM_CLOSE"
  WmQuit,          // "Using WM_QUIT"
  Terminate,       // "Using Terminate Process"
  DontShutDown,    // "Don't Shut Down": nothing, not even the wait
  Other,           // any other text: only the short wait
};

ShutDownMethodKind ShutDownMethodOf(std::string_view method);

// Windows only. Stops the program at `path` (folder variables already
// resolved) with the announcement's method, then waits up to a second for
// it to end, unless the method says not to stop it.
void ShutDownProcess(const std::string& path);

}  // namespace tarnix
