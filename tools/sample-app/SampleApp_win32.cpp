// The sample product of the update lifecycle: a small window that shows the
// program's version, read from its own version resource, so that version 1
// and version 2 are two builds of this one source. How it answers a close
// request is an option (Options.h). It ends when it accepts a close request,
// when a quit message is posted to its window, or when its process is ended.
//
// The record (/Record=PATH) gets CR LF lines of name=value, appended, so that
// the runs of several copies follow one another:
//   Started=VERSION  Pid=N  OnClose=WORD   when it starts
//   Close=closing|asked|ignored            for every close request
//   Answer=yes|no|none                     how the close question was left
//   Ended=WM_CLOSE|WM_QUIT                 what ended its message loop
// A process that is ended from outside writes no Ended line.
#include <windows.h>

#include <exception>
#include <string>
#include <string_view>

#include "Options.h"
#include "Utils/FileUtils.h"
#include "Utils/Trace.h"
#include "Utils/VersionInfo.h"
#include "Utils/WindowUtils.h"

namespace tarnix::sample {

namespace {

constexpr char kWindowClass[] = "TarnixSampleApp";
constexpr char kProductName[] = "Tarnix Sample App";
constexpr char kQuestion[] = "Close Tarnix Sample App?";
constexpr int kWidth = 360;
constexpr int kHeight = 120;
constexpr int kUnexpectedFailureExitCode = 255;

struct AppState {
  Options options;
  // A close request that arrives while the question is open (the box's own
  // loop dispatches it) gets no second box.
  bool asking = false;
  // The window was destroyed, so the quit message that ends the loop is the
  // program's own.
  bool closed = false;
};

AppState app;

void Record(std::string_view name, std::string_view value) {
  if (app.options.recordPath.empty()) return;
  AppendFileText(app.options.recordPath, std::string(name) + "=" + std::string(value) + "\r\n");
}

const char* OnCloseText(CloseBehaviour behaviour) {
  switch (behaviour) {
    case CloseBehaviour::Ask:
      return "When asked to close, it asks you first.";
    case CloseBehaviour::Ignore:
      return "It ignores requests to close.";
    case CloseBehaviour::Close:
      break;
  }
  return "When asked to close, it closes.";
}

bool AskToClose(HWND window) {
  if (app.asking) {
    Record("Close", "ignored");
    return false;
  }
  Record("Close", "asked");
  app.asking = true;
  const int answer = ::MessageBoxA(window, kQuestion, kProductName, MB_YESNO | MB_ICONQUESTION);
  app.asking = false;
  Record("Answer", answer == IDYES ? "yes" : answer == IDNO ? "no" : "none");
  return answer == IDYES;
}

bool AcceptClose(HWND window) {
  switch (app.options.onClose) {
    case CloseBehaviour::Ask:
      return AskToClose(window);
    case CloseBehaviour::Ignore:
      Record("Close", "ignored");
      return false;
    case CloseBehaviour::Close:
      break;
  }
  Record("Close", "closing");
  return true;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      if (AcceptClose(window)) ::DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      app.closed = true;
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcA(window, message, wParam, lParam);
  }
}

HWND CreateMainWindow(const std::string& title, int showCommand) {
  const HINSTANCE instance = ::GetModuleHandleA(nullptr);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  if (!::RegisterClassA(&windowClass)) return nullptr;

  int x = 0, y = 0;
  CenterInWorkArea(kWidth, kHeight, x, y);
  HWND window = ::CreateWindowExA(0, kWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW, x, y, kWidth, kHeight,
                                  nullptr, nullptr, instance, nullptr);
  if (!window) return nullptr;
  RECT client{};
  ::GetClientRect(window, &client);
  const std::string text = title + "\r\n\r\n" + OnCloseText(app.options.onClose);
  HWND label = ::CreateWindowExA(0, "STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 16, 16,
                                 client.right - 32, client.bottom - 32, window, nullptr, instance, nullptr);
  ::SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  ::ShowWindow(window, showCommand);
  ::UpdateWindow(window);
  return window;
}

int Run(int showCommand) {
  app.options = ReadOptions();
  const std::string version = GetExeVersion("", 1, 4);
  Record("Started", version);
  Record("Pid", std::to_string(::GetCurrentProcessId()));
  Record("OnClose", BehaviourName(app.options.onClose));

  if (!CreateMainWindow(std::string(kProductName) + " " + (version.empty() ? "(no version)" : version), showCommand))
    return kUnexpectedFailureExitCode;
  MSG message{};
  BOOL got = 0;
  while ((got = ::GetMessageA(&message, nullptr, 0, 0)) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  if (got < 0) return kUnexpectedFailureExitCode;
  Record("Ended", app.closed ? "WM_CLOSE" : "WM_QUIT");
  return static_cast<int>(message.wParam);
}

}  // namespace

}  // namespace tarnix::sample

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
  try {
    return tarnix::sample::Run(showCommand);
  } catch (const std::exception& e) {
    tarnix::ReportException(e, "SampleApp.Run()", "");
    return tarnix::sample::kUnexpectedFailureExitCode;
  }
}
