#include "Utils/Tasklist.h"

#include <limits>

#include "Utils/StrUtils.h"

namespace tarnix {

std::vector<CsvRow> ParseCsv(std::string_view text) {
  std::vector<CsvRow> rows;
  CsvRow row;
  std::string field;
  // A row that holds nothing but one empty, unquoted field is a blank line.
  bool rowHasContent = false;
  size_t i = 0;
  const size_t n = text.size();

  auto endRow = [&] {
    if (rowHasContent || !field.empty() || !row.empty()) {
      row.push_back(std::move(field));
      rows.push_back(std::move(row));
    }
    row.clear();
    field.clear();
    rowHasContent = false;
  };

  while (i < n) {
    const char c = text[i];
    if (c == '"') {
      rowHasContent = true;
      ++i;
      while (i < n) {
        if (text[i] == '"') {
          if (i + 1 < n && text[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field += text[i++];
      }
    } else if (c == ',') {
      rowHasContent = true;
      row.push_back(std::move(field));
      field.clear();
      ++i;
    } else if (c == '\r' || c == '\n') {
      endRow();
      i += (c == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
    } else {
      field += c;
      ++i;
    }
  }
  endRow();
  return rows;
}

uint32_t FindPidInTasklistCsv(std::string_view csv, std::string_view exeName, bool fromStart) {
  const std::vector<CsvRow> rows = ParseCsv(csv);
  const std::string name = Trim(exeName);
  if (name.empty() || rows.size() < 2) return 0;
  const size_t count = rows.size() - 1;
  for (size_t k = 0; k < count; ++k) {
    const CsvRow& row = rows[fromStart ? 1 + k : rows.size() - 1 - k];
    if (row.size() < 2 || !SameTextTrim(row[0], name)) continue;
    int64_t pid = 0;
    if (ParseInt64(row[1], pid) && pid > 0 && pid <= std::numeric_limits<uint32_t>::max())
      return static_cast<uint32_t>(pid);
  }
  return 0;
}

}  // namespace tarnix
