#include "package/SignedSetup.h"

#include <windows.h>

#include "Utils/MessagePump.h"
#include "Utils/PathUtils.h"
#include "Utils/StubLog.h"
#include "Utils/Trace.h"
#include "package/Cng.h"
#include "package/TGFileInfo.h"
#include "package/VendorSignature.h"
#include "startup/StubState.h"

namespace tarnix {

std::string CheckSetupFile(const std::string& package) {
  const TGFileInfo& stub = StubPackage();
  if (stub.PublicKey().empty() || stub.DownloadSha256().empty()) return "";
  std::string digest;
  uint64_t size = 0;
  const HashResult hashed = Sha256OfFile(package, digest, size, PumpMessages);
  const FileCheck check = hashed == HashResult::Unavailable
                              ? NoCryptoCheck()
                              : JudgeFile(stub.DownloadSize(), stub.DownloadSha256(), size, digest);
  if (check.Accepted()) return "";
  const std::string line = "Setup file refused: " + package + ": " + check.reason;
  Trace("%lu %s", ::GetCurrentProcessId(), line.c_str());
  WriteLog("ERROR: " + line);
  return StubText(check.verdict == FileVerdict::NoCrypto ? "s14" : "s13") + "<P><P>" + FileNamePart(package) + ": " +
         check.reason;
}

}  // namespace tarnix
