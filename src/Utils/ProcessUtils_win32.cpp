#include "Utils/ProcessUtils.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <vector>

#include "Utils/Analizer.h"
#include "Utils/DateUtils.h"
#include "Utils/FileUtils.h"
#include "Utils/InFile.h"
#include "Utils/MessagePump.h"
#include "Utils/OsInfo.h"
#include "Utils/StrUtils.h"
#include "Utils/SUB.h"
#include "Utils/SysInfo.h"
#include "Utils/Tasklist.h"
#include "Utils/Trace.h"
#include "Utils/UniqueResource.h"
#include "Utils/WindowUtils.h"

namespace tarnix {

namespace {

// Matches nothing: the stand-in for a short path that cannot be had.
constexpr const char* kNoShortPath = "*XX*";
// Stands in for a file name that must not match when only full paths count.
constexpr const char* kNoFileName = "*X*";

constexpr size_t kPsapiListIds = 1025;
constexpr DWORD kPsapiFindStartBytes = 1024;
// Far beyond any real process count; it only bounds the growing buffer.
constexpr DWORD kPsapiFindMaxBytes = 1024 * 1024;
constexpr DWORD kPipeReadSize = 30000;
// Bounds one pass over a pipe that is being filled as fast as it is read.
constexpr int kMaxReadsPerPass = 64;
// How long the output must stay quiet after the program has ended, at
// least, and how long a program it started may go on writing at most.
constexpr int64_t kCaptureGraceMs = 100;
constexpr int64_t kCaptureDrainLimitMs = 5000;

using CreateSnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
using ProcessWalkFn = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);
using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
using ModuleNameFn = DWORD(WINAPI*)(HANDLE, HMODULE, char*, DWORD);

struct Toolhelp {
  CreateSnapshotFn createSnapshot = nullptr;
  ProcessWalkFn first = nullptr;
  ProcessWalkFn next = nullptr;
  bool Present() const { return createSnapshot && first && next; }
};

const Toolhelp& ToolhelpApi() {
  static const Toolhelp api = [] {
    Toolhelp t;
    t.createSnapshot = LoadProcAs<CreateSnapshotFn>("kernel32.dll", "CreateToolhelp32Snapshot");
    t.first = LoadProcAs<ProcessWalkFn>("kernel32.dll", "Process32First");
    t.next = LoadProcAs<ProcessWalkFn>("kernel32.dll", "Process32Next");
    return t;
  }();
  return api;
}

struct Psapi {
  EnumProcessesFn enumProcesses = nullptr;
  EnumProcessModulesFn enumModules = nullptr;
  ModuleNameFn fileName = nullptr;
  ModuleNameFn baseName = nullptr;
};

const Psapi& PsapiApi() {
  static const Psapi api = [] {
    Psapi p;
    p.enumProcesses = LoadProcAs<EnumProcessesFn>("psapi.dll", "EnumProcesses");
    p.enumModules = LoadProcAs<EnumProcessModulesFn>("psapi.dll", "EnumProcessModules");
    p.fileName = LoadProcAs<ModuleNameFn>("psapi.dll", "GetModuleFileNameExA");
    p.baseName = LoadProcAs<ModuleNameFn>("psapi.dll", "GetModuleBaseNameA");
    return p;
  }();
  return api;
}

std::string NamePart(std::string_view path) { return FileNamePart(path, IsLeadByte); }

std::string ShortPathOf(std::string_view path) {
  const std::string p(path);
  if (p.empty()) return {};
  char buffer[MAX_PATH + 1] = {};
  const DWORD n = ::GetShortPathNameA(p.c_str(), buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return {};
  return std::string(buffer, n);
}

std::string TargetShortPath(std::string_view exe) {
  std::string s = ShortPathOf(exe);
  return s.empty() ? kNoShortPath : s;
}

// The executable name of every process in a tool-help snapshot, in the
// snapshot's order.
std::vector<std::pair<DWORD, std::string>> SnapshotProcesses() {
  std::vector<std::pair<DWORD, std::string>> processes;
  const Toolhelp& api = ToolhelpApi();
  if (!api.Present()) return processes;
  UniqueFileHandle snapshot(api.createSnapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return processes;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL ok = api.first(snapshot.get(), &entry); ok; ok = api.next(snapshot.get(), &entry)) {
    entry.szExeFile[sizeof entry.szExeFile - 1] = '\0';
    processes.emplace_back(entry.th32ProcessID, entry.szExeFile);
    entry.dwSize = sizeof entry;
  }
  return processes;
}

std::string ModuleText(ModuleNameFn fn, HANDLE process, HMODULE module, DWORD size) {
  if (!fn) return {};
  std::vector<char> buffer(size + 1, '\0');
  const DWORD n = fn(process, module, buffer.data(), size);
  return std::string(buffer.data(), std::min(n, size));
}

std::string ItemsToList(const std::vector<std::string>& items) {
  return items.empty() ? std::string("|") : SUB::Join(items, false);
}

// The window enumeration's state: the record it fills, and the process
// names of one snapshot taken for the whole run.
struct EnumState {
  TProcessData* data;
  std::map<DWORD, std::string> exeNames;
  std::vector<std::string> pids, names, classes, handles, threads, titles, visible;
};

BOOL CALLBACK RecordWindow(HWND window, LPARAM param) {
  auto& state = *reinterpret_cast<EnumState*>(param);
  try {
    DWORD pid = 0;
    const DWORD thread = ::GetWindowThreadProcessId(window, &pid);
    const auto found = state.exeNames.find(pid);
    const std::string name = found == state.exeNames.end() ? std::string() : found->second;
    const TProcessData& data = *state.data;
    const bool known = std::any_of(state.names.begin(), state.names.end(),
                                   [&](const std::string& n) { return SameTextTrim(n, name); });
    if (data.ListAll || !known) {
      state.pids.push_back(std::to_string(pid));
      state.names.push_back(name);
      state.classes.push_back(GetWindowClassText(window));
      state.handles.push_back(std::to_string(reinterpret_cast<uintptr_t>(window)));
      state.threads.push_back(std::to_string(thread));
      state.titles.push_back(GetWindowTitleText(window));
      state.visible.push_back(::IsWindowVisible(window) ? "1" : "0");
    }
    if (!data.ListAll && (name == data.TargetExe || static_cast<int64_t>(pid) == data.TargetPid)) return FALSE;
    return TRUE;
  } catch (const std::exception& e) {
    ReportException(e, "EnumProcessWindows", "");
    return FALSE;
  }
}

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM param) {
  TAnalizer& analizer = *reinterpret_cast<TAnalizer*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  // Windows beyond the analyser's capacity are ignored, not an error.
  if (pid == analizer.Pid()) analizer.Add(reinterpret_cast<uintptr_t>(window));
  return TRUE;
}

WindowFacts FactsOf(uintptr_t handle) {
  HWND window = reinterpret_cast<HWND>(handle);
  WindowFacts facts;
  facts.rootOwner = reinterpret_cast<uintptr_t>(GetRootOwner(window));
  // Reading the text into a tiny buffer answers "has a title" without
  // sending a message to a program that may hang.
  char probe[2] = {};
  facts.hasTitle = ::GetWindowTextA(window, probe, sizeof probe) > 0;
  facts.visible = ::IsWindowVisible(window) != FALSE;
  return facts;
}

// --- Capturing a program's output ---

bool IsOemLeadByte(unsigned char c) { return ::IsDBCSLeadByteEx(CP_OEMCP, c) != 0; }

struct Capture {
  CaptureCallback callback = nullptr;
  void* context = nullptr;
  bool abort = false;
};

// One pipe that the program writes to, read without ever blocking.
class PipeReader {
 public:
  PipeReader(HANDLE pipe, std::string& text, Capture& capture) : pipe_(pipe), text_(text), capture_(capture) {}

