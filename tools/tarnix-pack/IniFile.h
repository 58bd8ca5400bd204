// A small INI reader for the builder's manifest and language files. Section
// and key names compare ignoring case; every entry is kept in file order, so
// sections that list things ([Files], [Languages]) may repeat a key.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnix::pack {

struct IniEntry {
  std::string key;    // trimmed, as written
  std::string value;  // trimmed
  int line = 0;
};

struct IniSection {
  std::string name;  // as first written
  std::vector<IniEntry> entries;
};

class IniFile {
 public:
  // Lines are "[Section]", "key = value", blank, or comments starting with
  // ";" or "#". A section written twice continues the first one. False with
  // `error` ("line N: ...") for any other line.
  bool Parse(std::string_view text, std::string& error);

  const std::vector<IniSection>& Sections() const { return sections_; }
  const IniSection* Find(std::string_view section) const;

 private:
  std::vector<IniSection> sections_;
};

// Reads and parses a file; errors are "PATH: ...". Files above `maxBytes` are
// refused rather than loaded.
bool LoadIniFile(const std::string& path, IniFile& ini, std::string& error, size_t maxBytes = 4u << 20);

}  // namespace tarnix::pack
