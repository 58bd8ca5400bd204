// Windows only. Inform mode: the agent installs nothing; it tells the user
// about the new version with the announcement's text, or opens its page.
#pragma once

namespace tarnix {

// True when the user was informed (the text shown or the page opened).
bool PerformAutoInform();

}  // namespace tarnix
