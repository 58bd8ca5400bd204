#include <windows.h>

#include "Utils/DateUtils.h"
#include "Utils/FileUtils.h"
#include "Utils/InFile.h"
#include "Utils/StrUtils.h"
#include "Utils/StubLog.h"
#include "Utils/Trace.h"
#include "autoupdate/AgentState.h"
#include "autoupdate/SettingsFiles.h"
#include "autoupdate/UpdateDecision.h"
#include "net/HttpDownload.h"

namespace tarnix {

namespace {

class SystemFileSizes : public FileSizeSource {
 public:
  bool LocalFileSize(const std::string& path, int64_t& size) override {
    if (!FileExists(path)) return false;
    size = GetFileSizeByName(path);
    return true;
  }
  bool InternetConnected() override { return tarnix::InternetConnected(); }
  int32_t HttpFileSize(const std::string& url) override { return HTTP_GetFileSize(url); }
};

bool IsLead(unsigned char c) { return IsLeadByte(c); }

// What the size check reads.
DecisionSettings ReadSizeSettings() {
  DecisionSettings s;
  s.autoInform = AutoInform();
  s.sizeOfUpdateFile = SizeOfUpdateFile();
  s.sizeOfInformFile = SizeOfInformFile();
  return s;
}

DecisionSettings ReadDecisionSettings() {
  DecisionSettings s = ReadSizeSettings();
  s.versionOriginal = VersionOriginal();
  s.originalStamp = OriginalStamp();
  s.reAskSecondsLast = ReAskSecondsLast();
  s.reAskSecondsInterval = ReAskSecondsInterval();
  s.versionNew = VersionNew();
  s.newStamp = NewStamp();
  s.validVersions = ValidVersions();
  s.downloadUrlUpdate = DownloadURL_UPDATE();
  s.nameOfUpdateFile = NameOfUpdateFile();
  s.nameOfInformFile = NameOfInformFile();
  s.rolloutPercent = RolloutPercent();
  // Drawn on the first reading: an agent that never meets a rollout keeps
  // none.
  if (s.rolloutPercent < 100) s.rolloutBucket = RolloutBucket();
  return s;
}

DecisionState CurrentState() {
  DecisionState s;
  s.now = NowSeconds();
  s.onDemand = IsOnDemandCheck();
  s.testMode = Agent().TestMode;
  s.testModeURL = Agent().TestModeURL;
  s.infoOverHttp = Agent().InfoOverHttp;
  s.isLead = IsLead;
  return s;
}

void LogSizeCheck(const SizeCheck& check) {
  if (check.matches) return;
  for (const std::string& line : SizeMismatchLines(check)) WriteLog(line);
}

}  // namespace

bool GetOkToPerformAU(bool infoDownloaded, int& status, std::string& text, std::string_view infoFailure,
                      std::string* reason) {
  SystemFileSizes sizes;
  const UpdateDecision decision = DecideUpdate(infoDownloaded, ReadDecisionSettings(), CurrentState(), sizes);
  if (decision.size) LogSizeCheck(*decision.size);
  if (decision.locationRefused)
    WriteLog("ERROR: DownloadURL_UPDATE refused: " + DownloadURL_UPDATE() +
             " is no http:// or https:// address, and the announcement came from a web server");
  status = decision.status;
  text = decision.text;
  const std::string why = DecisionReason(decision, infoFailure);
  if (reason) *reason = why;
  Trace("%lu GetOkToPerformAU=%d", ::GetCurrentProcessId(), status);
  WriteLog(DecisionLogLine(status, text, why));
  return decision.Ok();
}

bool ReAskDue() { return ReAskDue(NowSeconds(), ReAskSecondsLast(), ReAskSecondsInterval()); }

bool ValidVersionOk() { return ValidVersionOk(ValidVersions(), VersionOriginal()); }

bool UpdateSizeMatches(std::string_view location, std::string_view updateName, std::string_view informName) {
  SystemFileSizes sizes;
  const SizeCheck check =
      CheckUpdateSize(ReadSizeSettings(), CurrentState(), location, updateName, informName, sizes);
  LogSizeCheck(check);
  return check.matches;
}

}  // namespace tarnix
