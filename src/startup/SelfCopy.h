// Windows only. A running executable cannot delete itself: copies of the
// stub that must go when they end leave that to a batch file which waits
// until their process has gone.
#pragma once

namespace tarnix {

// Writes "_DEL_ME_.BAT" into the temp folder and starts it hidden; it
// deletes the running executable once its process has ended, with
// `removeFolder` also its (then empty) folder, and finally itself.
void DeleteMySelf(bool removeFolder);

}  // namespace tarnix
