// Windows only. The plain agent's second duty after starting its X_ copy:
// the control switches it was started with ("/STOP=", "/WM_MSG=", "/TEST=",
// "/TRANSIENTx=") reach the resident X_ agent as window messages, so that a
// product or a shortcut steers the agent by starting the installed file.
#pragma once

namespace tarnix {

// Posts what the switches ask for to the X_ agent beside this executable;
// `xAgentWasRunning` tells whether one ran before this start. True when
// anything was posted.
bool HandleParamOK(bool xAgentWasRunning);

}  // namespace tarnix
