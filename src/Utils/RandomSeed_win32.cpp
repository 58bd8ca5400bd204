// rand_s is the C run-time's wrapper of the system's random source.
#define _CRT_RAND_S
#include <stdlib.h>

#include "Utils/RandomSeed.h"

namespace tarnix {

uint64_t RandomSeed() {
  unsigned int high = 0, low = 0;
  rand_s(&high);
  rand_s(&low);
  return uint64_t(high) << 32 | low;
}

}  // namespace tarnix
