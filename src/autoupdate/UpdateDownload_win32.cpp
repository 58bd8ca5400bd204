#include "autoupdate/UpdateDownload.h"

#include <windows.h>

#include "Utils/FileUtils.h"
#include "Utils/InFile.h"
#include "Utils/MessagePump.h"
#include "Utils/PathUtils.h"
#include "Utils/StrUtils.h"
#include "Utils/StubLog.h"
#include "Utils/StubProgress.h"
#include "Utils/SysInfo.h"
#include "Utils/Trace.h"
#include "Utils/UniqueResource.h"
#include "autoupdate/AgentState.h"
#include "autoupdate/SettingsFiles.h"
#include "autoupdate/SignedUpdate.h"
#include "net/DownloadAbort.h"
#include "net/DownloadRules.h"
#include "net/HttpDownload.h"
#include "package/FileBlocks.h"
#include "package/TGFileInfo.h"
#include "package/Token.h"
#include "startup/AgentFolders.h"
#include "startup/MainWindow.h"
#include "startup/StubState.h"
#include "ui/Markup.h"
#include "ui/MsgBox.h"

namespace tarnix {

namespace {

constexpr char kBadToken[] = "Bad Secret Token!";
constexpr DWORD kSettleMs = 500;

// What one attempt brought: the announcement's bytes (mode 1) or the file
// written into the executable's folder (modes 2 and 3).
struct Fetch {
  std::string source;
  std::string target;
  std::string data;
  std::string error;
  // Why nothing usable arrived, for the log.
  Failure why;
  bool attempted = false;
  bool overHttp = false;
  // A 304 to a conditional request: the kept copy stands.
  bool notModified = false;
};

// Location and name joined by `separator`, without doubling one that ends
// the location ("http://host/product/" is a common way to write it).
std::string Join(std::string_view location, char separator, std::string_view name) {
  std::string path(location);
  if (path.empty() || (path.back() != '/' && path.back() != '\\')) path += separator;
  return path + std::string(name);
}

bool ShowsWindow(int mode) {
  return mode == kDownloadUpdate && RequestConfirmationBeforeDownload() && !IsOnDemandCheck();
}

// A copy from a folder takes no time worth a bar of its own; this short run
// of the bars shows the user that the file was fetched.
void AnimateCopy() {
  StubProgressCallback(0, 0, 10, nullptr, 1, 0);
  for (int i = 0; i < 10; ++i) {
    StubProgressCallback(1, 0, 0, nullptr, 0, 0);
    DelayPump(0, 300);
  }
  StubProgressCallback(0, 0, 0, nullptr, 0, 0);
}

// The lengths the announced setup or inform file may have: exactly the
// signed size with the vendor's key, else within the decision's tolerance.
SizeRange AnnouncedRange(int mode) {
  const int32_t announced = mode == kDownloadUpdate ? SizeOfUpdateFile() : SizeOfInformFile();
  return AnnouncedSizeRange(announced, !StubPackage().PublicKey().empty());
}

void FetchFromFolder(int mode, const std::string& name, bool show, Fetch& fetch) {
  fetch.attempted = true;
  if (mode == kDownloadInfo) {
    // An announcement too long is not read at all; one byte more than any
    // announcement may have still tells one that grew meanwhile.
    const int64_t size = GetFileSizeByName(fetch.source);
    if (size >= 0 && static_cast<uint64_t>(size) <= kMaxInfoBytes)
      ReadFilePart(fetch.source, kMaxInfoBytes + 1, fetch.data);
    if (size < 0 || static_cast<uint64_t>(size) > kMaxInfoBytes || fetch.data.size() > kMaxInfoBytes) {
      fetch.data.clear();
      fetch.why.reason = size < 0 ? "it cannot be read" : "more than " + std::to_string(kMaxInfoBytes) + " bytes";
      fetch.error = fetch.source + " --- " + fetch.why.reason;
    }
    return;
  }
  fetch.target = AgentWorkDir() + name;
  const SizeRange expected = AnnouncedRange(mode);
  const int64_t size = GetFileSizeByName(fetch.source);
  if (size < 0 || !expected.Holds(static_cast<uint64_t>(size))) {
    fetch.why.reason = std::to_string(size) + " bytes, announced are " + SizeRangeText(expected);
    fetch.error = fetch.source + " --- " + fetch.why.reason;
    return;
  }
  // The file may grow while it is copied.
  if (!CopyFileInPieces(fetch.source, fetch.target, expected.most, PumpMessages)) {
    fetch.why = LastErrorFailure("the copy failed");
    fetch.error = fetch.source + " --- " + fetch.why.reason;
    return;
  }
  if (show) AnimateCopy();
}

void FetchOverHttp(int mode, const std::string& location, const std::string& name, Fetch& fetch,
                   HttpExchange* exchange) {
  fetch.attempted = true;
  fetch.overHttp = true;
  DelayPump(0, kSettleMs);
  fetch.source = Join(location, '/', name);
  SetDownloadAbort(false);
  // Only a check the user asked for shows the window with its bars.
  HWND window = IsOnDemandCheck() ? MainWindow() : nullptr;
  if (mode == kDownloadInfo) {
    HTTP_DownloadSmallFile(window, fetch.source, kMaxInfoBytes, fetch.data, &EnsureStubProgress(), fetch.error,
                           &fetch.why, exchange);
    fetch.notModified = exchange && exchange->notModified;
  } else {
    // A setup that broke off continues on the next probe; what earlier
    // announcements' files left half done goes.
    fetch.target = AgentWorkDir() + name;
    DeleteResumeFilesExcept(RemoveTrailingSlash(AgentWorkDir()), name);
    HTTP_DownloadFileResuming(window, fetch.source, fetch.target, AnnouncedRange(mode), &EnsureStubProgress(),
                              fetch.error, &fetch.why);
  }
  DelayPump(0, kSettleMs);
}

// One line with what failed and why, with the server's status or the
// system's error number; the markup of a text meant for a box is taken out.
void LogFailure(const Fetch& fetch) {
  std::string text = fetch.source + " --- " + fetch.why.reason;
  if (!fetch.error.empty()) {
    text = MarkupLogText(fetch.error);
    if (text.find(fetch.why.reason) == std::string::npos) text += " (" + fetch.why.reason + ")";
  }
  WriteLog("Download ERROR: " + FailureLine(text, fetch.why));
}

bool FinishInfo(const std::string& name, Fetch& fetch) {
  if (fetch.notModified) {
    // Judged and decided on as if it had come anew: a keyed agent checks
    // its signature again.
    WriteLog("Download: 304 Not Modified, the kept announcement stands");
    ReadFilePart(AgentWorkDir() + name, kMaxMemoryDownload, fetch.data);
    if (fetch.data.empty()) {
      fetch.why = {"304 Not Modified, but no announcement is kept", 304, 0};
      fetch.error = fetch.source + " --- " + fetch.why.reason;
    }
  }
  if (fetch.error.empty() && !fetch.data.empty()) {
    fetch.error = HtmlErrorMessage("", fetch.data, fetch.source, "", false);
    if (!fetch.error.empty()) fetch.why = {"the server sent a web page in place of the file", 0, 0};
  }
  // A refused announcement is not kept: nothing may act on it.
  if (!AcceptAnnouncement(fetch.error.empty() ? fetch.data : std::string(), fetch.error)) {
    fetch.data.clear();
    fetch.why = {fetch.error, 0, 0};
  }
  const bool ok = fetch.error.empty() && !fetch.data.empty();
  if (!ok && !fetch.why.Failed()) fetch.why.reason = "the server sent an empty file";
  // A stale announcement refused before has been logged once already.
  if (!ok && !AnnouncementRefusalRepeated()) LogFailure(fetch);
  // The copy is rewritten after every probe, also empty when nothing came:
  // the decision must never act on an announcement of an earlier probe.
  WriteFileText(AgentWorkDir() + name, fetch.data);
  if (!fetch.error.empty() && fetch.error[0] == '3') fetch.error.clear();
  return ok;
}

// A setup or inform file that does not carry the product's token is
// deleted: nothing may ever run it.
bool CheckToken(int mode, Fetch& fetch) {
  if (TokenMatches(fetch.target, mode)) return true;
  const std::string message = HtmlErrorMessage(fetch.target, "", fetch.source, kBadToken, false);
  fetch.why = {message == kBadToken ? kBadToken : "the server sent a web page in place of the file", 0, 0};
  ::DeleteFileA(fetch.target.c_str());
  WriteLog("ERROR: " + message);
  MsgBoxError(0, message, MsgBoxErrorTitle(), MsgBoxCharSet(), MsgBoxButtons());
  return false;
}

// The long name of the file `name` names beside the agent; `name` itself
// when there is none.
std::string LongNameBesideAgent(const std::string& name) {
  WIN32_FIND_DATAA entry;
  UniqueFindHandle find(::FindFirstFileA((AgentWorkDir() + name).c_str(), &entry));
  return find ? std::string(entry.cFileName) : name;
}

// The name of an update or inform file comes from a web server. It may
// only name a new file beside the agent, never one of the agent's own:
// a download must not replace the installed agent, its settings or its
// log, and a failed token check would then delete them.
bool MayWrite(const std::string& name) {
  if (!IsPlainFileName(name)) return false;
  const TGFileInfo& package = StubPackage();
  const std::string agent = package.AgentExeName();
  // An 8.3 alias (SAMPL~1.EXE) names the same file as its long name.
  const std::string longName = LongNameBesideAgent(name);
  for (const std::string& own : {agent, "X_" + agent, package.OriginalFileName(), package.InfoFileName(),
                                 FileNamePart(LogFileName()), FileNamePart(PreviousLogFileName())})
    if (SameTextTrim(name, own) || SameTextTrim(longName, own)) return false;
  return true;
}

void ReportFailure(const std::string& source, const Failure& why) {
  if (source.size() <= 2 || !RequestConfirmationBeforeDownload()) return;
  std::string message;
  if (DownloadAborted()) {
    message = AgentText("s3");
  } else if (source[1] == ':' || StartsWith("\\\\", source, false)) {
    message = source + "<P><P>" + AgentText("s4");
  } else {
    message = source + "<P><P>" + AgentText("s5");
  }
  if (!DownloadAborted() && why.Failed()) message += "<P><P>(" + why.reason + ")";
  WriteLog("ATTENTION: " + message);
  MsgBoxAttention(0, message, MsgBoxAttentionTitle(), 0, MsgBoxCharSet(), MsgBoxButtons());
}

}  // namespace

void ShowAgentStatus(int mode) {
  const char* key = mode == kDownloadUpdate ? "s32" : mode == kDownloadInform ? "s33" : "s31";
  SetStatusText(StatusLine(), AgentText(key), MsgBoxFontName(), MsgBoxCharSet(), MsgBoxFontSize());
}

bool DownloadFileAU(std::string_view location, std::string_view fileName, int mode, std::string& error,
                    Failure* why, InfoProbe* probe) {
  const std::string name = FileNamePart(fileName);
  const AgentState& agent = Agent();
  const std::string where = agent.TestMode ? agent.TestModeURL : std::string(location);
  const bool infoProbe = mode == kDownloadInfo && probe;
  const std::string remote = infoProbe && !probe->remoteName.empty() ? FileNamePart(probe->remoteName) : name;
  if (infoProbe) {
    const std::string headers = probe->http.requestHeaders;
    probe->http = HttpExchange();
    probe->http.requestHeaders = headers;
    probe->missing = false;
  }
  Fetch fetch;
  fetch.source = Join(where, '\\', remote);
  Trace("%lu DownloadFileAU: %s", ::GetCurrentProcessId(), fetch.source.c_str());
  WriteLog(std::string("TestMode=") + BoolText(agent.TestMode));
  WriteLog("Download START: " + fetch.source);

  if (mode != kDownloadInfo && !MayWrite(name)) {
    error = "\"" + name + "\" --- not a file name the agent may write";
    WriteLog("ERROR: " + error);
    if (why) *why = {"not a file name the agent may write", 0, 0};
    return false;
  }
  const bool show = ShowsWindow(mode);
  if (show && MainWindow()) ::ShowWindow(MainWindow(), SW_SHOW);
  ShowAgentStatus(mode);
  std::string netError;
  const bool inFolder = FileExists(fetch.source);
  if (inFolder) {
    FetchFromFolder(mode, name, show, fetch);
  } else if (agent.TestMode) {
    fetch.why.reason = "not in the test location";
  } else if (!InternetConnected(netError)) {
    fetch.why.reason = "no Internet connection" + (netError.empty() ? std::string() : ": " + netError);
  } else {
    FetchOverHttp(mode, where, remote, fetch, infoProbe ? &probe->http : nullptr);
  }
  if (infoProbe)
    probe->missing = fetch.why.httpStatus == 404 || fetch.why.httpStatus == 410 ||
                     (!inFolder && (agent.TestMode || !IsHttpUrl(where)));
  if (mode == kDownloadInfo) Agent().InfoOverHttp = fetch.overHttp;
  if (show && MainWindow()) ::ShowWindow(MainWindow(), SW_HIDE);
  WriteLog("Download END:   " + fetch.source);

  bool ok = false;
  if (mode == kDownloadInfo) {
    ok = FinishInfo(name, fetch);
  } else {
    // Nothing fetched at all (no such file, no connection) is a failed
    // download, not a file with a wrong token.
    if (!fetch.attempted) fetch.error = fetch.source + " --- File not Found!";
    if (fetch.error.empty()) {
      ok = AcceptDownloadedFile(mode, fetch.target);
      if (!ok) fetch.why = {"the file is not the one the vendor signed", 0, 0};
      ok = ok && CheckToken(mode, fetch);
    } else {
      LogFailure(fetch);
      ReportFailure(fetch.source, fetch.why);
    }
  }
  error = ok ? std::string() : fetch.error;
  if (why) *why = ok ? Failure() : fetch.why;
  return ok;
}

bool TokenMatches(const std::string& file, int mode) {
  const std::string own = StubPackage().SettingsToken(true);
  if (mode == kDownloadUpdate) return TGFileInfo(file).SettingsToken(true) == own;
  if (mode == kDownloadInform) {
    // Never read beyond the length the announcement gives.
    std::string content;
    ReadFilePart(file, AnnouncedRange(kDownloadInform).most, content);
    return ReadScrambledRecord(content).first == own;
  }
  return false;
}

}  // namespace tarnix
