#include "environment/RunTimeDirs.h"

#include "Utils/Registry.h"
#include "Utils/SUB.h"
#include "Utils/StrUtils.h"

namespace tarnix {

namespace {

enum Item {
  kUseAppPaths = 0,
  kAppPathsExe = 1,
  kUseRegistryPath = 2,
  kRegistryPath = 3,
  kUseFileSearch = 4,
  kSearchFile = 5,
  kFileOnFixed = 6,
  kFileOnRemote = 7,
  kUseFolderSearch = 8,
  kSearchFolder = 9,
  kFolderOnFixed = 10,
  kFolderOnRemote = 11,
  kUseFixedPath = 12,
  kFixedPath = 13,
  kReportNotFound = 16,
  kAppPathsView = 20,
  kRegistryPathView = 21,
};

class Resolver {
 public:
  Resolver(std::string_view recipe, RunTimeDirSource& source)
      : recipe_(recipe), source_(source), lead_(source.LeadBytes()) {}

  std::string Resolve() {
    std::string found;
    if (On(kUseAppPaths)) {
      ranAppPaths_ = true;
      found = AppPathsDir();
    }
    if (found.empty() && On(kUseRegistryPath)) {
      ranRegistryPath_ = true;
      found = RegistryPathDir();
    }
    if (found.empty() && On(kUseFileSearch)) {
      ranFileSearch_ = true;
      found =
          DirectoryPart(Search(&RunTimeDirSource::FindFileOnDrives, kSearchFile, kFileOnFixed, kFileOnRemote), lead_);
    }
    if (found.empty() && On(kUseFolderSearch)) {
      ranFolderSearch_ = true;
      found = Search(&RunTimeDirSource::FindDirOnDrives, kSearchFolder, kFolderOnFixed, kFolderOnRemote);
    }
    if (found.empty() && On(kUseFixedPath)) found = Text(kFixedPath);
    if (found.empty() && On(kReportNotFound)) source_.ReportNotFound(RecipeName());
    return found;
  }

 private:
  std::string Text(int item) const { return SUB::Item(recipe_, item); }
  bool On(int item) const { return Text(item) == "1"; }

  // The view that the selector item asks for; a selector above 2 asks the
  // other view too when the first has nothing.
  std::string ReadRegValue(std::string_view path, std::string_view name, int selectorItem) {
    const int64_t selector = SUB::ItemAsInt64(recipe_, selectorItem, 0);
    const bool view64 = selector == 0 ? Use64BitRegistryView : selector == 2;
    std::string value = source_.ReadRegValue(path, name, view64);
    if (value.empty() && selector > 2) value = source_.ReadRegValue(path, name, !view64);
    // Paths with blanks are often stored in double quotes.
    return Unquote(value, false);
  }

  std::string AppPathsDir() {
    const std::string exe = ReadRegValue(std::string(kAppPathsKey) + Text(kAppPathsExe), "", kAppPathsView);
    return DirectoryPart(exe, lead_);
  }

  std::string RegistryPathDir() {
    const std::string path = Text(kRegistryPath);
    std::string value = ReadRegValue(path, "", kRegistryPathView);
    if (value.empty()) {
      const size_t split = path.rfind('\\');
      if (split != std::string::npos)
        value = ReadRegValue(path.substr(0, split), path.substr(split + 1), kRegistryPathView);
    }
    if (!value.empty() && !source_.DirectoryExists(value) && source_.FileExists(value)) {
      const std::string folder = DirectoryPart(value, lead_);
      if (!folder.empty() && source_.DirectoryExists(folder)) value = folder;
    }
    return RemoveTrailingSlash(value, lead_);
  }

  // An empty name would walk every drive to the end for nothing.
  std::string Search(std::string (RunTimeDirSource::*find)(std::string_view, unsigned), int nameItem, int fixedItem,
                     int remoteItem) {
    const std::string name = Text(nameItem);
    if (name.empty()) return {};
    std::string found;
    if (On(fixedItem)) found = (source_.*find)(name, kDriveFixed);
    if (found.empty() && On(remoteItem)) found = (source_.*find)(name, kDriveRemote);
    return found;
  }

  // What the user is told was looked for: the registry path, else the
  // program of the App Paths entry, else the file, else the folder.
  std::string RecipeName() const {
    std::string name;
    if (ranRegistryPath_)
      name = Text(kRegistryPath);
    else if (ranAppPaths_)
      name = Text(kAppPathsExe);
    if (name.empty() && ranFileSearch_) name = Text(kSearchFile);
    if (name.empty() && ranFolderSearch_) name = Text(kSearchFolder);
    return name;
  }

  std::string_view recipe_;
  RunTimeDirSource& source_;
  LeadBytePredicate lead_;
  bool ranAppPaths_ = false;
  bool ranRegistryPath_ = false;
  bool ranFileSearch_ = false;
  bool ranFolderSearch_ = false;
};

}  // namespace

std::string ResolveRunTimeDir(std::string_view recipe, RunTimeDirSource& source) {
  return Resolver(recipe, source).Resolve();
}

std::string RunTimeDirs::Get(int slot, RunTimeDirSource& source) {
  if (slot < 1 || slot > kRunTimeDirSlots) return {};
  std::optional<std::string>& resolved = resolved_[size_t(slot - 1)];
  if (!resolved) resolved = ResolveRunTimeDir(recipes_[size_t(slot - 1)], source);
  return *resolved;
}

}  // namespace tarnix
