#include "autoupdate/AgentRestart.h"

#include <windows.h>

#include "Utils/FileUtils.h"
#include "Utils/MessagePump.h"
#include "Utils/ProcessUtils.h"
#include "Utils/StrUtils.h"
#include "Utils/StubLog.h"
#include "Utils/SysInfo.h"
#include "autoupdate/AgentState.h"
#include "autoupdate/TransientOverrides.h"
#include "startup/AgentFolders.h"
#include "startup/MainWindow.h"
#include "startup/StubState.h"

namespace tarnix {

void ReStartAutoUpdateExe() {
  WriteLog(".. ReStartAutoUpdateExe() - Start");
  if (Agent().StopCountdown <= 0) {
    const std::string command =
        AgentRestartCommandLine(AgentHomeDir() + StubPackage().AgentExeName(), TransientText());
    WriteLog(".. WinExec - " + command);
    if (!LaunchProgram(command, SW_HIDE)) WriteFailureLog("ReStartAutoUpdateExe failed", LastErrorFailure("cannot start"));
    DelayPump(0, 1000);
    WriteLog(".. PostMessage(WM_DESTROY)");
    ::PostMessageA(MainWindow(), WM_DESTROY, 0, 0);
  }
  WriteLog(".. ReStartAutoUpdateExe() - End");
}

}  // namespace tarnix
