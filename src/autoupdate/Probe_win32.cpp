#include "autoupdate/Probe.h"

#include <windows.h>

#include <cstdint>
#include <string>

#include "Utils/DateUtils.h"
#include "Utils/FileUtils.h"
#include "Utils/PathUtils.h"
#include "Utils/RandomSeed.h"
#include "Utils/MessagePump.h"
#include "Utils/StrUtils.h"
#include "Utils/StubLog.h"
#include "Utils/SysInfo.h"
#include "Utils/Trace.h"
#include "Utils/WindowUtils.h"
#include "autoupdate/AgentRestart.h"
#include "autoupdate/AgentState.h"
#include "autoupdate/AutoInform.h"
#include "autoupdate/ProbePacing.h"
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

// The announcement copy beside the agent and the validators it came with,
// as they were before this probe.
struct KeptInfo {
  std::string data;
  std::string source;
  std::string etag;
  std::string lastModified;
};

KeptInfo ReadKeptInfo() {
  KeptInfo kept;
  ReadFilePart(InfoFilePath(), kMaxMemoryDownload, kept.data);
  if (kept.data.empty()) return kept;
  kept.source = KeptInfoSource();
  kept.etag = KeptInfoETag();
  kept.lastModified = KeptInfoLastModified();
  return kept;
}

// One request for `remote` at the update location: conditional when the
// kept copy came from that same file with validators.
bool FetchInfoFile(const std::string& remote, const KeptInfo& kept, InfoProbe& probe, std::string& error,
                   Failure& why) {
  probe = InfoProbe();
  probe.remoteName = remote;
  if (!kept.data.empty() && SameText(kept.source, remote))
    probe.http.requestHeaders = ConditionalHeaders(kept.etag, kept.lastModified);
  error.clear();
  return DownloadFileAU(StubPackage().UpdateLocation(), InfoFilePath(), kDownloadInfo, error, &why, &probe);
}

// Fetches the announcement: the channel's file when the product follows a
// channel, the plain one when the channel has none there. `probe` tells
// what the server answered.
bool FetchInfo(std::string& error, Failure* why = nullptr, InfoProbe* answered = nullptr) {
  PostNotify(kNotifyInfoDownload, 1);
  const std::string plain = FileNamePart(InfoFilePath(), IsLeadByte);
  const std::string channel = Channel();
  const KeptInfo kept = ReadKeptInfo();
  InfoProbe probe;
  Failure failure;
  std::string source = plain;
  bool ok = false;
  if (ValidChannelName(channel)) {
    source = ChannelInfoName(plain, channel);
    ok = FetchInfoFile(source, kept, probe, error, failure);
    if (!ok && probe.missing) {
      WriteLog("Channel " + channel + ": " + source + " is missing, the plain " + plain + " is fetched");
      // The failed attempt emptied the copy; a 304 for the plain file
      // stands for the copy as it was.
      WriteFileText(InfoFilePath(), kept.data);
      source = plain;
      ok = FetchInfoFile(plain, kept, probe, error, failure);
    }
  } else {
    if (!channel.empty()) WriteLog("Channel \"" + channel + "\" is no channel name; the plain announcement is fetched");
    ok = FetchInfoFile(plain, kept, probe, error, failure);
  }
  // The validators belong to the copy: kept with it, gone with it.
  if (!ok)
    SetKeptInfoValidators("", "", "");
  else if (!probe.http.notModified)
    SetKeptInfoValidators(source, probe.http.etag, probe.http.lastModified);
  PostNotify(kNotifyInfoDownload, 2);
  if (why) *why = failure;
  if (answered) *answered = probe;
  return ok;
}

// Seconds since 1970 UTC by the machine's clock.
int64_t UnixNow() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  const uint64_t ticks = uint64_t{now.dwHighDateTime} << 32 | now.dwLowDateTime;
  return static_cast<int64_t>(ticks / 10000000 - 11644473600ULL);
}

// Plans the next scheduled probe after one at `now` (ProbePacing.h): the
// interval and its spread after a success, the server's Retry-After or the
// back-off after a failure; logged with the time chosen. Test mode goes by
// its own interval.
void ScheduleNextProbe(int64_t now, bool infoOk, const InfoProbe& probe, const Failure& failure) {
  if (Agent().TestMode) return;
  ProbeOutcome outcome;
  outcome.interval = ProbeSecondsInterval();
  outcome.failed = !infoOk;
  outcome.httpStatus = probe.http.status ? probe.http.status : failure.httpStatus;
  const std::optional<int64_t> serverDate = ParseHttpDate(probe.http.date);
  outcome.retryAfter = RetryAfterSeconds(probe.http.retryAfter, serverDate ? *serverDate : UnixNow());
  outcome.failuresBefore = ProbeFailures();
  outcome.random = RandomSeed();
  const ProbePlan plan = tarnix::PlanNextProbe(outcome);
  SetProbeFailures(plan.failures);
  if (outcome.interval <= 0) {
    SetProbeSecondsNext(0);
    return;
  }
  const int64_t next = AddSaturated64(now, plan.delay);
  SetProbeSecondsNext(next);
  std::string line = "NextProbe=" + SecondsText(next) + " (" + plan.why + ": " + std::to_string(plan.delay) + " s";
  if (plan.spread > 0) line += ", " + std::to_string(plan.spread) + " s of it spread";
  if (plan.failures > 0) line += ", failed probes in a row: " + std::to_string(plan.failures);
  if (!probe.http.retryAfter.empty()) line += ", Retry-After: " + probe.http.retryAfter;
  WriteLog(line + ")");
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
  InfoProbe answered;
  const bool infoOk = FetchInfo(infoError, &infoFailure, &answered);
  const int64_t probeTime = NowSeconds();
  SetProbeSecondsLast(probeTime);
  ScheduleNextProbe(probeTime, infoOk, answered, infoFailure);
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
