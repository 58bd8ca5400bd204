#include "startup/SelfCopy.h"

#include <windows.h>

#include "Utils/FileUtils.h"
#include "Utils/Trace.h"
#include "startup/SelfDeleteScript.h"

namespace tarnix {

void DeleteMySelf(bool removeFolder) {
  const std::string batch = GetTempDir(true) + "_DEL_ME_.BAT";
  const std::string script = SelfDeleteScript(GetExeFileName(), GetExeDir(false), batch, removeFolder);
  // The folder to be removed must not be the batch's current folder.
  ::SetCurrentDirectoryA(GetTempDir(false).c_str());
  // Quoted, since the temp folder may hold blanks.
  const std::string command = "\"" + batch + "\"";
  if (!WriteFileText(batch, script) || ::WinExec(command.c_str(), SW_HIDE) <= 31)
    Trace("DeleteMySelf: cannot start %s", batch.c_str());
}

}  // namespace tarnix
