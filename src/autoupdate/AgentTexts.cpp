#include "autoupdate/AgentTexts.h"

#include "Utils/StrUtils.h"

namespace tarnix {

// The parts of one message (s11 with one of s12, s13, s18, s19; s16 with
// s17; s22 to s24) each stand on their own after a vendor's own first part.
const std::array<AgentTextKey, 27> kAgentTexts = {{
    {"s2", "No Internet connection was found.<P>PROG_NAME cannot look for a new version now."},
    {"s3", "File Download Aborted!"},
    {"s4", "File not Found!"},
    {"s5", "Unable to Download File!"},
    {"s11", "A new version of PROG_NAME is available.<P>"},
    {"s12", "Download and install it now?"},
    {"s13", "Download it now?"},
    {"s14", "Install PROG_NAME now?"},
    {"s15", "Please close PROG_NAME, then press OK to go on with the update."},
    {"s16", "PROG_NAME has been updated."},
    {"s17", "<P>Start it again?"},
    {"s18", "It will be downloaded and installed now."},
    {"s19", "It will be downloaded now."},
    {"s20", "The new version of PROG_NAME will be installed now."},
    {"s21", "PROG_NAME is up to date."},
    {"s22", "Look for a new version of PROG_NAME now?<P><P>"},
    {"s23", "Please make sure that you are connected to the Internet.<P>"},
    {"s24", "Press Yes to look now."},
    {"s31", "Downloading INFO File..."},
    {"s32", "Downloading UPDATE File..."},
    {"s33", "Downloading INFORM File..."},
    {"s34", "New Version"},
    {"s35", "Download"},
    {"s36",
     "The update announcement is not signed by the vendor and was refused.<P>Nothing has been downloaded or "
     "installed."},
    {"s37", "The downloaded file is not the one the vendor signed and was deleted.<P>Nothing has been installed."},
    {"s38",
     "Updates are signed by the vendor, but this system cannot check signatures (bcrypt.dll is missing).<P>Nothing "
     "has been installed."},
    {"s39",
     "The update announcement of PROG_NAME is signed by the vendor but is not the current one, and was refused.<P>"
     "Nothing has been downloaded or installed."},
}};

std::string_view AgentTextDefault(std::string_view key) {
  for (const AgentTextKey& text : kAgentTexts)
    if (SameText(text.key, key)) return text.englishDefault;
  return {};
}

}  // namespace tarnix
