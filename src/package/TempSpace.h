// The temp-drive space question of the setup driver: whether the user is
// asked before extraction, and with which text.
#pragma once

#include <string>
#include <string_view>

namespace tarnix {

// Bytes as megabytes: 1 decimal above 10 MB, 2 from 1 to 10, 3 below 1;
// negative counts as 0.
std::string MegabyteText(double bytes);

struct TempSpaceTexts {
  std::string info;      // s2: the drive is named before every extraction
  std::string short_;    // s3: the drive has too little room
  std::string required;  // s4
  std::string free;      // s5
  std::string question;  // s6
};

// The question to ask, or empty when none is due: `showInfo` asks always,
// and too little room (required >= free) asks with the warning instead.
std::string TempSpaceQuestion(const TempSpaceTexts& texts, bool showInfo, std::string_view target, double required,
                              double free);

}  // namespace tarnix
