// The process listing that the platform's "tasklist.exe" prints with
// "/FO csv": a header row, then one row per process whose first two fields
// are the image name and the process id. Only those two fields are read, so
// whatever the later columns hold (memory sizes with thousands separators,
// localised session names) does not matter.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnix {

using CsvRow = std::vector<std::string>;

// Rows of comma-separated text. A field in double quotes may hold commas,
// line ends and doubled quotes (one quote each); a quote that is never
// closed runs to the end of the text. Rows end at CR LF, LF or CR; blank
// lines give no row. Bytes above 127 (the listing's OEM or ANSI text) are
// copied as they are.
std::vector<CsvRow> ParseCsv(std::string_view text);

// The process id of `exeName` (a file name, compared trimmed and ignoring
// case) in a listing. The header row is skipped; the rows are visited from
// the first, or without `fromStart` from the last, and the first one whose
// name matches and whose id is a number above 0 gives the id. 0 when none.
uint32_t FindPidInTasklistCsv(std::string_view csv, std::string_view exeName, bool fromStart);

}  // namespace tarnix
