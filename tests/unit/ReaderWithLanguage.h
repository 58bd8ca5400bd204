// A reader over a package of header blocks and a trailer only: enough for
// the language lookups. Shared by the portable and the Windows tests.
#pragma once

#include <string>

#include "Utils/InFile.h"
#include "package/PackageFormat.h"
#include "package/TGFileInfo.h"

namespace tarnix {

inline TGFileInfo ReaderWith(const std::string& languageBlock) {
  std::string bytes;
  for (const std::string& block : {languageBlock, std::string("|||||")}) {
    std::string length(4, '\0');
    StoreU32(reinterpret_cast<unsigned char*>(length.data()), static_cast<uint32_t>(block.size()));
    bytes += length + block;
  }
  PackageTrailer t{};
  t.HeaderBlockCount = 2;
  t.Magic = kPackageMagic;
  t.TrailerSize = kTrailerSize;
  const TrailerBytes raw = EncodeTrailer(t);
  bytes.append(reinterpret_cast<const char*>(raw.data()), raw.size());
  auto file = MemoryInFile(bytes);
  return TGFileInfo(*file);
}

}  // namespace tarnix
