#include "autoupdate/UpdateDecision.h"

#include "Utils/SUB.h"
#include "Utils/StrUtils.h"
#include "autoupdate/ProbePacing.h"
#include "autoupdate/SettingsValues.h"
#include "net/DownloadRules.h"

namespace tarnix {

std::string DecisionText(int status) { return SUB::Item(kDecisionTexts, status); }

bool ReAskDue(int64_t now, int64_t reAskSecondsLast, int64_t reAskSecondsInterval) {
  return reAskSecondsInterval > 0 && now > AddSaturated64(reAskSecondsLast, reAskSecondsInterval);
}

bool ValidVersionOk(std::string_view validVersions, int32_t versionOriginal) {
  if (validVersions.empty()) return true;
  const std::string list = "," + std::string(validVersions) + ",";
  return list.find("," + std::to_string(versionOriginal) + ",") != std::string::npos;
}

bool UpdateLocationAllowed(std::string_view location, bool infoOverHttp) {
  return !infoOverHttp || IsHttpUrl(location);
}

SizeCheck CheckUpdateSize(const DecisionSettings& settings, const DecisionState& state, std::string_view location,
                          std::string_view updateName, std::string_view informName, FileSizeSource& sizes) {
  SizeCheck check;
  check.expected = settings.autoInform ? settings.sizeOfInformFile : settings.sizeOfUpdateFile;
  const std::string name = FileNamePart(settings.autoInform ? informName : updateName, state.isLead);
  const std::string where = state.testMode ? state.testModeURL : std::string(location);
  check.path = where + "\\" + name;
  int64_t localSize = 0;
  if (sizes.LocalFileSize(check.path, localSize)) {
    // Counted in 32 bits, like the announced size and the server's.
    check.actual = LowInt32(localSize);
  } else if (!state.testMode && sizes.InternetConnected()) {
    check.path = where + "/" + name;
    check.actual = sizes.HttpFileSize(check.path);
  }
  const int64_t difference = check.actual - check.expected;
  check.matches = difference >= -kSizeTolerance && difference <= kSizeTolerance;
  return check;
}

std::vector<std::string> SizeMismatchLines(const SizeCheck& check) {
  return {"  InfoSize=" + std::to_string(check.expected), "  HttpSize=" + std::to_string(check.actual),
          "  URL=" + check.path};
}

std::string DecisionReason(const UpdateDecision& decision, std::string_view infoFailure) {
  if (decision.status == 0) return std::string(infoFailure);
  if (decision.locationRefused) return "the announcement came from a web server and names no web address";
  if (decision.rolloutHeld)
    return "rollout bucket " + std::to_string(decision.rolloutBucket) + " is not below RolloutPercent " +
           std::to_string(decision.rolloutPercent);
  if (!decision.size || decision.size->matches) return {};
  const SizeCheck& size = *decision.size;
  if (size.actual < 0) return "the size of " + size.path + " could not be learnt";
  return size.path + " has " + std::to_string(size.actual) + " bytes, announced are " + std::to_string(size.expected);
}

std::string DecisionLogLine(int status, std::string_view text, std::string_view reason) {
  std::string line = "GetOkToPerformAU = ";
  line += std::to_string(status);
  line += " - ";
  line += text;
  if (!reason.empty()) {
    line += ": ";
    line += reason;
  }
  return line;
}

UpdateDecision DecideUpdate(bool infoDownloaded, const DecisionSettings& settings, const DecisionState& state,
                            FileSizeSource& sizes) {
  UpdateDecision decision;
  int& status = decision.status;
  if (infoDownloaded) status = 1;
  if (status == 1 && settings.versionOriginal > 0) status = 2;
  // A new announcement counts at once; the same one again only when
  // re-asking is due or the user asked for the check.
  if (status == 2 && (settings.newStamp != settings.originalStamp ||
                      ReAskDue(state.now, settings.reAskSecondsLast, settings.reAskSecondsInterval) ||
                      state.onDemand)) {
    status = 3;
  }
  if (status == 3 && settings.versionNew > settings.versionOriginal) status = 4;
  if (status == 4 && ValidVersionOk(settings.validVersions, settings.versionOriginal)) {
    // Before the size check: an installation the rollout has not reached
    // yet asks the server nothing more.
    if (state.onDemand || state.testMode || InRollout(settings.rolloutBucket, settings.rolloutPercent))
      status = 5;
    else
      decision.rolloutHeld = true;
    decision.rolloutBucket = settings.rolloutBucket;
    decision.rolloutPercent = settings.rolloutPercent;
  }
  // In test mode every file comes from the test location.
  if (status == 5 && !state.testMode && !UpdateLocationAllowed(settings.downloadUrlUpdate, state.infoOverHttp)) {
    decision.locationRefused = true;
  } else if (status == 5) {
    decision.size = CheckUpdateSize(settings, state, settings.downloadUrlUpdate, settings.nameOfUpdateFile,
                                    settings.nameOfInformFile, sizes);
    if (decision.size->matches) status = kUpdateOk;
  }
  decision.text = decision.rolloutHeld ? std::string(kRolloutHeldText) : DecisionText(status);
  return decision;
}

}  // namespace tarnix
