#include <chrono>
#include <ctime>

#include "Utils/DateUtils.h"

namespace tarnix {

double LocalNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  localtime_r(&ts.tv_sec, &local);
  DateTimeParts p;
  p.year = local.tm_year + 1900;
  p.month = local.tm_mon + 1;
  p.day = local.tm_mday;
  p.hour = local.tm_hour;
  p.minute = local.tm_min;
  p.second = local.tm_sec;
  p.millisecond = int(ts.tv_nsec / 1000000);
  return EncodeDateTime(p);
}

const DateSeparators& UserDateSeparators() {
  static const DateSeparators seps;
  return seps;
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace tarnix
