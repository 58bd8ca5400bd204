#include "net/DownloadAbort.h"

namespace tarnix {

namespace {
// One thread owns the windows and every download, so a plain flag is enough.
bool downloadAbort = false;
}  // namespace

void SetDownloadAbort(bool abort) { downloadAbort = abort; }
bool DownloadAborted() { return downloadAbort; }

}  // namespace tarnix
