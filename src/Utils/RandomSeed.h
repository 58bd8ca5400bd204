// A seed for the random number engines: unpredictable, different on every
// call. On Windows it comes from the system's random source, as
// std::random_device's would, without linking the library's device class or
// its clocks, which the stub's thread model would pull in.
#pragma once

#include <cstdint>

namespace tarnix {

uint64_t RandomSeed();

}  // namespace tarnix