  bool Broken() const { return broken_; }

  // Reads what the pipe holds, a bounded number of times; true when any
  // bytes came.
  bool ReadAvailable() {
    bool got = false;
    for (int i = 0; i < kMaxReadsPerPass && ReadOnce(); ++i) got = true;
    return got;
  }

 private:
  bool ReadOnce() {
    if (broken_) return false;
    DWORD available = 0;
    if (!::PeekNamedPipe(pipe_, nullptr, 0, nullptr, &available, nullptr)) {
      // Every writer has closed its end and nothing is left in the pipe.
      broken_ = true;
      return false;
    }
    if (available == 0) return false;
    const DWORD want = std::min(available, kPipeReadSize);
    if (buffer_.size() < want) buffer_.resize(want);
    DWORD got = 0;
    if (!::ReadFile(pipe_, buffer_.data(), want, &got, nullptr) || got == 0) return false;
    Append(std::string_view(buffer_.data(), got));
    return true;
  }

  void Append(std::string_view bytes) {
    carry_.append(bytes);
    const size_t whole = WholeCharsLength(carry_, IsOemLeadByte);
    if (whole == 0) return;
    std::string piece = carry_.substr(0, whole);
    carry_.erase(0, whole);
    ::OemToCharBuffA(piece.data(), piece.data(), static_cast<DWORD>(piece.size()));
    text_ += piece;
    if (capture_.callback) capture_.callback(piece, capture_.context, capture_.abort);
  }

