#include "autoupdate/SettingsFiles.h"

#include "Utils/DateUtils.h"
#include "Utils/FileUtils.h"
#include "Utils/IniFile.h"
#include "Utils/RandomSeed.h"
#include "Utils/StrUtils.h"
#include "autoupdate/AgentTexts.h"
#include "autoupdate/AnnouncementFreshness.h"
#include "autoupdate/ProbePacing.h"
#include "autoupdate/SettingsValues.h"
#include "autoupdate/TransientOverrides.h"
#include "package/VendorSignature.h"
#include "startup/AgentFolders.h"
#include "startup/StubState.h"

namespace tarnix {

namespace {

constexpr char kOriginalSetup[] = "OriginalSetup";
constexpr char kDirectories[] = "Directories";
constexpr char kUnInstall[] = "UnInstall";
constexpr char kMsgBox[] = "MsgBox";
constexpr char kAutoUpdate[] = "AutoUpdate";
constexpr char kNewSetup[] = "NewSetup";
constexpr char kGeneral[] = "General";
constexpr char kAutoInform[] = "AutoInform";

constexpr int32_t kInformBoxSide = 360;

std::string OriginalText(const char* section, const char* key, std::string_view def = {}) {
  return ReadIniString(OriginalFilePath(), section, key, def);
}
int64_t OriginalInt(const char* key) { return ReadIniInt(OriginalFilePath(), kOriginalSetup, key, 0); }

// Where the agent records its times, intervals and the stamp it acted on:
// the .original file itself, or its namesake in the per-user work folder.
std::string StateFilePath() { return AgentWorkDir() + StubPackage().OriginalFileName(); }

// A value the agent records: the one recorded per user, else the installed
// one (the vendor's setting, or what the agent recorded before it had to
// work per user).
int64_t StateInt(const char* key) {
  if (AgentWorksPerUser() && !ReadIniString(StateFilePath(), kOriginalSetup, key, "").empty())
    return ReadIniInt(StateFilePath(), kOriginalSetup, key, 0);
  return OriginalInt(key);
}

std::string InfoText(const char* section, const char* key) { return ReadIniString(InfoFilePath(), section, key, ""); }
int64_t InfoInt(const char* section, const char* key, int64_t def = 0) {
  return ReadIniInt(InfoFilePath(), section, key, def);
}
bool InfoSwitch(const char* key) { return IsSwitchOn(ReadIniString(InfoFilePath(), kNewSetup, key, "0")); }

bool OverridableSwitch(int slot, const char* key) {
  return EffectiveSwitch(slot, [key] { return ReadIniString(InfoFilePath(), kNewSetup, key, "0"); });
}

bool SetStateInt(const char* key, int64_t value) { return WriteIniInt(StateFilePath(), kOriginalSetup, key, value); }

// The time in seconds, then the same moment readable under the companion key.
bool SetStateTime(const char* key, int64_t time) {
  const std::string file = StateFilePath();
  const bool written = WriteIniInt(file, kOriginalSetup, key, time);
  return WriteIniString(file, kOriginalSetup, CompanionKey(key), SecondsText(time)) && written;
}

// A text the agent records, found as StateInt finds a value, except that
// a key present per user counts also when empty (a validator cleared).
std::string StateText(const char* key) {
  std::string text;
  if (AgentWorksPerUser() && ReadIniKey(StateFilePath(), kOriginalSetup, key, text)) return text;
  return OriginalText(kOriginalSetup, key);
}

// The profile functions take quotes around a value away: an ETag keeps its
// own in angle brackets.
std::string Bracketed(std::string_view value) { return value.empty() ? std::string() : "<" + std::string(value) + ">"; }
std::string Unbracketed(const std::string& value) {
  if (value.size() >= 2 && value.front() == '<' && value.back() == '>') return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

int64_t ProbeSecondsNext() { return StateInt("ProbeSecondsNext"); }
bool SetProbeSecondsNext(int64_t time) {
  if (time == 0) {
    const std::string file = StateFilePath();
    const bool written = WriteIniInt(file, kOriginalSetup, "ProbeSecondsNext", 0);
    return WriteIniString(file, kOriginalSetup, CompanionKey("ProbeSecondsNext"), "") && written;
  }
  return SetStateTime("ProbeSecondsNext", time);
}
int32_t ProbeFailures() { return LowInt32(StateInt("ProbeFailures")); }
bool SetProbeFailures(int32_t failures) { return SetStateInt("ProbeFailures", failures); }

std::string KeptInfoSource() { return StateText("InfoSource"); }
std::string KeptInfoETag() { return Unbracketed(StateText("InfoETag")); }
std::string KeptInfoLastModified() { return StateText("InfoLastModified"); }
bool SetKeptInfoValidators(std::string_view source, std::string_view etag, std::string_view lastModified) {
  const std::string file = StateFilePath();
  bool written = WriteIniString(file, kOriginalSetup, "InfoSource", source);
  written = WriteIniString(file, kOriginalSetup, "InfoETag", Bracketed(etag)) && written;
  return WriteIniString(file, kOriginalSetup, "InfoLastModified", lastModified) && written;
}

int32_t RolloutBucket() {
  const std::string kept = Trim(StateText("RolloutBucket"));
  if (ValidRolloutBucket(kept)) return LowInt32(StrToInt64Def(kept, 0));
  const int32_t bucket = RolloutBucketOf(RandomSeed());
  SetStateInt("RolloutBucket", bucket);
  return bucket;
}

std::string Channel() { return Trim(StateText("Channel")); }
bool SetChannel(std::string_view channel) {
  return WriteIniString(StateFilePath(), kOriginalSetup, "Channel", channel);
}

int32_t RolloutPercent() { return RolloutPercentOf(InfoText(kNewSetup, "RolloutPercent")); }

std::string OriginalFilePath() { return AgentHomeDir() + StubPackage().OriginalFileName(); }
std::string InfoFilePath() { return AgentWorkDir() + StubPackage().InfoFileName(); }

int64_t ProbeSecondsInterval() { return StateInt("ProbeSecondsInterval"); }
int64_t ProbeSecondsLast() { return StateInt("ProbeSecondsLast"); }
int64_t ReAskSecondsInterval() { return StateInt("ReAskSecondsInterval"); }
int64_t ReAskSecondsLast() { return StateInt("ReAskSecondsLast"); }
// Whoever installed the version wrote it here: nothing kept per user masks it.
int32_t VersionOriginal() { return LowInt32(OriginalInt("VersionOriginal")); }
int32_t OriginalStamp() { return LowInt32(StateInt("Stamp")); }
std::string OriginalProgramName() { return OriginalText(kOriginalSetup, "ProgramName"); }

std::string TargetDir() { return OriginalText(kDirectories, "TargetDir"); }
std::string SharedDir() { return OriginalText(kDirectories, "SharedDir"); }
std::string AuxiliaryDir() { return OriginalText(kDirectories, "AuxiliaryDir"); }
std::string StartUpLink() { return OriginalText(kUnInstall, "StartUpLink"); }
std::string CheckforNewUpdateLink() { return OriginalText(kUnInstall, "CheckforNewUpdateLink"); }

std::string MsgBoxButtons() { return OriginalText(kMsgBox, "BtnText", "|&OK|&Cancel|&Yes|&No|&Abort|&Retry|&Ignore|"); }
std::string MsgBoxErrorTitle() { return OriginalText(kMsgBox, "Error", "Error"); }
std::string MsgBoxConfirmTitle() { return OriginalText(kMsgBox, "Confirm", "Confirm"); }
std::string MsgBoxAttentionTitle() { return OriginalText(kMsgBox, "Attention", "Attention"); }
int32_t MsgBoxCharSet() { return LowInt32(ReadIniInt(OriginalFilePath(), kMsgBox, "CharSet", 0)); }
std::string MsgBoxFontName() { return OriginalText(kMsgBox, "FontName", "Tahoma"); }
int32_t MsgBoxFontSize() { return LowInt32(ReadIniInt(OriginalFilePath(), kMsgBox, "FontSize", 8)); }

std::string AgentText(std::string_view key) {
  std::string text;
  if (!ReadIniKey(OriginalFilePath(), kAutoUpdate, key, text)) text = AgentTextDefault(key);
  return text;
}

std::string DownloadURL_UPDATE() { return InfoText(kNewSetup, "DownloadURL_UPDATE"); }
std::string NameOfUpdateFile() { return InfoText(kNewSetup, "NameOfUpdateFile"); }
int32_t SizeOfUpdateFile() { return LowInt32(InfoInt(kNewSetup, "SizeOfUpdateFile")); }
std::string UpdateFileSha256() { return InfoText(kNewSetup, kUpdateHashKey); }
std::string ShutDownMethod() { return InfoText(kNewSetup, "ShutDownMethod"); }
std::string RunningProcess() { return InfoText(kNewSetup, "RunningProcess"); }
std::string NewProgramName() { return InfoText(kNewSetup, "ProgramName"); }
int32_t VersionNew() { return LowInt32(InfoInt(kNewSetup, "VersionNew")); }
int32_t NewStamp() { return LowInt32(InfoInt(kNewSetup, "Stamp")); }
std::string ValidVersions() { return InfoText(kNewSetup, "ValidVersions"); }
bool RemoveStartUpShortcut() { return InfoSwitch("RemoveStartUpShortcut"); }
bool RemoveCheckForNewUpdateShortcut() { return InfoSwitch("RemoveCheckForNewUpdateShortcut"); }

bool AutoInform() { return InfoInt(kGeneral, "AutoInform") == 1; }
std::string DownloadURL_INFORM() { return InfoText(kAutoInform, "DownloadURL_INFORM"); }
std::string NameOfInformFile() { return InfoText(kAutoInform, "NameOfInformFile"); }
int32_t SizeOfInformFile() { return LowInt32(InfoInt(kAutoInform, "SizeOfInformFile")); }
std::string InformFileSha256() { return InfoText(kAutoInform, kInformHashKey); }
int32_t AutoInformW() { return LowInt32(InfoInt(kAutoInform, "AutoInformW", kInformBoxSide)); }
int32_t AutoInformH() { return LowInt32(InfoInt(kAutoInform, "AutoInformH", kInformBoxSide)); }

bool RequestConfirmationBeforeDownload() {
  return OverridableSwitch(kSlotConfirmDownload, "RequestConfirmationBeforeDownload");
}
bool RequestConfirmationBeforeDownloadForce() {
  return OverridableSwitch(kSlotConfirmDownloadForce, "RequestConfirmationBeforeDownloadForce");
}
bool RequestConfirmationBeforeInstall() {
  return OverridableSwitch(kSlotConfirmInstall, "RequestConfirmationBeforeInstall");
}
bool RequestConfirmationBeforeInstallForce() {
  return OverridableSwitch(kSlotConfirmInstallForce, "RequestConfirmationBeforeInstallForce");
}
bool BackgroundUpdate() { return OverridableSwitch(kSlotBackgroundUpdate, "BackgroundUpdate"); }
bool InformFinish() { return OverridableSwitch(kSlotInformFinish, "InformFinish"); }
bool RestartProcess() { return OverridableSwitch(kSlotRestartProcess, "RestartProcess"); }

bool SetProbeSecondsInterval(int64_t seconds) { return SetStateInt("ProbeSecondsInterval", seconds); }
bool SetReAskSecondsInterval(int64_t seconds) { return SetStateInt("ReAskSecondsInterval", seconds); }
bool SetProbeSecondsLast(int64_t time) { return SetStateTime("ProbeSecondsLast", time); }
bool SetReAskSecondsLast(int64_t time) { return SetStateTime("ReAskSecondsLast", time); }
// An agent that cannot write its home leaves the version to the setup that
// installed it, which may write there.
bool SetVersionOriginal(int32_t version) {
  return WriteIniInt(OriginalFilePath(), kOriginalSetup, "VersionOriginal", version);
}
bool SetOriginalStamp(int32_t stamp) { return SetStateInt("Stamp", stamp); }
bool SetProbeResult(std::string_view result, std::string_view reason) {
  const std::string file = StateFilePath();
  const bool written = WriteIniString(file, kOriginalSetup, kProbeResultKey, result);
  return WriteIniString(file, kOriginalSetup, kProbeReasonKey, reason) && written;
}

int64_t AnnouncementSerial() { return StateInt(kSerialStateKey); }
std::string AnnouncementSerialKey() { return StateText(kSerialKeyStateKey); }
bool SetAnnouncementSerial(int64_t serial, std::string_view keyHex) {
  const bool written = SetStateInt(kSerialStateKey, serial);
  return WriteIniString(StateFilePath(), kOriginalSetup, kSerialKeyStateKey, keyHex) && written;
}
std::string StaleAnnouncement() { return StateText(kStaleStateKey); }
bool SetStaleAnnouncement(std::string_view id) {
  return WriteIniString(StateFilePath(), kOriginalSetup, kStaleStateKey, id);
}

}  // namespace tarnix
