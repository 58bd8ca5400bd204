// The announcement (.info) file that a vendor puts on the update location
// beside a new setup: `tarnix-pack info` writes into it what can be taken
// from the built files, so that nobody types a byte count by hand.
//
//   [NewSetup]   SizeOfUpdateFile, NameOfUpdateFile (when absent) from the
//                update file; VersionNew, Stamp when given
//   [AutoInform] SizeOfInformFile, NameOfInformFile (when absent) from the
//                inform file
//
// Signed with the vendor's private key, it also gets SHA256OfUpdateFile and
// SHA256OfInformFile of the files measured, and ends with the signature line
// over every byte before it (package/VendorSignature.h). Inside the signed
// bytes it gets [Signature] Serial (one more than the file's, or the one
// given) and, when asked, [Signature] Expires (autoupdate/
// AnnouncementFreshness.h): a keyed agent refuses a lower serial than one
// it accepted and an announcement expired by more than a day. An edit
// without the key drops the signature that no longer fits.
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
  // [NewSetup] RolloutPercent, 0 to 100: the share of installations offered
  // the release (a staged rollout).
  std::optional<int64_t> rolloutPercent;
  // The vendor's private key (PEM): hashes and signature; empty: unsigned.
  std::string signKey;
  // With signKey: the Serial to write in place of the file's one plus one.
  std::optional<int64_t> serial;
  // With signKey: Expires this many days after `now`.
  std::optional<int64_t> expiresDays;
  // Seconds since 1970 UTC; 0: the system's clock.
  int64_t now = 0;
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
  // The file now ends with a signature line by the key given.
  bool signedFile = false;
};

// Measures the files, then edits and writes the .info file in one go; when
// anything fails the file is left as it was. Errors are one line naming the
// file, and the section and key where one is at fault.
bool UpdateInfoFile(const InfoRequest& request, InfoResult& result, std::string& error);

// Whether the .info file carries a good signature by `key`: a PEM file with
// the public or the private key, or a package that carries the key. False
// with `error` saying why not; `error` names what failed then.
bool CheckInfoSignature(const std::string& infoPath, const std::string& key, std::string& error);

}  // namespace tarnix::pack
