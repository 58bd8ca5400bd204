// Any bytes as a package file: the reader, the block walker and the block
// decoder must neither crash nor read out of bounds nor allocate beyond what
// the input can justify.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Utils/InFile.h"
#include "package/FileBlocks.h"
#include "package/TGFileInfo.h"

using namespace tarnix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto file = MemoryInFile(std::string(reinterpret_cast<const char*>(data), size));
  TGFileInfo reader(*file);
  (void)reader.InfoFileName();
  (void)reader.OriginalFileName();
  (void)reader.SettingsToken(true);
  (void)reader.DownloadToken(true);
  (void)PackageChecksum(*file, reader.Trailer().TrailerSize);

  // Walk from where the reader says file blocks start, and also from offset
  // 0 as a disk without header blocks would be walked.
  for (uint64_t start : {reader.FileBlocksStart(), uint64_t(0)}) {
    BlockWalker walker(*file, start, PackageEnd(*file), reader.Trailer().TrailerSize);
    RawBlock raw;
    while (walker.More() && walker.Next(raw)) {
      FileBlock block;
      std::string error;
      if (DecodeFileBlock(raw, block, error)) {
        (void)IsPlainFileName(block.FileName());
        (void)block.data();
      }
    }
  }
  return 0;
}
