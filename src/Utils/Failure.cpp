#include "Utils/Failure.h"

namespace tarnix {

std::string FailureNumbers(const Failure& failure) {
  std::string numbers;
  if (failure.httpStatus != 0) numbers += " [HTTP status " + std::to_string(failure.httpStatus) + "]";
  if (failure.systemError != 0) numbers += " [system error " + std::to_string(failure.systemError) + "]";
  return numbers;
}

std::string FailureLine(std::string_view text, const Failure& failure) {
  return std::string(text) + FailureNumbers(failure);
}

}  // namespace tarnix
