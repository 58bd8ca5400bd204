// Windows only. One probe of the agent: fetch the announcement, decide, and
// hand over to the update or to the inform step; a check the user asked for
// always ends with an answer.
#pragma once

namespace tarnix {

void PerformShot();

// Refreshes the announcement file only: no decision, no probe time.
bool DownloadInfoOnly();

}  // namespace tarnix
