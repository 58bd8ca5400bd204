#include "Inspect.h"

#include <cstdio>
#include <iomanip>
#include <map>

#include "Json.h"
#include "PackageDisks.h"
#include "Utils/SUB.h"
#include "package/FileBlocks.h"
#include "package/Token.h"

namespace tarnix::pack {

namespace {

constexpr const char* kSettingsNames[] = {"UpdateLocation", "InfoFileName", "AgentExeName", "SettingsToken",
                                          "Silent",         "PublicKey"};
constexpr const char* kDownloadNames[] = {"DownloadLocation", "DownloadFileName", "AlwaysDownload", "DownloadToken",
                                          "DownloadSize",     "DownloadSha256"};
constexpr int kTokenItem = 3;

struct OptionName {
  uint8_t bit;
  const char* name;
};
constexpr OptionName kOptionNames[] = {{kShowTempSpaceInfo, "ShowTempSpaceInfo"},
                                       {kMoreDisks, "MoreDisks"},
                                       {kCdSpanning, "CdSpanning"},
                                       {kShowActivityBar, "ShowActivityBar"},
                                       {kAgentLog, "AgentLog"}};

// The five items every package has, and the sixth of a package that
// carries the vendor's key or the full setup's hash.
std::vector<std::string> BlockItems(const std::string& block) {
  std::vector<std::string> items;
  const int count = SUB::Count(block) > 5 ? 6 : 5;
  for (int i = 0; i < count; ++i) items.push_back(SUB::Item(block, i));
  return items;
}

// A stored token of an empty item stays empty rather than reading as the
// random number that an invalid token gives.
std::string ClearToken(const std::string& stored) { return stored.empty() ? std::string() : Descramble(stored); }

void ReadHeaders(const TGFileInfo& h, PackageSummary& s) {
  for (const auto& record : SUB::Items(h.LanguageBlock())) {
    auto items = SUB::Items(record);
    LanguageRecordSummary r;
    if (!items.empty()) r.name = items[0];
    for (size_t i = 1; i < items.size(); ++i) {
      size_t eq = items[i].find('=');
      if (eq == std::string::npos)
        r.texts.emplace_back(items[i], std::string());
      else
        r.texts.emplace_back(items[i].substr(0, eq), items[i].substr(eq + 1));
    }
    s.languages.push_back(std::move(r));
  }
  s.settings = BlockItems(h.SettingsBlock());
  s.hasDownload = h.Trailer().HeaderBlockCount > 2;
  if (s.hasDownload) s.download = BlockItems(h.DownloadBlock());
}

// Control characters would garble a terminal.
std::string Printable(std::string_view text) {
  std::string out;
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", u);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

std::string OptionText(uint8_t options) {
  std::string text;
  for (const auto& o : kOptionNames)
    if (options & o.bit) text += std::string(" ") + o.name;
  return text;
}

void Line(std::ostream& out, int indent, std::string_view name, std::string_view value) {
  out << std::string(indent, ' ') << std::left << std::setw(20) << name << ' ' << value << '\n';
}

}  // namespace

std::string StampText(uint32_t stamp) {
  const unsigned date = stamp >> 16, time = stamp & 0xFFFF;
  const unsigned month = (date >> 5) & 15, day = date & 31, hour = time >> 11, minute = (time >> 5) & 63,
                 second = (time & 31) * 2;
  if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", 1980 + (date >> 9), month, day, hour, minute,
                second);
  return text;
}

PackageSummary InspectPackage(const std::string& package) {
  PackageSummary s;
  s.path = package;
  try {
    DiskChain chain(package);
    PackageDisk disk;
    std::map<std::string, size_t> byName;
    while (chain.Next(disk)) {
      DiskSummary d;
      d.path = disk.path;
      d.size = disk.file->Size();
      d.trailer = disk.trailer;
      if (s.disks.empty()) {
        s.trailer = disk.trailer;
        ReadHeaders(disk.headers, s);
      }
      BlockWalker walker(*disk.file, disk.blocksStart, disk.end, disk.trailer.TrailerSize);
      RawBlock raw;
      FileBlock block;
      std::string error;
      while (walker.More() && walker.Next(raw)) {
        ++d.blocks;
        const std::string where = disk.path + ": block at offset " + std::to_string(raw.offset);
        if (!DecodeFileBlock(raw, block, error)) {
          s.faults.push_back(where + ": " + error);
          continue;
        }
        if (block.header.empty()) {
          s.faults.push_back(where + " carries no file header");
          continue;
        }
        if (block.IsSetupEntry()) s.setupEntry = block.name;
        auto [it, added] = byName.emplace(block.FileName(), s.files.size());
        if (added) s.files.push_back({block.FileName()});
        FileSummary& f = s.files[it->second];
        f.size += block.data().size();
        f.stamp = block.stamp;
        ++f.blocks;
      }
      if (!walker.Fault().empty()) s.faults.push_back(disk.path + ": " + walker.Fault());
      s.disks.push_back(std::move(d));
    }
    if (!chain.Fault().empty()) s.faults.push_back(chain.Fault());
  } catch (const std::exception& e) {
    s.faults.push_back(package + ": " + e.what());
  }
  return s;
}

void WriteSummaryText(const PackageSummary& s, std::ostream& out) {
  const PackageTrailer& t = s.trailer;
  out << "Package " << s.path << "\n\nTrailer\n";
  Line(out, 2, "Reserved0", std::to_string(t.Reserved0));
  Line(out, 2, "HeaderBlockCount", std::to_string(t.HeaderBlockCount));
  Line(out, 2, "PackageStart", std::to_string(t.PackageStart));
  Line(out, 2, "FileBlockCount", std::to_string(t.FileBlockCount));
  char magic[16];
  std::snprintf(magic, sizeof magic, "0x%08X", static_cast<unsigned>(t.Magic));
  Line(out, 2, "Magic", magic);
  Line(out, 2, "Checksum",
       std::to_string(t.Checksum) + (t.Checksum == kUncheckedChecksum ? " (not checked)" : ""));
  std::string space;
  for (size_t i = 0; i < kClusterSizeCount; ++i)
    space += (i ? ", " : "") + std::to_string(ClusterSizeOfIndex(i)) + ": " + std::to_string(t.SpaceByCluster[i]);
  Line(out, 2, "SpaceByCluster", space);
  Line(out, 2, "Options", std::to_string(t.Options) + OptionText(t.Options));
  Line(out, 2, "DownloadSetup", std::to_string(t.DownloadSetup));
  Line(out, 2, "ConfirmDownload", std::to_string(t.ConfirmDownload));
  Line(out, 2, "CreateAgent", std::to_string(t.CreateAgent));
  Line(out, 2, "IsAgent", std::to_string(t.IsAgent));
  Line(out, 2, "TrailerSize", std::to_string(t.TrailerSize));

  out << "\nDisks\n";
  for (const auto& d : s.disks)
    out << "  " << d.path << ": " << d.size << " bytes, " << d.blocks << " blocks (FileBlockCount "
        << d.trailer.FileBlockCount << "), Checksum " << d.trailer.Checksum << ", Options "
        << unsigned(d.trailer.Options) << OptionText(d.trailer.Options) << '\n';

  out << "\nLanguages\n";
  for (const auto& r : s.languages) {
    out << "  " << Printable(r.name) << '\n';
    for (const auto& [key, value] : r.texts) out << "    " << Printable(key) << '=' << Printable(value) << '\n';
  }

  auto items = [&](const char* title, const char* const* names, const std::vector<std::string>& values) {
    out << '\n' << title << '\n';
    for (size_t i = 0; i < values.size(); ++i) {
      std::string value = Printable(values[i]);
      if (int(i) == kTokenItem) value += "  (clear: " + Printable(ClearToken(values[i])) + ")";
      Line(out, 2, names[i], value);
    }
  };
  items("Settings", kSettingsNames, s.settings);
  if (s.hasDownload)
    items("Download", kDownloadNames, s.download);
  else
    out << "\nDownload\n  none\n";

  out << "\nFiles\n";
  for (const auto& f : s.files)
    out << "  " << std::left << std::setw(32) << Printable(f.name) << ' ' << std::right << std::setw(12) << f.size
        << "  " << StampText(f.stamp) << " (" << f.stamp << ")  " << f.blocks << (f.blocks == 1 ? " block" : " blocks")
        << '\n';
  out << "\nSetup entry: " << (s.setupEntry.empty() ? "none" : Printable(s.setupEntry)) << '\n';
}

void WriteSummaryJson(const PackageSummary& s, std::ostream& out) {
  const PackageTrailer& t = s.trailer;
  JsonWriter j(out);
  j.BeginObject();
  j.Field("package", s.path);
  j.Field("Reserved0", t.Reserved0);
  j.Field("HeaderBlockCount", t.HeaderBlockCount);
  j.Field("PackageStart", t.PackageStart);
  j.Field("FileBlockCount", t.FileBlockCount);
  j.Field("Magic", t.Magic);
  j.Field("Checksum", t.Checksum);
  j.Key("SpaceByCluster");
  j.BeginArray();
  for (uint32_t v : t.SpaceByCluster) j.Number(v);
  j.EndArray();
  j.Field("Options", t.Options);
  j.Key("OptionBits");
  j.BeginArray();
  for (const auto& o : kOptionNames)
    if (t.Options & o.bit) j.String(o.name);
  j.EndArray();
  j.Field("DownloadSetup", t.DownloadSetup);
  j.Field("ConfirmDownload", t.ConfirmDownload);
  j.Field("CreateAgent", t.CreateAgent);
  j.Field("IsAgent", t.IsAgent);
  j.Field("TrailerSize", t.TrailerSize);

  j.Key("disks");
  j.BeginArray();
  for (const auto& d : s.disks) {
    j.BeginObject();
    j.Field("path", d.path);
    j.Field("size", d.size);
    j.Field("FileBlockCount", d.trailer.FileBlockCount);
    j.Field("blocks", d.blocks);
    j.Field("Checksum", d.trailer.Checksum);
    j.Field("Options", d.trailer.Options);
    j.EndObject();
  }
  j.EndArray();

  j.Key("languages");
  j.BeginArray();
  for (const auto& r : s.languages) {
    j.BeginObject();
    j.Field("name", r.name);
    j.Key("texts");
    j.BeginObject();
    for (const auto& [key, value] : r.texts) j.Field(key, value);
    j.EndObject();
    j.EndObject();
  }
  j.EndArray();

  auto items = [&](const char* const* names, const std::vector<std::string>& values) {
    j.BeginObject();
    for (size_t i = 0; i < values.size(); ++i) {
      j.Field(names[i], values[i]);
      if (int(i) == kTokenItem) j.Field(std::string(names[i]) + "Clear", ClearToken(values[i]));
    }
    j.EndObject();
  };
  j.Key("settings");
  items(kSettingsNames, s.settings);
  j.Key("download");
  if (s.hasDownload)
    items(kDownloadNames, s.download);
  else
    j.Null();

  j.Key("files");
  j.BeginArray();
  for (const auto& f : s.files) {
    j.BeginObject();
    j.Field("name", f.name);
    j.Field("size", f.size);
    j.Field("stamp", f.stamp);
    j.Field("time", StampText(f.stamp));
    j.Field("blocks", f.blocks);
    j.EndObject();
  }
  j.EndArray();
  j.Field("setup_entry", s.setupEntry);
  j.Key("faults");
  j.BeginArray();
  for (const auto& f : s.faults) j.String(f);
  j.EndArray();
  j.EndObject();
}

}  // namespace tarnix::pack
