#include "Report_win32.h"

#include <algorithm>

#include "Utils/DateUtils.h"
#include "Utils/FileUtils.h"
#include "Utils/IniFile.h"
#include "Utils/InFile.h"
#include "Utils/PathUtils.h"
#include "Utils/ProcessUtils.h"
#include "Utils/Registry.h"
#include "Utils/StrUtils.h"
#include "Utils/StubLog.h"
#include "Utils/SysInfo.h"
#include "Utils/UniqueResource.h"
#include "Utils/VersionInfo.h"
#include "autoupdate/Schedule.h"
#include "autoupdate/SettingsValues.h"
#include "autoupdate/TestMode.h"
#include "net/ResumeRules.h"
#include "environment/SpecialFolders.h"
#include "package/TGFileInfo.h"
#include "startup/AgentFolders.h"
#include "startup/AgentMessages.h"

namespace tarnix::control {

namespace {

constexpr char kOriginalSetup[] = "OriginalSetup";
// A status request that the agent does not answer within this time gets no
// answer in the report: a busy agent still pumps its messages.
constexpr UINT kStatusTimeoutMs = 5000;
// The PE header of the stub lies beyond the usual first page.
constexpr uint64_t kHeadBytes = 4096;
// The log's end that is read for its last lines.
constexpr uint64_t kLogTailBytes = 65536;

bool IsLead(unsigned char c) { return IsLeadByte(c); }

std::string FolderOf(const std::string& path) {
  return path.substr(0, path.size() - FileNamePart(path, IsLead).size());
}

std::string FullPath(const std::string& path) {
  char buffer[MAX_PATH * 2] = {};
  char* filePart = nullptr;
  const DWORD n = ::GetFullPathNameA(path.c_str(), sizeof buffer, buffer, &filePart);
  return n == 0 || n >= sizeof buffer ? path : std::string(buffer, n);
}

// The agent's folder, with its trailing backslash.
std::string AgentFolder(const std::string& name, HWND agent) {
  const std::string file = FileNamePart(name, IsLead);
  if (file.size() != name.size()) return FolderOf(FullPath(name));
  if (agent) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(agent, &pid);
    const std::string image = ProcessImagePath(pid);
    if (FileNamePart(image, IsLead).size() != image.size()) return FolderOf(image);
  }
  char current[MAX_PATH * 2] = {};
  const DWORD n = ::GetCurrentDirectoryA(sizeof current, current);
  return NormalizeDir(n == 0 || n >= sizeof current ? std::string(".") : std::string(current, n), true, IsLead);
}

// The running agent rewrites the .original file whole for every key it
// writes; the moment it is empty passes within milliseconds.
void WaitWhileEmpty(const std::string& file) {
  for (int attempt = 0; attempt < 20 && GetFileSizeByName(file) == 0; ++attempt) ::Sleep(50);
}

std::string ReadOriginal(const std::string& file, const char* key) {
  return ReadIniString(file, kOriginalSetup, key, "");
}

// An agent that cannot write its home (a per-machine product run by a
// standard user) works in a folder of its own per user: its records, log
// and downloads are there, the product's facts stay at home. Its work
// folder's .original names the home.
struct AgentPlaces {
  std::string home;
  std::string work;
};

AgentPlaces FindPlaces(const std::string& folder, const TGFileInfo& package) {
  const std::string original = package.OriginalFileName();
  const std::string named = ReadIniString(folder + original, kAgentSection, kInstallFolderKey, "");
  if (!named.empty()) return {named, folder};
  const std::string perUser =
      PerUserAgentDir(GetSpecialFolder(SpecialFolder::UserLocalAppDataDir, true), package.AgentExeName());
  if (!perUser.empty() && SameText(ReadIniString(perUser + original, kAgentSection, kInstallFolderKey, ""), folder))
    return {folder, perUser};
  return {folder, folder};
}

// As the agent reads its records: the work folder's value when it has one.
std::string ReadRecord(const AgentPlaces& places, const std::string& name, const char* key) {
  if (places.work != places.home) {
    std::string value = ReadOriginal(places.work + name, key);
    if (!value.empty()) return value;
  }
  return ReadOriginal(places.home + name, key);
}

int64_t ReadRecordInt(const AgentPlaces& places, const std::string& name, const char* key) {
  return StrToInt64Def(ReadRecord(places, name, key), 0);
}
int64_t ReadOriginalInt(const std::string& file, const char* key) {
  return ReadIniInt(file, kOriginalSetup, key, 0);
}

std::vector<PartialDownload> FindPartials(const std::string& folder) {
  std::vector<PartialDownload> partials;
  WIN32_FIND_DATAA entry;
  UniqueFindHandle find(::FindFirstFileA((folder + "*.resume").c_str(), &entry));
  if (!find) return partials;
  do {
    const std::string recordName = entry.cFileName;
    const std::string target = ResumeRecordTarget(recordName);
    if (target.empty()) continue;
    std::string text;
    ReadFilePart(folder + recordName, kMaxResumeRecord + 1, text);
    const std::optional<ResumeRecord> record = ParseResumeRecord(text);
    if (!record) continue;
    PartialDownload partial;
    partial.target = target;
    partial.file = recordName.substr(0, recordName.size() - ResumeRecordName("").size());
    partial.url = record->url;
    partial.size = record->size;
    const int64_t onDisk = GetFileSizeByName(folder + partial.file);
    partial.bytes = onDisk >= 0 ? static_cast<uint64_t>(onDisk) : record->received;
    partials.push_back(std::move(partial));
  } while (::FindNextFileA(find.get(), &entry));
  return partials;
}

std::vector<std::string> LogTail(const std::string& path, size_t lines) {
  const int64_t size = GetFileSizeByName(path);
  if (size <= 0) return {};
  const int64_t offset = std::max<int64_t>(0, size - static_cast<int64_t>(kLogTailBytes));
  std::string text;
  ReadFilePart(path, kLogTailBytes, text, offset);
  // A line cut by the start of what was read is no line.
  if (offset > 0) {
    const size_t end = text.find('\n');
    text.erase(0, end == std::string::npos ? text.size() : end + 1);
  }
  return LastLines(text, lines);
}

bool TestModeNow() {
  const std::string mode = ReadRegValue(kTestModeKey, "TestMode", "0", Use64BitRegistryView);
  const std::string date = ReadRegValue(kTestModeKey, "TestModeDate", "", Use64BitRegistryView);
  return TestModeOn(mode, date, DateText(kDateNow));
}

}  // namespace

