// Why an operation failed, for the agent's log and its report: the words the
// user's box shows, and the number behind them that a support desk can look
// up (the server's HTTP status or the system's error number).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnix {

struct Failure {
  // A few words, such as "404 Not Found" or "no data from the server for 30
  // seconds"; empty when nothing failed.
  std::string reason;
  // 0 when the server gave no answer, or the system no error.
  uint32_t httpStatus = 0;
  uint32_t systemError = 0;

  bool Failed() const { return !reason.empty(); }
};

// " [HTTP status 404]" or " [system error 12007]" (both when both are
// known), for the end of a log line; empty when neither is.
std::string FailureNumbers(const Failure& failure);

// `text` (what the user is shown) and the numbers, as one log line.
std::string FailureLine(std::string_view text, const Failure& failure);

}  // namespace tarnix