  HANDLE pipe_;
  std::string& text_;
  Capture& capture_;
  std::vector<char> buffer_;
  std::string carry_;
  bool broken_ = false;
};

bool ProcessEnded(HANDLE process) { return ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }

// Waits up to `ms` for the process, then serves the caller's windows.
void WaitPumping(HANDLE process, uint32_t ms) {
  ::WaitForSingleObject(process, ms);
  YieldX(0);
}

bool RunFailed(std::string_view commandLine, Capture& capture, std::string& errorText, uint32_t& exitCode) {
  errorText = RunFailedText(commandLine, commandLine.size() > kMaxCommandLineLength ? "" : LastErrorText());
  exitCode = kRunFailedExitCode;
  if (capture.callback) capture.callback(errorText + "\r\n", capture.context, capture.abort);
  return false;
}

bool CreateCapturePipe(UniqueHandle& read, UniqueHandle& write) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE r = nullptr, w = nullptr;
  if (!::CreatePipe(&r, &w, &inherit, 0)) return false;
  read.reset(r);
  write.reset(w);
  return true;
}

// The parent's ends stay with the parent: a program holding the writing end
// of its own input would wait for ever for input that never ends. Each is
// replaced by a copy that is not inherited, which works on every Windows
// (SetHandleInformation would not start on 9x); should the copy fail, the
// end is handed down all the same.
void KeepToParent(UniqueHandle& handle) {
  const HANDLE process = ::GetCurrentProcess();
  HANDLE own = nullptr;
  if (::DuplicateHandle(process, handle.get(), process, &own, 0, FALSE, DUPLICATE_SAME_ACCESS)) handle.reset(own);
}

}  // namespace

// --- Finders ---

uint32_t FindPidByTasklist(std::string_view exe, bool fromStart) {
  try {
    const std::string name = NamePart(exe);
    std::string errors, output;
    uint32_t exitCode = 0;
    // By its full path: a bare name is looked for in the program's own
    // folder and the current one first, where anybody could plant one.
    RunAndCapture(GetSystemDir(true) + "tasklist.exe", "/FO csv", SW_HIDE, nullptr, nullptr, 1, errors, output,
                  exitCode);
    return FindPidInTasklistCsv(output, name, fromStart);
  } catch (const std::exception& e) {
    ReportException(e, "FindPidByTasklist", std::string(exe));
    return 0;
  }
}

