// Windows only. What the agent of a package with the vendor's key accepts:
// an announcement only with the vendor's good signature, an update or
// inform file only with the exact size and SHA-256 that the signed
// announcement gives. Every refusal is told to the user in an error box and
// logged with the check that failed; a refused file is deleted before
// anything could open it. A package without a key accepts all, as ever.
#pragma once

#include <string>
#include <string_view>

namespace tarnix {

// Judges an announcement as downloaded, before the agent keeps it; empty
// `data` (nothing came) is none to judge. `error` says why when it is
// refused. A signed one must also be current (AnnouncementFreshness.h): its
// serial is kept when it is accepted.
bool AcceptAnnouncement(std::string_view data, std::string& error);

// Whether the last announcement was refused: the user has been told, and
// a check the user asked for needs no second answer.
bool AnnouncementRefused();
// Whether the last refusal was of an announcement refused before as not
// current: it has been logged and shown once, and is not again.
bool AnnouncementRefusalRepeated();

// After an update's setup ran: the highest serial accepted is written again
// when the setup replaced the file that kept it with a lower one.
void KeepAnnouncementSerial();

// Judges a downloaded update (mode 2) or inform file (mode 3) against the
// signed announcement kept beside the agent, which is checked once more.
bool AcceptDownloadedFile(int mode, const std::string& file);

}  // namespace tarnix
