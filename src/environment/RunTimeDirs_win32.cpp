#include <windows.h>

#include <exception>

#include "Utils/FileUtils.h"
#include "Utils/InFile.h"
#include "Utils/Registry.h"
#include "Utils/StrUtils.h"
#include "Utils/Trace.h"
#include "environment/RunTimeDirs.h"
#include "package/LanguageTable.h"
#include "ui/MsgBox.h"

namespace tarnix {

namespace {

class SystemRunTimeDirSource final : public RunTimeDirSource {
 public:
  std::string ReadRegValue(std::string_view path, std::string_view name, bool view64) override {
    return tarnix::ReadRegValue(path, name, "", view64);
  }
  bool FileExists(std::string_view path) override { return tarnix::FileExists(std::string(path)); }
  bool DirectoryExists(std::string_view path) override { return tarnix::DirectoryExists(path); }
  std::string FindFileOnDrives(std::string_view fileName, unsigned driveType) override {
    return tarnix::FindFileOnDrives(fileName, driveType);
  }
  std::string FindDirOnDrives(std::string_view dirName, unsigned driveType) override {
    return tarnix::FindDirOnDrives(dirName, driveType);
  }
  void ReportNotFound(std::string_view name) override {
    MsgBoxError(0, IniMessage(kRunTimeDirNotFoundKey, kRunTimeDirNotFoundText, name), "", 0, "");
  }
  LeadBytePredicate LeadBytes() override { return IsLeadByte; }
};

// The process's slots. No recipes are supplied to this program.
RunTimeDirs& ProcessRunTimeDirs() {
  static RunTimeDirs dirs;
  return dirs;
}

}  // namespace

std::string RunTimeDir(int slot) {
  try {
    SystemRunTimeDirSource source;
    return ProcessRunTimeDirs().Get(slot, source);
  } catch (const std::exception& e) {
    ReportException(e, "RunTimeDir", "");
  }
  return {};
}

}  // namespace tarnix
