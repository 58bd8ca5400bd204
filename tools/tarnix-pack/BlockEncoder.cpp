#include "BlockEncoder.h"

#include <zlib.h>

#ifdef TARNIX_WITH_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <algorithm>
#include <memory>
#include <string_view>

#include "Utils/InFile.h"
#include "package/PackageFormat.h"

namespace tarnix::pack {

namespace {

// What a compressed block takes beyond its deflate data: the length field,
// the zlib header and its check value.
constexpr uint64_t kZlibFrame = 4 + 2 + 4;
// A cut is good enough once it leaves at most 1/256 of the room (and never
// less than 64 bytes) unused; each try compresses the part once more.
constexpr uint64_t kSlackShare = 256;
constexpr uint64_t kMinSlack = 64;
constexpr int kMaxFitTries = 6;

#ifdef TARNIX_WITH_LIBDEFLATE
// At the highest level libdeflate writes smaller zlib streams than zlib, in
// less time; any zlib inflates them.
constexpr int kLibdeflateLevel = 10;

struct CompressorFree {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

bool DeflateStrongest(std::string_view plain, std::string& out) {
  // One compressor per worker thread: it holds a few MB of tables.
  thread_local std::unique_ptr<libdeflate_compressor, CompressorFree> compressor(
      libdeflate_alloc_compressor(kLibdeflateLevel));
  if (!compressor) return false;
  const size_t start = out.size();
  const size_t bound = libdeflate_zlib_compress_bound(compressor.get(), plain.size());
  out.resize(start + bound);
  const size_t packed =
      libdeflate_zlib_compress(compressor.get(), plain.data(), plain.size(), out.data() + start, bound);
  out.resize(start + packed);
  return packed > 0;
}
#endif

// Appends the zlib stream of `plain` at `level` (1 to 9) to `out`.
bool Deflate(std::string_view plain, int level, std::string& out) {
#ifdef TARNIX_WITH_LIBDEFLATE
  if (level == 9) return DeflateStrongest(plain, out);
#endif
  const size_t start = out.size();
  uLongf packed = compressBound(static_cast<uLong>(plain.size()));
  out.resize(start + packed);
  if (compress2(reinterpret_cast<Bytef*>(out.data() + start), &packed, reinterpret_cast<const Bytef*>(plain.data()),
                static_cast<uLong>(plain.size()), level) != Z_OK)
    return false;
  out.resize(start + packed);
  return true;
}

}  // namespace

std::string BlockEncoder::HeaderList(size_t file) const {
  const InputFile& in = plan_.files[file];
  std::string name = in.name;
  if (in.isSetup) {
    name += '*';
    if (!in.setupArgs.empty()) name += " " + in.setupArgs;
  }
  return "|" + name + "|" + std::to_string(stamps_[file]) + "|";
}

uint64_t BlockEncoder::StoredSize(const BlockJob& job) const {
  return 4 + HeaderList(job.file).size() + 1 + job.length;
}

uint64_t BlockEncoder::SmallestBlock(size_t file) const { return StoredSize({file, 0, 1}); }

bool BlockEncoder::Encode(const BlockJob& job, std::string& out, std::string& error) const {
  return EncodeAs(job, plan_.level == 0, out, error);
}

bool BlockEncoder::EncodeAs(const BlockJob& job, bool store, std::string& out, std::string& error) const {
  const InputFile& in = plan_.files[job.file];
  std::string plain = HeaderList(job.file);
  plain += '\0';
  const size_t headerSize = plain.size();
  plain.resize(headerSize + job.length);
  auto file = OpenInFile(in.sourcePath);
  if (!file || (job.length > 0 && !file->ReadExactAt(job.offset, plain.data() + headerSize, job.length))) {
    error = in.sourcePath + ": cannot be read";
    return false;
  }
  out.assign(4, '\0');
  int32_t length;
  if (store) {
    length = -static_cast<int32_t>(plain.size());
    out += plain;
  } else {
    if (!Deflate(plain, plan_.level, out)) {
      error = in.sourcePath + ": compression failed";
      return false;
    }
    length = static_cast<int32_t>(out.size() - 4);
  }
  StoreU32(reinterpret_cast<unsigned char*>(out.data()), static_cast<uint32_t>(length));
  return true;
}

bool BlockEncoder::EncodeToFit(const BlockJob& job, size_t encodedSize, uint64_t room, BlockJob& head, std::string& out,
                               std::string& error) const {
  const uint64_t framing = StoredSize({job.file, 0, 0});
  // Stored, the cut is exact; that is also the answer for data that does
  // not compress.
  head = job;
  head.length = static_cast<uint32_t>(std::min<uint64_t>(job.length, room - framing));
  if (plan_.level == 0 || encodedSize >= StoredSize(job)) return EncodeAs(head, true, out, error);

  // Compressed sizes grow about in step with the data: the ratio of the
  // last try estimates the next one, aimed a little below the room. An
  // estimate outside what is known halves that range instead.
  const uint64_t slack = std::max(kMinSlack, room / kSlackShare);
  const double target = static_cast<double>(room) - static_cast<double>(slack) / 2;
  const double headerBytes = static_cast<double>(framing - 4);
  double ratio = static_cast<double>(encodedSize - kZlibFrame) / (headerBytes + job.length);
  uint32_t fits = head.length;  // the longest part known to fit
  uint32_t tooLong = job.length;
  bool compressedFits = false;
  BlockJob part = job;
  std::string bytes;
  for (int i = 0; i < kMaxFitTries && tooLong - fits > 1; ++i) {
    double estimate = (target - kZlibFrame) / std::max(ratio, 1e-6) - headerBytes;
    if (!(estimate > fits && estimate < tooLong)) estimate = (static_cast<double>(fits) + tooLong) / 2;
    part.length = std::clamp(static_cast<uint32_t>(estimate), fits + 1, tooLong - 1);
    if (!EncodeAs(part, false, bytes, error)) return false;
    ratio = static_cast<double>(bytes.size() - kZlibFrame) / (headerBytes + part.length);
    if (bytes.size() > room) {
      tooLong = part.length;
      continue;
    }
    fits = part.length;
    compressedFits = true;
    out.swap(bytes);
    if (room - out.size() <= slack) break;
  }
  head.length = fits;
  return compressedFits || EncodeAs(head, true, out, error);
}

}  // namespace tarnix::pack
