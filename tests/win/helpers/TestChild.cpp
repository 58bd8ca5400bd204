// A small program that the process tests start, copy and look for. Its
// first argument picks what it does:
//   sleep MS             waits, owning no window
//   window MS TITLE      a visible titled window owning two hidden dialogs;
//                        ends after MS, on WM_CLOSE with exit code
//                        wParam * 1000 + lParam, or on WM_QUIT with wParam
//   write N              N bytes of 'a'..'z' on standard output
//   echo HEX / echoerr HEX   the bytes on standard output / error
//   writesleep MS        one line on standard output, then waits
//   exit K               exit code K
//   readinput MS         reads standard input to its end and prints
//                        "input ended"; prints "input still open" and
//                        exits with 1 when the end has not come after MS
//   grandchild MS        starts a copy of itself that sleeps MS with the
//                        same standard handles, prints "grandchild=<pid>"
//                        and ends at once
//   load NAME [narrow]   LoadLibraryA(NAME), after narrowing the library
//                        search as the setup's programs do at start when
//                        "narrow" follows; exit code 0 when it loaded
// Copied under the name tasklist.exe, it prints the running processes the
// way the platform's tasklist does with "/FO csv"; a copy outside the system
// folder (one planted where a bare name is looked for first) also lists
// "tarnix_planted.exe" with the process id 4242.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Utils/SystemLibrary.h"

namespace {

constexpr char kWindowClass[] = "TarnixTestChildWindow";

void WriteAll(DWORD which, const std::string& bytes) {
  HANDLE out = ::GetStdHandle(which);
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD wrote = 0;
    if (!::WriteFile(out, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &wrote, nullptr) || !wrote)
      return;
    done += wrote;
  }
}

std::string FromHex(const char* hex) {
  std::string bytes;
  for (size_t i = 0; hex[i] && hex[i + 1]; i += 2) {
    const char pair[3] = {hex[i], hex[i + 1], 0};
    bytes += static_cast<char>(std::strtoul(pair, nullptr, 16));
  }
  return bytes;
}

std::string WithThousands(unsigned long value) {
  std::string digits = std::to_string(value), text;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

std::string OwnPath() {
  char self[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, self, MAX_PATH);
  return self;
}

bool InSystemFolder() {
  char system[MAX_PATH] = {};
  ::GetSystemDirectoryA(system, MAX_PATH);
  const std::string self = OwnPath();
  const std::string folder = self.substr(0, self.rfind('\\'));
  return lstrcmpiA(folder.c_str(), system) == 0;
}

int PrintTasklist() {
  std::string text = "\"Image Name\",\"PID\",\"Session Name\",\"Session#\",\"Mem Usage\"\r\n";
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 1;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL ok = ::Process32First(snapshot, &entry); ok; ok = ::Process32Next(snapshot, &entry)) {
    text += "\"" + std::string(entry.szExeFile) + "\",\"" + std::to_string(entry.th32ProcessID) +
            "\",\"Console\",\"1\",\"" + WithThousands(1000000ul + entry.th32ProcessID * 7ul) + " K\"\r\n";
  }
  ::CloseHandle(snapshot);
  if (!InSystemFolder()) text += "\"tarnix_planted.exe\",\"4242\",\"Console\",\"1\",\"1,000 K\"\r\n";
  WriteAll(STD_OUTPUT_HANDLE, text);
  return 0;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    ::PostQuitMessage(static_cast<int>(wParam * 1000 + lParam));
    return 0;
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

int ShowWindows(DWORD ms, const char* title) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.lpszClassName = kWindowClass;
  ::RegisterClassA(&wc);
  HWND main = ::CreateWindowExA(0, kWindowClass, title, WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr, nullptr,
                                wc.hInstance, nullptr);
  ::CreateWindowExA(0, kWindowClass, "dialog one", WS_POPUP | WS_CAPTION, 20, 20, 100, 50, main, nullptr,
                    wc.hInstance, nullptr);
  ::CreateWindowExA(0, kWindowClass, "dialog two", WS_POPUP | WS_CAPTION, 30, 30, 100, 50, main, nullptr,
                    wc.hInstance, nullptr);
  ::ShowWindow(main, SW_SHOWNOACTIVATE);
  ::SetTimer(nullptr, 0, ms, nullptr);
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && msg.hwnd == nullptr) return 0;
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

int StartGrandchild(const char* ms) {
  char self[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string commandLine = "\"" + std::string(self) + "\" sleep " + ms;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION started{};
  if (!::CreateProcessA(self, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started))
    return 2;
  ::CloseHandle(started.hThread);
  ::CloseHandle(started.hProcess);
  WriteAll(STD_OUTPUT_HANDLE, "grandchild=" + std::to_string(started.dwProcessId) + "\r\n");
  return 0;
}

DWORD WINAPI ReadToEnd(void*) {
  char buffer[256];
  DWORD read = 0;
  while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &read, nullptr) && read > 0) {
  }
  return 0;
}

// In a thread of its own, so that an input that never ends cannot keep the
// program from ending.
int ReadInput(DWORD ms) {
  const HANDLE reader = ::CreateThread(nullptr, 0, ReadToEnd, nullptr, 0, nullptr);
  const bool ended = reader && ::WaitForSingleObject(reader, ms) == WAIT_OBJECT_0;
  WriteAll(STD_OUTPUT_HANDLE, ended ? "input ended" : "input still open");
  return ended ? 0 : 1;
}

bool NamedTasklist() {
  const std::string self = OwnPath();
  const char* name = std::strrchr(self.c_str(), '\\');
  return lstrcmpiA(name ? name + 1 : self.c_str(), "tasklist.exe") == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (NamedTasklist()) return PrintTasklist();
  if (argc < 2) return 1;
  const std::string mode = argv[1];
  const char* arg = argc > 2 ? argv[2] : "0";
  const unsigned long number = std::strtoul(arg, nullptr, 10);
  if (mode == "sleep") {
    ::Sleep(number);
    return 0;
  }
  if (mode == "window") return ShowWindows(number, argc > 3 ? argv[3] : "Test child");
  if (mode == "write") {
    std::string bytes(number, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 26);
    WriteAll(STD_OUTPUT_HANDLE, bytes);
    return 0;
  }
  if (mode == "echo" || mode == "echoerr") {
    WriteAll(mode == "echo" ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE, FromHex(arg));
    return 0;
  }
  if (mode == "writesleep") {
    WriteAll(STD_OUTPUT_HANDLE, "waiting\r\n");
    ::Sleep(number);
    return 0;
  }
  if (mode == "exit") return static_cast<int>(number);
  if (mode == "grandchild") return StartGrandchild(arg);
  if (mode == "readinput") return ReadInput(number);
  if (mode == "load") {
    if (argc > 3 && std::strcmp(argv[3], "narrow") == 0) tarnix::RestrictLibrarySearch();
    return ::LoadLibraryA(arg) ? 0 : 1;
  }
  return 1;
}
