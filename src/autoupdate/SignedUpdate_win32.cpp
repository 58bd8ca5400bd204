#include "autoupdate/SignedUpdate.h"

#include <windows.h>

#include "Utils/FileUtils.h"
#include "Utils/MessagePump.h"
#include "Utils/PathUtils.h"
#include "Utils/StrUtils.h"
#include "Utils/StubLog.h"
#include "autoupdate/AgentState.h"
#include "autoupdate/AnnouncementFreshness.h"
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
bool g_refusalRepeated = false;
// The serial state after the last accepted announcement, written again
// after an update's setup, which may have replaced the file it is kept in.
int64_t g_keptSerial = 0;
std::string g_keptSerialKey;

// Seconds since 1970-01-01 UTC by the system's clock.
int64_t UtcNowSeconds() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  const uint64_t ticks = (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
  return static_cast<int64_t>(ticks / 10000000) - 11644473600;
}

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

AnnouncementVerdict JudgeKept(std::string_view data, std::string* signer = nullptr) {
  return JudgeAnnouncement(StubPackage().PublicKey(), data, VerifyP256Signature, signer);
}

// A signed announcement that is not the current one (a replay, an expired
// one) is refused, logged and shown once per announcement, not at every
// probe; a check the user asked for always says it.
bool AcceptFreshness(std::string_view data, const std::string& signer, std::string& error) {
  const SignedText signedText = SplitSignedText(data);
  const Freshness announced = ReadFreshness(signedText.body);
  const std::string keyItem = StubPackage().PublicKey();
  const SerialState kept{SerialInForce(AnnouncementSerial(), AnnouncementSerialKey(), keyItem)};
  const FreshnessVerdict verdict = JudgeFreshness(announced, kept, UtcNowSeconds());
  if (verdict == FreshnessVerdict::Accepted) {
    const std::string signerHex = LowerHex(signer);
    const int64_t keep = SerialToKeep(announced, kept.highest);
    if (announced.serial && *announced.serial == keep &&
        (AnnouncementSerial() != keep || AnnouncementSerialKey() != signerHex))
      SetAnnouncementSerial(keep, signerHex);
    g_keptSerial = AnnouncementSerial();
    g_keptSerialKey = AnnouncementSerialKey();
    if (!StaleAnnouncement().empty()) SetStaleAnnouncement("");
    WriteLog("Announcement: signed by the vendor" +
             (announced.serial ? ", serial " + std::to_string(*announced.serial) : std::string()) +
             (announced.expires ? ", expires " + UtcText(*announced.expires) : std::string()));
    return true;
  }
  g_announcementRefused = true;
  const std::string reason = FreshnessText(verdict, announced, kept);
  error = "Announcement refused: " + reason;
  // The signature names the announcement: the same file served again is
  // the same refusal.
  const std::string id = LowerHex(signedText.signature).substr(0, 32);
  g_refusalRepeated = StaleAnnouncement() == id && !IsOnDemandCheck();
  if (!g_refusalRepeated) {
    SetStaleAnnouncement(id);
    Refuse(error, RefusalText(false, "s39"), reason);
  }
  return false;
}

}  // namespace

bool AcceptAnnouncement(std::string_view data, std::string& error) {
  g_announcementRefused = false;
  g_refusalRepeated = false;
  if (data.empty() || StubPackage().PublicKey().empty()) return true;
  std::string signer;
  const AnnouncementVerdict verdict = JudgeKept(data, &signer);
  if (verdict == AnnouncementVerdict::Accepted) return AcceptFreshness(data, signer, error);
  g_announcementRefused = true;
  error = "Announcement refused: " + VerdictText(verdict);
  Refuse(error, RefusalText(verdict == AnnouncementVerdict::NoCrypto, "s36"),
         VerdictText(verdict));
  return false;
}

bool AnnouncementRefused() { return g_announcementRefused; }
bool AnnouncementRefusalRepeated() { return g_refusalRepeated; }

void KeepAnnouncementSerial() {
  if (g_keptSerial <= 0 || AnnouncementSerial() >= g_keptSerial) return;
  const bool written = SetAnnouncementSerial(g_keptSerial, g_keptSerialKey);
  WriteLog("AnnouncementSerial=" + std::to_string(g_keptSerial) + (written ? "" : "  (not written)"));
}

bool AcceptDownloadedFile(int mode, const std::string& file) {
  if (StubPackage().PublicKey().empty()) return true;
  const bool update = mode == kDownloadUpdate;
  const std::string what = std::string(update ? "Update file " : "Inform file ") + FileNamePart(file);
  std::string kept;
  ReadFilePart(InfoFilePath(), kMaxInfoBytes, kept);
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
