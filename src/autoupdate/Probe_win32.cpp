#include "autoupdate/Probe.h"

#include <windows.h>

#include <cstdint>
#include <string>

#include "Utils/DateUtils.h"
#include "Utils/MessagePump.h"
#include "Utils/StrUtils.h"
#include "Utils/StubLog.h"
#include "Utils/SysInfo.h"
#include "Utils/Trace.h"
#include "Utils/WindowUtils.h"
#include "autoupdate/AgentRestart.h"
#include "autoupdate/AgentState.h"
#include "autoupdate/AutoInform.h"
#include "autoupdate/SettingsFiles.h"
#include "autoupdate/SignedUpdate.h"
#include "autoupdate/TestMode.h"
#include "autoupdate/UpdateCycle.h"
#include "autoupdate/UpdateDecision.h"
#include "autoupdate/UpdateDownload.h"
#include "net/HttpDownload.h"
#include "startup/MainWindow.h"
#include "startup/StubState.h"
#include "ui/MsgBox.h"

namespace tarnix {

namespace {

bool FetchInfo(std::string& error, Failure* why = nullptr) {
  PostNotify(kNotifyInfoDownload, 1);
  const bool ok = DownloadFileAU(StubPackage().UpdateLocation(), InfoFilePath(), kDownloadInfo, error, why);
  PostNotify(kNotifyInfoDownload, 2);
  return ok;
}

// Records the announcement as seen: it is not acted on again before a new
// Stamp or a due re-ask.
void SettleAnnouncement(int32_t stamp) {
  SetReAskSecondsLast(NowSeconds());
  SetOriginalStamp(stamp);
}

const char* OutcomeText(InformOutcome outcome) {
  switch (outcome) {
    case InformOutcome::NotFetched:
      return "inform file not fetched";
    case InformOutcome::NotShown:
      return "nothing to show";
    case InformOutcome::Informed:
      break;
  }
  return "user informed";
}

const char* OutcomeText(UpdateOutcome outcome) {
  switch (outcome) {
    case UpdateOutcome::NotStarted:
      return "no update file named";
    case UpdateOutcome::Declined:
      return "declined by the user";
    case UpdateOutcome::NotFetched:
      return "update not fetched";
    case UpdateOutcome::NotExtracted:
      return "update files not written";
    case UpdateOutcome::SetupFailed:
      return "update setup did not finish";
    case UpdateOutcome::Installed:
      break;
  }
  return "update installed";
}

// Acts on an announcement the decision accepted; what came of it, and
// `why` a download failed. It counts as seen only once the user has
// answered or been told, or its setup has run: a download that broke off or
// was refused (a dropped connection, a full disk, a tampered file) is tried
// again on the next probe, so that one bad download never blocks a release
// until the vendor changes the Stamp.
std::string ActOnAnnouncement(Failure& why) {
  // Read first: the setup may rewrite the files beside the agent.
  const int32_t stamp = NewStamp();
  if (AutoInform()) {
    const InformOutcome outcome = PerformAutoInform(&why);
    if (outcome != InformOutcome::NotFetched) SettleAnnouncement(stamp);
    return OutcomeText(outcome);
  }
  const UpdateOutcome outcome = PerformAutoUpdate(&why);
  if (outcome == UpdateOutcome::Declined || outcome == UpdateOutcome::SetupFailed ||
      outcome == UpdateOutcome::Installed)
    SettleAnnouncement(stamp);
  if (outcome == UpdateOutcome::Installed) ReStartAutoUpdateExe();
  return OutcomeText(outcome);
}

// The texts of the answer name the product as the question did.
std::string CheckText(const char* key) { return ReplaceAll(AgentText(key), "PROG_NAME", OriginalProgramName()); }

// A check the user asked for that found nothing to do says why.
void ReportCheckResult(const std::string& infoError, int code, const std::string& decisionText) {
  const bool testMode = Agent().TestMode;
  std::string netError;
  const bool connected = testMode || InternetConnected(netError);
  Trace("%lu TestMode=%s InternetConnected=%s", ::GetCurrentProcessId(), BoolText(testMode),
        BoolText(testMode ? false : connected));
  if (!connected) {
    std::string text = CheckText("s2");
    if (!netError.empty()) text += "<P><P>" + netError;
    MsgBoxError(0, text, MsgBoxErrorTitle(), MsgBoxCharSet(), MsgBoxButtons());
  } else if (!testMode && !infoError.empty()) {
    MsgBoxError(0, infoError, MsgBoxErrorTitle(), MsgBoxCharSet(), MsgBoxButtons());
  } else {
    std::string text = CheckText("s21");
    if (IsDeveloperMode()) text += "<P><P>(" + std::to_string(code) + " - " + decisionText + ")   ";
    MsgBoxAttention(1, text, MsgBoxAttentionTitle(), 0, MsgBoxCharSet(), MsgBoxButtons());
  }
}

}  // namespace

void PerformShot() {
  Trace("%lu Fire  %s", ::GetCurrentProcessId(), DateTimeText(" ", kDateNow).c_str());
  CheckTestMode(true);
  bool done = false;
  Agent().AgentStatus = 1;
  std::string infoError;
  Failure infoFailure;
  const bool infoOk = FetchInfo(infoError, &infoFailure);
  SetProbeSecondsLast(NowSeconds());
  int code = 0;
  std::string text, reason;
  std::string result;
  if (GetOkToPerformAU(infoOk, code, text, infoFailure.reason, &reason)) {
    done = true;
    Failure actionFailure;
    result = " - " + ActOnAnnouncement(actionFailure);
    reason = actionFailure.reason;
  }
  result = std::to_string(code) + " - " + text + result;
  SetProbeResult(result, reason);
  // The probe's last line: what it came to, the update or inform included.
  WriteLog("ProbeResult=" + result + (reason.empty() ? "" : "  ProbeReason=" + reason));
  if (IsOnDemandCheck()) {
    DelayPump(0, 1000);
    if (HWND window = MainWindow()) ::ShowWindow(window, SW_HIDE);
    // A refused announcement has had its error box already.
    if (!done && !AnnouncementRefused()) ReportCheckResult(infoError, code, text);
  }
}

bool DownloadInfoOnly() {
  std::string error;
  return FetchInfo(error);
}

}  // namespace tarnix
