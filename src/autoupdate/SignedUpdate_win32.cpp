#include "autoupdate/SignedUpdate.h"

#include <windows.h>

#include "Utils/FileUtils.h"
#include "Utils/MessagePump.h"
#include "Utils/PathUtils.h"
#include "Utils/StrUtils.h"
#include "Utils/StubLog.h"
#include "autoupdate/SettingsFiles.h"
#include "autoupdate/UpdateDownload.h"
#include "net/DownloadRules.h"
#include "package/Cng.h"
#include "package/TGFileInfo.h"
#include "package/VendorSignature.h"
#include "startup/StubState.h"
#include "ui/MsgBox.h"

namespace tarnix {

namespace {

bool g_announcementRefused = false;

// The agent's text for a refusal, with the product named as installed: the
// refused announcement's own name for it is not to be trusted.
std::string RefusalText(bool noCrypto, const char* key) {
  const std::string text = AgentText(noCrypto ? "s38" : key);
  return ReplaceAll(text, "PROG_NAME", OriginalProgramName());
}

void Refuse(const std::string& logLine, const std::string& text, const std::string& reason) {
  WriteLog("ERROR: " + logLine);
  MsgBoxError(0, text + "<P><P>" + reason, MsgBoxErrorTitle(), MsgBoxCharSet(), MsgBoxButtons());
}

AnnouncementVerdict JudgeKept(std::string_view data) {
  return JudgeAnnouncement(StubPackage().PublicKey(), data, VerifyP256Signature);
}

}  // namespace

bool AcceptAnnouncement(std::string_view data, std::string& error) {
  g_announcementRefused = false;
  if (data.empty() || StubPackage().PublicKey().empty()) return true;
  const AnnouncementVerdict verdict = JudgeKept(data);
  if (verdict == AnnouncementVerdict::Accepted) {
    WriteLog("Announcement: signed by the vendor");
    return true;
  }
  g_announcementRefused = true;
  error = "Announcement refused: " + VerdictText(verdict);
  Refuse(error, RefusalText(verdict == AnnouncementVerdict::NoCrypto, "s36"),
         VerdictText(verdict));
  return false;
}

bool AnnouncementRefused() { return g_announcementRefused; }

bool AcceptDownloadedFile(int mode, const std::string& file) {
  if (StubPackage().PublicKey().empty()) return true;
  const bool update = mode == kDownloadUpdate;
  const std::string what = std::string(update ? "Update file " : "Inform file ") + FileNamePart(file);
  std::string kept;
  ReadFilePart(InfoFilePath(), kMaxMemoryDownload, kept);
  const AnnouncementVerdict verdict = JudgeKept(kept);
  FileCheck check;
  if (verdict == AnnouncementVerdict::NoCrypto) {
    check = NoCryptoCheck();
  } else if (verdict != AnnouncementVerdict::Accepted) {
    check = {FileVerdict::NoHash, "the announcement beside the agent is not the signed one: " + VerdictText(verdict)};
  } else {
    std::string digest;
    uint64_t size = 0;
    const HashResult hashed = Sha256OfFile(file, digest, size, PumpMessages);
    check = hashed == HashResult::Unavailable
                ? NoCryptoCheck()
                : JudgeFile(std::to_string(update ? SizeOfUpdateFile() : SizeOfInformFile()),
                            update ? UpdateFileSha256() : InformFileSha256(), size, digest);
  }
  if (check.Accepted()) {
    WriteLog(what + ": size and SHA-256 as signed");
    return true;
  }
  ::DeleteFileA(file.c_str());
  Refuse(what + " refused: " + check.reason, RefusalText(check.verdict == FileVerdict::NoCrypto, "s37"),
         FileNamePart(file) + ": " + check.reason);
  return false;
}

}  // namespace tarnix
