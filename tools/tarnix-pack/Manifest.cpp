#include "Manifest.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <map>

#include "IniFile.h"
#include "Utils/SUB.h"
#include "Utils/StrUtils.h"
#include "Signing.h"
#include "package/FileBlocks.h"
#include "package/VendorSignature.h"

namespace tarnix::pack {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kBuiltinLanguage = "builtin";

// The entries of a section whose keys are each given once, by upper-cased key.
using Singles = std::map<std::string, const IniEntry*>;

class Reader {
 public:
  Reader(std::string path, std::string& error) : path_(std::move(path)), error_(error) {}

  bool Fail(std::string_view section, std::string_view key, std::string_view message) {
    error_ = path_;
    error_ += ": [";
    error_ += section;
    error_ += ']';
    if (!key.empty()) {
      error_ += ' ';
      error_ += key;
    }
    error_ += ": ";
    error_ += message;
    return false;
  }

  // Unknown and repeated keys are errors: a misspelt option must not be
  // silently ignored.
  bool ReadSingles(const IniFile& ini, std::string_view section, std::initializer_list<std::string_view> keys,
                   Singles& out) {
    out.clear();
    const IniSection* s = ini.Find(section);
    if (!s) return true;
    for (const auto& e : s->entries) {
      auto known = std::find_if(keys.begin(), keys.end(), [&](std::string_view k) { return SameText(k, e.key); });
      if (known == keys.end()) return Fail(section, e.key, "unknown key");
      if (!out.emplace(UpperCase(e.key), &e).second) return Fail(section, *known, "given more than once");
    }
    return true;
  }

  static const IniEntry* Get(const Singles& s, std::string_view key) {
    auto it = s.find(UpperCase(key));
    return it == s.end() ? nullptr : it->second;
  }

  bool Flag(const Singles& s, std::string_view section, std::string_view key, bool& out) {
    const IniEntry* e = Get(s, key);
    if (!e) return true;
    if (e->value != "0" && e->value != "1") return Fail(section, key, "must be 0 or 1");
    out = e->value == "1";
    return true;
  }

  bool Number(const Singles& s, std::string_view section, std::string_view key, int64_t min, int64_t max,
              int64_t& out, std::string_view message = {}) {
    const IniEntry* e = Get(s, key);
    if (!e) return true;
    int64_t v;
    if (!ParseInt64(e->value, v) || v < min || v > max)
      return Fail(section, key,
                  message.empty() ? "must be " + std::to_string(min) + " to " + std::to_string(max)
                                  : std::string(message));
    out = v;
    return true;
  }

