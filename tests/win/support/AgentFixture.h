// The fixture of the tests that run the resident agent: an agent package
// installed under a folder with blanks in its name, its .original file, a
// loopback server for its announcements, a controller window that collects
// its notifications, the debug channel, and the means to start, steer and
// stop it as a product would. Every agent a test started is ended and its
// files are checked gone when the test ends.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "PackageBuilder.h"
#include "Utils/UniqueResource.h"
#include "startup/AgentMessages.h"
#include "win/DebugTestSupport.h"
#include "win/support/LoopbackHttpServer.h"
#include "win/support/MsgBoxDriver.h"
#include "win/support/SetupFixture.h"
#include "win/support/SetupProcess.h"

namespace tarnix::test {

inline constexpr char kAgentName[] = "SampleAgent.exe";
inline constexpr char kInfoName[] = "Sample.info";
inline constexpr char kOriginalName[] = "Sample.original";
inline constexpr char kProductToken[] = "sample-product-2026";
inline constexpr char kTestModeKey[] = "Software\\Halvorin\\Tarnix\\AutoUpdate";

// Collects the notifications an agent posts to a registered controller.
class NotificationCollector {
 public:
  static constexpr UINT kMessage = WM_APP + 7;

  NotificationCollector() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &NotificationCollector::Proc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TarnixTestController";
    ::RegisterClassA(&windowClass);
    window_.reset(::CreateWindowExA(0, windowClass.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    windowClass.hInstance, nullptr));
    ::SetWindowLongPtrA(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }

  HWND Window() const { return window_.get(); }
  const std::vector<std::pair<WPARAM, LPARAM>>& Received() const { return received_; }
  bool Has(WPARAM code, LPARAM value) const {
    return std::find(received_.begin(), received_.end(), std::make_pair(code, value)) != received_.end();
  }
  // "code:value code:value ..." for failure messages.
  std::string Describe() const {
    std::string all;
    for (const auto& [code, value] : received_) all += std::to_string(code) + ":" + std::to_string(value) + " ";
    return all;
  }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMessage) {
      auto* self = reinterpret_cast<NotificationCollector*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
      if (self) self->received_.emplace_back(wParam, lParam);
      return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
  }

  UniqueWindow window_;
  std::vector<std::pair<WPARAM, LPARAM>> received_;
};

// Runs agent-control with `arguments`, its standard output into `outFile`;
// the process, still running.
inline UniqueHandle StartAgentControl(const std::string& arguments, const std::string& outFile) {
  const std::string exe = PathFromEnv("TARNIX_AGENT_CONTROL_EXE");
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  UniqueFileHandle out(::CreateFileA(outFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0,
                                     nullptr));
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out.get();
  startup.hStdError = out.get();
  PROCESS_INFORMATION started{};
  std::string commandLine = "\"" + exe + "\" " + arguments;
  if (!::CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &started)) {
    ADD_FAILURE() << "cannot start " << exe;
    return {};
  }
  UniqueHandle thread(started.hThread);
  return UniqueHandle(started.hProcess);
}

class AgentFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    stub_ = PathFromEnv("TARNIX_STUB_EXE");
    ASSERT_FALSE(stub_.empty()) << "TARNIX_STUB_EXE is not set";
    ASSERT_TRUE(server_.Running());
    installDir_ = dir_ / "Program Files\\Sample Product";
    std::filesystem::create_directories(installDir_);
    ClearTestMode();
  }

  void TearDown() override {
    EndAgent();
    ClearTestMode();
  }

  // The announcement location the agent package names; the loopback
  // server unless a test installs with another one, or serves it over
  // https (httpsBase_).
  std::string ServerLocation() const { return (httpsBase_.empty() ? server_.Url("") : httpsBase_) + "/updates"; }

  // The agent package, installed as the product's setup would.
  pack::PackageSpec AgentPlan(const std::string& updateLocation) const {
    pack::PackageSpec plan;
    plan.stubPath = stub_;
    plan.isAgent = true;
    plan.options = kAgentLog;
    plan.updateLocation = updateLocation;
    plan.infoFileName = kInfoName;
    plan.agentExeName = agentName_;
    plan.settingsToken = kProductToken;
    plan.publicKey = publicKey_;
    return plan;
  }

  void InstallAgent(const pack::PackageSpec& plan) {
    std::string error;
    pack::BuildReport report;
    ASSERT_TRUE(pack::BuildPackage(plan, AgentPath(), report, error)) << error;
  }
  void InstallAgent() { InstallAgent(AgentPlan(ServerLocation())); }

  std::string AgentPath() const { return installDir_ + "\\" + agentName_; }
  // The agent writes its files in its work folder: the installation folder
  // unless it cannot write there.
  std::string WorkDir() const { return workDir_.empty() ? installDir_ : workDir_; }
  std::string XAgentPath() const { return WorkDir() + "\\X_" + agentName_; }
  // The agent's name without its extension.
  std::string AgentStem() const { return agentName_.substr(0, agentName_.rfind('.')); }
  std::string OriginalPath() const { return installDir_ + "\\" + kOriginalName; }
  std::string InfoPath() const { return WorkDir() + "\\" + kInfoName; }
  std::string LogPath() const { return WorkDir() + "\\X_" + AgentStem() + ".log"; }
  std::string Log() const { return ReadWholeFile(LogPath()); }
  bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }
  int LogCount(const std::string& text) const {
    const std::string log = Log();
    int n = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
    return n;
  }

  void SetOriginal(const char* section, const char* key, const std::string& value) {
    ASSERT_TRUE(::WritePrivateProfileStringA(section, key, value.c_str(), OriginalPath().c_str()));
  }
  // The agent rewrites the whole file for every key it writes, the last
  // ones at the end of each probe; a read at that moment finds the file
  // empty, and is made again.
  std::string Original(const char* section, const char* key) const {
    char value[256] = {};
    for (int attempt = 0; attempt < 40; ++attempt) {
      const WIN32_FILE_ATTRIBUTE_DATA before = OriginalAttributes();
      ::GetPrivateProfileStringA(section, key, "", value, sizeof value, OriginalPath().c_str());
      if (value[0] != '\0') break;
      // An empty value is the key's only when the agent did not rewrite
      // the file (empty for a moment) while it was read.
      const WIN32_FILE_ATTRIBUTE_DATA after = OriginalAttributes();
      const bool steady = before.nFileSizeLow != 0 && after.nFileSizeLow == before.nFileSizeLow &&
                          ::CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime) == 0;
      if (steady) break;
      ::Sleep(50);
    }
    return value;
  }
  WIN32_FILE_ATTRIBUTE_DATA OriginalAttributes() const {
    WIN32_FILE_ATTRIBUTE_DATA file{};
    ::GetFileAttributesExA(OriginalPath().c_str(), GetFileExInfoStandard, &file);
    return file;
  }
  // The question before a check the user asks for, in one text of the
  // vendor's: the two further parts written empty.
  void SetCheckQuestion(const std::string& text) {
    SetOriginal("AutoUpdate", "s22", text);
    SetOriginal("AutoUpdate", "s23", "");
    SetOriginal("AutoUpdate", "s24", "");
  }

  // The product as installed: its version and the probe settings.
  void WriteOriginal(int version, int64_t probeInterval, int64_t probeLast) {
    SetOriginal("OriginalSetup", "VersionOriginal", std::to_string(version));
    SetOriginal("OriginalSetup", "ProbeSecondsInterval", std::to_string(probeInterval));
    SetOriginal("OriginalSetup", "ProbeSecondsLast", std::to_string(probeLast));
    SetOriginal("OriginalSetup", "ProgramName", "Sample Product");
  }

  // The announcement the server gives for the agent's probes.
  void ServeInfo(const std::string& body) {
    HttpResponse info;
    info.body = body;
    info.contentType = "text/plain";
    server_.Serve("/updates/" + std::string(kInfoName), info);
  }
  // Downloads of the announcement (each also sends a HEAD first).
  int InfoRequests() const { return Gets("/updates/" + std::string(kInfoName)); }
  int Gets(const std::string& path) const {
    int n = 0;
    for (const HttpRequestSeen& request : server_.Requests()) n += request.method == "GET" && request.path == path;
    return n;
  }

  // Starts the installed (plain) agent with `parameters`, as a shortcut
  // would, and waits until it has ended; its exit code.
  // `environment`: a block as EnvironmentWith gives; empty for this
  // process's.
  DWORD StartPlainAgent(const std::string& parameters = "", const std::string& environment = {}) {
    std::string commandLine = "\"" + AgentPath() + "\"";
    if (!parameters.empty()) commandLine += " " + parameters;
    const ProcessRun run = RunPumping(AgentPath(), commandLine, 60000, environment);
    EXPECT_TRUE(run.ended);
    return run.exitCode;
  }

  HWND XAgentWindow() const { return ::FindWindowA((".AutoUpdate.X_" + AgentStem()).c_str(), nullptr); }

  // Runs agent-control with `arguments` to its end; what it printed, and
  // its exit code in `code`.
  std::string Control(const std::string& arguments, const std::string& outFile, DWORD& code) {
    code = 99;
    UniqueHandle process = StartAgentControl(arguments, outFile);
    if (!process) return {};
    EXPECT_TRUE(WaitUntil([&] { return ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }, 30000));
    ::GetExitCodeProcess(process.get(), &code);
    return ReadWholeFile(outFile);
  }

  // Pumps this thread (the collector and the debug receiver live on it) and
  // answers the agent's boxes with `answer` until `done` holds.
  bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 60000) {
    const DWORD start = ::GetTickCount();
    for (;;) {
      Pump();
      AnswerBox();
      if (done()) return true;
      if (::GetTickCount() - start >= timeoutMs) return done();
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
  }

  HWND WaitForXAgent(DWORD timeoutMs = 30000) {
    HWND window = nullptr;
    WaitUntil([&] { return (window = XAgentWindow()) != nullptr; }, timeoutMs);
    return window;
  }

  // A request to the running X_ agent and its result.
  LRESULT Request(int32_t type, LPARAM argument = 0) {
    DWORD_PTR result = 0;
    EXPECT_TRUE(::SendMessageTimeoutA(XAgentWindow(), wm_AgentMsg, WPARAM(type), argument, SMTO_NORMAL, 20000,
                                      &result))
        << "request " << type;
    return LRESULT(result);
  }

  // Ends the running X_ agent and waits until its process, its file and
  // its deletion script are gone.
  void StopXAgent() {
    HWND window = XAgentWindow();
    if (!window) return;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    ::PostMessageA(window, wm_ShutDown, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return !process || ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }, 20000))
        << "the agent did not end";
    EXPECT_TRUE(WaitUntil([&] { return !PathExists(XAgentPath()); }, 20000)) << XAgentPath() << " stays";
    EXPECT_TRUE(WaitUntil([] { return SelfDeleteScriptsLeft().empty(); }, 20000)) << SelfDeleteScriptsLeft();
  }

  // Whatever a test left running goes; an agent that ends by itself has
  // its deletion script finish, which pauses between tries: one ended
  // half way would stay in the temp folder for later runs to find.
  void EndAgent() {
    if (HWND window = XAgentWindow()) {
      ::PostMessageA(window, wm_ShutDown, 0, 0);
      if (!WaitUntil([&] { return !XAgentWindow(); }, 10000)) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(XAgentWindow(), &pid);
        UniqueHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, pid));
        if (process) ::TerminateProcess(process.get(), 1);
      }
      WaitUntil([] { return SelfDeleteScriptsLeft().empty(); }, 20000);
    }
  }

  // Owns the debug viewer window from now on. Programs send their trace to
  // whichever viewer they find, so only one test process at a time may
  // listen (the tests that do run in one group).
  void ListenToDebugChannel() { debug_.emplace(); }

  // How often the running X_ agent traced `text` (its trace lines begin
  // with its process id, which tells them from those of other programs).
  int DebugCount(const std::string& text) const {
    HWND window = XAgentWindow();
    if (!debug_ || !window) return 0;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    const std::string wanted = std::to_string(pid) + text;
    const std::string all = debug_->Joined();
    int n = 0;
    for (size_t at = all.find(wanted); at != std::string::npos; at = all.find(wanted, at + 1)) ++n;
    return n;
  }

  void SetTestMode(const std::string& mode, const std::string& date, const std::string& url) {
    UniqueHKey key;
    HKEY raw = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kTestModeKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw, nullptr),
              ERROR_SUCCESS);
    key.reset(raw);
    for (const auto& [name, value] : {std::pair<const char*, std::string>{"TestMode", mode},
                                      {"TestModeDate", date},
                                      {"TestModeURL", url}})
      ::RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       DWORD(value.size() + 1));
  }
  static void ClearTestMode() { ::RegDeleteKeyA(HKEY_CURRENT_USER, kTestModeKey); }

  // The installed agent's file name. A suite that runs beside the others
  // names its agent otherwise: a second agent of one name finds the first
  // by its window class and leaves it the work.
  std::string agentName_ = kAgentName;

  // Boxes the agent shows are answered by `answer_` (empty: back out).
  BoxAnswer answer_;
  std::vector<SeenBox> boxes_;

  std::string stub_;
  ScratchDir dir_;
  std::string installDir_;
  // Empty: the installation folder.
  std::string workDir_;
  LoopbackHttpServer server_;
  // "https://localhost:<port>" of a TLS front for the server; empty: plain
  // http.
  std::string httpsBase_;
  // The vendor's key that the packages carry, as hex digits; empty: none.
  std::string publicKey_;
  // The debug channel, for the tests that listen to it (ListenToDebugChannel).
  std::optional<PieceCollector> debug_;

 private:
  void Pump() {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageA(&message);
    }
  }

  void AnswerBox() {
    HWND window = XAgentWindow();
    if (!window) return;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    auto box = MsgBoxDriver::WaitFor(pid, 0);
    if (!box) return;
    SeenBox seen{box->Title(), box->Text(), box->ButtonCaptions(), {}};
    seen.pressed = answer_ ? answer_(seen) : std::string();
    if (seen.pressed.empty()) seen.pressed = seen.captions.empty() ? std::string() : seen.captions.back();
    if (!box->PressButton(seen.pressed)) box->PressKey(VK_ESCAPE);
    box->WaitUntilClosed(10000);
    boxes_.push_back(std::move(seen));
  }
};

}  // namespace tarnix::test
