#include "BlockEncoder.h"

#include <zlib.h>

#include <algorithm>

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
    uLongf packed = compressBound(static_cast<uLong>(plain.size()));
    out.resize(4 + packed);
    int rc = compress2(reinterpret_cast<Bytef*>(out.data() + 4), &packed, reinterpret_cast<const Bytef*>(plain.data()),
                       static_cast<uLong>(plain.size()), plan_.level);
    if (rc != Z_OK) {
      error = in.sourcePath + ": compression failed (zlib " + std::to_string(rc) + ")";
      return false;
    }
    out.resize(4 + packed);
    length = static_cast<int32_t>(packed);
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