uint32_t FindPidByToolhelp(std::string_view exe, bool fullPathOnly, bool firstMatch) {
  try {
    const std::string target = Trim(exe);
    const std::string targetShort = TargetShortPath(target);
    const bool hasShort = targetShort != kNoShortPath;
    uint32_t result = 0;
    for (const auto& [pid, exeFile] : SnapshotProcesses()) {
      const std::string fileName = fullPathOnly ? std::string(kNoFileName) : NamePart(exeFile);
      const bool match = SameTextTrim(exeFile, target) || SameTextTrim(fileName, target) ||
                         (hasShort && SameTextTrim(ShortPathOf(exeFile), targetShort));
      if (!match) continue;
      result = pid;
      if (firstMatch) break;
    }
    return result;
  } catch (const std::exception& e) {
    ReportException(e, "FindPidByToolhelp", std::string(exe));
    return 0;
  }
}

uint32_t FindPidByPsapi(std::string_view exe, bool fullPathOnly, bool firstMatch) {
  try {
    const Psapi& api = PsapiApi();
    if (!api.enumProcesses || !api.enumModules) return 0;
    const std::string target = Trim(exe);
    const std::string targetShort = TargetShortPath(target);
    const bool hasShort = targetShort != kNoShortPath;

    std::vector<DWORD> ids;
    DWORD needed = 0;
    for (DWORD bytes = kPsapiFindStartBytes; bytes <= kPsapiFindMaxBytes; bytes += 1024) {
      ids.assign(bytes / sizeof(DWORD), 0);
      if (!api.enumProcesses(ids.data(), bytes, &needed)) return 0;
      if (needed < bytes) break;
    }
    ids.resize(std::min<size_t>(needed / sizeof(DWORD), ids.size()));

    uint32_t result = 0;
    for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
      if (result != 0 && !firstMatch) break;
      UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, *it));
      if (!process) continue;
      HMODULE module = nullptr;
      DWORD moduleBytes = 0;
      if (!api.enumModules(process.get(), &module, sizeof module, &moduleBytes)) continue;
      const std::string fullPath = ModuleText(api.fileName, process.get(), module, 256);
      const std::string baseName =
          fullPathOnly ? std::string(kNoFileName) : ModuleText(api.baseName, process.get(), module, 256);
      process.reset();
      if (SameTextTrim(fullPath, target) || SameTextTrim(baseName, target) ||
          (hasShort && SameTextTrim(ShortPathOf(fullPath), targetShort)))
        result = *it;
    }
    return result;
  } catch (const std::exception& e) {
    ReportException(e, "FindPidByPsapi", std::string(exe));
    return 0;
  }
}

uint32_t FindPidInProcessList(std::string_view exe, bool fullPath, bool keepOrder) {
  try {
    const std::string name = NamePart(Trim(exe));
    const std::string nameShort = TargetShortPath(name);
    const bool hasShort = nameShort != kNoShortPath;
    std::string list = ListProcesses(fullPath, true);
    if (!keepOrder) list = SUB::Reverse(list);
    const auto [names, values] = SUB::SplitPairs(list);
    const std::vector<std::string> nameItems = SUB::Items(names);
    const std::vector<std::string> valueItems = SUB::Items(values);
    for (size_t i = 0; i < nameItems.size() && i < valueItems.size(); ++i) {
      if (!SameTextTrim(nameItems[i], name) && !(hasShort && SameTextTrim(ShortPathOf(nameItems[i]), nameShort)))
        continue;
      const int64_t pid = StrToInt64Def(valueItems[i], 0);
      if (pid > 0 && pid <= UINT32_MAX) return static_cast<uint32_t>(pid);
    }
    return 0;
  } catch (const std::exception& e) {
    ReportException(e, "FindPidInProcessList", std::string(exe));
    return 0;
  }
}

