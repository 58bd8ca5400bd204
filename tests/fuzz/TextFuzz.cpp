// Untrusted texts (list blocks, tokens, command lines, paths with folder
// variables, announcements' [Signature] sections and key items) through the
// text routines that parse them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Utils/StrUtils.h"
#include "Utils/SUB.h"
#include "Utils/Switches.h"
#include "autoupdate/AnnouncementFreshness.h"
#include "autoupdate/TransientOverrides.h"
#include "autoupdate/UpdateDecision.h"
#include "environment/FolderExpansion.h"
#include "environment/RunTimeDirs.h"
#include "package/Token.h"
#include "package/VendorSignature.h"

using namespace tarnix;

namespace {

// Short answers, so that the time goes into the text; the user variables
// name themselves and each other.
struct FuzzMachine final : FolderVariableSource {
  DateSeparators format;
  std::string WindowsDir() override { return "C:\\WINDOWS"; }
  std::string SystemDir() override { return "C:\\WINDOWS\\System32"; }
  std::string TempDir() override { return "C:\\Temp"; }
  std::string ExeDir() override { return "C:\\Agent"; }
  std::string OriginDir() override { return "\\\\srv\\share"; }
  std::string SpecialFolderDir(SpecialFolder) override { return "C:\\Users\\Ann"; }
  std::string RunTimeDir(int) override { return {}; }
  bool DirectoryExists(std::string_view path) override { return path.size() % 2 == 0; }
  std::string ReadRegValue(std::string_view, std::string_view name) override { return std::string(name); }
  std::string UserNameText() override { return "ann"; }
  std::string RegisteredOwner() override { return "<UserName>"; }
  std::string RegisteredOrganization() override { return "<InstallDir>"; }
  std::string ComputerNameText() override { return "PC"; }
  std::string UserDomain() override { return "HOME"; }
  double Now() override { return 45000.5; }
  const DateSeparators& DateFormat() override { return format; }
  std::string FullPath(std::string_view path) override { return "C:\\" + std::string(path.substr(0, 64)); }
  std::string UserVariables() override { return "|<A>=<A><A>|<B>=|<<C>>=<D|<InstallDir>=<WinDir>|"; }
};

struct FuzzRecipeMachine final : RunTimeDirSource {
  std::string ReadRegValue(std::string_view path, std::string_view, bool) override { return std::string(path); }
  bool FileExists(std::string_view path) override { return !path.empty(); }
  bool DirectoryExists(std::string_view path) override { return path.size() % 2 == 0; }
  std::string FindFileOnDrives(std::string_view name, unsigned) override { return "C:\\x\\" + std::string(name); }
  std::string FindDirOnDrives(std::string_view name, unsigned) override { return std::string(name); }
  void ReportNotFound(std::string_view) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  (void)Descramble(text);
  (void)ReadScrambledRecord(text);
  (void)ScrambleText(text, false, true);
  (void)SUB::Count(text);
  (void)SUB::Item(text, -1);
  (void)SUB::Value(text, "Key", "e", "m");
  (void)SUB::Distinct(text);
  (void)SUB::Redelimit(text);
  (void)SUB::SetItem(text, 5, "v|w");
  std::string params = CommandLineParams(text, "C:\\dir\\stub.exe");
  (void)HasSwitchIn(params, "/hide");
  (void)SwitchValueIn(params, "/SpanDiskFName1", "");
  (void)SwitchIntIn(params, "/SpanCdLvl", 1);
  ApplyTransientText(text);
  (void)TransientText();
  (void)ValidVersionOk(text, 5);
  const Freshness freshness = ReadFreshness(text);
  (void)JudgeFreshness(freshness, SerialState{7}, 1800000000);
  (void)FreshnessText(FreshnessVerdict::Expired, freshness, SerialState{7});
  int64_t seconds = 0;
  if (ParseUtcText(text, seconds)) (void)UtcText(seconds);
  (void)SplitPublicKeys(text);
  (void)SplitSignedText(text);
  FuzzMachine machine;
  const InstallFolders folders{"C:\\Apps\\Tool", "", "D:"};
  (void)ExpandFolderVariables(text, "\\", true, true, true, folders, machine);
  FuzzRecipeMachine recipeMachine;
  (void)ResolveRunTimeDir(text, recipeMachine);
  return 0;
}
