#include <windows.h>

#include "Utils/StrUtils.h"

namespace tarnix {

bool IsLeadByte(unsigned char c) { return ::IsDBCSLeadByte(c) != 0; }

const std::string& UserDecimalSeparator() {
  static const std::string separator = [] {
    char buffer[8] = {};
    const int n = ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, sizeof buffer);
    return n > 1 ? std::string(buffer, size_t(n - 1)) : std::string(".");
  }();
  return separator;
}

}  // namespace tarnix
