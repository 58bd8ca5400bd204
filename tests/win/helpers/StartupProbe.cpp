// How long a program takes from its start to its first visible window:
//   startup-probe RUNS PROGRAM...
// Starts each PROGRAM in turn, RUNS rounds, so that the programs share
// whatever the machine does meanwhile; waits for each to end (at most a
// minute) before the next starts, and prints per program the least, median
// and mean milliseconds. Exit code 0 when every run showed a window.
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
  bool found;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM param) {
  Search& search = *reinterpret_cast<Search*>(param);
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  if (process != search.process || !::IsWindowVisible(window)) return TRUE;
  search.found = true;
  return FALSE;
}

double Ms(LARGE_INTEGER from, LARGE_INTEGER to) {
  static const double frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return double(f.QuadPart);
  }();
  return double(to.QuadPart - from.QuadPart) * 1000.0 / frequency;
}

// Milliseconds from CreateProcess to the first visible window; negative when
// none showed before the program ended.
double TimeToWindow(const std::string& program) {
  std::string commandLine = "\"" + program + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  LARGE_INTEGER start, now;
  ::QueryPerformanceCounter(&start);
  if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
    std::fprintf(stderr, "cannot start %s (error %lu)\n", program.c_str(), ::GetLastError());
    return -1;
  }
  const tarnix::UniqueHandle thread(info.hThread);
  const tarnix::UniqueHandle process(info.hProcess);
  double shown = -1;
  for (;;) {
    Search search{info.dwProcessId, false};
    ::EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
    ::QueryPerformanceCounter(&now);
    if (search.found) {
      shown = Ms(start, now);
      break;
    }
    if (::WaitForSingleObject(info.hProcess, 1) == WAIT_OBJECT_0 || Ms(start, now) > kRunLimitMs) break;
  }
  if (::WaitForSingleObject(info.hProcess, kRunLimitMs) != WAIT_OBJECT_0) ::TerminateProcess(info.hProcess, 1);
  return shown;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: startup-probe RUNS PROGRAM...\n");
    return 2;
  }
  const int runs = std::max(1, std::atoi(argv[1]));
  std::vector<std::string> programs(argv + 2, argv + argc);
  std::vector<std::vector<double>> times(programs.size());
  bool all = true;
  for (int run = 0; run < runs; ++run) {
    for (size_t i = 0; i < programs.size(); ++i) {
      const double ms = TimeToWindow(programs[i]);
      if (ms < 0) {
        all = false;
        std::fprintf(stderr, "%s showed no window\n", programs[i].c_str());
        continue;
      }
      times[i].push_back(ms);
    }
  }
  for (size_t i = 0; i < programs.size(); ++i) {
    std::vector<double>& t = times[i];
    if (t.empty()) continue;
    std::sort(t.begin(), t.end());
    double sum = 0;
    for (double ms : t) sum += ms;
    std::printf("%-40s runs %2zu  least %7.1f ms  median %7.1f ms  mean %7.1f ms\n", programs[i].c_str(), t.size(),
                t.front(), t[t.size() / 2], sum / double(t.size()));
  }
  return all ? 0 : 1;
}
