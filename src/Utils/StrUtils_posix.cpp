#include "Utils/StrUtils.h"

namespace tarnix {

const std::string& UserDecimalSeparator() {
  static const std::string separator = ".";
  return separator;
}

}  // namespace tarnix