ReportFacts GatherReport(const std::string& name, HWND agent, size_t logLines) {
  ReportFacts f;
  const std::string folder = AgentFolder(name, agent);
  const std::string file = FileNamePart(name, IsLead);
  TGFileInfo package(folder + file);
  // An installed file that a setup is replacing right now, or an agent
  // running per user: its copy carries the same package.
  if (!package.HasPackage()) package = TGFileInfo(folder + "X_" + file);
  f.packageFound = package.HasPackage();
  const AgentPlaces places = f.packageFound ? FindPlaces(folder, package) : AgentPlaces{folder, folder};
  f.agentPath = places.home + file;
  f.agentVersion = GetExeVersion(f.agentPath, 1, 4);
  std::string head;
  ReadFilePart(f.agentPath, kHeadBytes, head);
  f.architecture = ArchitectureName(head);
  f.updateLocation = package.UpdateLocation();
  f.vendorKey = !package.PublicKey().empty();
  if (agent) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(agent, &pid);
    f.running = true;
    f.processId = pid;
    DWORD_PTR status = 0;
    if (::SendMessageTimeoutA(agent, wm_AgentMsg, WPARAM(kRequestAgentStatus), 0, SMTO_NORMAL, kStatusTimeoutMs,
                              &status))
      f.agentStatus = static_cast<int>(static_cast<int32_t>(status));
  }
  if (f.packageFound) {
    const std::string original = package.OriginalFileName();
    WaitWhileEmpty(places.home + original);
    WaitWhileEmpty(places.work + original);
    f.originalFound = FileExists(places.home + original);
    f.installedVersion = LowInt32(ReadOriginalInt(places.home + original, "VersionOriginal"));
    f.probeInterval = ReadRecordInt(places, original, "ProbeSecondsInterval");
    f.lastProbe = ReadRecordInt(places, original, "ProbeSecondsLast");
    f.plannedProbe = ReadRecordInt(places, original, "ProbeSecondsNext");
    f.channel = ReadRecord(places, original, "Channel");
    f.probeResult = ReadRecord(places, original, kProbeResultKey);
    f.probeReason = ReadRecord(places, original, kProbeReasonKey);
  }
  f.testMode = TestModeNow();
  f.now = NowSeconds();
  f.partials = FindPartials(places.work);
  f.logName = StubLogName(f.packageFound ? package.AgentExeName() : file);
  f.logTail = LogTail(places.work + f.logName, logLines);
  return f;
}

}  // namespace tarnix::control
