#include "Extract.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>

#include "PackageDisks.h"
#include "Utils/StrUtils.h"
#include "package/FileBlocks.h"
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

class Extractor {
 public:
  Extractor(const std::string& folder, ExtractResult& result) : folder_(folder), result_(result) {}

  // False when the extraction must end.
  bool Disk(PackageDisk& disk) {
    const uint32_t sum = disk.Checksum();
    if (!ChecksumAccepted(sum, disk.trailer.Checksum)) {
      Fault(disk.path + ": checksum " + std::to_string(sum) + " does not match the stored " +
            std::to_string(disk.trailer.Checksum));
      return false;
    }
    BlockWalker walker(*disk.file, disk.blocksStart, disk.end, disk.trailer.TrailerSize);
    RawBlock raw;
    FileBlock block;
    std::string error;
    while (walker.More() && walker.Next(raw)) {
      if (!DecodeFileBlock(raw, block, error)) {
        Fault(disk.path + ": block at offset " + std::to_string(raw.offset) + " does not inflate: " + error);
        return false;
      }
      // A block without a header carries nothing to write.
      if (!block.header.empty()) Write(block);
    }
    if (!walker.Fault().empty()) {
      Fault(disk.path + ": " + walker.Fault());
      return false;
    }
    return true;
  }

  void Fault(std::string text) { result_.faults.push_back(std::move(text)); }

 private:
  void Write(const FileBlock& block) {
    if (block.IsSetupEntry()) result_.setupEntry = block.name;
    const std::string name = block.FileName();
    if (!IsPlainFileName(name)) {
      if (refused_.insert(name).second) Fault("refused \"" + name + "\": it would be written outside " + folder_);
      return;
    }
    const std::string target = JoinPath(folder_, name);
    std::error_code ec;
    // A link placed in the folder beforehand would carry the data elsewhere.
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
      if (refused_.insert(name).second) Fault("refused \"" + name + "\": " + target + " is a link");
      return;
    }
    // Windows names ignore case: blocks of "A.TXT" and "a.txt" make one file.
    const bool first = written_.insert(UpperCase(name)).second;
    if (first) result_.files.push_back(name);
    const std::string_view data = block.data();
    std::FILE* out = std::fopen(target.c_str(), first ? "wb" : "ab");
    bool ok = out != nullptr;
    if (out) {
      ok = data.empty() || std::fwrite(data.data(), 1, data.size(), out) == data.size();
      ok = std::fclose(out) == 0 && ok;
    }
    if (!ok) {
      Fault(target + ": cannot be written");
      return;
    }
    result_.bytes += data.size();
    if (block.stamp == 0) return;
    const std::time_t t = TimeFromDosStamp(block.stamp);
    if (t == -1) return;
    auto when = std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(t));
    fs::last_write_time(target, std::chrono::time_point_cast<fs::file_time_type::duration>(when), ec);
    if (ec) Fault(target + ": its stamp cannot be set: " + ec.message());
  }

  std::string folder_;
  ExtractResult& result_;
  std::set<std::string> written_;
  std::set<std::string> refused_;
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
    while (chain.Next(disk))
      if (!extractor.Disk(disk)) return result;
    if (!chain.Fault().empty()) extractor.Fault(chain.Fault());
  } catch (const std::exception& e) {
    result.faults.push_back(package + ": " + e.what());
  }
  return result;
}

}  // namespace tarnix::pack