std::string ListProcessesPsapi(bool fullPath, bool withPid) {
  try {
    const Psapi& api = PsapiApi();
    if (!api.enumProcesses) return "|";
    std::array<DWORD, kPsapiListIds> ids{};
    DWORD needed = 0;
    if (!api.enumProcesses(ids.data(), sizeof ids, &needed)) return "|";
    // More processes than the buffer holds are left out.
    const size_t count = std::min<size_t>(needed / sizeof(DWORD), ids.size());
    const uint32_t osCode = GetOSCode();
    std::vector<std::string> items;
    for (size_t i = 0; i < count; ++i) {
      const DWORD pid = ids[i];
      std::string name = FixedProcessName(pid, osCode);
      if (name.empty()) {
        UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
        if (process) name = ModuleText(api.fileName, process.get(), nullptr, MAX_PATH);
        if (!fullPath) name = NamePart(name);
      }
      if (name.empty()) continue;
      items.push_back(withPid ? name + "=" + std::to_string(pid) : name);
    }
    return ItemsToList(items);
  } catch (const std::exception& e) {
    ReportException(e, "ListProcessesPsapi", "");
    return "|";
  }
}

TProcessData EnumProcessWindows(bool listAll, std::string_view targetExe, int32_t targetPid) {
  TProcessData data;
  data.ListAll = listAll;
  data.TargetExe = std::string(targetExe);
  data.TargetPid = targetPid;
  try {
    EnumState state{&data, {}, {}, {}, {}, {}, {}, {}, {}};
    for (auto& [pid, name] : SnapshotProcesses()) state.exeNames.emplace(pid, std::move(name));
    ::EnumWindows(RecordWindow, reinterpret_cast<LPARAM>(&state));
    data.Pids = ItemsToList(state.pids);
    data.ExeNames = ItemsToList(state.names);
    data.ClassNames = ItemsToList(state.classes);
    data.Handles = ItemsToList(state.handles);
    data.ThreadIds = ItemsToList(state.threads);
    data.Titles = ItemsToList(state.titles);
    data.Visible = ItemsToList(state.visible);
  } catch (const std::exception& e) {
    ReportException(e, "EnumProcessWindows", std::string(targetExe));
  }
  return data;
}

std::string ListWindowProcesses(bool withPid, bool withHandle) {
  try {
    const TProcessData data = EnumProcessWindows(true, "*", -1);
    std::string list;
    if (withPid)
      list = SUB::Zip(data.ExeNames, data.Pids, true);
    else if (withHandle)
      list = SUB::Zip(data.ExeNames, data.Handles, true);
    else
      list = data.ExeNames;
    return list.empty() ? std::string("|") : list;
  } catch (const std::exception& e) {
    ReportException(e, "ListWindowProcesses", "");
    return "|";
  }
}

std::string GetWindowExeName(HWND window) {
  try {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    for (const auto& [id, name] : SnapshotProcesses())
      if (id == pid) return name;
  } catch (const std::exception& e) {
    ReportException(e, "GetWindowExeName", "");
  }
  return {};
}

std::string ProcessImagePath(uint32_t pid) {
  try {
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (process) {
      const std::string path = ModuleText(PsapiApi().fileName, process.get(), nullptr, MAX_PATH);
      if (!path.empty()) return path;
    }
    for (const auto& [id, name] : SnapshotProcesses())
      if (id == pid) return name;
  } catch (const std::exception& e) {
    ReportException(e, "ProcessImagePath", "");
  }
  return {};
}

std::string ListProcesses(bool fullPath, bool withPid) {
  if (ListsProcessesByPsapi(GetOSVersionRecord())) return ListProcessesPsapi(fullPath, withPid);
  return ListWindowProcesses(withPid, false);
}

bool IsProcessRunning(std::string_view exe) {
  const std::string name = Unquote(exe, true);
  if (IsNT()) return FindPidInProcessList(name, false, false) != 0;
  return FindPidByToolhelp(name, false, false) != 0;
}

void WaitForProcessEnd(std::string_view exe, uint32_t timeoutMs) {
  const std::string name = Unquote(exe, true);
  const int64_t limit = timeoutMs == 0 ? 1000 : timeoutMs;
  const int64_t start = NowMs();
  while (IsProcessRunning(name)) {
    DelayPump(0, 100);
    if (NowMs() - start > limit) break;
  }
}

