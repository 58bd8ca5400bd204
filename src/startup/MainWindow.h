// Windows only. The stub's one top-level window: hidden in agent mode, in
// setup mode it shows the package's title, a status line and two progress
// bars. Its one-second timer starts the setup driver, or in agent mode drives
// the agent, which other programs steer through the private messages of
// AgentMessages.h. Everything runs on the one user-interface thread; long
// operations keep it alive by pumping.
#pragma once

#include <windows.h>

#include <string_view>

#include "startup/AgentMessages.h"

namespace tarnix {

inline constexpr UINT_PTR kStubTimerId = 1;

// Registers the class named `className`, creates the hidden window and runs
// the message loop until the quit message; then cleans up.
void WinMain(const char* className);

// Null before WinMain has created it and after it is destroyed.
HWND MainWindow();
HWND StatusLine();

// Sets the label's text and a font of `fontSize` points; character sets 177
// and 178 (Hebrew, Arabic) right-align it with right-to-left reading.
void SetStatusText(HWND label, std::string_view text, std::string_view fontName, int charset, int fontSize);
void ShowActivityBar();
void StopStubTimer();

// True once the window has been destroyed: work in progress must end.
bool MainWindowClosed();

}  // namespace tarnix
