// Run-time directories: the folders of other products on the machine (a
// runtime the installed program needs, say), each found by a small recipe
// and kept once found. The folder variables <RunTimeDir_1> to <RunTimeDir_8>
// expand to them.
//
// A recipe is a self-delimited list; its items, by index ("1" switches a
// flag on):
//    0 look the program up under App Paths     1 its executable's file name
//    2 read a registry path                    3 root\key, or root\key\value
//    4 search the drives for a file            5 the file's name
//    6 ... on fixed drives                     7 ... on network drives
//    8 search the drives for a folder          9 the folder's name
//   10 ... on fixed drives                    11 ... on network drives
//   12 take a fixed path                      13 the fixed path
//   16 tell the user when nothing is found
//   20, 21 registry view for the App Paths and the registry path reads:
//          0 the program's own view, 2 the 64-bit view, 1 the 32-bit
//          view, 3 or more the 32-bit view first and then the 64-bit one
//
// Resolving is plain logic over a RunTimeDirSource, so it runs and is tested
// anywhere; the Windows source reads the registry, searches the drives and
// shows the error box.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "Utils/PathUtils.h"

namespace tarnix {

inline constexpr int kRunTimeDirSlots = 8;

// Drive types of the drive searches, as the platform numbers them.
inline constexpr unsigned kDriveFixed = 3;
inline constexpr unsigned kDriveRemote = 4;

inline constexpr std::string_view kAppPathsKey =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

// The language text of the report, "<?>" standing for what was looked for.
inline constexpr std::string_view kRunTimeDirNotFoundKey = "RunTimeDir_01";
inline constexpr std::string_view kRunTimeDirNotFoundText = "RunTimeDir (<?>)<P><P>Not Found!";

class RunTimeDirSource {
 public:
  virtual ~RunTimeDirSource() = default;
  // Empty `name` reads the key's default value; empty when missing.
  virtual std::string ReadRegValue(std::string_view path, std::string_view name, bool view64) = 0;
  virtual bool FileExists(std::string_view path) = 0;
  virtual bool DirectoryExists(std::string_view path) = 0;
  // The full path of the first match on drives C: to Z: of `driveType`;
  // empty when there is none.
  virtual std::string FindFileOnDrives(std::string_view fileName, unsigned driveType) = 0;
  virtual std::string FindDirOnDrives(std::string_view dirName, unsigned driveType) = 0;
  // Tells the user that nothing was found for `name`.
  virtual void ReportNotFound(std::string_view name) = 0;
  virtual LeadBytePredicate LeadBytes() { return NoLeadBytes; }
};

// The folder that `recipe` finds, without a trailing backslash; empty when
// it finds none.
std::string ResolveRunTimeDir(std::string_view recipe, RunTimeDirSource& source);

// The eight slots, each resolved on first use and then kept, also when
// nothing was found, so that a missing product costs one search per process.
class RunTimeDirs {
 public:
  explicit RunTimeDirs(std::array<std::string, kRunTimeDirSlots> recipes = {}) : recipes_(std::move(recipes)) {}

  // Slots count from 1; any other slot is empty.
  std::string Get(int slot, RunTimeDirSource& source);

 private:
  std::array<std::string, kRunTimeDirSlots> recipes_;
  std::array<std::optional<std::string>, kRunTimeDirSlots> resolved_;
};

// Windows only. The process's run-time directories. This program is given
// no recipes, so every slot is empty.
std::string RunTimeDir(int slot);

}  // namespace tarnix
