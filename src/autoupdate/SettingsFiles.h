// Windows only. The agent's two settings files, named from the package's
// settings block: the .original file that the product installs beside the
// agent (versions, probe times, texts, the look of the message boxes) and
// the .info file fetched from the update location into the agent's work
// folder (where the new setup lies and how to install it). An agent that
// works per user (startup/AgentFolders.h) records its times, intervals and
// stamp in a namesake of the .original file there; the version is only
// ever read from the installed file. Every accessor opens the file anew; a
// missing file or key reads as the default, and a write that cannot be
// made changes nothing and is not reported.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnix {

// The installed product's settings: versions, intervals, texts.
std::string OriginalFilePath();
// The announcement of a newer setup, fetched from the update location.
std::string InfoFilePath();

// [OriginalSetup] of the .original file. Times are agent times (NowSeconds).
// Seconds between automatic probes: 0 once per agent start, -1 never.
int64_t ProbeSecondsInterval();
int64_t ProbeSecondsLast();
// Seconds after which an announcement already acted on is offered again;
// 0 or less: never.
int64_t ReAskSecondsInterval();
int64_t ReAskSecondsLast();
int32_t VersionOriginal();
// The Stamp of the last announcement acted on.
int32_t OriginalStamp();
std::string OriginalProgramName();

// [Directories] and [UnInstall] of the .original file.
std::string TargetDir();
std::string SharedDir();
std::string AuxiliaryDir();
std::string StartUpLink();
std::string CheckforNewUpdateLink();

// [MsgBox] of the .original file: the look of every agent message box.
std::string MsgBoxButtons();
std::string MsgBoxErrorTitle();
std::string MsgBoxConfirmTitle();
std::string MsgBoxAttentionTitle();
int32_t MsgBoxCharSet();
std::string MsgBoxFontName();
int32_t MsgBoxFontSize();

// [AutoUpdate] of the .original file: the agent's text of `key`, its
// built-in English text (AgentTexts.h) when the file lacks the key. A key
// written with an empty value shows nothing.
std::string AgentText(std::string_view key);

// [NewSetup] of the .info file.
std::string DownloadURL_UPDATE();
std::string NameOfUpdateFile();
int32_t SizeOfUpdateFile();
// The SHA-256 of the update file as hex digits, in a signed announcement.
std::string UpdateFileSha256();
std::string ShutDownMethod();
std::string RunningProcess();
std::string NewProgramName();
int32_t VersionNew();
int32_t NewStamp();
std::string ValidVersions();
bool RemoveStartUpShortcut();
bool RemoveCheckForNewUpdateShortcut();

// [General] AutoInform = 1: only tell the user about the new version.
bool AutoInform();
// [AutoInform] of the .info file.
std::string DownloadURL_INFORM();
std::string NameOfInformFile();
int32_t SizeOfInformFile();
std::string InformFileSha256();
int32_t AutoInformW();
int32_t AutoInformH();

// The announcement's switches as they hold now: the transient override when
// its slot holds one, else the .info file's key. AskBeforeCheck, which has
// a slot but no key, is in TransientOverrides.h.
bool RequestConfirmationBeforeDownload();
bool RequestConfirmationBeforeDownloadForce();
bool RequestConfirmationBeforeInstall();
bool RequestConfirmationBeforeInstallForce();
bool BackgroundUpdate();
bool InformFinish();
bool RestartProcess();

// A fleet on a static server (ProbePacing.h), all recorded with the agent's
// state (per user for an agent that works per user):
// - the next scheduled probe as the last one planned it (0: none), and the
//   failed probes in a row;
int64_t ProbeSecondsNext();
bool SetProbeSecondsNext(int64_t time);
int32_t ProbeFailures();
bool SetProbeFailures(int32_t failures);
// - the ETag and Last-Modified of the announcement copy beside the agent,
//   and the file name at the location they belong to (a channel's or the
//   plain one); all three empty when the copy came without them;
std::string KeptInfoSource();
std::string KeptInfoETag();
std::string KeptInfoLastModified();
bool SetKeptInfoValidators(std::string_view source, std::string_view etag, std::string_view lastModified);
// - the installation's rollout bucket, 0 to 99, drawn and recorded on the
//   first reading;
int32_t RolloutBucket();
// - the channel the product follows: [OriginalSetup] Channel of the
//   .original file, or the one set since; empty for none.
std::string Channel();
bool SetChannel(std::string_view channel);
// [NewSetup] RolloutPercent of the .info file, 100 when missing.
int32_t RolloutPercent();

// Writers of the .original file; false when the file cannot be written.
// The two times also write their readable companion key.
bool SetProbeSecondsInterval(int64_t seconds);
bool SetReAskSecondsInterval(int64_t seconds);
bool SetProbeSecondsLast(int64_t time);
bool SetReAskSecondsLast(int64_t time);
bool SetVersionOriginal(int32_t version);
bool SetOriginalStamp(int32_t stamp);
// What the last probe came to and why (kProbeResultKey, kProbeReasonKey).
bool SetProbeResult(std::string_view result, std::string_view reason);

// The freshness of signed announcements (AnnouncementFreshness.h), kept
// with the agent's state: the highest [Signature] Serial accepted with the
// key (hex digits) that signed it, and the last announcement refused as
// stale (its signature's first hex digits), reported once.
int64_t AnnouncementSerial();
std::string AnnouncementSerialKey();
bool SetAnnouncementSerial(int64_t serial, std::string_view keyHex);
std::string StaleAnnouncement();
bool SetStaleAnnouncement(std::string_view id);

}  // namespace tarnix
