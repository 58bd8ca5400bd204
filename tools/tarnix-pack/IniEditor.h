// A settings file held as its lines, for changing a few values while every
// other line stays exactly as it was: comments, blank lines, the order of
// sections and keys, the spelling of names, odd lines, the byte order mark
// and each line's own ending. Section and key names compare ignoring case,
// and where a name occurs twice the first one counts, as for the platform's
// profile functions, which is how the agent reads the file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnix::pack {

class IniEditor {
 public:
  explicit IniEditor(std::string_view text = {});

  // The trimmed value; nothing when the section or key is missing.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;

  // Replaces the value of the key, keeping the line up to the value; a
  // missing key is added after the last key of its section, a missing
  // section at the end of the file. New lines take the file's line ending
  // (CR LF in a file that has none yet) and its way of writing "key=value".
  // The value must not hold a line break.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  std::string Text() const;

 private:
  struct Line {
    std::string text;
    // "\r\n", "\n", or empty for a last line without one.
    std::string ending;
  };

  // The index of the section's header line, and of the first line after
  // the section; nothing when the section is missing.
  std::optional<size_t> FindSection(std::string_view section) const;
  size_t SectionEnd(size_t header) const;
  std::optional<size_t> FindKey(size_t header, std::string_view key) const;
  void Insert(size_t at, std::string text);
  std::string Entry(std::string_view key, std::string_view value) const;

  std::string byteOrderMark_;
  std::vector<Line> lines_;
  std::string newLine_ = "\r\n";
};

}  // namespace tarnix::pack
