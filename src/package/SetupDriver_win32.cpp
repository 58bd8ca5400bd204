#include "package/SetupDriver.h"

#include <cinttypes>

#include "Utils/CommandLine.h"
#include "Utils/FileUtils.h"
#include "Utils/InFile.h"
#include "Utils/MessagePump.h"
#include "Utils/ProcessUtils.h"
#include "Utils/Registry.h"
#include "Utils/StrUtils.h"
#include "Utils/StubLog.h"
#include "Utils/StubProgress.h"
#include "Utils/Switches.h"
#include "Utils/SysInfo.h"
#include "Utils/Trace.h"
#include "autoupdate/SettingsFiles.h"
#include "package/DownloadAndRun.h"
#include "package/ExtractFolders.h"
#include "package/ExtractPackage.h"
#include "package/SetupCommandLine.h"
#include "package/TempSpace.h"
#include "startup/MainWindow.h"
#include "startup/StubState.h"
#include "ui/Markup.h"
#include "ui/MsgBox.h"

namespace tarnix {

namespace {

constexpr char kSpanDiskKey[] = "HKEY_CURRENT_USER\\Software\\Halvorin\\Tarnix\\SpanDisk";

bool ForcePrompt() { return ReadRegValue(kSpanDiskKey, "ForcePrompt", "0", false) == "1"; }

bool GlobalAtomExists(const std::string& name) { return ::GlobalFindAtomA(name.c_str()) != 0; }

// The product's shortcuts that a completed update may remove, when the
// announcement asks for it.
struct Shortcuts {
  std::string startUp;
  std::string checkForUpdate;
};

Shortcuts NoteShortcuts() { return {StartUpLink(), CheckforNewUpdateLink()}; }

void RemoveShortcuts(const Shortcuts& links) {
  if (RemoveStartUpShortcut() && FileExists(links.startUp)) ::DeleteFileA(links.startUp.c_str());
  if (RemoveCheckForNewUpdateShortcut() && FileExists(links.checkForUpdate))
    ::DeleteFileA(links.checkForUpdate.c_str());
}

// Starts the setup program and waits for it and for its dialog; finished when
// it reported the installation complete by deleting the run's atom.
PackageRun RunSetupProgram(const std::string& target, const std::string& entry, const std::string& parameters,
                           bool foreground) {
  const std::string token = RunToken(::GetCurrentThreadId());
  SetupLaunch launch{entry, target, parameters, token, GetExeFileName(), StubPackage().IsAgent()};
  const std::string commandLine = BuildSetupCommandLine(launch);
  const Shortcuts links = NoteShortcuts();
  Trace("%lu ==== WinExec(Engine.exe) >>%s<<", ::GetCurrentProcessId(), commandLine.c_str());
  const std::string atomName = RunAtomName(token);
  UniqueGlobalAtom atom(::GlobalAddAtomA(atomName.c_str()));
  const StartedProgram started = RunProgram(commandLine, foreground ? SW_SHOW : SW_HIDE);
  if (started.how == ProgramStart::Refused) {
    WriteLog("RunProgram - the user refused the elevation the setup program asked for");
    // Nothing was installed: a caller of the stub must not read success.
    SetExitCode(kErrorCancelled);
    return PackageRun::Refused;
  }
  if (started.how == ProgramStart::StartedElevated) WriteLog("RunProgram - the setup program needed elevation");
  if (HWND window = MainWindow()) ::ShowWindow(window, SW_HIDE);
  DelayPump(0, 1000);
  if (started.process) {
    WaitForProgram(started.process.get());
    DWORD code = 0;
    if (::GetExitCodeProcess(started.process.get(), &code)) {
      SetExitCode(code);
      WriteLog("Setup ExitCode=" + std::to_string(code));
    }
  }
  WaitWhileWindowExists(SetupDialogClassName(token), "");
  DelayPump(0, 1000);
  // The program deletes the atom when it completes; the atom must go either
  // way, and only once.
  if (GlobalAtomExists(atomName)) return PackageRun::Incomplete;
  atom.release();
  RemoveShortcuts(links);
  return PackageRun::Finished;
}

}  // namespace

bool SilentRun() { return HasSwitch(kSwitchHide) || StubPackage().Silent(); }

void ShowStatus(std::string_view key) {
  const TGFileInfo& package = StubPackage();
  SetStatusText(StatusLine(), StubText(key), package.FontName(), package.Charset(), package.FontSize());
}

bool SpaceOk(const std::string& target, const std::string& package) {
  const double required = TGFileInfo(package).SpaceRequired(target);
  return required < GetFreeDiskSpace(target) && DirectoryExists(target);
}

bool ConfirmTempSpace(const std::string& target, const TGFileInfo& reader) {
  const double required = reader.SpaceRequired(target);
  const double free = GetFreeDiskSpace(target);
  const TempSpaceTexts texts{StubText("s2"), StubText("s3"), StubText("s4"), StubText("s5"), StubText("s6")};
  const std::string question = TempSpaceQuestion(texts, reader.ShowTempSpaceInfo(), target, required, free);
  if (question.empty()) return true;
  return MsgBoxConfirm(0, question, StubText("Confirm"), 0, StubPackage().Charset(), StubText("BtnText"));
}

StartedProgram RunProgram(const std::string& commandLine, int showMode) {
  StartedProgram started = StartProgram(commandLine, showMode);
  if (started.how == ProgramStart::Failed) {
    const uint32_t error = started.systemError;
    const std::string text = SysErrorMessage(error);
    WriteFailureLog("Cannot start " + commandLine, {text.empty() ? "cannot start" : text, 0, error});
  }
  return started;
}

void WaitForProgram(HANDLE process) {
  DWORD code = 0;
  do DelayPump(0, 500);
  while (::GetExitCodeProcess(process, &code) && code == STILL_ACTIVE);
}

PackageRun RunPackage(std::string target, const std::string& package, const std::string& agentName, bool foreground,
                      const std::string& parameters) {
  const TGFileInfo reader(package);
  if (reader.ShowActivityBar()) ShowActivityBar();
  ShowStatus("s1");
  if (!SpaceOk(target, package) && ChooseSpareTempRoot()) target = SpareFolder();
  Trace("========= ForegroundOp=%s ==========", BoolText(foreground));
  PackageRun run = PackageRun::NotStarted;
  if (!foreground || ConfirmTempSpace(target, reader)) {
    const TGFileInfo& stub = StubPackage();
    const DiskPrompt prompt{stub.Charset(), StubText("BtnText"), StubText("Attention"), StubText("s8")};
    if (foreground && MainWindow()) ::ShowWindow(MainWindow(), SW_SHOW);
    DelayPump(0, 1000);
    const ExtractResult extracted =
        ExtractPackage(package, target, agentName, ForcePrompt(), prompt, StubProgressCallback, MainWindowClosed);
    DelayPump(0, 1000);
    // A window closed during the extraction ends the run: its folder is gone.
    if (MainWindowClosed()) {
      Trace("RunPackage: the window was closed, nothing is started");
    } else if (!extracted.checksumOk) {
      WriteLog("ERROR: " + package + ": " + MarkupLogText(StubText("s7")));
      MsgBoxError(0, StubText("s7"), StubText("Error"), stub.Charset(), StubText("BtnText"));
    } else if (extracted.writeFailed) {
      // The user has been told which file; the truncated files never run.
      run = PackageRun::WriteFailed;
    } else if (!extracted.setupEntry.empty()) {
      run = RunSetupProgram(target, extracted.setupEntry, parameters, foreground);
    }
  }
  RemoveSpareFolder();
  return run;
}

void SetupTick() {
  StopStubTimer();
  const TGFileInfo& package = StubPackage();
  const std::string agentName = package.CreateAgent() ? package.AgentExeName() : std::string();
  if (package.DownloadSetup()) {
    DownloadSetup(agentName);
  } else {
    // An empty value means the running executable, as an absent one does.
    std::string source = GetSwitchValue(kSwitchSpanDiskFName1, "");
    if (source.empty()) source = GetExeFileName();
    RunPackage(SetupFolder(), source, agentName, !SilentRun(), GetCommandLineParams());
  }
  RemoveSetupFolder();
  ::PostQuitMessage(0);
}

}  // namespace tarnix
