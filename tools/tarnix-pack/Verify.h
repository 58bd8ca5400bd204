// Checks a package the way the stub would meet it: every disk present with
// its trailer, its checksum accepted, every block framed inside the disk and
// inflating, every name one that may be written into a folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnix::pack {

struct VerifyResult {
  std::vector<std::string> faults;  // one line each; none when sound
  int disks = 0;
  uint32_t blocks = 0;
};

VerifyResult VerifyPackage(const std::string& package);

}  // namespace tarnix::pack
