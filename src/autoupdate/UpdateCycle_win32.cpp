#include "autoupdate/UpdateCycle.h"

#include <windows.h>

#include <cstdint>
#include <string>

#include "Utils/FileUtils.h"
#include "Utils/MessagePump.h"
#include "Utils/ProcessUtils.h"
#include "Utils/StrUtils.h"
#include "Utils/StubLog.h"
#include "Utils/Switches.h"
#include "Utils/SysInfo.h"
#include "Utils/Trace.h"
#include "Utils/WindowUtils.h"
#include "autoupdate/AgentState.h"
#include "autoupdate/ProductShutdown.h"
#include "autoupdate/SettingsFiles.h"
#include "autoupdate/SignedUpdate.h"
#include "autoupdate/UpdateDownload.h"
#include "startup/AgentFolders.h"
#include "startup/AgentMessages.h"
#include "environment/FolderVariables.h"
#include "package/ExtractFolders.h"
#include "package/SetupDriver.h"
#include "startup/StubState.h"
#include "ui/MsgBox.h"

namespace tarnix {

namespace {

void Marker(int step) { Trace("%lu ==== PerformAutoUpdate-%d ====", ::GetCurrentProcessId(), step); }

std::string WithProgramName(const char* key) { return ReplaceAll(AgentText(key), "PROG_NAME", NewProgramName()); }

// Tells the user, or asks, before the download; false when the user said no.
bool AgreeToDownload() {
  const bool install = RequestConfirmationBeforeInstall();
  const char* second = install ? "s13" : "s12";
  if (RequestConfirmationBeforeDownloadForce()) second = install ? "s19" : "s18";
  const std::string text = ReplaceAll(AgentText("s11") + AgentText(second), "PROG_NAME", NewProgramName());
  bool go = true;
  if (RequestConfirmationBeforeDownload() && !IsOnDemandCheck()) {
    if (RequestConfirmationBeforeDownloadForce()) {
      MsgBoxAttention(2, text, MsgBoxAttentionTitle(), 0, MsgBoxCharSet(), MsgBoxButtons());
    } else {
      go = MsgBoxConfirm(0, text, MsgBoxConfirmTitle(), 0, MsgBoxCharSet(), MsgBoxButtons());
    }
    DelayPump(0, 500);
  }
  return go;
}

bool AgreeToInstall() {
  const std::string text = WithProgramName(RequestConfirmationBeforeInstallForce() ? "s20" : "s14");
  bool go = true;
  if (RequestConfirmationBeforeInstall() && !IsOnDemandCheck()) {
    if (RequestConfirmationBeforeInstallForce()) {
      MsgBoxAttention(2, text, MsgBoxAttentionTitle(), 0, MsgBoxCharSet(), MsgBoxButtons());
    } else {
      go = MsgBoxConfirm(0, text, MsgBoxConfirmTitle(), 0, MsgBoxCharSet(), MsgBoxButtons());
    }
  }
  DelayPump(0, 100);
  return go;
}

bool DownloadUpdate(Failure& why) {
  Agent().AgentStatus = 2;
  PostNotify(kNotifyFileDownload, 1);
  std::string error;
  const bool ok = DownloadFileAU(DownloadURL_UPDATE(), NameOfUpdateFile(), kDownloadUpdate, error, &why);
  PostNotify(kNotifyFileDownload, 2);
  return ok;
}

std::string ProductPath() {
  SetInstallFolders(TargetDir(), SharedDir(), AuxiliaryDir());
  return ExpandFolderVariables(RunningProcess(), "\\", true, true, true);
}

PackageRun RunNewSetup(const std::string& setupFile) {
  const std::string extra = std::string(kSwitchOriginalInfoFile) + Quote(InfoFilePath());
  Agent().AgentStatus = 3;
  PostNotify(kNotifySetupRun, 1);
  // An earlier run of this agent may have removed the folder already.
  ForceDirectories(SetupFolder());
  WriteLog("RunPackage() - START  (" + setupFile + ")");
  const PackageRun run = RunPackage(SetupFolder(), setupFile, StubPackage().AgentExeName(), !BackgroundUpdate(), extra);
  WriteLog(std::string("RunPackage() - END    Finished=") + BoolText(run == PackageRun::Finished));
  RemoveDirTree(SetupFolder(), false);
  PostNotify(kNotifySetupRun, 2);
  return run;
}

UpdateOutcome OutcomeOf(PackageRun run) {
  switch (run) {
    case PackageRun::Finished:
      return UpdateOutcome::Installed;
    case PackageRun::WriteFailed:
      return UpdateOutcome::NotExtracted;
    // A user who will not give the setup its rights has declined the update.
    case PackageRun::Refused:
      return UpdateOutcome::Declined;
    case PackageRun::NotStarted:
    case PackageRun::Incomplete:
      break;
  }
  return UpdateOutcome::SetupFailed;
}

// Tells the user the update is done, or asks whether to start the program
// again; true unless the user declined the restart.
bool ReportFinish(bool restart) {
  const std::string done = WithProgramName("s16");
  if (restart) return MsgBoxConfirm(1, done + AgentText("s17"), MsgBoxConfirmTitle(), 0, MsgBoxCharSet(), MsgBoxButtons());
  MsgBoxAttention(1, done, MsgBoxAttentionTitle(), 0, MsgBoxCharSet(), MsgBoxButtons());
  return true;
}

// The log names every step of an update with its time, so that a vendor
// can follow one afterwards.
void RecordNewVersion() {
  const int32_t version = VersionNew();
  const bool written = SetVersionOriginal(version);
  WriteLog("VersionOriginal=" + std::to_string(version) + (written ? "" : "  (not written)"));
  KeepAnnouncementSerial();
}

void RestartProduct(const std::string& product) {
  const std::string command = Quote(product);
  WriteLog("Restart Process - WinExec " + command);
  if (!LaunchProgram(command, SW_SHOW)) WriteFailureLog("Restart Process failed", LastErrorFailure("cannot start"));
}

UpdateOutcome UpdateCycle(Failure& why) {
  if (DownloadURL_UPDATE().empty() || NameOfUpdateFile().empty()) return UpdateOutcome::NotStarted;
  if (!AgreeToDownload()) return UpdateOutcome::Declined;
  Marker(4);
  const bool downloaded = DownloadUpdate(why);
  Marker(5);
  if (!downloaded) return UpdateOutcome::NotFetched;
  if (!AgreeToInstall()) return UpdateOutcome::Declined;
  Marker(7);
  const std::string product = ProductPath();
  const bool wasRunning = IsProcessRunning(product);
  ShutDownProcess(product);
  Marker(8);
  const bool stopped = wasRunning && !IsProcessRunning(product);
  const bool restart = RestartProcess() && stopped;
  const std::string setupFile = AgentWorkDir() + FileNamePart(NameOfUpdateFile());
  Marker(10);
  const PackageRun run = RunNewSetup(setupFile);
  const bool finished = run == PackageRun::Finished;
  Marker(11);
  if (finished) RecordNewVersion();
  ::DeleteFileA(setupFile.c_str());
  Marker(13);
  bool answer = true;
  if (finished && (InformFinish() || IsOnDemandCheck())) answer = ReportFinish(restart);
  // A product stopped for the update is never left stopped against the
  // announcement's wish; the user may only decline a restart after a
  // successful update.
  if (restart && answer) RestartProduct(product);
  return OutcomeOf(run);
}

}  // namespace

UpdateOutcome PerformAutoUpdate(Failure* why) {
  WriteLog("PerformAutoUpdate() - START");
  Failure failure;
  const UpdateOutcome outcome = UpdateCycle(failure);
  if (why) *why = failure;
  WriteLog(std::string("PerformAutoUpdate() - END    Result=") + BoolText(outcome == UpdateOutcome::Installed));
  return outcome;
}

}  // namespace tarnix
