#include "environment/SpecialFolders.h"

namespace tarnix {

namespace {

class FolderResolver {
 public:
  explicit FolderResolver(ShellFolderSource& source) : source_(source), lead_(source.LeadBytes()) {}

  std::string Resolve(SpecialFolder folder) {
    switch (folder) {
      case SpecialFolder::UserDir: return ExistingOr(ShellUserDir(), [&] { return Profile(); });
      case SpecialFolder::DocumentsAndSettingsDir: {
        std::string dir = ShellUserDir();
        const std::string parent = Parent(dir);
        if (Exists(parent)) dir = parent;
        return ExistingOr(dir, [&] { return Profile(); });
      }
      case SpecialFolder::AllUsersDir: return AllUsersDir();
      case SpecialFolder::UserAppDataDir:
        return ExistingOr(FolderPath(kCsidlAppData), [&] { return Profile() + "\\Application Data"; });
      case SpecialFolder::UserLocalAppDataDir:
        return ExistingOr(FolderPath(kCsidlLocalAppData), [&] { return Profile() + "\\Application Data"; });
      case SpecialFolder::AllUsersAppDataDir:
        return ExistingOr(FolderPath(kCsidlCommonAppData), [&] { return source_.WindowsDir() + "\\Application Data"; });
      case SpecialFolder::MyDocumentsDir:
        return ExistingOr(FolderPath(kCsidlPersonal), [&] { return Profile() + "\\My Documents"; });
      case SpecialFolder::AllUsersDocumentsDir:
        return ExistingOr(FolderPath(kCsidlCommonDocuments), [&] { return source_.WindowsDir() + "\\Documents"; });
      case SpecialFolder::UserStartMenuDir: return UserOrAllUsers(kCsidlStartMenu, "\\Start Menu");
      case SpecialFolder::AllUsersStartMenuDir:
        return ExistingOr(SpecialPath(kCsidlCommonStartMenu), [&] { return AllUsersDir() + "\\Start Menu"; });
      case SpecialFolder::UserStartProgramMenuDir: return UserOrAllUsers(kCsidlPrograms, "\\Start Menu\\Programs");
      case SpecialFolder::AllUsersStartProgramMenuDir:
        return ExistingOr(SpecialPath(kCsidlCommonPrograms), [&] { return AllUsersDir() + "\\Start Menu\\Programs"; });
      case SpecialFolder::UserDesktopDir: return UserOrAllUsers(kCsidlDesktopDirectory, "\\Desktop");
      case SpecialFolder::AllUsersDesktopDir:
        return ExistingOr(SpecialPath(kCsidlCommonDesktopDirectory), [&] { return AllUsersDir() + "\\Desktop"; });
    }
    return source_.WindowsDir();
  }

  std::string Shape(const std::string& folder, bool trailingBackslash) const {
    return NormalizeDir(folder, trailingBackslash, lead_);
  }

 private:
  bool Exists(const std::string& path) { return !path.empty() && source_.DirectoryExists(path); }

  std::string Parent(const std::string& path) const { return DirectoryPart(path, lead_); }

  // The fallback is built only when needed: it may ask the registry and the
  // shell again.
  template <typename Fallback>
  std::string ExistingOr(const std::string& answer, Fallback fallback) {
    return Exists(answer) ? answer : fallback();
  }

  std::string FolderPath(int csidl) {
    std::string path;
    if (!source_.GetFolderPath(csidl | kCsidlFlagCreate, path)) return {};
    return NormalizeDir(path, false, lead_);
  }

  std::string SpecialPath(int csidl) {
    std::string path;
    if (!source_.GetSpecialFolderPath(csidl, path)) return {};
    return NormalizeDir(path, false, lead_);
  }

  // The parent of a folder the shell names, taken only when that folder
  // exists.
  std::string ParentOfExisting(int csidl) {
    const std::string folder = FolderPath(csidl);
    return Exists(folder) ? Parent(folder) : std::string();
  }

  std::string ShellUserDir() { return ParentOfExisting(kCsidlPersonal); }

  std::string AllUsersDir() {
    return ExistingOr(ParentOfExisting(kCsidlCommonAppData), [&] { return source_.WindowsDir(); });
  }

  // Systems with user profiles but without the shell functions keep them in
  // the Windows folder, named after the registered owner.
  std::string Profile() {
    const std::string windows = source_.WindowsDir();
    const std::string owner = source_.RegisteredOwner();
    if (owner.empty()) return windows;
    const std::string profile = windows + "\\Profiles\\" + owner;
    return Exists(profile) ? profile : windows;
  }

  // The user's folder below UserDir, else the one below AllUsersDir.
  std::string UserOrAllUsers(int csidl, std::string_view tail) {
    const std::string answer = SpecialPath(csidl);
    if (Exists(answer)) return answer;
    const std::string users = Resolve(SpecialFolder::UserDir) + std::string(tail);
    return Exists(users) ? users : AllUsersDir() + std::string(tail);
  }

  ShellFolderSource& source_;
  LeadBytePredicate lead_;
};

}  // namespace

std::string GetSpecialFolder(SpecialFolder folder, bool trailingBackslash, ShellFolderSource& source) {
  FolderResolver resolver(source);
  return resolver.Shape(resolver.Resolve(folder), trailingBackslash);
}

}  // namespace tarnix
