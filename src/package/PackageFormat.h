// The setup package format, shared by the stub (reader, extraction) and the
// builder. Everything here is portable and free of platform headers.
//
// A package file is laid out as (integers little-endian, offsets from 0):
//
//   [executable image]   "MZ" at 0, "PE" at 256 (the stub's PE header is
//                        placed at 256 on purpose). Offsets 248..255 hold the
//                        end-of-package field: u32 high half at 248, u32 low
//                        half at 252 = file offset just past the trailer, or 0
//                        for "the package ends at the physical end of the
//                        file". The field is honoured only for PE files, so a
//                        signature appended after the package does not hide it.
//   [header blocks]      from Trailer.PackageStart: HeaderBlockCount times
//                        { u32 N; N bytes }:
//                          1. language block  (0x02-delimited list of 0x01-
//                             delimited records: name, key=value, ...)
//                          2. settings block  |UpdateLocation|InfoFileName|
//                             AgentExeName|SettingsToken|Silent|
//                          3. download block  (only when HeaderBlockCount > 2)
//                             |Location|FileName|AlwaysDownload|Token|Size|
//   [file blocks]        FileBlockCount times { i32 L; abs(L) bytes }:
//                        L >= 1 a zlib stream, L <= 0 stored bytes. Decoded,
//                        each is "|name|stamp|" 0x00 data. A name holding "*"
//                        marks the setup program ("setup.exe* args"); a file
//                        larger than the block size spans several blocks of
//                        the same name, appended in order.
//   [trailer]            the last 74 bytes before the end of the package.
//
// A spanned package continues in NAME.002, NAME.003 ... (disk files with file
// blocks and a trailer of their own, MoreDisks set on all but the last).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tarnix {

inline constexpr uint32_t kPackageMagic = 0x4A3B2C1D;
inline constexpr uint32_t kTrailerSize = 74;
inline constexpr uint32_t kUncheckedChecksum = 1234;
inline constexpr uint32_t kChecksumMaxFileSize = 51200;
inline constexpr uint64_t kPeHeaderOffset = 256;
inline constexpr uint64_t kEndOfPackageFieldOffset = 248;
inline constexpr size_t kClusterSizeCount = 9;  // 256, 512, ... 65536
inline constexpr uint32_t kDefaultBlockDataSize = 5242880;
// No block of file data decodes to more than this: a hostile length cannot
// make a reader allocate without bound, and the builder never writes more.
inline constexpr uint32_t kMaxBlockOutput = 256u << 20;

inline constexpr char kLanguageBlockDelimiter = '\x02';
inline constexpr char kLanguageRecordDelimiter = '\x01';

enum OptionBit : uint8_t {
  kShowTempSpaceInfo = 1u << 0,
  kMoreDisks = 1u << 1,
  kCdSpanning = 1u << 2,
  kShowActivityBar = 1u << 3,
  kAgentLog = 1u << 4,
};

#pragma pack(push, 1)
struct PackageTrailer {
  uint8_t Reserved0;
  uint8_t HeaderBlockCount;
  uint8_t Reserved2[2];
  uint32_t PackageStart;
  uint32_t FileBlockCount;
  uint32_t Magic;
  uint32_t Checksum;
  uint8_t Reserved20[8];
  uint32_t SpaceByCluster[kClusterSizeCount];
  uint8_t Reserved64;
  uint8_t Options;
  uint8_t DownloadSetup;
  uint8_t ConfirmDownload;
  uint8_t CreateAgent;
  uint8_t IsAgent;
  uint32_t TrailerSize;
};
#pragma pack(pop)

static_assert(sizeof(PackageTrailer) == kTrailerSize);
static_assert(offsetof(PackageTrailer, HeaderBlockCount) == 1);
static_assert(offsetof(PackageTrailer, PackageStart) == 4);
static_assert(offsetof(PackageTrailer, FileBlockCount) == 8);
static_assert(offsetof(PackageTrailer, Magic) == 12);
static_assert(offsetof(PackageTrailer, Checksum) == 16);
static_assert(offsetof(PackageTrailer, Reserved20) == 20);
static_assert(offsetof(PackageTrailer, SpaceByCluster) == 28);
static_assert(offsetof(PackageTrailer, Reserved64) == 64);
static_assert(offsetof(PackageTrailer, Options) == 65);
static_assert(offsetof(PackageTrailer, DownloadSetup) == 66);
static_assert(offsetof(PackageTrailer, IsAgent) == 69);
static_assert(offsetof(PackageTrailer, TrailerSize) == 70);

inline uint32_t LoadU32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void StoreU32(unsigned char* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

// The trailer in file byte order. Fields are decoded one by one so that the
// format does not depend on the host's byte order or struct padding.
using TrailerBytes = std::array<unsigned char, kTrailerSize>;

// Fills `t` from the first `count` bytes of `raw` (the rest stays as it is).
void DecodeTrailer(const unsigned char* raw, size_t count, PackageTrailer& t);
TrailerBytes EncodeTrailer(const PackageTrailer& t);

// Cluster size of index i in SpaceByCluster: 256 << i.
inline constexpr uint32_t ClusterSizeOfIndex(size_t i) { return 256u << i; }
// Index of the SpaceByCluster entry that applies to a drive with this cluster
// size: the largest i with 256 << i <= clusterSize, 0 when the size is unknown.
size_t SpaceIndexForCluster(uint32_t clusterSize);

// A file block's decoded contents: "|name|stamp|" header, 0x00, data.
struct FileBlockHeader {
  std::string_view header;  // the list before the 0x00; empty when none
  std::string_view data;    // everything after the 0x00
};
// Splits at the first 0x00. Without one the header is empty (the block
// carries nothing to write).
FileBlockHeader SplitFileBlock(std::string_view contents);

// The disk file `number` (2, 3 ...) of a package whose first disk is
// `firstDisk`: a trailing ".001" is dropped, then "." and three digits follow,
// so both "setup.exe" and "setup.exe.001" continue in "setup.exe.002".
std::string DiskFileName(std::string_view firstDisk, int number);
// Disk numbers have three digits in the file names.
inline constexpr int kMaxDiskNumber = 999;

}  // namespace tarnix
