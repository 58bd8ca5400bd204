#include "InfoFile.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "IniEditor.h"
#include "Signing.h"
#include "autoupdate/AnnouncementFreshness.h"
#include "net/DownloadRules.h"
#include "package/TGFileInfo.h"
#include "package/VendorSignature.h"

namespace tarnix::pack {

namespace {

namespace fs = std::filesystem;

constexpr char kNewSetup[] = "NewSetup";
constexpr char kAutoInform[] = "AutoInform";

// An announcement is a few dozen lines; anything this large is not one.
constexpr uintmax_t kLargestInfoFile = 4u << 20;

struct Measured {
  std::string name;
  int64_t size = 0;
  // The SHA-256 as hex digits; empty for an unsigned file.
  std::string sha256;
};

// The entries that describe one uploaded file.
struct FileKeys {
  const char* section;
  const char* nameKey;
  const char* sizeKey;
  const char* hashKey;
};

constexpr FileKeys kUpdateKeys{kNewSetup, "NameOfUpdateFile", "SizeOfUpdateFile", kUpdateHashKey};
constexpr FileKeys kInformKeys{kAutoInform, "NameOfInformFile", "SizeOfInformFile", kInformHashKey};

std::string Where(const FileKeys& keys, const char* key) {
  return std::string("[").append(keys.section).append("] ").append(key);
}

// Errors name the entry the file was measured for: "P.info: [NewSetup]
// SizeOfUpdateFile: Setup.exe: not found". A signed file is hashed too.
bool Measure(const std::string& path, const FileKeys& keys, const std::string& infoPath, bool hash, Measured& out,
             std::string& error) {
  const std::string where = infoPath + ": " + Where(keys, keys.sizeKey) + ": " + path + ": ";
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (!fs::exists(status)) {
    error = where + "not found";
    return false;
  }
  if (!fs::is_regular_file(status)) {
    error = where + "not a file";
    return false;
  }
  const uintmax_t size = fs::file_size(path, ec);
  if (ec) {
    error = where + "cannot be read";
    return false;
  }
  if (size > static_cast<uintmax_t>(kLargestInfoNumber)) {
    error = where + std::to_string(size) + " bytes, more than the agent can compare (" +
            std::to_string(kLargestInfoNumber) + ")";
    return false;
  }
  out.name = fs::path(path).filename().string();
  out.size = static_cast<int64_t>(size);
  if (!hash) return true;
  std::string digest, hashError;
  if (!Sha256OfFile(path, digest, hashError)) {
    error = infoPath + ": " + Where(keys, keys.hashKey) + ": " + hashError;
    return false;
  }
  out.sha256 = LowerHex(digest);
  return true;
}

// The agent trims values and reads a file line by line, so a name with
// blanks at its ends or a control character would arrive changed.
bool WritableName(const std::string& name) {
  if (name.empty() || name.front() == ' ' || name.back() == ' ') return false;
  for (const char c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  return true;
}

bool LoadInfo(const std::string& path, std::string& text, bool& missing, std::string& error) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  missing = !fs::exists(status);
  if (missing) return true;
  if (!fs::is_regular_file(status)) {
    error = path + ": not a file";
    return false;
  }
  const uintmax_t size = fs::file_size(path, ec);
  if (ec) {
    error = path + ": cannot be read";
    return false;
  }
  if (size > kLargestInfoFile) {
    error = path + ": larger than " + std::to_string(kLargestInfoFile) + " bytes; not a settings file";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) {
    error = path + ": cannot be read";
    return false;
  }
  if (const size_t nul = text.find('\0'); nul != std::string::npos) {
    error = path + ": not a settings file (a NUL byte at offset " + std::to_string(nul) + ")";
    return false;
  }
  return true;
}

// Through a temporary file beside it, so that a failed write leaves the
// old file whole.
bool SaveInfo(const std::string& path, const std::string& text, std::string& error) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
      std::error_code ec;
      fs::remove(temporary, ec);
      error = path + ": cannot be written";
      return false;
    }
  }
  // The replacement keeps who may read and write the file.
  std::error_code ignored, ec;
  const fs::file_status old = fs::status(path, ignored);
  if (fs::exists(old)) fs::permissions(temporary, old.permissions(), ignored);
  fs::rename(temporary, path, ec);
  if (ec) {
    fs::remove(temporary, ec);
    error = path + ": cannot be written";
    return false;
  }
  return true;
}

class InfoEdit {
 public:
  InfoEdit(IniEditor& editor, InfoResult& result) : editor_(editor), result_(result) {}

  void Set(const char* section, const char* key, const std::string& value) {
    result_.changes.push_back({section, key, editor_.Get(section, key), value});
    editor_.Set(section, key, value);
  }

  // The name only where none is given: a vendor who uploads the file under
  // another name keeps it.
  bool SetFile(const FileKeys& keys, const Measured& file, const std::string& infoPath, std::string& error) {
    const std::optional<std::string> name = editor_.Get(keys.section, keys.nameKey);
    if (!name || name->empty()) {
      if (!WritableName(file.name)) {
        error = infoPath + ": " + Where(keys, keys.nameKey) + ": the file name \"" + file.name +
                "\" cannot be written in a settings file";
        return false;
      }
      Set(keys.section, keys.nameKey, file.name);
    } else if (*name != file.name) {
      result_.notes.push_back(Where(keys, keys.nameKey) + " stays " + *name + ", the measured file is " + file.name);
    }
    Set(keys.section, keys.sizeKey, std::to_string(file.size));
    if (!file.sha256.empty()) Set(keys.section, keys.hashKey, file.sha256);
    return true;
  }

