// Steers a running Tarnix agent from outside, as a product or a support
// script would: finds the agent's window by the agent's file name, sends it
// requests, asks it to stop, and prints its notifications as they arrive.
//
//   agent-control NAME find
//   agent-control NAME request TYPE [VALUE]
//   agent-control NAME status | check [VALUE] | refresh-info
//   agent-control NAME channel [CHANNEL]
//   agent-control NAME stop [TICKS]
//   agent-control NAME watch [--seconds N] [--until CODE]
//   agent-control NAME report [--json] [--lines N]
//
// NAME is the agent's file name as its package names it (ProductAgent.exe),
// or its path; `report` reads the agent's files in that folder, else in the
// running agent's, else in the current one.
// Exit codes: 0 done, 1 no agent running (or `watch` ended before CODE
// arrived, or `report` found no agent package), 2 usage error.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "Report_win32.h"
#include "Utils/PathUtils.h"
#include "Utils/StrUtils.h"
#include "autoupdate/ProbePacing.h"
#include "startup/AgentMessages.h"
#include "startup/RunMode.h"

namespace {

constexpr int kNoAgent = 1;
constexpr int kUsageError = 2;
// A request runs inside the agent's message loop, which a long probe keeps
// pumping; a hung agent must not hang its controller.
constexpr UINT kRequestTimeoutMs = 30000;
constexpr UINT kNotifyMessage = WM_APP + 1;

constexpr char kUsage[] =
    "usage: agent-control NAME COMMAND [ARGS]\n"
    "  find                  print the agent's window handle\n"
    "  request TYPE [VALUE]  send a request and print its result\n"
    "  status                the agent's status (0 idle, 1 .info download,\n"
    "                        2 update download, 3 new setup running)\n"
    "  check [VALUE]         probe now; VALUE 2 = a check the user asked for\n"
    "  refresh-info          fetch the .info file only\n"
    "  channel [CHANNEL]     follow CHANNEL (letters, digits, - and _): fetch\n"
    "                        NAME.CHANNEL.info, else the plain one; none: the\n"
    "                        plain announcement only\n"
    "  stop [TICKS]          end the agent after TICKS seconds (default 0)\n"
    "  watch [--seconds N] [--until CODE]\n"
    "                        print notifications as \"CODE VALUE\" lines until\n"
    "                        CODE arrives (default 43: the agent has ended)\n"
    "  report [--json] [--lines N]\n"
    "                        what a support desk asks first: versions, update\n"
    "                        location, the last probe and why it failed, the\n"
    "                        next probe, a partial download, the log's last N\n"
    "                        lines (default 20); the agent need not run\n";

bool ParseNumber(std::string_view text, int64_t low, int64_t high, int64_t& out) {
  return tarnix::ParseInt64(text, out) && out >= low && out <= high;
}

// The resident X_ copy, or an agent running under the package's own name.
HWND FindAgent(const std::string& name) {
  const std::string file = tarnix::FileNamePart(name, tarnix::IsLeadByte);
  if (HWND window = ::FindWindowA(tarnix::XAgentClassName(file).c_str(), nullptr)) return window;
  return ::FindWindowA(tarnix::WindowClassName(true, file).c_str(), nullptr);
}

struct ReportOptions {
  bool json = false;
  int64_t lines = 20;
};

bool ParseReport(int argc, char** argv, int first, ReportOptions& options) {
  for (int i = first; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (option == "--json") {
      options.json = true;
    } else if (option == "--lines" && i + 1 < argc && ParseNumber(argv[i + 1], 0, 10000, options.lines)) {
      ++i;
    } else {
      return false;
    }
  }
  return true;
}

int Report(const std::string& name, const ReportOptions& options) {
  const tarnix::control::ReportFacts facts =
      tarnix::control::GatherReport(name, FindAgent(name), static_cast<size_t>(options.lines));
  const std::string text = options.json ? tarnix::control::ReportJson(facts) : tarnix::control::ReportText(facts);
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (!facts.packageFound) std::fprintf(stderr, "agent-control: no agent package at %s\n", facts.agentPath.c_str());
  return facts.packageFound ? 0 : kNoAgent;
}

int Request(HWND agent, int64_t type, int64_t value) {
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutA(agent, tarnix::wm_AgentMsg, WPARAM(type), LPARAM(value), SMTO_NORMAL,
                             kRequestTimeoutMs, &result)) {
    std::fprintf(stderr, "agent-control: the agent did not answer\n");
    return kNoAgent;
  }
  std::printf("%ld\n", static_cast<long>(static_cast<LRESULT>(result)));
  return 0;
}

struct WatchState {
  int64_t until = tarnix::kNotifyLoopEnded;
  bool done = false;
};

WatchState g_watch;

