// Windows only. Inform mode: the agent installs nothing; it tells the user
// about the new version with the announcement's text, or opens its page.
#pragma once

namespace tarnix {

enum class InformOutcome {
  // The inform file did not arrive or was refused: it is tried again.
  NotFetched,
  // The announcement gave nothing that could be shown.
  NotShown,
  // The text was shown or the page opened.
  Informed,
};

InformOutcome PerformAutoInform();

}  // namespace tarnix
