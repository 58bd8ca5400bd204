#include <random>

#include "Utils/RandomSeed.h"

namespace tarnix {

uint64_t RandomSeed() {
  std::random_device device;
  return uint64_t(device()) << 32 | device();
}

}  // namespace tarnix