// --- Main window and messages ---

HWND FindProcessMainWindow(std::string_view exe, bool fullPathOnly, bool fromStart) {
  try {
    uint32_t pid = 0;
    switch (ChoosePidFinder(GetOSVersionRecord())) {
      case PidFinder::Tasklist:
        pid = FindPidByTasklist(exe, fromStart);
        break;
      case PidFinder::Psapi:
        pid = FindPidByPsapi(exe, fullPathOnly, fromStart);
        break;
      case PidFinder::Toolhelp:
        pid = FindPidByToolhelp(exe, fullPathOnly, fromStart);
        break;
    }
    if (pid == 0) return nullptr;
    auto analizer = std::make_unique<TAnalizer>();
    analizer->Clear();
    analizer->SetPid(pid);
    ::EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(analizer.get()));
    return reinterpret_cast<HWND>(analizer->Pick(FactsOf));
  } catch (const std::exception& e) {
    ReportException(e, "FindProcessMainWindow", std::string(exe));
    return nullptr;
  }
}

bool PostToProcess(std::string_view exe, bool fullPath, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND window = FindProcessMainWindow(exe, fullPath, false);
  if (!window) return false;
  ::PostMessageA(window, message, wParam, lParam);
  return true;
}

bool CloseProcessWindow(std::string_view exe, bool fullPath, uint32_t waitMs) {
  const bool posted = PostToProcess(exe, fullPath, WM_CLOSE, 15, 255);
  if (waitMs > 0) WaitForProcessEnd(exe, waitMs);
  return posted;
}

bool QuitProcessWindow(std::string_view exe, bool fullPath) { return PostToProcess(exe, fullPath, WM_QUIT, 15, 255); }

bool TerminateProcessByName(std::string_view exe, bool fullPath) {
  const uint32_t pid = IsNT() ? FindPidInProcessList(exe, fullPath, false) : FindPidByToolhelp(exe, fullPath, false);
  if (pid == 0) return false;
  UniqueHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, pid));
  if (!process) return false;
  return ::TerminateProcess(process.get(), 0) != FALSE;
}

void WaitWhileWindowExists(std::string_view className, std::string_view windowName) {
  if (className.empty() && windowName.empty()) return;
  const std::string cls(className), name(windowName);
  while (::FindWindowA(cls.empty() ? nullptr : cls.c_str(), name.empty() ? nullptr : name.c_str())) {
    YieldX(0);
    ::Sleep(100);
  }
}

// --- Running a console tool ---

