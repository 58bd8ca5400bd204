#include "package/FileStamp.h"

namespace tarnix {

uint32_t DosStampFromTime(std::time_t t) {
  std::tm tm{};
#ifdef _WIN32
  if (localtime_s(&tm, &t) != 0) return 0;
#else
  if (!localtime_r(&t, &tm)) return 0;
#endif
  int year = tm.tm_year + 1900;
  if (year < 1980 || year > 2107) return 0;
  uint32_t date = uint32_t(year - 1980) << 9 | uint32_t(tm.tm_mon + 1) << 5 | uint32_t(tm.tm_mday);
  uint32_t time = uint32_t(tm.tm_hour) << 11 | uint32_t(tm.tm_min) << 5 | uint32_t(tm.tm_sec / 2);
  return date << 16 | time;
}

std::time_t TimeFromDosStamp(uint32_t stamp) {
  uint32_t date = stamp >> 16, time = stamp & 0xFFFF;
  std::tm tm{};
  tm.tm_year = int(date >> 9) + 80;
  tm.tm_mon = int((date >> 5) & 15) - 1;
  tm.tm_mday = int(date & 31);
  tm.tm_hour = int(time >> 11);
  tm.tm_min = int((time >> 5) & 63);
  tm.tm_sec = int(time & 31) * 2;
  tm.tm_isdst = -1;
  if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_hour > 23 || tm.tm_min > 59 || tm.tm_sec > 59)
    return -1;
  return std::mktime(&tm);
}

}  // namespace tarnix
