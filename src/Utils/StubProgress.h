// Windows only. The process's progress reporter and the sink behind it,
// which drives the two bars of the stub window: the main bar shows how far
// an operation is, the activity bar moves on every step to show that it is
// alive. The window registers its bars once it has created them; until
// then the sink changes nothing.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui/ProgBar.h"

namespace tarnix {

// Null handles unregister the bars (the window passes them when it is
// destroyed).
void SetStubProgressBars(HWND mainBar, HWND activityBar);

// The process-wide reporter, created on first use with StubProgressCallback
// as its sink.
TProgBar& EnsureStubProgress();

// Action 0 sets the main bar up with the range (the word value is passed
// along with it), the position and the step, and resets the activity bar to
// 0 of 5; action 1 steps the main bar and moves the activity bar on, back to
// 0 after 5. Other actions and the text are ignored.
void StubProgressCallback(int action, uint16_t wordValue, int range, const char* text, int step, int position);

}  // namespace tarnix