bool RunAndCapture(std::string_view exe, std::string_view parameters, int showWindow, CaptureCallback callback,
                   void* context, uint32_t settleMs, std::string& errorText, std::string& outputText,
                   uint32_t& exitCode) {
  errorText.clear();
  outputText.clear();
  exitCode = kRunFailedExitCode;
  Capture capture{callback, context, false};
  try {
    std::string commandLine = BuildCommandLine(exe, parameters);
    if (commandLine.size() > kMaxCommandLineLength) return RunFailed(commandLine, capture, errorText, exitCode);

    UniqueHandle inRead, inWrite, outRead, outWrite, errRead, errWrite;
    if (!CreateCapturePipe(inRead, inWrite) || !CreateCapturePipe(outRead, outWrite) ||
        !CreateCapturePipe(errRead, errWrite))
      return RunFailed(commandLine, capture, errorText, exitCode);
    KeepToParent(inWrite);
    KeepToParent(outRead);
    KeepToParent(errRead);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK | STARTF_USESTDHANDLES;
    startup.wShowWindow = static_cast<WORD>(showWindow);
    startup.hStdInput = inRead.get();
    startup.hStdOutput = outWrite.get();
    startup.hStdError = errWrite.get();
    PROCESS_INFORMATION started{};
    std::string mutableLine = commandLine;
    if (!::CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, IDLE_PRIORITY_CLASS, nullptr, nullptr,
                          &startup, &started))
      return RunFailed(commandLine, capture, errorText, exitCode);
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);

    // Only the program holds its ends now, so the output pipes break as
    // soon as it (and whatever inherited them) has gone, and a program that
    // reads its input finds it empty rather than waiting for ever.
    inRead.reset();
    outWrite.reset();
    errWrite.reset();
    inWrite.reset();

    PipeReader out(outRead.get(), outputText, capture);
    PipeReader err(errRead.get(), errorText, capture);
    bool terminated = false;
    uint32_t step = callback ? 1 : 100;
    for (;;) {
      if ((!outputText.empty() || !errorText.empty()) && step > 10) step -= 10;
      WaitPumping(process.get(), step);
      // Reading while the program runs keeps it from blocking on a full pipe.
      out.ReadAvailable();
      err.ReadAvailable();
      if (capture.abort && !terminated) {
        ::TerminateProcess(process.get(), 255);
        terminated = true;
      }
      if (ProcessEnded(process.get())) break;
    }

    // A program it started may still hold the pipes and write: read on until
    // they break or stay quiet for the settle time.
    const int64_t grace = std::max<int64_t>(settleMs, kCaptureGraceMs);
    const int64_t drainStart = NowMs();
    int64_t lastData = drainStart;
    while (!(out.Broken() && err.Broken())) {
      const bool gotOut = out.ReadAvailable();
      const bool gotErr = err.ReadAvailable();
      const int64_t now = NowMs();
      if (gotOut || gotErr) lastData = now;
      if (now - lastData >= grace || now - drainStart >= kCaptureDrainLimitMs) break;
      DelayPump(0, 10);
    }

    DWORD code = kRunFailedExitCode;
    ::GetExitCodeProcess(process.get(), &code);
    exitCode = code;
    return exitCode == 0;
  } catch (const std::exception& e) {
    ReportException(e, "RunAndCapture", std::string(exe));
    return false;
  }
}

bool LaunchProgram(std::string_view commandLine, int showCommand) {
  const ProgramStart how = StartProgram(commandLine, showCommand).how;
  return how == ProgramStart::Started || how == ProgramStart::StartedElevated;
}

StartedProgram StartThroughShell(std::string_view commandLine, int showCommand) {
  const ProgramParts parts = SplitCommandLine(commandLine, FileExists);
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  // No error box of the shell's own: the caller reports failures its way.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_FLAG_DDEWAIT;
  info.lpFile = parts.program.c_str();
  info.lpParameters = parts.parameters.empty() ? nullptr : parts.parameters.c_str();
  info.nShow = showCommand;
  const bool ok = ::ShellExecuteExA(&info) != FALSE;
  const DWORD error = ok ? 0 : ::GetLastError();
  StartedProgram started;
  switch (ShellStartOutcome(ok, error)) {
    case ShellStart::Started:
      started.how = ProgramStart::StartedElevated;
      started.process.reset(info.hProcess);
      break;
    case ShellStart::Refused:
      started.how = ProgramStart::Refused;
      break;
    case ShellStart::Failed:
      Trace("StartThroughShell: cannot start %s (%lu)", parts.program.c_str(), error);
      started.systemError = error;
      break;
  }
  return started;
}

StartedProgram StartProgram(std::string_view commandLine, int showCommand) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showCommand);
  PROCESS_INFORMATION info{};
  std::string line(commandLine);
  StartedProgram started;
  if (::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    UniqueHandle thread(info.hThread);
    started.how = ProgramStart::Started;
    started.process.reset(info.hProcess);
    return started;
  }
  const DWORD error = ::GetLastError();
  if (RouteAfterCreateFailure(error) == StartRoute::ThroughShell) return StartThroughShell(commandLine, showCommand);
  Trace("StartProgram: cannot start %s (%lu)", line.c_str(), error);
  started.systemError = error;
  return started;
}

}  // namespace tarnix
