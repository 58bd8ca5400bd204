#include "autoupdate/AutoInform.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "Utils/FileUtils.h"
#include "Utils/PathUtils.h"
#include "Utils/StrUtils.h"
#include "Utils/StubLog.h"
#include "Utils/Trace.h"
#include "Utils/WindowUtils.h"
#include "autoupdate/AgentState.h"
#include "autoupdate/SettingsFiles.h"
#include "autoupdate/UpdateDownload.h"
#include "net/DownloadRules.h"
#include "package/Token.h"
#include "startup/AgentFolders.h"
#include "startup/AgentMessages.h"
#include "startup/MainWindow.h"
#include "startup/StubState.h"
#include "ui/RichEditBox.h"

namespace tarnix {

namespace {

void Marker(int step) { Trace("%lu ==== PerformAutoInform-%d ====", ::GetCurrentProcessId(), step); }

bool DownloadInformFile(Failure& why) {
  Agent().AgentStatus = 2;
  PostNotify(kNotifyFileDownload, 1);
  std::string error;
  const bool ok = DownloadFileAU(DownloadURL_UPDATE(), NameOfInformFile(), kDownloadInform, error, &why);
  PostNotify(kNotifyFileDownload, 2);
  return ok;
}

// The text after the record's token: what the vendor wants the user to
// read about the new version. A body of blanks and line ends alone is no
// text: the user gets the page instead of an empty box.
std::string InformBody() {
  std::string content;
  // Never read beyond the length the announcement gives.
  const uint64_t most = AnnouncedSizeRange(SizeOfInformFile(), !StubPackage().PublicKey().empty()).most;
  ReadFilePart(AgentWorkDir() + FileNamePart(NameOfInformFile()), std::min(most, kMaxMemoryDownload), content);
  std::string body = ReadScrambledRecord(content).rest;
  if (Trim(body).empty()) body.clear();
  return body;
}

// The announcement's page, opened with the shell by a click or at once: a
// web address only, never a program, a file or a network share.
std::string InformLink() {
  const std::string link = Trim(DownloadURL_INFORM());
  if (link.empty() || IsHttpUrl(link)) return link;
  WriteLog("ERROR: DownloadURL_INFORM refused: " + link + " is no http:// or https:// address");
  return {};
}

InformOutcome Inform(Failure& why) {
  if (DownloadURL_UPDATE().empty() || NameOfInformFile().empty()) return InformOutcome::NotShown;
  if (!DownloadInformFile(why)) return InformOutcome::NotFetched;
  Marker(3);
  const std::string body = InformBody();
  Marker(4);
  const bool shown = ShowRichEditBox(MainWindow(), AgentText("s34"), AgentText("s35"),
                                     MsgBoxCharSet(), MsgBoxFontSize(), MsgBoxFontName(), false, AutoInformH(),
                                     AutoInformW(), InformLink(), body);
  return shown ? InformOutcome::Informed : InformOutcome::NotShown;
}

}  // namespace

InformOutcome PerformAutoInform(Failure* why) {
  WriteLog("PerformAutoInform() - START ");
  Marker(1);
  Failure failure;
  const InformOutcome outcome = Inform(failure);
  if (why) *why = failure;
  const bool informed = outcome == InformOutcome::Informed;
  if (informed) {
    Marker(7);
    SetVersionOriginal(VersionNew());
  }
  WriteLog(std::string("PerformAutoInform() - END ") + BoolText(informed));
  return outcome;
}

}  // namespace tarnix
