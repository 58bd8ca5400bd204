// The stand-in setup program's command line: its own switches and the run
// token that the stub passes, and the names the stub knows the run by.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnix::standin {

struct Options {
  // "_" + the stub's thread id; empty when the program is started by hand.
  std::string token;
  // Empty: the sample product's folder under Program Files.
  std::string installDir;
  uint32_t exitCode = 0;
  // How long the dialog stays up after copying.
  uint32_t delayMs = 0;
  // Ends as an installation that did not complete: the run's atom stays.
  bool keepAtom = false;
  bool noCopy = false;
  // Empty: no record is written.
  std::string recordPath;
};

// The switches of the whole command line, the program's own path first.
Options ReadOptions(std::string_view commandLine);

// The class of the dialog the stub waits for, and the global atom whose
// removal tells the stub that the installation completed.
std::string DialogClassName(std::string_view token);
std::string RunAtomName(std::string_view token);

}  // namespace tarnix::standin
