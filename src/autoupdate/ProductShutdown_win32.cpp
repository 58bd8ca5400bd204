#include "autoupdate/ProductShutdown.h"

#include <windows.h>

#include "Utils/PathUtils.h"
#include "Utils/ProcessUtils.h"
#include "Utils/StrUtils.h"
#include "Utils/StubLog.h"
#include "Utils/Trace.h"
#include "autoupdate/SettingsFiles.h"
#include "ui/MsgBox.h"

namespace tarnix {

namespace {

// The program is asked for by its full path, so a program of the same
// name elsewhere is left alone.
constexpr bool kFullPath = true;

// Asks until the user has closed the program; there is no other way on.
void AskUntilClosed(const std::string& path) {
  const std::string text = ReplaceAll(AgentText("s15"), "PROG_NAME", FileNamePart(path));
  Trace("s1=%s<", text.c_str());
  while (IsProcessRunning(path))
    MsgBoxAttention(0, text, MsgBoxAttentionTitle(), 0, MsgBoxCharSet(), MsgBoxButtons());
}

}  // namespace

void ShutDownProcess(const std::string& path) {
  const std::string method = ShutDownMethod();
  WriteLog("Shut Down Process() - START  (" + path + ")  Method: " + method);
  const ShutDownMethodKind kind = ShutDownMethodOf(method);
  switch (kind) {
    case ShutDownMethodKind::AskUser: AskUntilClosed(path); break;
    case ShutDownMethodKind::WmClose: CloseProcessWindow(path, kFullPath, 0); break;
    case ShutDownMethodKind::WmQuit: QuitProcessWindow(path, kFullPath); break;
    case ShutDownMethodKind::Terminate: TerminateProcessByName(path, kFullPath); break;
    case ShutDownMethodKind::DontShutDown:
    case ShutDownMethodKind::Other: break;
  }
  if (kind != ShutDownMethodKind::DontShutDown) WaitForProcessEnd(path, 0);
  WriteLog("Shut Down Process() - END");
}

}  // namespace tarnix
