#include "PackageBuilder.h"

#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

#include "Utils/InFile.h"
#include "package/FileBlocks.h"
#include "package/FileStamp.h"
#include "package/LanguageDefaults.h"
#include "package/TGFileInfo.h"
#include "package/Token.h"

namespace tarnix::pack {

namespace {

namespace fs = std::filesystem;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// One block of the plan: a slice of one input file.
struct BlockJob {
  size_t file;
  uint64_t offset;
  uint32_t length;
};

std::string Framed(std::string_view bytes) {
  std::string out(4, '\0');
  StoreU32(reinterpret_cast<unsigned char*>(out.data()), static_cast<uint32_t>(bytes.size()));
  out.append(bytes);
  return out;
}

bool HasBar(const std::string& s) { return s.find('|') != std::string::npos; }

std::string Scrambled(const std::string& clear, std::mt19937& rng) { return ScrambleToken(clear, rng()); }

std::string BlockHeader(const InputFile& in, uint32_t stamp) {
  std::string name = in.name;
  if (in.isSetup) {
    name += '*';
    if (!in.setupArgs.empty()) name += " " + in.setupArgs;
  }
  return "|" + name + "|" + std::to_string(stamp) + "|";
}

// Reads the slice and frames it as one block: i32 L, then the zlib stream
// (L >= 1) or the stored bytes (L <= 0).
bool EncodeBlock(const PackageSpec& plan, const std::vector<uint32_t>& stamps, const BlockJob& job,
                 std::string& out, std::string& error) {
  const InputFile& in = plan.files[job.file];
  std::string plain = BlockHeader(in, stamps[job.file]);
  plain += '\0';
  size_t headerSize = plain.size();
  plain.resize(headerSize + job.length);
  auto file = OpenInFile(in.sourcePath);
  if (!file || (job.length > 0 && !file->ReadExactAt(job.offset, plain.data() + headerSize, job.length))) {
    error = in.sourcePath + ": cannot be read";
    return false;
  }
  out.assign(4, '\0');
  int32_t length;
  if (plan.level == 0) {
    length = -static_cast<int32_t>(plain.size());
    out += plain;
  } else {
    uLongf packed = compressBound(static_cast<uLong>(plain.size()));
    out.resize(4 + packed);
    int rc = compress2(reinterpret_cast<Bytef*>(out.data() + 4), &packed, reinterpret_cast<const Bytef*>(plain.data()),
                       static_cast<uLong>(plain.size()), plan.level);
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

// Compresses the planned blocks on worker threads and hands them to the
// writer strictly in plan order. At most `window` blocks are held at once,
// so memory stays bounded by a few blocks whatever the package size.
class BlockPipeline {
 public:
  BlockPipeline(const PackageSpec& plan, const std::vector<uint32_t>& stamps, const std::vector<BlockJob>& jobs)
      : plan_(plan), stamps_(stamps), jobs_(jobs) {
    unsigned threads = plan.threads ? plan.threads : std::max(1u, std::thread::hardware_concurrency());
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
      bool ok = EncodeBlock(plan_, stamps_, jobs_[index], bytes, error);
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

  const PackageSpec& plan_;
  const std::vector<uint32_t>& stamps_;
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

class DiskWriter {
 public:
  DiskWriter(const PackageSpec& plan, const PackageTrailer& base, BuildReport& report)
      : plan_(plan), base_(base), report_(report) {}

  ~DiskWriter() {
    if (!done_)
      for (const auto& name : report_.diskFiles) {
        std::error_code ec;
        fs::remove(name, ec);
      }
  }

  bool Open(const std::string& name, std::string& error) {
    file_.reset(std::fopen(name.c_str(), "wb"));
    if (!file_) {
      error = name + ": cannot be created";
      return false;
    }
    report_.diskFiles.push_back(name);
    name_ = name;
    size_ = 0;
    blocks_ = 0;
    return true;
  }

  bool Write(std::string_view bytes, std::string& error) {
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) {
      error = name_ + ": write failed";
      return false;
    }
    size_ += bytes.size();
    return true;
  }

  bool WriteBlock(std::string_view block, std::string& error) {
    ++blocks_;
    ++report_.fileBlocks;
    return Write(block, error);
  }

  uint64_t Size() const { return size_; }
  uint32_t Blocks() const { return blocks_; }

  // Writes the trailer, the end-of-package field of a PE disk and the
  // checksum of a small disk, then closes the file.
  bool Finish(uint32_t packageStart, bool moreDisks, bool isPe, std::string& error) {
    PackageTrailer t = base_;
    t.PackageStart = packageStart;
    t.FileBlockCount = blocks_;
    t.Checksum = kUncheckedChecksum;
    if (moreDisks) t.Options |= kMoreDisks;
    auto raw = EncodeTrailer(t);
    if (!Write(std::string_view(reinterpret_cast<const char*>(raw.data()), raw.size()), error)) return false;
    const uint64_t length = size_;
    if (isPe) {
      unsigned char field[8];
      StoreU32(field, static_cast<uint32_t>(length >> 32));
      StoreU32(field + 4, static_cast<uint32_t>(length));
      if (std::fseek(file_.get(), static_cast<long>(kEndOfPackageFieldOffset), SEEK_SET) != 0 ||
          std::fwrite(field, 1, 8, file_.get()) != 8) {
        error = name_ + ": write failed";
        return false;
      }
    }
    if (std::fclose(file_.release()) != 0) {
      error = name_ + ": write failed";
      return false;
    }
    report_.outputBytes += length;
    if (length <= kChecksumMaxFileSize) return PatchChecksum(length, error);
    return true;
  }

  void Keep() { done_ = true; }

 private:
  bool PatchChecksum(uint64_t length, std::string& error) {
    uint32_t sum = PackageChecksum(name_, kTrailerSize);
    unsigned char raw[4];
    StoreU32(raw, sum);
    FilePtr f(std::fopen(name_.c_str(), "r+b"));
    if (!f || std::fseek(f.get(), static_cast<long>(length - kTrailerSize + offsetof(PackageTrailer, Checksum)),
                         SEEK_SET) != 0 ||
        std::fwrite(raw, 1, 4, f.get()) != 4) {
      error = name_ + ": write failed";
      return false;
    }
    return true;
  }

  const PackageSpec& plan_;
  PackageTrailer base_;
  BuildReport& report_;
  FilePtr file_;
  std::string name_;
  uint64_t size_ = 0;
  uint32_t blocks_ = 0;
  bool done_ = false;
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

std::vector<std::string> HeaderBlocks(const PackageSpec& plan, std::mt19937& rng) {
  std::vector<std::string> records = plan.languageRecords;
  if (records.empty()) records.push_back(BuildLanguageRecord("English", BuiltinEnglishTexts()));
  std::vector<std::string> blocks;
  blocks.push_back(BuildLanguageBlock(records));
  blocks.push_back("|" + plan.updateLocation + "|" + plan.infoFileName + "|" + plan.agentExeName + "|" +
                   Scrambled(plan.settingsToken, rng) + "|" + (plan.silent ? "1" : "0") + "|");
  if (plan.download) {
    const auto& d = *plan.download;
    blocks.push_back("|" + d.location + "|" + d.fileName + "|" + (d.alwaysDownload ? "1" : "0") + "|" +
                     Scrambled(d.token, rng) + "|" + d.size + "|");
  }
  return blocks;
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
      uint32_t length = static_cast<uint32_t>(std::min<uint64_t>(plan.blockSize, size - offset));
      jobs.push_back({i, offset, length});
      offset += length;
    } while (offset < size);
    for (size_t c = 0; c < kClusterSizeCount; ++c) {
      uint64_t cluster = ClusterSizeOfIndex(c);
      space[c] += (size + cluster - 1) / cluster * cluster;
    }
  }

  std::mt19937 rng(plan.tokenSeed ? plan.tokenSeed : std::random_device{}());
  std::string headers;
  auto headerBlocks = HeaderBlocks(plan, rng);
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

  DiskWriter disk(plan, base, report);
  const bool cd = plan.options & kCdSpanning;
  if (!disk.Open(outPath, error) || !disk.Write(stub, error) || !disk.Write(headers, error)) return false;
  int diskNumber = 1;
  uint32_t packageStart = static_cast<uint32_t>(stub.size());
  if (cd) {
    // The CD's executable carries only the header blocks; the relaunched copy
    // reads the files from NAME.001 onwards.
    if (!disk.Finish(packageStart, false, true, error) || !disk.Open(outPath + ".001", error) ||
        !disk.Write(headers, error))
      return false;
    packageStart = 0;
  }

  BlockPipeline pipeline(plan, stamps, jobs);
  std::string block;
  for (size_t i = 0; i < jobs.size(); ++i) {
    if (!pipeline.Take(i, block, error)) return false;
    if (plan.diskSize > 0 && disk.Blocks() > 0 && disk.Size() + block.size() + kTrailerSize > plan.diskSize) {
      if (!disk.Finish(packageStart, true, diskNumber == 1 && !cd, error)) return false;
      ++diskNumber;
      if (!disk.Open(DiskFileName(cd ? outPath + ".001" : outPath, diskNumber), error)) return false;
      packageStart = 0;
    }
    if (!disk.WriteBlock(block, error)) return false;
  }
  if (!disk.Finish(packageStart, false, diskNumber == 1 && !cd, error)) return false;
  disk.Keep();
  return true;
}

}  // namespace tarnix::pack
