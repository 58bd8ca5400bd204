// Windows only. The setup driver: on the stub window's first tick it gets
// the setup files (from the package, or downloaded first), confirms the
// temp-drive space, extracts them, starts the setup program, waits for it,
// passes its exit code on and cleans up.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "Utils/ProcessUtils.h"
#include "Utils/UniqueResource.h"
#include "package/TGFileInfo.h"

namespace tarnix {

// Runs once: the whole setup, then the quit message.
void SetupTick();

// "/hide" or a package marked silent: no questions, the program hidden.
bool SilentRun();
// The status line shows the stub's text `key` in the language's font.
void ShowStatus(std::string_view key);

// How a run of a package ended.
enum class PackageRun {
  // Nothing was started: the user declined, the package is damaged or
  // marks no setup program.
  NotStarted,
  // A file could not be written whole (a full disk): nothing was started.
  WriteFailed,
  // The setup program ran but did not report its installation complete.
  Incomplete,
  // The setup program asked for elevation and the user refused the
  // system's consent prompt: nothing ran.
  Refused,
  // The setup program reported its installation complete.
  Finished,
};

// Extracts `package` into `target` (or a spare folder when the temp drive is
// too small), runs its setup program with `parameters` and waits for it.
PackageRun RunPackage(std::string target, const std::string& package, const std::string& agentName, bool foreground,
                      const std::string& parameters);

// The package's space need for the target's drive is below the drive's free
// space, and the target exists.
bool SpaceOk(const std::string& target, const std::string& package);
// Asks the user when the package read by `reader` always asks or space is
// short; true to go on.
bool ConfirmTempSpace(const std::string& target, const TGFileInfo& reader);

// Starts `commandLine` with the show mode, through the system's consent
// prompt when the program needs elevation.
StartedProgram RunProgram(const std::string& commandLine, int showMode);
// Until the process has ended, pumping messages.
void WaitForProgram(HANDLE process);

}  // namespace tarnix
