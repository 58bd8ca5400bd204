#include "PackageBuilder.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

#include "BlockEncoder.h"
#include "DiskSet.h"
#include "Utils/InFile.h"
#include "package/FileBlocks.h"
#include "package/FileStamp.h"
#include "package/LanguageDefaults.h"
#include "package/TGFileInfo.h"
#include "package/Token.h"
#include "package/VendorSignature.h"

namespace tarnix::pack {

namespace {

namespace fs = std::filesystem;

// A disk of a spanned package ends inside a block, which is then compressed
// again on the writing thread, cut to the room left. Blocks of an eighth of
// a disk (64 KiB at least) keep that work short while the other blocks still
// compress in parallel; each block starts without a dictionary, so smaller
// ones would cost more in size (text: 0.7% more output than whole-file
// blocks, 1.4% at a sixteenth).
constexpr uint64_t kSlicesPerDisk = 8;
constexpr uint64_t kMinSpannedSlice = 64 << 10;

uint32_t SliceSize(const PackageSpec& plan) {
  if (plan.diskSize == 0) return plan.blockSize;
  return static_cast<uint32_t>(
      std::min<uint64_t>(plan.blockSize, std::max(kMinSpannedSlice, plan.diskSize / kSlicesPerDisk)));
}

std::string Framed(std::string_view bytes) {
  std::string out(4, '\0');
  StoreU32(reinterpret_cast<unsigned char*>(out.data()), static_cast<uint32_t>(bytes.size()));
  out.append(bytes);
  return out;
}

bool HasBar(const std::string& s) { return s.find('|') != std::string::npos; }

// Compresses the planned blocks on worker threads and hands them to the
// writer strictly in plan order. At most `window` blocks are held at once,
// so memory stays bounded by a few blocks whatever the package size.
class BlockPipeline {
 public:
  BlockPipeline(const BlockEncoder& encoder, unsigned threads, const std::vector<BlockJob>& jobs)
      : encoder_(encoder), jobs_(jobs) {
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    threads = static_cast<unsigned>(std::min<size_t>(threads, std::max<size_t>(1, jobs.size())));
    window_ = threads * 2;
    slots_.resize(window_);
    for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
  }

  ~BlockPipeline() {
    {
      std::lock_guard lock(m_);
      stop_ = true;
    }
    cv_.notify_all();
    for (auto& t : workers_) t.join();
  }

  // The next block in order; false when a worker failed.
  bool Take(size_t index, std::string& block, std::string& error) {
    std::unique_lock lock(m_);
    cv_.wait(lock, [&] { return slots_[index % window_].ready || !error_.empty(); });
    if (!error_.empty()) {
      error = error_;
      return false;
    }
    Slot& slot = slots_[index % window_];
    block = std::move(slot.bytes);
    slot = Slot{};
    ++taken_;
    cv_.notify_all();
    return true;
  }

 private:
  struct Slot {
    bool ready = false;
    std::string bytes;
  };

  void Work() {
    for (;;) {
      size_t index;
      {
        std::unique_lock lock(m_);
        cv_.wait(lock, [&] { return stop_ || !error_.empty() || next_ >= jobs_.size() || next_ < taken_ + window_; });
        if (stop_ || !error_.empty() || next_ >= jobs_.size()) return;
        index = next_++;
      }
      std::string bytes, error;
      bool ok = encoder_.Encode(jobs_[index], bytes, error);
      {
        std::lock_guard lock(m_);
        if (!ok) {
          if (error_.empty()) error_ = error;
        } else {
          slots_[index % window_] = Slot{true, std::move(bytes)};
        }
      }
      cv_.notify_all();
    }
  }

