#include "Verify.h"

#include "PackageDisks.h"
#include "Utils/SUB.h"
#include "package/FileBlocks.h"

namespace tarnix::pack {

namespace {

void CheckHeaders(const PackageDisk& disk, std::vector<std::string>& faults) {
  const TGFileInfo& h = disk.headers;
  const std::string& languages = h.LanguageBlock();
  if (!languages.empty()) {
    if (languages.front() != kLanguageBlockDelimiter || SUB::Count(languages) < 1) {
      faults.push_back(disk.path + ": the language block is not a list of records");
    } else {
      for (const auto& record : SUB::Items(languages))
        if (record.empty() || record.front() != kLanguageRecordDelimiter || SUB::Count(record) < 1)
          faults.push_back(disk.path + ": a language record is not a list of texts");
    }
  }
  if (SUB::Count(h.SettingsBlock()) != 5) faults.push_back(disk.path + ": the settings block does not hold 5 items");
  if (h.Trailer().HeaderBlockCount > 2 && SUB::Count(h.DownloadBlock()) != 5)
    faults.push_back(disk.path + ": the download block does not hold 5 items");
}

}  // namespace

VerifyResult VerifyPackage(const std::string& package) {
  VerifyResult result;
  auto& faults = result.faults;
  try {
    DiskChain chain(package);
    PackageDisk disk;
    while (chain.Next(disk)) {
      ++result.disks;
      const uint32_t sum = disk.Checksum();
      if (!ChecksumAccepted(sum, disk.trailer.Checksum))
        faults.push_back(disk.path + ": checksum " + std::to_string(sum) + " does not match the stored " +
                         std::to_string(disk.trailer.Checksum));
      if (disk.hasHeaders) CheckHeaders(disk, faults);

      BlockWalker walker(*disk.file, disk.blocksStart, disk.end, disk.trailer.TrailerSize);
      RawBlock raw;
      FileBlock block;
      std::string error;
      uint32_t blocks = 0;
      while (walker.More() && walker.Next(raw)) {
        ++blocks;
        const std::string where = disk.path + ": block at offset " + std::to_string(raw.offset);
        if (!DecodeFileBlock(raw, block, error)) {
          faults.push_back(where + " does not inflate: " + error);
        } else if (block.header.empty()) {
          faults.push_back(where + " carries no file header");
        } else if (!IsPlainFileName(block.FileName())) {
          faults.push_back(where + ": \"" + block.FileName() + "\" is not a plain file name");
        }
      }
      if (!walker.Fault().empty()) faults.push_back(disk.path + ": " + walker.Fault());
      else if (blocks != disk.trailer.FileBlockCount)
        faults.push_back(disk.path + ": holds " + std::to_string(blocks) + " blocks, its trailer says " +
                         std::to_string(disk.trailer.FileBlockCount));
      result.blocks += blocks;
    }
    if (!chain.Fault().empty()) faults.push_back(chain.Fault());
  } catch (const std::exception& e) {
    faults.push_back(package + ": " + e.what());
  }
  return result;
}

}  // namespace tarnix::pack
