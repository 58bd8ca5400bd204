// Writes a package's files into a folder as the stub does: all disks in
// order, blocks of one name appended in order, stamps from the package.
// Only one block is in memory at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnix::pack {

struct ExtractResult {
  std::vector<std::string> files;  // names written, in order of first block
  uint64_t bytes = 0;
  std::string setupEntry;           // the marked name, "*" and arguments included
  std::vector<std::string> faults;  // one line each; none when all went well
};

// Names that are not plain file names are refused (reported once per name)
// and their blocks skipped. A disk whose checksum fails, a block that does
// not inflate or a missing disk ends the extraction, as it ends the stub's.
ExtractResult ExtractPackage(const std::string& package, const std::string& folder);

}  // namespace tarnix::pack
