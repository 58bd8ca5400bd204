// The command line on which the setup driver starts the setup program found
// in a package, and the run token that ties the program to this run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnix {

// "_" + the thread id: names the run's atom and the program's dialog class.
std::string RunToken(uint32_t threadId);
std::string RunAtomName(std::string_view token);
std::string SetupDialogClassName(std::string_view token);

struct SetupLaunch {
  std::string entry;       // the package's setup entry: "prog.exe* args" or "prog.exe*"
  std::string folder;      // where the files were extracted
  std::string parameters;  // the stub's own parameter text
  std::string token;
  std::string originExe;   // the running executable
  bool agentMode = false;
};

// The folder, a backslash and the program in quotes, the entry's arguments
// and the caller's parameters, " /TH_ID=" + token, " /OriginExe=" with the
// quoted origin unless the line already names one, and " /AutoUpdateProg" in
// agent mode. The switches that only concern the stub itself are removed.
std::string BuildSetupCommandLine(const SetupLaunch& launch);

// Deletes `switchText` and what follows it up to the next "/" (its value
// and the blank after it) from the first place it occurs.
std::string RemoveSwitch(std::string_view line, std::string_view switchText);

}  // namespace tarnix
