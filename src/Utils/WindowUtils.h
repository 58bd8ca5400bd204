// Windows only. Small window helpers shared by the stub window, the message
// boxes and the process utilities: window texts, owners, placement and font
// sizes, the notification to a controlling program, functions looked up at
// run time, the progress bar class, the shell, and the AutoPlay cancel
// message.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnix {

// The window's class name and text; empty for a null window.
std::string GetWindowClassText(HWND window);
std::string GetWindowTitleText(HWND window);

// The last window of the owner chain; the window itself when it has no owner.
HWND GetRootOwner(HWND window);

// The position that centres a width x height rectangle in the desktop work
// area.
void CenterInWorkArea(int width, int height, int& x, int& y);

// Vertical pixels per logical inch of the screen, read once and kept.
int ScreenDpiY();
int PointsToPixels(int points);

// The controlling program that asked for notifications: a window and the
// message it wants. Both 0 until it registers.
void SetNotifyTarget(HWND window, UINT message);
// Posts the notification when a controller has registered; nothing otherwise.
void PostNotify(WPARAM wParam, LPARAM lParam);

// The procedure from a library that stays loaded; null when either is
// missing. The library comes from the system folder only (SystemLibrary.h),
// so `library` is a bare file name. The second form hands the library to the
// caller, who frees it.
FARPROC LoadProc(const char* library, const char* procedure);
FARPROC LoadProc(const char* library, const char* procedure, HMODULE& module);
// LoadProc as a pointer of the procedure's own type.
template <typename Fn>
Fn LoadProcAs(const char* library, const char* procedure) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(LoadProc(library, procedure)));
}

// Registers the common controls' progress bar class, "msctls_progress32",
// before a window creates one; the library stays loaded for the bars'
// lifetime. Without the library the bars are missing and nothing else.
void InitProgressBarClass();

// The shell's default verb on `file`; true when the shell accepted it.
bool ShellOpen(std::string_view file, std::string_view parameters, int showCommand);

// While on, the stub's windows answer the shell's "QueryCancelAutoPlay" so
// that inserting the next disk of a spanned package starts no AutoPlay.
void SetAutoPlayCancel(bool on);
// The registered message id while on, 0 while off.
uint16_t AutoPlayCancelMessage();

}  // namespace tarnix
