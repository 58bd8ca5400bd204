// Libraries planted where a program looks first, as a file that a web page
// drops into the download folder lies beside a downloaded setup: copies of
// the marker library (MarkerLibrary.c) under the name of every library that
// the setup's programs load and Windows does not always take from the
// system folder. Wine is asked for Windows' order for those names, and the
// environment of a run names the folder where the markers leave their marks.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "win/DebugTestSupport.h"

namespace tarnix::test {

// The version resource, WinINet, the common controls, rich edit, the shell
// folders of old systems, process enumeration and CNG.
inline const std::vector<std::string>& PlantedLibraryNames() {
  static const std::vector<std::string> names = {"version.dll",  "wininet.dll", "comctl32.dll", "riched32.dll",
                                                 "shfolder.dll", "psapi.dll",   "bcrypt.dll"};
  return names;
}

class PlantedLibraries {
 public:
  // Marks go to `markFolder`, which is created. While the object lives,
  // Wine gives the programs of the file names `programs` a planted library
  // in place of its own, as Windows does.
  PlantedLibraries(std::string markFolder, std::vector<std::string> programs)
      : markFolder_(std::move(markFolder)), order_(std::move(programs), BaseNames(), "native,builtin") {
    std::filesystem::create_directories(markFolder_);
  }

  // The marker library, built beside the test program.
  static std::string MarkerLibrary() {
    char path[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string self = path;
    return self.substr(0, self.find_last_of('\\') + 1) + "marker-library.dll";
  }

  // A copy of the marker library under every planted name in `folder`.
  static void PlantIn(const std::string& folder) {
    for (const std::string& name : PlantedLibraryNames())
      ASSERT_TRUE(::CopyFileA(MarkerLibrary().c_str(), (folder + "\\" + name).c_str(), FALSE))
          << MarkerLibrary() << " -> " << folder << "\\" << name << ": " << ::GetLastError();
  }

  // The environment for a run: this process's with the mark folder named.
  std::string Environment() const { return EnvironmentWith({{"TARNIX_MARKER_DIR", markFolder_}}); }

  // One line "LIBRARY: HOW PROGRAM" (MarkerLibrary.c) for every load the
  // programs are to blame for; empty when none. Wine's own user32 imports
  // version.dll and Wine looks for the imports of its libraries beside the
  // program first, so under Wine every program takes a planted version.dll
  // as a dependency at start; Windows takes the dependencies of known DLLs
  // from the system folder, and the programs import nothing else (the
  // import table test), so such loads are left out.
  std::string Marks() const {
    std::string marks;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(markFolder_, ec))
      for (const std::string& line : CrLfLines(ReadWholeFile(entry.path().string())))
        if (line.rfind("dependency ", 0) != 0) marks += entry.path().stem().string() + ": " + line + "\n";
    return marks;
  }

 private:
  static std::vector<std::string> BaseNames() {
    std::vector<std::string> names;
    for (const std::string& name : PlantedLibraryNames()) names.push_back(name.substr(0, name.size() - 4));
    return names;
  }

  std::string markFolder_;
  WineLibraryOrder order_;
};

}  // namespace tarnix::test