  const BlockEncoder& encoder_;
  const std::vector<BlockJob>& jobs_;
  size_t window_ = 2;
  std::vector<Slot> slots_;
  std::vector<std::thread> workers_;
  std::mutex m_;
  std::condition_variable cv_;
  size_t next_ = 0;
  size_t taken_ = 0;
  bool stop_ = false;
  std::string error_;
};

bool ReadStub(const std::string& path, std::string& image, std::string& error) {
  auto file = OpenInFile(path);
  if (!file) {
    error = path + ": stub not found";
    return false;
  }
  if (!IsPeFile(*file)) {
    error = path + ": not a stub (no PE header at offset 256)";
    return false;
  }
  PackageTrailer t;
  if (ReadTrailer(*file, t) && t.Magic == kPackageMagic) {
    error = path + ": already carries a package";
    return false;
  }
  if (file->Size() > 64u << 20) {
    error = path + ": too large for a stub";
    return false;
  }
  image.resize(file->Size());
  if (!file->ReadExactAt(0, image.data(), image.size())) {
    error = path + ": cannot be read";
    return false;
  }
  // The stub's own end-of-package field must start out empty.
  std::fill(image.begin() + kEndOfPackageFieldOffset, image.begin() + kEndOfPackageFieldOffset + 8, '\0');
  return true;
}

bool Validate(const PackageSpec& plan, std::string& error) {
  if (plan.level < 0 || plan.level > 9) {
    error = "Level must be 0 to 9";
    return false;
  }
  if (plan.blockSize == 0 || plan.blockSize > kMaxBlockOutput - 4096) {
    error = "BlockSize must be 1 to " + std::to_string(kMaxBlockOutput - 4096);
    return false;
  }
  for (const std::string* s : {&plan.updateLocation, &plan.infoFileName, &plan.agentExeName}) {
    if (HasBar(*s)) {
      error = "settings must not contain \"|\": " + *s;
      return false;
    }
  }
  if (plan.download)
    for (const std::string* s : {&plan.download->location, &plan.download->fileName, &plan.download->size})
      if (HasBar(*s)) {
        error = "download settings must not contain \"|\": " + *s;
        return false;
      }
  std::string bytes;
  if (!plan.publicKey.empty() && SplitPublicKeys(plan.publicKey).empty()) {
    error = "the public key must be " + std::to_string(2 * kPublicKeyBytes) + " hex digits, or twice that for two keys";
    return false;
  }
  if (plan.download && !plan.download->sha256.empty() && !ParseHexExact(plan.download->sha256, kSha256Bytes, bytes)) {
    error = "the download hash must be " + std::to_string(2 * kSha256Bytes) + " hex digits";
    return false;
  }
  int setups = 0;
  for (const auto& f : plan.files) {
    if (!IsPlainFileName(f.name)) {
      error = f.sourcePath + ": \"" + f.name + "\" is not a plain file name";
      return false;
    }
    if (HasBar(f.setupArgs)) {
      error = f.name + ": setup arguments must not contain \"|\"";
      return false;
    }
    setups += f.isSetup;
  }
  if (setups > 1) {
    error = "more than one setup program";
    return false;
  }
  return true;
}

// The header blocks with `token` storing each token.
template <typename StoreToken>
std::vector<std::string> HeaderBlocks(const PackageSpec& plan, StoreToken token) {
  std::vector<std::string> records = plan.languageRecords;
  if (records.empty()) records.push_back(BuildLanguageRecord("English", BuiltinEnglishTexts()));
  std::vector<std::string> blocks;
  blocks.push_back(BuildLanguageBlock(records));
  // The key and the hash are sixth items, which readers that know five
  // never look at; a package without them keeps the five-item blocks.
  auto sixth = [](const std::string& item) { return item.empty() ? std::string() : item + "|"; };
  blocks.push_back("|" + plan.updateLocation + "|" + plan.infoFileName + "|" + plan.agentExeName + "|" +
                   token(plan.settingsToken) + "|" + (plan.silent ? "1" : "0") + "|" + sixth(plan.publicKey));
  if (plan.download) {
    const auto& d = *plan.download;
    blocks.push_back("|" + d.location + "|" + d.fileName + "|" + (d.alwaysDownload ? "1" : "0") + "|" +
                     token(d.token) + "|" + d.size + "|" + sixth(d.sha256));
  }
  return blocks;
}

// Tokens are scrambled with random padding, so the header blocks of two
// builds differ in size; the disk size is checked against the longest, so
// that a size that works once always works.
uint64_t LongestHeaders(const PackageSpec& plan) {
  uint64_t size = 0;
  for (const auto& block : HeaderBlocks(
           plan, [](const std::string& clear) { return std::string(MaxScrambledTokenSize(clear.size()), '-'); }))
    size += 4 + block.size();
  return size;
}

}  // namespace

bool BuildPackage(const PackageSpec& plan, const std::string& outPath, BuildReport& report, std::string& error) {
  report = BuildReport{};
  if (!Validate(plan, error)) return false;
  std::string stub;
  if (!ReadStub(plan.stubPath, stub, error)) return false;

  // Plan: sizes, stamps, blocks and the space the files take per cluster size.
  std::vector<uint32_t> stamps;
  std::vector<BlockJob> jobs;
  const uint32_t sliceSize = SliceSize(plan);
  uint64_t space[kClusterSizeCount] = {};
  for (size_t i = 0; i < plan.files.size(); ++i) {
    const auto& f = plan.files[i];
    std::error_code ec;
    uint64_t size = fs::file_size(f.sourcePath, ec);
    if (ec) {
      error = f.sourcePath + ": cannot be read";
      return false;
    }
    uint32_t stamp = f.stamp;
    if (stamp == 0) {
      auto mtime = fs::last_write_time(f.sourcePath, ec);
      if (!ec) {
        auto sys = std::chrono::file_clock::to_sys(mtime);
        stamp = DosStampFromTime(std::chrono::system_clock::to_time_t(sys));
      }
    }
    stamps.push_back(stamp);
    report.inputBytes += size;
    uint64_t offset = 0;
    do {
      uint32_t length = static_cast<uint32_t>(std::min<uint64_t>(sliceSize, size - offset));
      jobs.push_back({i, offset, length});
      offset += length;
    } while (offset < size);
    for (size_t c = 0; c < kClusterSizeCount; ++c) {
      uint64_t cluster = ClusterSizeOfIndex(c);
      space[c] += (size + cluster - 1) / cluster * cluster;
    }
  }

  const BlockEncoder encoder(plan, stamps);
  if (plan.diskSize > 0) {
    const uint64_t smallest = DiskSet::SmallestDiskSize(plan, encoder, stub.size(), LongestHeaders(plan));
    if (plan.diskSize < smallest) {
      error = PackageKeyError(plan, "DiskSize",
                              "too small; the stub, the header blocks, a trailer and a first file block need "
                              "at least " + std::to_string(smallest) + " bytes");
      return false;
    }
  }

  std::mt19937 rng(plan.tokenSeed ? plan.tokenSeed : std::random_device{}());
  std::string headers;
  auto headerBlocks = HeaderBlocks(plan, [&rng](const std::string& clear) { return ScrambleToken(clear, rng()); });
  for (const auto& b : headerBlocks) headers += Framed(b);

  PackageTrailer base{};
  base.Reserved0 = 1;
  base.HeaderBlockCount = static_cast<uint8_t>(headerBlocks.size());
  base.Magic = kPackageMagic;
  for (size_t c = 0; c < kClusterSizeCount; ++c)
    base.SpaceByCluster[c] = static_cast<uint32_t>(std::min<uint64_t>(space[c], 0xFFFFFFFFu));
  base.Options = plan.options & (kShowTempSpaceInfo | kCdSpanning | kShowActivityBar | kAgentLog);
  // A package with files and a download block is the full setup that a web
  // installer fetches: it carries the token the installer checks.
  base.DownloadSetup = plan.download && plan.files.empty() ? 1 : 0;
  base.ConfirmDownload = plan.confirmDownload;
  base.CreateAgent = plan.createAgent;
  base.IsAgent = plan.isAgent;
  base.TrailerSize = kTrailerSize;

  DiskSet disks(plan, base, encoder, outPath, report);
  if (!disks.Begin(stub, headers, error)) return false;
  BlockPipeline pipeline(encoder, plan.threads, jobs);
  std::string block;
  for (size_t i = 0; i < jobs.size(); ++i)
    if (!pipeline.Take(i, block, error) || !disks.Add(jobs[i], std::move(block), error)) return false;
  return disks.End(error);
}

std::string PackageKeyError(const PackageSpec& plan, std::string_view key, std::string_view message) {
  std::string error = plan.manifestPath.empty() ? std::string() : plan.manifestPath + ": ";
  error += "[Package] ";
  error += key;
  error += ": ";
  error += message;
  return error;
}

}  // namespace tarnix::pack
