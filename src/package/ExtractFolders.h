// Windows only. The folders a setup extracts into: the "SETUP_" folder in
// the user's temp folder, and a spare folder on a roomier fixed drive when
// the temp drive is too small. Each is made once per process and removed
// at the end of the run, whatever happened.
#pragma once

#include <string>

namespace tarnix {

// Temp folder + "SETUP_" + the decimal id of this process. The first call
// removes a folder left under that name and creates it.
const std::string& SetupFolder();
// Removes the folder with its contents when SetupFolder made it.
void RemoveSetupFolder();

// Probes the fixed drives C:, D: and E: once and keeps the answer: true
// when one has more room than the temp folder's drive.
bool ChooseSpareTempRoot();
// A fresh folder below the chosen root, made once; empty without a root.
std::string SpareFolder();
void RemoveSpareFolder();

}  // namespace tarnix
