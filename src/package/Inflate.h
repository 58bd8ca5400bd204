// zlib inflation of one file block into memory.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "package/PackageFormat.h"

namespace tarnix {

// The one exception type of the package module: a zlib stream that cannot be
// inflated, carrying zlib's own message ("data error", "need dictionary" ...).
// It never leaves the package module: the block reader turns it into a fault.
class EZLibError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Called between growth steps of long operations so windows stay responsive.
using PumpFn = std::function<void()>;

// Inflates one complete zlib stream. The output buffer starts at the input
// length rounded up to 256 and grows geometrically; output beyond `maxOutput`
// or a truncated stream raises EZLibError.
std::string Inflate(std::string_view input, const PumpFn& pump = {}, size_t maxOutput = kMaxBlockOutput);

}  // namespace tarnix
