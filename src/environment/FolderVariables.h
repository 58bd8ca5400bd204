// Windows only. Folder variables such as <InstallDir>, <WinDir> or
// <UserAppDataDir> in stored paths and command lines, replaced by this
// machine's values (FolderExpansion.h says which and how). The installation
// folders and the origin executable belong to the process.
#pragma once

#include <string>
#include <string_view>

namespace tarnix {

// The values of <InstallDir>, <InstallCommonDir> and <InstallAuxDir> from
// now on.
void SetInstallFolders(std::string_view application, std::string_view common, std::string_view auxiliary);

// `text` with its variables replaced by the running system's values; empty
// when the text is, or grows, too long to expand.
std::string ExpandFolderVariables(std::string_view text, std::string_view suffix, bool resolveDots, bool folderStage,
                                  bool userStage);

// The executable that started the chain of copies (the "/OriginExe" switch),
// else the running one, and its folder; read on first use and kept.
const std::string& OriginExe();
const std::string& OriginDir();

}  // namespace tarnix
