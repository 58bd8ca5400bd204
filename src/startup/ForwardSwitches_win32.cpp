#include "startup/ForwardSwitches.h"

#include <windows.h>

#include <string>

#include "Utils/CommandLine.h"
#include "Utils/FileUtils.h"
#include "Utils/InFile.h"
#include "Utils/PathUtils.h"
#include "Utils/ProcessUtils.h"
#include "Utils/StubLog.h"
#include "Utils/Switches.h"
#include "autoupdate/TransientOverrides.h"
#include "startup/AgentFolders.h"
#include "startup/MainWindow.h"
#include "startup/RunMode.h"

namespace tarnix {

namespace {

// The stop countdown a one-off check gets when no agent ran before: the
// agent started for it ends a few ticks after the check.
constexpr WPARAM kOneOffStop = 2;

void Post(const std::string& target, const char* name, UINT message, WPARAM wParam, LPARAM lParam,
          const std::string& detail, bool& posted) {
  WriteLog(std::string("PostProcessMessage(") + name + ") to: " + target + detail);
  posted = PostToProcess(target, true, message, wParam, lParam) || posted;
}

}  // namespace

bool HandleParamOK(bool xAgentWasRunning) {
  WriteLog("HandleParamOK() --- Start");
  const std::string target = AgentWorkDir() + "X_" + FileNamePart(GetExeFileName());
  const bool targetExists = FileExists(target);
  bool posted = false;

  const int64_t stop = GetSwitchInt(kSwitchStop, -1);
  if (stop >= 0 && targetExists) Post(target, "wm_ShutDown", wm_ShutDown, WPARAM(stop), 0, "", posted);

  const std::string controller = GetSwitchValue(kSwitchWmMsg, "");
  if (!controller.empty() && targetExists) {
    const WmMsgArgs args = ParseWmMsg(controller);
    Post(target, "wm_LocalMsg", wm_LocalMsg, WPARAM(args.a), LPARAM(args.b), " - :" + controller + ":", posted);
  }

  const int64_t test = GetSwitchInt(kSwitchTest, -1);
  if (test >= 0 && targetExists) {
    Post(target, "wm_AgentMsg", wm_AgentMsg, kRequestCheck, LPARAM(test),
         " - AU_PerformUpdateCycle (" + std::to_string(test) + ")", posted);
    if (!xAgentWasRunning && test > 0) posted = PostToProcess(target, true, wm_ShutDown, kOneOffStop, 0) || posted;
  }

  const std::string transient = GetSwitchValue(kSwitchTransientX, "");
  if (!transient.empty()) ApplyTransientText(transient);
  WriteLog("HandleParamOK() --- End");
  return posted;
}

}  // namespace tarnix
