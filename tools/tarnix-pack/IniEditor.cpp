#include "IniEditor.h"

#include "Utils/StrUtils.h"

namespace tarnix::pack {

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

bool IsComment(std::string_view trimmed) { return !trimmed.empty() && (trimmed[0] == ';' || trimmed[0] == '#'); }

// The name of a "[Name]" line; nothing for any other line.
std::optional<std::string> SectionName(std::string_view line) {
  const std::string trimmed = Trim(line);
  if (trimmed.empty() || trimmed[0] != '[') return std::nullopt;
  const size_t close = trimmed.find(']');
  if (close == std::string::npos) return std::nullopt;
  return Trim(std::string_view(trimmed).substr(1, close - 1));
}

// The position of the "=" of a "key = value" line; nothing for comments,
// section lines and lines without a key.
std::optional<size_t> EntryEquals(std::string_view line) {
  const std::string trimmed = Trim(line);
  if (trimmed.empty() || IsComment(trimmed) || trimmed[0] == '[') return std::nullopt;
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos || Trim(line.substr(0, equals)).empty()) return std::nullopt;
  return equals;
}

}  // namespace

IniEditor::IniEditor(std::string_view text) {
  if (text.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark) {
    byteOrderMark_ = kUtf8ByteOrderMark;
    text.remove_prefix(kUtf8ByteOrderMark.size());
  }
  bool endingSeen = false;
  while (!text.empty()) {
    const size_t newLine = text.find('\n');
    Line line;
    if (newLine == std::string_view::npos) {
      line.text = text;
      text = {};
    } else {
      const bool crLf = newLine > 0 && text[newLine - 1] == '\r';
      line.text = text.substr(0, crLf ? newLine - 1 : newLine);
      line.ending = crLf ? "\r\n" : "\n";
      text.remove_prefix(newLine + 1);
      if (!endingSeen) newLine_ = line.ending;
      endingSeen = true;
    }
    lines_.push_back(std::move(line));
  }
}

std::optional<size_t> IniEditor::FindSection(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    const std::optional<std::string> name = SectionName(lines_[i].text);
    if (name && SameText(*name, section)) return i;
  }
  return std::nullopt;
}

size_t IniEditor::SectionEnd(size_t header) const {
  size_t i = header + 1;
  while (i < lines_.size() && !SectionName(lines_[i].text)) ++i;
  return i;
}

std::optional<size_t> IniEditor::FindKey(size_t header, std::string_view key) const {
  const size_t end = SectionEnd(header);
  for (size_t i = header + 1; i < end; ++i) {
    const std::optional<size_t> equals = EntryEquals(lines_[i].text);
    if (equals && SameText(Trim(std::string_view(lines_[i].text).substr(0, *equals)), key)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> IniEditor::Get(std::string_view section, std::string_view key) const {
  const std::optional<size_t> header = FindSection(section);
  if (!header) return std::nullopt;
  const std::optional<size_t> line = FindKey(*header, key);
  if (!line) return std::nullopt;
  const std::string& text = lines_[*line].text;
  return Trim(std::string_view(text).substr(*EntryEquals(text) + 1));
}

// The first entry of the file shows how its author writes "key=value".
std::string IniEditor::Entry(std::string_view key, std::string_view value) const {
  for (const Line& line : lines_) {
    const std::optional<size_t> equals = EntryEquals(line.text);
    if (!equals) continue;
    const std::string_view text = line.text;
    size_t keyEnd = *equals, valueStart = *equals + 1;
    while (keyEnd > 0 && (text[keyEnd - 1] == ' ' || text[keyEnd - 1] == '\t')) --keyEnd;
    while (valueStart < text.size() && (text[valueStart] == ' ' || text[valueStart] == '\t')) ++valueStart;
    return std::string(key).append(text.substr(keyEnd, valueStart - keyEnd)).append(value);
  }
  return std::string(key).append("=").append(value);
}

void IniEditor::Insert(size_t at, std::string text) {
  if (at > 0 && lines_[at - 1].ending.empty()) lines_[at - 1].ending = newLine_;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text), newLine_});
}

void IniEditor::Set(std::string_view section, std::string_view key, std::string_view value) {
  const std::optional<size_t> header = FindSection(section);
  if (!header) {
    // A blank line sets the new section apart from the one before it.
    if (!lines_.empty() && !Trim(lines_.back().text).empty()) Insert(lines_.size(), "");
    Insert(lines_.size(), std::string("[").append(section).append("]"));
    Insert(lines_.size(), Entry(key, value));
    return;
  }
  if (const std::optional<size_t> line = FindKey(*header, key)) {
    std::string& text = lines_[*line].text;
    size_t valueStart = *EntryEquals(text) + 1;
    while (valueStart < text.size() && (text[valueStart] == ' ' || text[valueStart] == '\t')) ++valueStart;
    text = text.substr(0, valueStart).append(value);
    return;
  }
  // After the section's last entry: comments and blank lines that follow it
  // introduce the next section.
  size_t at = *header + 1;
  for (size_t i = at; i < SectionEnd(*header); ++i)
    if (EntryEquals(lines_[i].text)) at = i + 1;
  Insert(at, Entry(key, value));
}

std::string IniEditor::Text() const {
  std::string text = byteOrderMark_;
  for (const Line& line : lines_) text.append(line.text).append(line.ending);
  return text;
}

}  // namespace tarnix::pack
