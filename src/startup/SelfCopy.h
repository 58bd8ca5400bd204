// Windows only. A running executable cannot replace or delete itself, so the
// installed agent never runs under its own name: it writes an "X_" copy of
// itself beside it and starts that, and the copy, when it ends, leaves its
// deletion to a batch file that waits until its process has gone. The
// installed file is thus never in use while the agent runs, and a new setup
// can replace it.
#pragma once

namespace tarnix {

// Writes the X_ copy of the running agent and starts it, unless an X_ agent
// runs already and "/_ZZ=99" does not ask for a new one. Returns
// `xAgentWasRunning` unchanged, for the switch forwarding that follows.
bool CreateAndRun_X_Exe(bool xAgentWasRunning);

// Writes a batch file into the temp folder and starts it hidden; it deletes
// the running executable once its process has ended, with `removeFolder`
// also its (then empty) folder, and finally itself.
void DeleteMySelf(bool removeFolder);

}  // namespace tarnix
