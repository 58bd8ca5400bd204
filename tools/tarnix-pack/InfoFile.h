// The announcement (.info) file that a vendor puts on the update location
// beside a new setup: `tarnix-pack info` writes into it what can be taken
// from the built files, so that nobody types a byte count by hand.
//
//   [NewSetup]   SizeOfUpdateFile, NameOfUpdateFile (when absent) from the
//                update file; VersionNew, Stamp when given
//   [AutoInform] SizeOfInformFile, NameOfInformFile (when absent) from the
//                inform file
//
// Everything else in the file stays as it was; a missing file is created.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnix::pack {

// The largest size, version or stamp the agent can compare: it keeps them
// as signed 32-bit numbers.
inline constexpr int64_t kLargestInfoNumber = 2147483647;

struct InfoRequest {
  std::string infoPath;
  // Empty: the entries of that file are left alone.
  std::string updatePath;
  std::string informPath;
  std::optional<int64_t> versionNew;
  std::optional<int64_t> stamp;
};

struct InfoChange {
  std::string section;
  std::string key;
  // Nothing when the key was missing.
  std::optional<std::string> before;
  std::string after;
};

struct InfoResult {
  bool created = false;
  // Every key the request set, in the order it set them, changed or not.
  std::vector<InfoChange> changes;
  // A NameOf... entry that names another file than the one measured: the
  // vendor may upload it under that name, so it stays, with this note.
  std::vector<std::string> notes;
};

// Measures the files, then edits and writes the .info file in one go; when
// anything fails the file is left as it was. Errors are one line naming the
// file, and the section and key where one is at fault.
bool UpdateInfoFile(const InfoRequest& request, InfoResult& result, std::string& error);

}  // namespace tarnix::pack