 private:
  IniEditor& editor_;
  InfoResult& result_;
};

// The edited text with the signature line that fits it: a new one with the
// key, the old one when nothing changed, else none.
bool Sign(const InfoRequest& request, const std::string& before, const SignedText& old, const std::string& body,
          InfoResult& result, std::string& after, std::string& error) {
  if (request.signKey.empty()) {
    after = body;
    if (old.state == SignatureState::Unsigned) return true;
    if (body == old.body) {
      after = before;
    } else {
      result.notes.push_back("the signature no longer fits the changed file and was removed; sign it with --sign");
    }
    return true;
  }
  std::string signature;
  if (!SignData(request.signKey, body, signature, error)) {
    error = request.infoPath + ": " + error;
    return false;
  }
  after = AppendSignatureLine(body, signature, FirstNewLine(before));
  result.signedFile = true;
  return true;
}

}  // namespace

bool UpdateInfoFile(const InfoRequest& request, InfoResult& result, std::string& error) {
  result = {};
  const bool hash = !request.signKey.empty();
  Measured update, inform;
  if (!request.updatePath.empty() &&
      !Measure(request.updatePath, kUpdateKeys, request.infoPath, hash, update, error))
    return false;
  if (!request.informPath.empty() &&
      !Measure(request.informPath, kInformKeys, request.infoPath, hash, inform, error))
    return false;

  std::string before;
  if (!LoadInfo(request.infoPath, before, result.created, error)) return false;
  // The old signature line goes before the edit: new keys of the last
  // section must not end up after it.
  const SignedText old = SplitSignedText(before);
  IniEditor editor(old.body);
  InfoEdit edit(editor, result);
  if (!request.updatePath.empty() && !edit.SetFile(kUpdateKeys, update, request.infoPath, error)) return false;
  if (request.versionNew) edit.Set(kNewSetup, "VersionNew", std::to_string(*request.versionNew));
  if (request.stamp) edit.Set(kNewSetup, "Stamp", std::to_string(*request.stamp));
  if (request.rolloutPercent) edit.Set(kNewSetup, "RolloutPercent", std::to_string(*request.rolloutPercent));
  if (!request.informPath.empty() && !edit.SetFile(kInformKeys, inform, request.infoPath, error)) return false;

  if (hash) {
    const Freshness current = ReadFreshness(old.body);
    edit.Set(kSignatureSection, kSerialKey, std::to_string(NextSerial(current, request.serial)));
    const int64_t now = request.now != 0 ? request.now
                                         : std::chrono::duration_cast<std::chrono::seconds>(
                                               std::chrono::system_clock::now().time_since_epoch())
                                               .count();
    if (request.expiresDays) {
      edit.Set(kSignatureSection, kExpiresKey, UtcText(now + *request.expiresDays * 86400));
    } else if (current.expires && *current.expires + kClockTolerance < now) {
      result.notes.push_back("[Signature] Expires " + UtcText(*current.expires) +
                             " has passed: agents refuse this file; give --expires DAYS");
    }
  }

  // Every edit is made on the text in memory and the file is written once,
  // whole: a half-edited announcement never reaches the update location.
  std::string after;
  if (!Sign(request, before, old, editor.Text(), result, after, error)) return false;
  if (after.size() > kMaxInfoBytes) {
    error = request.infoPath + ": " + std::to_string(after.size()) + " bytes; agents refuse announcements above " +
            std::to_string(kMaxInfoBytes);
    return false;
  }
  if (!result.created && after == before) return true;
  return SaveInfo(request.infoPath, after, error);
}

bool CheckInfoSignature(const std::string& infoPath, const std::string& key, std::string& error) {
  if (!SigningAvailable()) {
    error = kNoSigning;
    return false;
  }
  std::string point, keyError;
  if (!ReadPublicKey(key, point, keyError)) {
    // Not a key file: the key a package carries, as its agent checks with.
    const std::string item = TGFileInfo(key).PublicKey();
    if (SplitPublicKeys(item).empty()) {
      error = key + ": neither a PEM key nor a package with a public key";
      return false;
    }
    point = item;
  } else {
    point = LowerHex(point);
  }
  std::string text;
  bool missing = false;
  if (!LoadInfo(infoPath, text, missing, error)) return false;
  if (missing) {
    error = infoPath + ": not found";
    return false;
  }
  const auto verify = [](std::string_view p, std::string_view data, std::string_view signature) {
    return VerifyData(p, data, signature) ? SignatureCheck::Good : SignatureCheck::Bad;
  };
  // `point` holds the key item: one key's hex digits, or a package's two.
  const AnnouncementVerdict verdict = JudgeAnnouncement(point, text, verify);
  if (verdict == AnnouncementVerdict::Accepted) return true;
  error = infoPath + ": " + VerdictText(verdict);
  return false;
}

}  // namespace tarnix::pack
