// The process-wide download abort flag. The stub window sets it when it is
// closed or destroyed; a caller clears it right before a download starts, and
// the download loop stops as soon as it reads it set.
#pragma once

namespace tarnix {

void SetDownloadAbort(bool abort);
bool DownloadAborted();

}  // namespace tarnix
