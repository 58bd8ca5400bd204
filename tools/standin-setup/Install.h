// Windows only. What the stand-in installs and where: every file of its own
// folder except itself, copied with its stamps into the install folder.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarnix::standin {

// The Program Files folder + "\Tarnix Sample Product".
std::string DefaultInstallDir();

// Names of the files beside the running program, without the program,
// sorted ignoring case.
std::vector<std::string> FilesBesideProgram();

// Called after each file with the number of files handled so far and the
// file's name.
using InstallStep = std::function<void(int done, const std::string& name)>;

// Creates `installDir` with its missing parents and copies `names` from the
// program's folder into it, replacing older copies. The number of files
// copied.
int InstallFiles(const std::vector<std::string>& names, const std::string& installDir, const InstallStep& step);

}  // namespace tarnix::standin
