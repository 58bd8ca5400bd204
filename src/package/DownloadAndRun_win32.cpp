#include "package/DownloadAndRun.h"

#include <windows.h>

#include "Utils/CommandLine.h"
#include "Utils/FileUtils.h"
#include "Utils/InFile.h"
#include "Utils/MessagePump.h"
#include "Utils/PathUtils.h"
#include "Utils/StrUtils.h"
#include "Utils/StubProgress.h"
#include "Utils/Switches.h"
#include "Utils/Trace.h"
#include "net/DownloadAbort.h"
#include "net/DownloadRules.h"
#include "net/HttpDownload.h"
#include "package/AgentCopy.h"
#include "package/ExtractFolders.h"
#include "package/FileBlocks.h"
#include "package/TGFileInfo.h"
#include "package/SetupDriver.h"
#include "package/SignedSetup.h"
#include "package/TempSpace.h"
#include "startup/MainWindow.h"
#include "startup/StubState.h"
#include "ui/MsgBox.h"

namespace tarnix {

namespace {

// The user declined the download: no message follows.
constexpr char kDeclined[] = "!";

void WriteRunningAgent(const std::string& agentName) {
  const std::string exe = GetExeFileName();
  const std::string name = FileNamePart(agentName);
  std::string image;
  ReadFilePart(exe, 0, image);
  if (image.empty() || !IsPlainFileName(name)) return;
  uint32_t stamp = 0;
  GetFileStampByName(exe, stamp);
  const std::string agentPath = SetupFolder() + "\\" + name;
  const uint64_t end = EndOfPackageFromImage(image);
  if (WriteFileText(agentPath, AgentFromRunningStub(std::move(image), end), stamp))
    Trace("%lu New AU-Agent: %s", ::GetCurrentProcessId(), agentPath.c_str());
}

// Empty when the user agreed (or was not asked), else the declined mark.
std::string ConfirmSize() {
  const TGFileInfo& stub = StubPackage();
  if (!stub.ConfirmDownload() || SilentRun()) return "";
  int64_t size = 0;
  ParseInt64(stub.DownloadSize(), size);
  const std::string text = ReplaceAll(StubText("s11"), "<SIZE>", MegabyteText(static_cast<double>(size)));
  return MsgBoxConfirm(0, text, StubText("Confirm"), 0, stub.Charset(), StubText("BtnText")) ? "" : kDeclined;
}

std::string ConnectionError() {
  std::string system;
  if (InternetConnected(system)) return "";
  return StubText("s12") + (system.empty() ? "" : "<P><P>" + system);
}

// Fetches `url` into `package`, capped at the size the package announces
// (exactly that with the vendor's key) when it announces one; the error
// text, empty on success.
void FetchSetup(const std::string& url, const std::string& package, std::string& error) {
  const TGFileInfo& stub = StubPackage();
  HWND window = SilentRun() ? nullptr : MainWindow();
  TProgBar& progress = EnsureStubProgress();
  int64_t size = 0;
  if (!ParseInt64(stub.DownloadSize(), size) || size <= 0) {
    std::string data;
    HTTP_DownloadFile(window, url, package, data, &progress, error);
    return;
  }
  HTTP_DownloadFileOfSize(window, url, package, AnnouncedSizeRange(size, !stub.PublicKey().empty()), &progress,
                          error);
}

// Fetches `url` into `package`; the error text, empty on success.
std::string Download(const std::string& url, const std::string& package) {
  ShowStatus("s10");
  std::string error = ConfirmSize();
  // Declining is an answer, not a fault: no connection test follows it.
  if (error.empty()) error = ConnectionError();
  SetDownloadAbort(false);
  EnsureStubProgress();
  if (error.empty()) FetchSetup(url, package, error);
  DelayPump(0, 300);
  StubProgressCallback(kProgressSetUp, 0, 10, nullptr, 1, 0);
  DelayPump(0, 700);
  return error;
}

}  // namespace

void DownloadAndRun(const std::string& target, const std::string& location, const std::string& name) {
  const std::string url = location + "/" + name;
  std::string error;
  std::string package = location + (EndsWith("\\", location, false) ? "" : "\\") + name;
  bool downloaded = false;
  // The name comes from the package and becomes a path in the temp folder.
  if (!IsPlainFileName(name)) {
    error = "Bad download file name: " + name;
  } else if (!FileExists(package)) {
    package = GetTempDir(true) + name;
    error = Download(url, package);
    downloaded = error.empty();
  }
  // Checked before anything opens the file; a server's error page in its
  // place is told as such.
  if (error.empty()) {
    const std::string refusal = CheckSetupFile(package);
    if (!refusal.empty()) error = HtmlErrorMessage(package, "", url, refusal, false);
  }
  if (error.empty() && !TGFileInfo(package).SameDownloadToken(StubPackage()))
    error = HtmlErrorMessage(package, "", url, "Bad Secret Token!", false);
  if (error.empty()) RunPackage(target, package, "", !SilentRun(), GetCommandLineParams());
  if (downloaded) ::DeleteFileA(package.c_str());
  if (!error.empty() && error != kDeclined) {
    Trace("DownloadAndRun: %s", error.c_str());
    MsgBoxError(0, error, StubText("Error"), StubPackage().Charset(), StubText("BtnText"));
  }
}

void DownloadSetup(const std::string& agentName) {
  const TGFileInfo& stub = StubPackage();
  if (!agentName.empty()) WriteRunningAgent(agentName);
  std::string location = stub.DownloadLocation();
  if (!stub.AlwaysDownload() && FileExists(GetExeDir(true) + stub.DownloadFileName())) location = GetExeDir(false);
  DownloadAndRun(SetupFolder(), location, stub.DownloadFileName());
}

}  // namespace tarnix
