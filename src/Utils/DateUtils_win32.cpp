#include <windows.h>

#include <cmath>

#include "Utils/DateUtils.h"

namespace tarnix {

namespace {

// A locale text, or `fallback` when the locale has none.
std::string LocaleText(LCTYPE type, std::string_view fallback) {
  char buffer[80] = {};
  const int n = ::GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer);
  return n > 1 ? std::string(buffer, size_t(n - 1)) : std::string(fallback);
}

DateSeparators ReadUserDateSeparators() {
  DateSeparators seps;
  seps.date = LocaleText(LOCALE_SDATE, seps.date);
  seps.time = LocaleText(LOCALE_STIME, seps.time);
  // The twelve month names have consecutive locale numbers.
  for (size_t i = 0; i < seps.monthNames.size(); ++i)
    seps.monthNames[i] = LocaleText(LCTYPE(LOCALE_SMONTHNAME1 + i), seps.monthNames[i]);
  return seps;
}

}  // namespace

double LocalNow() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  DateTimeParts p;
  p.year = st.wYear;
  p.month = st.wMonth;
  p.day = st.wDay;
  p.hour = st.wHour;
  p.minute = st.wMinute;
  p.second = st.wSecond;
  p.millisecond = st.wMilliseconds;
  return EncodeDateTime(p);
}

const DateSeparators& UserDateSeparators() {
  static const DateSeparators seps = ReadUserDateSeparators();
  return seps;
}

int64_t NowMs() {
  // The counter's rate is fixed at boot, so the factor is worked out once.
  static const double msPerCount = [] {
    LARGE_INTEGER frequency;
    return ::QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0 ? 1000.0 / double(frequency.QuadPart)
                                                                             : 0.0;
  }();
  // Without a counter (never the case on current systems) the tick count
  // serves, always, so the two clocks are never mixed.
  if (msPerCount == 0.0) return int64_t(::GetTickCount());
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  return std::llround(double(counter.QuadPart) * msPerCount);
}

}  // namespace tarnix
