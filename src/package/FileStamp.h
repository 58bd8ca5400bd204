// File stamps as the package stores them: the packed date-and-time pair of
// the file-date API (date in the high 16 bits, time in the low 16 bits, local
// time, two-second resolution).
#pragma once

#include <cstdint>
#include <ctime>

namespace tarnix {

// 0 for times outside 1980..2107, which the packed form cannot hold.
uint32_t DosStampFromTime(std::time_t t);
// -1 when the stamp is not a valid date.
std::time_t TimeFromDosStamp(uint32_t stamp);

}  // namespace tarnix
