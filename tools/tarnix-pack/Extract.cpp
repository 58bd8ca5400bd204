#include "Extract.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>

#include "PackageDisks.h"
#include "Utils/StrUtils.h"
#include "Utils/WorkerPool.h"
#include "package/BlockPipeline.h"
#include "package/FileAssembler.h"
#include "package/FileStamp.h"

namespace tarnix::pack {

namespace {

namespace fs = std::filesystem;

// Names are joined as text and opened with the C library, so a name's bytes
// reach the file system as they are, in the system's code page.
std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  const char last = folder.back();
  if (last == '/' || last == static_cast<char>(fs::path::preferred_separator)) return folder + name;
  return folder + static_cast<char>(fs::path::preferred_separator) + name;
}

// Files in the folder, written through the C library: one stream per file,
// kept open over its blocks, the stamp set once it is closed.
class FolderOutput final : public FileOutput {
 public:
  FolderOutput(const std::string& folder, ExtractResult& result) : folder_(folder), result_(result) {}
  ~FolderOutput() override { CloseStream(); }

  bool Open(const std::string& name, bool append) override {
    path_ = JoinPath(folder_, name);
    std::error_code ec;
    // A link placed in the folder beforehand would carry the data elsewhere.
    if (fs::is_symlink(fs::symlink_status(path_, ec))) {
      if (links_.insert(name).second) Fault("refused \"" + name + "\": " + path_ + " is a link");
      return false;
    }
    if (!append) result_.files.push_back(name);
    file_ = std::fopen(path_.c_str(), append ? "ab" : "wb");
    return file_ != nullptr;
  }

  bool Write(std::string_view bytes) override {
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) return false;
    result_.bytes += bytes.size();
    return true;
  }

  void Close(uint32_t stamp) override {
    if (!CloseStream()) {
      Fault(path_ + ": cannot be written");
      return;
    }
    if (stamp == 0) return;
    const std::time_t t = TimeFromDosStamp(stamp);
    if (t == -1) return;
    auto when = std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(t));
    std::error_code ec;
    fs::last_write_time(path_, std::chrono::time_point_cast<fs::file_time_type::duration>(when), ec);
    if (ec) Fault(path_ + ": its stamp cannot be set: " + ec.message());
  }

  void Failed(const std::string& name, uint64_t) override {
    // A refused link has been reported already.
    if (!links_.count(name)) Fault(JoinPath(folder_, name) + ": cannot be written");
  }

  void Refused(const std::string& name) override {
    Fault("refused \"" + name + "\": it would be written outside " + folder_);
  }

  void Fault(std::string text) { result_.faults.push_back(std::move(text)); }

 private:
  bool CloseStream() {
    if (!file_) return true;
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    return ok;
  }

  std::string folder_;
  ExtractResult& result_;
  std::string path_;
  std::FILE* file_ = nullptr;
  std::set<std::string> links_;
};

class Extractor {
 public:
  Extractor(const std::string& folder, ExtractResult& result)
      : output_(folder, result), files_(output_), pipeline_(StartWorkerPool(ProcessorCount()), 0) {}

  // False when the extraction must end.
  bool Disk(PackageDisk& disk) {
    const uint32_t sum = disk.Checksum();
    if (!ChecksumAccepted(sum, disk.trailer.Checksum)) {
      Fault(disk.path + ": checksum " + std::to_string(sum) + " does not match the stored " +
            std::to_string(disk.trailer.Checksum));
      return false;
    }
    BlockWalker walker(*disk.file, disk.blocksStart, disk.end, disk.trailer.TrailerSize);
    while (const StreamedBlock* block = pipeline_.Next(walker)) files_.Take(*block);
    if (!pipeline_.Fault().empty()) {
      Fault(disk.path + ": " + pipeline_.Fault());
      return false;
    }
    return true;
  }

  // Closes the last file; returns the setup entry.
  std::string Finish() {
    files_.Finish();
    return files_.SetupEntry();
  }

  void Fault(std::string text) { output_.Fault(std::move(text)); }

 private:
  FolderOutput output_;
  FileAssembler files_;
  BlockPipeline pipeline_;
};

}  // namespace

ExtractResult ExtractPackage(const std::string& package, const std::string& folder) {
  ExtractResult result;
  try {
    Extractor extractor(folder, result);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder)) {
      extractor.Fault(folder + ": cannot be created" + (ec ? ": " + ec.message() : std::string()));
      return result;
    }
    DiskChain chain(package);
    PackageDisk disk;
    bool whole = true;
    while (whole && chain.Next(disk)) whole = extractor.Disk(disk);
    result.setupEntry = extractor.Finish();
    if (whole && !chain.Fault().empty()) extractor.Fault(chain.Fault());
  } catch (const std::exception& e) {
    result.faults.push_back(package + ": " + e.what());
  }
  return result;
}

}  // namespace tarnix::pack
