// Writes a setup package: the stub, the header blocks, the file blocks
// (compressed on all cores, written in order) and the trailer, spanned over
// several disk files when asked. Tests build their fixtures with it too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "package/PackageFormat.h"

namespace tarnix::pack {

struct InputFile {
  std::string name;        // plain name inside the package
  std::string sourcePath;  // where the bytes come from
  uint32_t stamp = 0;      // packed date-and-time; 0 takes the source's
  bool isSetup = false;    // the setup program: its header gets the "*"
  std::string setupArgs;   // extra arguments after the "*"
};

struct DownloadSettings {
  std::string location;
  std::string fileName;
  bool alwaysDownload = false;
  std::string token;  // clear text; stored scrambled
  std::string size;   // decimal bytes
  // The full setup's SHA-256 as 64 hex digits, for the web installer to
  // check; empty: none (the block keeps its five items).
  std::string sha256 = {};
};

struct PackageSpec {
  std::string manifestPath;  // where the plan was read from, for errors; may be empty
  std::string stubPath;
  uint32_t blockSize = kDefaultBlockDataSize;  // at most this many bytes of file data per block
  int level = 9;                               // zlib level; 0 stores
  uint64_t diskSize = 0;                       // no disk file larger; 0: one disk file
  uint8_t options = 0;  // ShowTempSpaceInfo, CdSpanning, ShowActivityBar, AgentLog
  bool confirmDownload = false;
  bool createAgent = false;
  bool isAgent = false;

  std::string updateLocation;
  std::string infoFileName;
  std::string agentExeName;
  std::string settingsToken;  // clear text; stored scrambled
  bool silent = false;
  // The vendor's public key, the P-256 point X||Y as 128 hex digits; empty:
  // none (the settings block keeps its five items).
  std::string publicKey;
  std::optional<DownloadSettings> download;

  // Language records (BuildLanguageRecord); none: the built-in English one.
  std::vector<std::string> languageRecords;
  std::vector<InputFile> files;

  unsigned threads = 0;       // 0: one per core
  uint32_t tokenSeed = 0;     // 0: random
};

struct BuildReport {
  std::vector<std::string> diskFiles;  // in disk order, the stub file first
  uint64_t inputBytes = 0;
  uint64_t outputBytes = 0;
  uint32_t fileBlocks = 0;
};

// False with `error` set (one line naming the file at fault) on failure;
// partly written disk files are removed then.
bool BuildPackage(const PackageSpec& plan, const std::string& outPath, BuildReport& report, std::string& error);

// An error about a [Package] value of the plan, in the manifest's words:
// "manifest.ini: [Package] DiskSize: ...".
std::string PackageKeyError(const PackageSpec& plan, std::string_view key, std::string_view message);

}  // namespace tarnix::pack
