#include "autoupdate/SettingsFiles.h"

#include "Utils/FileUtils.h"
#include "startup/StubState.h"

namespace tarnix {

std::string OriginalFilePath() { return GetExeDir(true) + StubPackage().OriginalFileName(); }
std::string InfoFilePath() { return GetExeDir(true) + StubPackage().InfoFileName(); }

}  // namespace tarnix