  // A text that goes into a "|"-delimited block.
  bool ListText(const Singles& s, std::string_view section, std::string_view key, std::string& out) {
    const IniEntry* e = Get(s, key);
    if (!e) return true;
    if (e->value.find('|') != std::string::npos) return Fail(section, key, "must not contain \"|\"");
    out = e->value;
    return true;
  }

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::string& error_;
};

std::string NativePath(std::string_view path) {
  // Manifests written on Windows name their files with backslashes.
  if (fs::path::preferred_separator == '/') return ReplaceChar(path, '\\', '/');
  return std::string(path);
}

std::string Resolve(const fs::path& dir, std::string_view path) { return (dir / NativePath(path)).string(); }

bool ReadPackage(Reader& r, const IniFile& ini, PackageSpec& plan) {
  Singles s;
  if (!r.ReadSingles(ini, "Package", {"BlockSize", "Level", "DiskSize", "CdSpanning", "ShowTempSpaceInfo",
                                      "ShowActivityBar", "AgentLog", "CreateAgent", "IsAgent", "ConfirmDownload"},
                     s))
    return false;
  int64_t blockSize = plan.blockSize, level = plan.level, diskSize = 0;
  if (!r.Number(s, "Package", "BlockSize", 1, kMaxBlockOutput - 4096, blockSize) ||
      !r.Number(s, "Package", "Level", 0, 9, level) ||
      !r.Number(s, "Package", "DiskSize", 0, INT64_MAX, diskSize, "must be 0 (one file) or a size in bytes"))
    return false;
  plan.blockSize = static_cast<uint32_t>(blockSize);
  plan.level = static_cast<int>(level);
  plan.diskSize = static_cast<uint64_t>(diskSize);
  const std::pair<std::string_view, uint8_t> optionKeys[] = {{"CdSpanning", kCdSpanning},
                                                              {"ShowTempSpaceInfo", kShowTempSpaceInfo},
                                                              {"ShowActivityBar", kShowActivityBar},
                                                              {"AgentLog", kAgentLog}};
  for (const auto& [key, bit] : optionKeys) {
    bool on = false;
    if (!r.Flag(s, "Package", key, on)) return false;
    if (on) plan.options |= bit;
  }
  return r.Flag(s, "Package", "CreateAgent", plan.createAgent) && r.Flag(s, "Package", "IsAgent", plan.isAgent) &&
         r.Flag(s, "Package", "ConfirmDownload", plan.confirmDownload);
}

// The vendor's public key, from a PEM file, as the hex digits of its point;
// or two, "current.pem, next.pem" (a key rotation), one after the other.
bool ReadPublicKeyItem(Reader& r, const Singles& s, const fs::path& dir, PackageSpec& plan) {
  const IniEntry* e = Reader::Get(s, "PublicKey");
  if (!e) return true;
  if (Trim(e->value).empty()) return r.Fail("Settings", "PublicKey", "needs a PEM file");
  std::vector<std::string> points;
  size_t start = 0;
  while (start <= e->value.size()) {
    size_t comma = e->value.find(',', start);
    if (comma == std::string::npos) comma = e->value.size();
    const std::string file = Trim(std::string_view(e->value).substr(start, comma - start));
    start = comma + 1;
    if (file.empty()) return r.Fail("Settings", "PublicKey", "an empty file name in the list");
    std::string point, error;
    if (!ReadPublicKey(Resolve(dir, file), point, error)) return r.Fail("Settings", "PublicKey", error);
    for (const std::string& seen : points)
      if (seen == point) return r.Fail("Settings", "PublicKey", file + ": the same key twice");
    points.push_back(point);
  }
  if (points.size() > kMaxPublicKeys)
    return r.Fail("Settings", "PublicKey",
                  "at most " + std::to_string(kMaxPublicKeys) + " keys: the current one and the next");
  plan.publicKey = JoinPublicKeys(points);
  return true;
}

bool ReadSettings(Reader& r, const IniFile& ini, const fs::path& dir, PackageSpec& plan) {
  Singles s;
  if (!r.ReadSingles(ini, "Settings",
                     {"UpdateLocation", "InfoFileName", "AgentExeName", "Token", "Silent", "PublicKey"}, s) ||
      !ReadPublicKeyItem(r, s, dir, plan) ||
      !r.ListText(s, "Settings", "UpdateLocation", plan.updateLocation) ||
      !r.ListText(s, "Settings", "InfoFileName", plan.infoFileName) ||
      !r.ListText(s, "Settings", "AgentExeName", plan.agentExeName) || !r.Flag(s, "Settings", "Silent", plan.silent))
    return false;
  if (const IniEntry* e = Reader::Get(s, "Token")) plan.settingsToken = e->value;
  if (plan.createAgent && plan.agentExeName.empty())
    return r.Fail("Package", "CreateAgent", "needs [Settings] AgentExeName");
  return true;
}

bool ReadDownload(Reader& r, const IniFile& ini, const fs::path& dir, PackageSpec& plan) {
  if (!ini.Find("Download")) return true;
  Singles s;
  DownloadSettings d;
  if (!r.ReadSingles(ini, "Download", {"Location", "FileName", "AlwaysDownload", "Token", "Size"}, s) ||
      !r.ListText(s, "Download", "Location", d.location) || !r.ListText(s, "Download", "FileName", d.fileName) ||
      !r.Flag(s, "Download", "AlwaysDownload", d.alwaysDownload) || !r.ListText(s, "Download", "Size", d.size))
    return false;
  if (const IniEntry* e = Reader::Get(s, "Token")) d.token = e->value;
  if (d.fileName.empty()) return r.Fail("Download", "FileName", "missing");
  if (Reader::Get(s, "Size")) {
    int64_t size;
    if (!ParseInt64(d.size, size) || size < 0) return r.Fail("Download", "Size", "must be a size in bytes");
  } else {
    std::error_code ec;
    auto size = fs::file_size(Resolve(dir, d.fileName), ec);
    if (!ec) d.size = std::to_string(size);
  }
  plan.download = std::move(d);
  return true;
}

// A web installer of a package with the vendor's key carries the full
// setup's SHA-256, taken from the file beside the manifest, and checks the
// download against it and its exact size.
bool ReadDownloadHash(Reader& r, const fs::path& dir, PackageSpec& plan) {
  if (!plan.download || !plan.files.empty() || plan.publicKey.empty()) return true;
  DownloadSettings& d = *plan.download;
  const std::string path = Resolve(dir, d.fileName);
  std::error_code ec;
  if (!fs::is_regular_file(path, ec))
    return r.Fail("Download", "FileName",
                  path + ": not found; with [Settings] PublicKey the web installer carries the full setup's SHA-256, "
                         "taken from this file");
  const std::string size = std::to_string(fs::file_size(path, ec));
  if (d.size != size)
    return r.Fail("Download", "Size", d.size + " differs from the size of " + path + " (" + size + ")");
  std::string digest, error;
  if (!Sha256OfFile(path, digest, error)) return r.Fail("Download", "FileName", error);
  d.sha256 = LowerHex(digest);
  return true;
}

bool ReadLanguages(Reader& r, const IniFile& ini, const fs::path& dir, PackageSpec& plan, std::string& error) {
  const IniSection* s = ini.Find("Languages");
  if (!s) return true;
  std::vector<std::string> names;
  for (const auto& e : s->entries) {
    if (e.key.find_first_of("\x01\x02") != std::string::npos)
      return r.Fail("Languages", e.key, "the name holds a control character");
    if (std::any_of(names.begin(), names.end(), [&](const std::string& n) { return SameText(n, e.key); }))
      return r.Fail("Languages", e.key, "given more than once");
    names.push_back(e.key);
    LanguageTexts texts;
    if (SameText(e.value, kBuiltinLanguage)) {
      texts = BuiltinEnglishTexts();
    } else {
      if (e.value.empty()) return r.Fail("Languages", e.key, "needs a language file or \"builtin\"");
      std::string path = Resolve(dir, e.value);
      if (!fs::is_regular_file(path)) return r.Fail("Languages", e.key, path + ": not found");
      if (!ReadLanguageFile(path, texts, error)) return false;
    }
    plan.languageRecords.push_back(BuildLanguageRecord(e.key, texts));
  }
  return true;
}

bool AddFile(Reader& r, std::string_view key, std::string name, std::string path, PackageSpec& plan) {
  if (!IsPlainFileName(name)) return r.Fail("Files", key, "\"" + name + "\" is not a plain file name");
  for (const auto& f : plan.files)
    if (SameText(f.name, name)) return r.Fail("Files", key, "\"" + name + "\" is packed twice");
  InputFile in;
  in.name = std::move(name);
  in.sourcePath = std::move(path);
  plan.files.push_back(std::move(in));
  return true;
}

bool ReadFiles(Reader& r, const IniFile& ini, const fs::path& dir, PackageSpec& plan) {
  const IniSection* s = ini.Find("Files");
  if (!s) return true;
  for (const auto& e : s->entries) {
    if (e.value.empty()) return r.Fail("Files", e.key, "the path is missing");
    std::string path = Resolve(dir, e.value);
    if (!SameText(e.key, "Folder")) {
      if (!fs::is_regular_file(path)) return r.Fail("Files", e.key, path + ": not found");
      if (!AddFile(r, e.key, e.key, path, plan)) return false;
      continue;
    }
    if (!fs::is_directory(path)) return r.Fail("Files", e.key, path + ": not a folder");
    std::vector<fs::path> found;
    for (const auto& item : fs::directory_iterator(path))
      if (item.is_regular_file()) found.push_back(item.path());
    std::sort(found.begin(), found.end(),
              [](const fs::path& a, const fs::path& b) { return a.filename().string() < b.filename().string(); });
    for (const auto& p : found)
      if (!AddFile(r, e.key, p.filename().string(), p.string(), plan)) return false;
  }
  return true;
}

bool ReadSetup(Reader& r, const IniFile& ini, PackageSpec& plan) {
  Singles s;
  if (!r.ReadSingles(ini, "Setup", {"Program", "Arguments"}, s)) return false;
  const IniEntry* program = Reader::Get(s, "Program");
  const IniEntry* args = Reader::Get(s, "Arguments");
  if (!program) {
    if (args) return r.Fail("Setup", "Arguments", "needs [Setup] Program");
    return true;
  }
  auto it = std::find_if(plan.files.begin(), plan.files.end(),
                         [&](const InputFile& f) { return SameText(f.name, program->value); });
  if (it == plan.files.end()) return r.Fail("Setup", "Program", "\"" + program->value + "\" is not in [Files]");
  it->isSetup = true;
  if (args) {
    if (args->value.find('|') != std::string::npos) return r.Fail("Setup", "Arguments", "must not contain \"|\"");
    it->setupArgs = args->value;
  }
  return true;
}

bool ReadAll(Reader& r, const std::string& manifestPath, PackageSpec& plan, std::string& error) {
  IniFile ini;
  if (!LoadIniFile(manifestPath, ini, error)) return false;
  static constexpr std::string_view kSections[] = {"Package", "Setup",     "Settings",
                                                   "Download", "Languages", "Files"};
  for (const auto& section : ini.Sections())
    if (std::none_of(std::begin(kSections), std::end(kSections),
                     [&](std::string_view k) { return SameText(k, section.name); }))
      return r.Fail(section.name, {}, "unknown section");
  const fs::path dir = fs::path(manifestPath).parent_path();
  if (!ReadPackage(r, ini, plan) || !ReadSettings(r, ini, dir, plan) || !ReadDownload(r, ini, dir, plan) ||
      !ReadLanguages(r, ini, dir, plan, error) || !ReadFiles(r, ini, dir, plan) || !ReadSetup(r, ini, plan) ||
      !ReadDownloadHash(r, dir, plan))
    return false;
  if (plan.files.empty() && !plan.download && !plan.isAgent)
    return r.Fail("Files", {}, "nothing to pack (no files, no [Download], not an agent)");
  return true;
}

}  // namespace

