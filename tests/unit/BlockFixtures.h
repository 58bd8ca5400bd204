// File blocks and disks assembled byte by byte for the tests of the
// extraction core: framed zlib or stored blocks, and a disk that holds
// nothing but blocks and a trailer's room.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "Utils/InFile.h"
#include "package/FileBlocks.h"
#include "package/PackageFormat.h"

namespace tarnix::test {

inline std::string U32(uint32_t v) {
  std::string s(4, '\0');
  StoreU32(reinterpret_cast<unsigned char*>(s.data()), v);
  return s;
}

// "|name|stamp|", 0x00, data: what a block decodes to.
inline std::string BlockPlain(std::string_view name, uint32_t stamp, std::string_view data) {
  std::string plain = "|" + std::string(name) + "|" + std::to_string(stamp) + "|";
  plain += '\0';
  plain += data;
  return plain;
}

inline std::string Compressed(std::string_view plain) {
  uLongf n = compressBound(static_cast<uLong>(plain.size()));
  std::string z(n, '\0');
  compress2(reinterpret_cast<Bytef*>(z.data()), &n, reinterpret_cast<const Bytef*>(plain.data()),
            static_cast<uLong>(plain.size()), 6);
  z.resize(n);
  return U32(static_cast<uint32_t>(n)) + z;
}

inline std::string Stored(std::string_view plain) {
  return U32(static_cast<uint32_t>(-static_cast<int32_t>(plain.size()))) + std::string(plain);
}

// A compressed block whose zlib stream is damaged in its middle.
inline std::string Damaged(std::string_view plain) {
  std::string block = Compressed(plain);
  for (size_t i = block.size() / 2; i < block.size() / 2 + 8 && i < block.size(); ++i) block[i] ^= 0x5A;
  return block;
}

// Text that compresses, in a size of choice: up to 64 KB of words,
// repeated.
inline std::string Text(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"tarnix ", "extracts ", "every ", "block ", "in ", "order ", "\r\n"};
  std::mt19937 rng(seed);
  std::string words;
  while (words.size() < std::min<size_t>(size, 65536)) words += kWords[rng() % 7];
  std::string s;
  s.reserve(size + words.size());
  while (s.size() < size) s += words;
  s.resize(size);
  return s;
}

inline std::string Random(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s(size, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

// A disk of blocks only: walked from 0, its trailer's room left blank.
struct BlockDisk {
  explicit BlockDisk(const std::vector<std::string>& blocks) {
    std::string bytes;
    for (const std::string& b : blocks) {
      offsets.push_back(bytes.size());
      bytes += b;
    }
    bytes.append(kTrailerSize, '\0');
    size = bytes.size();
    file = MemoryInFile(std::move(bytes));
  }
  BlockWalker Walker() { return BlockWalker(*file, 0, size, kTrailerSize); }

  std::unique_ptr<InFile> file;
  uint64_t size = 0;
  std::vector<uint64_t> offsets;
};

inline std::string Joined(const StreamedBlock& block) {
  std::string all;
  for (std::string_view piece : block.data) all.append(piece);
  return all;
}

}  // namespace tarnix::test
