// Folder variables: names in angle brackets such as <InstallDir> or
// <UserAppDataDir> in stored paths and command lines, replaced by their
// values on this machine, so that a path written once fits every machine.
// Names match in any case and every occurrence is replaced.
//
// The expansion itself is plain text work over a FolderVariableSource that
// answers the machine's values; FolderVariables.h gives the running system's.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "Utils/DateUtils.h"
#include "Utils/PathUtils.h"
#include "environment/SpecialFolders.h"

namespace tarnix {

// The installed product's folders, the values of <InstallDir>,
// <InstallCommonDir> and <InstallAuxDir>.
struct InstallFolders {
  std::string application;
  std::string common;
  std::string auxiliary;
};

// A text, and every step of its expansion, stays below this length; the
// expansion of a longer one fails. Texts come from files fetched from a web
// server, and a few short variables with long values would otherwise grow
// without bound.
inline constexpr size_t kMaxExpandedText = size_t(1) << 20;

// The machine's answers. Folders come without a trailing backslash; any
// value may be empty.
class FolderVariableSource {
 public:
  virtual ~FolderVariableSource() = default;

  virtual std::string WindowsDir() = 0;
  virtual std::string SystemDir() = 0;
  virtual std::string TempDir() = 0;
  // The folder of the running executable.
  virtual std::string ExeDir() = 0;
  // The folder of the executable that started the chain of copies.
  virtual std::string OriginDir() = 0;
  virtual std::string SpecialFolderDir(SpecialFolder folder) = 0;
  // Slot 1 to 8.
  virtual std::string RunTimeDir(int slot) = 0;
  virtual bool DirectoryExists(std::string_view path) = 0;
  // The value as text in the program's registry view; empty when missing.
  virtual std::string ReadRegValue(std::string_view path, std::string_view name) = 0;

  virtual std::string UserNameText() = 0;
  virtual std::string RegisteredOwner() = 0;
  virtual std::string RegisteredOrganization() = 0;
  virtual std::string ComputerNameText() = 0;
  virtual std::string UserDomain() = 0;

  // The current local date and time, and the locale's texts for it.
  virtual double Now() = 0;
  virtual const DateSeparators& DateFormat() = 0;

  // The full path of a relative or dotted path; empty when it has none.
  virtual std::string FullPath(std::string_view path) = 0;

  // The user variables: a self-delimited list of "<name>=value" items.
  virtual std::string UserVariables() = 0;

  virtual LeadBytePredicate LeadBytes() { return NoLeadBytes; }
};

// `text` with its variables replaced:
// - with `userStage`, the user variables;
// - the date, "<Date=c>" with c one of # and 0 to 7;
// - the user's and the machine's names, without suffix;
// - with `folderStage`, the folders; a folder takes `suffix` after it where
//   the path goes on after the variable, and doubled backslashes that this
//   leaves are collapsed again;
// - with `resolveDots`, "\.." and "..\" in the result, or in each item of a
//   list that starts with "," or "|", are resolved to full paths.
// Texts without "<" only have their dots resolved. A text that is, or grows,
// longer than kMaxExpandedText gives the empty text.
std::string ExpandFolderVariables(std::string_view text, std::string_view suffix, bool resolveDots, bool folderStage,
                                  bool userStage, const InstallFolders& folders, FolderVariableSource& source);

}  // namespace tarnix