bool ReadManifest(const std::string& manifestPath, PackageSpec& plan, std::string& error) {
  plan = PackageSpec{};
  plan.manifestPath = manifestPath;
  error.clear();
  Reader r(manifestPath, error);
  try {
    return ReadAll(r, manifestPath, plan, error);
  } catch (const std::exception& e) {
    error = manifestPath + ": " + e.what();
    return false;
  }
}

bool ReadLanguageFile(const std::string& path, LanguageTexts& texts, std::string& error) {
  texts.clear();
  try {
    IniFile ini;
    if (!LoadIniFile(path, ini, error)) return false;
    Reader r(path, error);
    for (const auto& section : ini.Sections())
      if (!SameText(section.name, "Texts")) return r.Fail(section.name, {}, "unknown section (only [Texts])");
    if (!ini.Find("Texts")) return r.Fail("Texts", {}, "section missing");
    std::vector<std::string_view> keys;
    for (const auto& k : kLanguageKeys) keys.push_back(k.key);
    for (const auto& k : kExtraLanguageKeys) keys.push_back(k.key);
    Singles s;
    for (const auto& e : ini.Find("Texts")->entries) {
      auto known = std::find_if(keys.begin(), keys.end(), [&](std::string_view k) { return SameText(k, e.key); });
      if (known == keys.end()) return r.Fail("Texts", e.key, "unknown key");
      if (!s.emplace(UpperCase(e.key), &e).second) return r.Fail("Texts", *known, "given more than once");
      if (e.value.find_first_of("\x01\x02") != std::string::npos)
        return r.Fail("Texts", *known, "holds a control character");
    }
    for (std::string_view key : {"Charset", "FontSize"}) {
      int64_t n;
      if (const IniEntry* e = Reader::Get(s, key); e && (!ParseInt64(e->value, n) || n < 0 || n > 255))
        return r.Fail("Texts", key, "must be a number from 0 to 255");
    }
    if (const IniEntry* e = Reader::Get(s, "BtnText"); e && SUB::Count(e->value) != 7)
      return r.Fail("Texts", "BtnText", "must list 7 captions, as |&OK|&Cancel|&Yes|&No|&Abort|&Retry|&Ignore|");
    for (const auto& k : kLanguageKeys) {
      const IniEntry* e = Reader::Get(s, k.key);
      texts.emplace_back(k.key, e ? e->value : std::string(k.englishDefault));
    }
    for (const auto& k : kExtraLanguageKeys)
      if (const IniEntry* e = Reader::Get(s, k.key)) texts.emplace_back(k.key, e->value);
    return true;
  } catch (const std::exception& e) {
    error = path + ": " + e.what();
    return false;
  }
}

}  // namespace tarnix::pack
