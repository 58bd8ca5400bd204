// Whether a freshly fetched announcement is to be acted on: a fixed chain of
// tests whose result is the number of tests passed in a row (0 to 6) with
// the text that names the first one that failed. The chain takes what it
// reads (the settings files, the clock, test mode, the size of the file on
// the server) through the values and the size source below, so it runs the
// same in the agent and in tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Utils/PathUtils.h"

namespace tarnix {

inline constexpr int kUpdateOk = 6;

// The text of a chain held at status 4 by a staged rollout.
inline constexpr std::string_view kRolloutHeldText = "Not yet offered by the staged rollout";

// Item k is the text of status k.
inline constexpr std::string_view kDecisionTexts =
    "|Error downloading .INFO file|Error reading .ORIGINAL file|Too early for retesting|"
    "New version is not higher then old version|\"Valid for version\" mismatch|Download file size error|OK|";

std::string DecisionText(int status);

// What the decision reads from the two settings files.
struct DecisionSettings {
  // The .original file.
  int32_t versionOriginal = 0;
  int32_t originalStamp = 0;
  int64_t reAskSecondsLast = 0;
  int64_t reAskSecondsInterval = 0;
  // The .info file.
  int32_t versionNew = 0;
  int32_t newStamp = 0;
  std::string validVersions;
  std::string downloadUrlUpdate;
  std::string nameOfUpdateFile;
  std::string nameOfInformFile;
  bool autoInform = false;
  int32_t sizeOfUpdateFile = 0;
  int32_t sizeOfInformFile = 0;
  // Staged rollout (ProbePacing.h): [NewSetup] RolloutPercent of the .info
  // file, and the installation's bucket kept with the agent's state.
  int32_t rolloutPercent = 100;
  int32_t rolloutBucket = 0;
};

// The agent's side of the decision.
struct DecisionState {
  int64_t now = 0;  // agent time
  bool onDemand = false;
  bool testMode = false;
  std::string testModeURL;
  // The announcement came from a web server.
  bool infoOverHttp = false;
  LeadBytePredicate isLead = NoLeadBytes;
};

// Where the size of the announced file is learnt.
class FileSizeSource {
 public:
  virtual ~FileSizeSource() = default;
  // False when no file of that name exists.
  virtual bool LocalFileSize(const std::string& path, int64_t& size) = 0;
  virtual bool InternetConnected() = 0;
  // The server's Content-Length, -1 when it gives none.
  virtual int32_t HttpFileSize(const std::string& url) = 0;
};

// Due when `now` lies beyond the last time plus the interval, and the
// interval is above 0. A sum beyond the 64-bit range stays at its limit.
bool ReAskDue(int64_t now, int64_t reAskSecondsLast, int64_t reAskSecondsInterval);

// True for an empty list; else the version must be one of the
// comma-separated entries exactly (blanks are not removed: "4, 5" does not
// hold 5).
bool ValidVersionOk(std::string_view validVersions, int32_t versionOriginal);

// Whether an announcement may send the agent to `location` for its files.
// One that came from a web server may name web addresses only (http://,
// https://): a folder or a network share (\\host\share, whose server
// learns the user's network credentials from the mere attempt) it may
// name only when it came from a folder itself.
bool UpdateLocationAllowed(std::string_view location, bool infoOverHttp);

struct SizeCheck {
  bool matches = false;
  int64_t expected = 0;
  // -1 when the size could not be learnt.
  int64_t actual = -1;
  // Where it was looked for last: the file path or the url.
  std::string path;
};

// The announced file (the inform file in inform mode) is looked for at
// `location` as a folder first, then, outside test mode and when connected,
// asked of the web server; its size must be within 99 bytes of the
// announced one. In test mode the location is the test location.
SizeCheck CheckUpdateSize(const DecisionSettings& settings, const DecisionState& state, std::string_view location,
                          std::string_view updateName, std::string_view informName, FileSizeSource& sizes);

// The stub-log lines of a size check that failed.
std::vector<std::string> SizeMismatchLines(const SizeCheck& check);

struct UpdateDecision {
  int status = 0;
  std::string text;
  // The chain stopped at the size check because the announcement names a
  // location it may not (UpdateLocationAllowed); nothing was asked there.
  bool locationRefused = false;
  // The chain stopped at the version tests because the installation's
  // bucket is not below the announcement's RolloutPercent: a staged
  // rollout has not reached it yet. A check the user asked for, and test
  // mode, ignore the rollout.
  bool rolloutHeld = false;
  int32_t rolloutBucket = 0;
  int32_t rolloutPercent = 100;
  // The size check when the chain came to it.
  std::optional<SizeCheck> size;

  bool Ok() const { return status == kUpdateOk; }
};

UpdateDecision DecideUpdate(bool infoDownloaded, const DecisionSettings& settings, const DecisionState& state,
                            FileSizeSource& sizes);

// Why the chain stopped where it did, in a few words, when its text does not
// say it all: `infoFailure` (why the announcement did not arrive) at status
// 0, what the size check found or the refused location at status 5; empty
// otherwise.
std::string DecisionReason(const UpdateDecision& decision, std::string_view infoFailure);

// The decision's log line: "GetOkToPerformAU = " + status + " - " + text,
// then ": " + reason when there is one.
std::string DecisionLogLine(int status, std::string_view text, std::string_view reason);

#ifdef _WIN32
// Windows only. The same for the running agent: its settings files and
// state, the file system and the web server. `infoFailure` is why the
// announcement did not arrive. The stub log gets the lines of a failed size
// check and DecisionLogLine, the debug channel the process id and
// " GetOkToPerformAU=" + status; `reason` (may be null) receives
// DecisionReason. True for status 6.
bool GetOkToPerformAU(bool infoDownloaded, int& status, std::string& text, std::string_view infoFailure = {},
                      std::string* reason = nullptr);
bool ReAskDue();
bool ValidVersionOk();
bool UpdateSizeMatches(std::string_view location, std::string_view updateName, std::string_view informName);
#endif

}  // namespace tarnix