LRESULT CALLBACK WatchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kNotifyMessage) {
    std::printf("%lu %ld\n", static_cast<unsigned long>(wParam), static_cast<long>(lParam));
    std::fflush(stdout);
    if (int64_t(wParam) == g_watch.until) g_watch.done = true;
    return 0;
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateWatchWindow() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = WatchProc;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "TarnixAgentControl";
  ::RegisterClassA(&windowClass);
  return ::CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           windowClass.hInstance, nullptr);
}

int Watch(HWND agent, std::optional<DWORD> seconds) {
  HWND window = CreateWatchWindow();
  if (!window) {
    std::fprintf(stderr, "agent-control: cannot create a window\n");
    return kNoAgent;
  }
  ::PostMessageA(agent, tarnix::wm_LocalMsg, reinterpret_cast<WPARAM>(window), kNotifyMessage);
  const DWORD start = ::GetTickCount();
  while (!g_watch.done) {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
    if (g_watch.done) break;
    DWORD wait = 500;
    if (seconds) {
      const DWORD elapsed = ::GetTickCount() - start;
      if (elapsed >= *seconds * 1000) break;
      wait = std::min<DWORD>(wait, *seconds * 1000 - elapsed);
    }
    // An agent that ended without a word (killed) ends the watch too.
    if (!::IsWindow(agent) && !::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) break;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
  }
  ::DestroyWindow(window);
  return g_watch.done ? 0 : kNoAgent;
}

bool ParseWatch(int argc, char** argv, int first, std::optional<DWORD>& seconds) {
  for (int i = first; i < argc; i += 2) {
    const std::string_view name = argv[i];
    int64_t number = 0;
    if (i + 1 >= argc) return false;
    if (name == "--seconds" && ParseNumber(argv[i + 1], 1, 86400 * 7, number)) {
      seconds = static_cast<DWORD>(number);
    } else if (name == "--until" && ParseNumber(argv[i + 1], 0, 0xFFFF, number)) {
      g_watch.until = number;
    } else {
      return false;
    }
  }
  return true;
}

// The optional number at argv[index]; `def` when absent.
bool OptionalNumber(int argc, char** argv, int index, int64_t def, int64_t& out) {
  out = def;
  if (index >= argc) return true;
  return index + 1 == argc && ParseNumber(argv[index], INT32_MIN, INT32_MAX, out);
}

int Usage() {
  std::fputs(kUsage, stderr);
  return kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string name = argv[1];
  const std::string_view command = argv[2];
  int64_t type = 0, value = 0;
  std::optional<DWORD> seconds;
  ReportOptions reportOptions;
  bool usageOk = true;
  if (command == "report") {
    if (!ParseReport(argc, argv, 3, reportOptions)) return Usage();
    return Report(name, reportOptions);
  }
  if (command == "request") {
    usageOk = argc >= 4 && ParseNumber(argv[3], INT32_MIN, INT32_MAX, type) && OptionalNumber(argc, argv, 4, 0, value);
  } else if (command == "check") {
    type = tarnix::kRequestCheck;
    usageOk = OptionalNumber(argc, argv, 3, 1, value);
  } else if (command == "stop") {
    usageOk = OptionalNumber(argc, argv, 3, 0, value);
  } else if (command == "status") {
    type = tarnix::kRequestAgentStatus;
    usageOk = argc == 3;
  } else if (command == "refresh-info") {
    type = tarnix::kRequestRefreshInfo;
    usageOk = argc == 3;
  } else if (command == "channel") {
    type = tarnix::kRequestSetChannel;
    usageOk = argc == 3 || (argc == 4 && tarnix::ValidChannelName(argv[3]));
  } else if (command == "find") {
    usageOk = argc == 3;
  } else if (command == "watch") {
    usageOk = ParseWatch(argc, argv, 3, seconds);
  } else {
    usageOk = false;
  }
  if (!usageOk) return Usage();

  HWND agent = FindAgent(name);
  if (!agent) {
    std::fprintf(stderr, "agent-control: no agent of %s is running\n", name.c_str());
    return kNoAgent;
  }
  if (command == "find") {
    std::printf("%lu\n", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(agent)));
    return 0;
  }
  if (command == "stop") return ::PostMessageA(agent, tarnix::wm_ShutDown, WPARAM(value), 0) ? 0 : kNoAgent;
  if (command == "watch") return Watch(agent, seconds);
  if (command == "channel") {
    // The name travels as a global atom, which the agent reads before the
    // request returns.
    const ATOM atom = argc == 4 ? ::GlobalAddAtomA(argv[3]) : 0;
    if (argc == 4 && atom == 0) {
      std::fprintf(stderr, "agent-control: cannot pass the channel's name\n");
      return kNoAgent;
    }
    const int code = Request(agent, type, atom);
    if (atom) ::GlobalDeleteAtom(atom);
    return code;
  }
  return Request(agent, type, value);
}
