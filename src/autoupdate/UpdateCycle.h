// Windows only. The update itself, once the decision has accepted an
// announcement: ask or tell the user as the announcement demands, download
// the new setup, check that it belongs to this product, stop the product,
// run the setup, record the new version and restart the product.
#pragma once

#include "Utils/Failure.h"

namespace tarnix {

// How an update cycle ended.
enum class UpdateOutcome {
  // The announcement names no setup to fetch.
  NotStarted,
  // The user said no to the download or to the installation.
  Declined,
  // The download broke off, failed or was refused: it is tried again.
  NotFetched,
  // A file of the new setup could not be written (a full disk): nothing
  // ran, and it is tried again.
  NotExtracted,
  // The new setup ran but did not complete, or its package was damaged.
  SetupFailed,
  // The new setup ran to its end.
  Installed,
};

// `why` (may be null) receives the reason of a download that failed.
UpdateOutcome PerformAutoUpdate(Failure* why = nullptr);

}  // namespace tarnix
