// Windows only. Inform mode: the agent installs nothing; it tells the user
// about the new version with the announcement's text, or opens its page.
#pragma once

#include "Utils/Failure.h"

namespace tarnix {

enum class InformOutcome {
  // The inform file did not arrive or was refused: it is tried again.
  NotFetched,
  // The announcement gave nothing that could be shown.
  NotShown,
  // The text was shown or the page opened.
  Informed,
};

// `why` (may be null) receives the reason of a download that failed.
InformOutcome PerformAutoInform(Failure* why = nullptr);

}  // namespace tarnix
