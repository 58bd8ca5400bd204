// How long a program takes from its start to its first window, and to its
// first visible one:
//   startup-probe RUNS PROGRAM...
// Starts each PROGRAM in turn, RUNS rounds, so that the programs share
// whatever the machine does meanwhile; waits for each to end (at most a
// minute) before the next starts, and prints per program the least, median
// and mean milliseconds of both. Exit code 0 when every run showed a window.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Utils/UniqueResource.h"

namespace {

constexpr DWORD kRunLimitMs = 60000;

struct Search {
  DWORD process;
  bool any;
  bool visible;
};

BOOL CALLBACK FindWindows(HWND window, LPARAM param) {
  Search& search = *reinterpret_cast<Search*>(param);
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  if (process != search.process) return TRUE;
  search.any = true;
  search.visible = ::IsWindowVisible(window) != FALSE;
  return !search.visible;
}

struct Times {
  double created = -1;  // the first window, hidden or not
  double shown = -1;    // the first visible window
};

double Ms(LARGE_INTEGER from, LARGE_INTEGER to) {
  static const double frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return double(f.QuadPart);
  }();
  return double(to.QuadPart - from.QuadPart) * 1000.0 / frequency;
}

// Milliseconds from CreateProcess to the first window and to the first
// visible one; negative when none came before the program ended.
Times TimeToWindow(const std::string& program) {
  std::string commandLine = "\"" + program + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  LARGE_INTEGER start, now;
  ::QueryPerformanceCounter(&start);
  if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
    std::fprintf(stderr, "cannot start %s (error %lu)\n", program.c_str(), ::GetLastError());
    return {};
  }
  const tarnix::UniqueHandle thread(info.hThread);
  const tarnix::UniqueHandle process(info.hProcess);
  Times times;
  for (;;) {
    Search search{info.dwProcessId, false, false};
    ::EnumWindows(FindWindows, reinterpret_cast<LPARAM>(&search));
    ::QueryPerformanceCounter(&now);
    if (search.any && times.created < 0) times.created = Ms(start, now);
    if (search.visible) {
      times.shown = Ms(start, now);
      break;
    }
    if (::WaitForSingleObject(info.hProcess, 1) == WAIT_OBJECT_0 || Ms(start, now) > kRunLimitMs) break;
  }
  if (::WaitForSingleObject(info.hProcess, kRunLimitMs) != WAIT_OBJECT_0) ::TerminateProcess(info.hProcess, 1);
  return times;
}

// "least / median / mean" of a list of times.
std::string Figures(std::vector<double>& t) {
  if (t.empty()) return "none";
  std::sort(t.begin(), t.end());
  double sum = 0;
  for (double ms : t) sum += ms;
  char text[80];
  std::snprintf(text, sizeof text, "%7.1f / %7.1f / %7.1f ms", t.front(), t[t.size() / 2], sum / double(t.size()));
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: startup-probe RUNS PROGRAM...\n");
    return 2;
  }
  const int runs = std::max(1, std::atoi(argv[1]));
  std::vector<std::string> programs(argv + 2, argv + argc);
  std::vector<std::vector<double>> created(programs.size()), shown(programs.size());
  bool all = true;
  for (int run = 0; run < runs; ++run) {
    for (size_t i = 0; i < programs.size(); ++i) {
      const Times times = TimeToWindow(programs[i]);
      if (times.created >= 0) created[i].push_back(times.created);
      if (times.shown >= 0) {
        shown[i].push_back(times.shown);
      } else {
        all = false;
        std::fprintf(stderr, "%s showed no window\n", programs[i].c_str());
      }
    }
  }
  std::printf("least / median / mean of %d runs each\n", runs);
  for (size_t i = 0; i < programs.size(); ++i) {
    std::printf("%s\n  first window         %s\n  first visible window %s\n", programs[i].c_str(),
                Figures(created[i]).c_str(), Figures(shown[i]).c_str());
  }
  return all ? 0 : 1;
}
