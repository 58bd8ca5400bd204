#include "package/ExtractFolders.h"

#include <windows.h>

#include <random>

#include "Utils/FileUtils.h"
#include "Utils/InFile.h"
#include "Utils/Trace.h"

namespace tarnix {

namespace {

struct Folders {
  bool setupMade = false;
  std::string setup;
  bool rootChosen = false;
  std::string spareRoot;
  std::string spare;
};

Folders& State() {
  static Folders folders;
  return folders;
}

// A number from 10,000 to 100,000 that differs between runs, so a folder
// left by a crashed run is not reused by chance.
unsigned RandomSuffix() {
  static std::minstd_rand generator(::GetTickCount() ^ (::GetCurrentProcessId() << 16));
  return std::uniform_int_distribution<unsigned>(10000, 100000)(generator);
}

double ProbeFreeSpace(char drive) {
  const std::string root = std::string(1, drive) + ":\\";
  if (::GetDriveTypeA(root.c_str()) != DRIVE_FIXED) return 0;
  std::string probe = root + "TEMP";
  if (DirectoryExists(probe)) probe += "\\TEMP" + std::to_string(RandomSuffix());
  double free = 0;
  // Only a drive the user can write to counts.
  if (ForceDirectories(probe) && WriteFileText(probe + "\\~aa.tmp", "aa") && FileExists(probe + "\\~aa.tmp"))
    free = GetFreeDiskSpace(root);
  RemoveDirTree(probe, true);
  return free;
}

char DriveLetter(const std::string& path) {
  if (path.empty()) return '\0';
  const char c = path[0];
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

const std::string& SetupFolder() {
  Folders& state = State();
  if (state.setupMade) return state.setup;
  // A name of the process's own: a name taken from the executable would be
  // shared by the agent and the setup that wrote it (the agent carries its
  // stamp), or by two runs of one setup, and one would delete the other's
  // running files. A folder of this name can only be left by an ended
  // process.
  state.setup = GetTempDir(true) + "SETUP_" + std::to_string(::GetCurrentProcessId());
  state.setupMade = true;
  RemoveDirTree(state.setup, true);
  if (!ForceDirectories(state.setup)) Trace("SetupFolder: cannot create %s", state.setup.c_str());
  return state.setup;
}

void RemoveSetupFolder() {
  if (State().setupMade) RemoveDirTree(State().setup, true);
}

bool ChooseSpareTempRoot() {
  Folders& state = State();
  if (state.rootChosen) return !state.spareRoot.empty();
  state.rootChosen = true;
  const std::string temp = GetTempDir(false);
  const char tempDrive = DriveLetter(temp);
  char best = tempDrive;
  double bestFree = 0;
  for (char drive : {'C', 'D', 'E'}) {
    const double free = ProbeFreeSpace(drive);
    if (free > bestFree) {
      best = drive;
      bestFree = free;
    }
  }
  if (best != tempDrive) {
    state.spareRoot = std::string(1, best) + ":\\TEMP";
    if (DirectoryExists(state.spareRoot)) state.spareRoot += "\\TEMP";
  }
  return !state.spareRoot.empty();
}

std::string SpareFolder() {
  Folders& state = State();
  if (state.spare.empty() && !state.spareRoot.empty()) {
    state.spare = state.spareRoot + "_" + std::to_string(RandomSuffix());
    RemoveDirTree(state.spare, true);
    ForceDirectories(state.spare);
  }
  return state.spare;
}

void RemoveSpareFolder() {
  if (!State().spare.empty()) RemoveDirTree(State().spare, true);
}

}  // namespace tarnix
