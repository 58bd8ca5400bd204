#include "Utils/WindowUtils.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include "Utils/SystemLibrary.h"
#include "Utils/Trace.h"

namespace tarnix {

namespace {

constexpr int kClassBufferSize = 10241;
constexpr int kTitleBufferSize = 102401;

// A guard against a circular owner chain, which no window can legally build
// but a broken chain must not turn into an endless loop.
constexpr int kMaxOwnerDepth = 4096;

HWND g_notifyWindow = nullptr;
UINT g_notifyMessage = 0;
uint16_t g_autoPlayCancelMessage = 0;

std::string WindowText(HWND window, int bufferSize, int (*get)(HWND, char*, int)) {
  if (!window) return {};
  try {
    std::vector<char> buffer(static_cast<size_t>(bufferSize), '\0');
    const int n = get(window, buffer.data(), bufferSize);
    if (n <= 0) return {};
    return std::string(buffer.data(), static_cast<size_t>(std::min(n, bufferSize - 1)));
  } catch (const std::exception& e) {
    ReportException(e, "WindowText", "");
    return {};
  }
}

int ClassNameOf(HWND window, char* buffer, int size) { return ::GetClassNameA(window, buffer, size); }
int TitleOf(HWND window, char* buffer, int size) { return ::GetWindowTextA(window, buffer, size); }

}  // namespace

std::string GetWindowClassText(HWND window) { return WindowText(window, kClassBufferSize, ClassNameOf); }

std::string GetWindowTitleText(HWND window) { return WindowText(window, kTitleBufferSize, TitleOf); }

HWND GetRootOwner(HWND window) {
  HWND root = window;
  for (int depth = 0; root && depth < kMaxOwnerDepth; ++depth) {
    HWND owner = ::GetWindow(root, GW_OWNER);
    if (!owner) break;
    root = owner;
  }
  return root;
}

void CenterInWorkArea(int width, int height, int& x, int& y) {
  RECT area{};
  if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) area = RECT{};
  x = area.left + (area.right - area.left - width) / 2;
  y = area.top + (area.bottom - area.top - height) / 2;
}

int ScreenDpiY() {
  static const int dpi = [] {
    HDC screen = ::GetDC(nullptr);
    const int value = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ::ReleaseDC(nullptr, screen);
    return value;
  }();
  return dpi;
}

int PointsToPixels(int points) { return ::MulDiv(points, ScreenDpiY(), 72); }

void SetNotifyTarget(HWND window, UINT message) {
  g_notifyWindow = window;
  g_notifyMessage = message;
}

void PostNotify(WPARAM wParam, LPARAM lParam) {
  if (g_notifyWindow && g_notifyMessage) ::PostMessageA(g_notifyWindow, g_notifyMessage, wParam, lParam);
}

FARPROC LoadProc(const char* library, const char* procedure, HMODULE& module) {
  module = nullptr;
  if (!library || !procedure) return nullptr;
  HMODULE loaded = LoadSystemLibrary(library);
  if (!loaded) return nullptr;
  module = loaded;
  return ::GetProcAddress(loaded, procedure);
}

FARPROC LoadProc(const char* library, const char* procedure) {
  HMODULE module = nullptr;
  return LoadProc(library, procedure, module);
}

void InitProgressBarClass() {
  using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  if (const auto initEx = LoadProcAs<InitCommonControlsExFn>("comctl32.dll", "InitCommonControlsEx")) {
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    if (initEx(&controls)) return;
  }
  // The common controls of the first Windows 95 lack the call above and
  // register all their classes here.
  if (const auto init = LoadProcAs<void(WINAPI*)()>("comctl32.dll", "InitCommonControls")) init();
}

bool ShellOpen(std::string_view file, std::string_view parameters, int showCommand) {
  const std::string f(file), p(parameters);
  HINSTANCE result =
      ::ShellExecuteA(::GetDesktopWindow(), nullptr, f.c_str(), p.empty() ? nullptr : p.c_str(), nullptr, showCommand);
  return reinterpret_cast<intptr_t>(result) > 32;
}

void SetAutoPlayCancel(bool on) {
  g_autoPlayCancelMessage = on ? static_cast<uint16_t>(::RegisterWindowMessageA("QueryCancelAutoPlay")) : 0;
}

uint16_t AutoPlayCancelMessage() { return g_autoPlayCancelMessage; }

}  // namespace tarnix
