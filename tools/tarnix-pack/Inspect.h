// What a package holds: the first disk's trailer, the header blocks, every
// disk and every file, read through the same block reader as the stub's.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "package/PackageFormat.h"

namespace tarnix::pack {

struct DiskSummary {
  std::string path;
  uint64_t size = 0;  // of the file
  PackageTrailer trailer{};
  uint32_t blocks = 0;  // file blocks found by walking
};

struct LanguageRecordSummary {
  std::string name;
  std::vector<std::pair<std::string, std::string>> texts;  // as stored, in order
};

struct FileSummary {
  std::string name;  // without "*" and arguments
  uint64_t size = 0;
  uint32_t stamp = 0;  // of its last block, which the stub's stamp ends with
  uint32_t blocks = 0;
};

struct PackageSummary {
  std::string path;
  PackageTrailer trailer{};  // of the first disk, as stored
  std::vector<DiskSummary> disks;
  std::vector<LanguageRecordSummary> languages;
  std::vector<std::string> settings;  // the five items, and the public key when there is one
  bool hasDownload = false;
  std::vector<std::string> download;  // the five items, and the setup's hash when there is one
  std::vector<FileSummary> files;
  std::string setupEntry;  // the marked name, "*" and arguments included
  std::vector<std::string> faults;
};

// Reads everything it can; what it cannot read ends up in `faults`.
PackageSummary InspectPackage(const std::string& package);

void WriteSummaryText(const PackageSummary& s, std::ostream& out);
void WriteSummaryJson(const PackageSummary& s, std::ostream& out);

// "2024-05-17 14:30:08" from a packed date-and-time value; "-" when invalid.
std::string StampText(uint32_t stamp);

}  // namespace tarnix::pack
