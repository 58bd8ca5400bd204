// The tasklist listing: CSV rows with quoted fields, and the process id of
// an executable found in them from either end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Utils/Tasklist.h"

namespace tarnix {
namespace {

TEST(TasklistTest, ParseCsvSplitsRowsAndQuotedFields) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<CsvRow> expected;
  } cases[] = {
      {"plain", "a,b,c", {{"a", "b", "c"}}},
      {"quoted commas stay in the field", "\"a,b\",\"1,234 K\"", {{"a,b", "1,234 K"}}},
      {"doubled quotes give one", "\"say \"\"hi\"\"\",x", {{"say \"hi\"", "x"}}},
      {"CR LF, LF and CR all end a row", "a\r\nb\nc\rd", {{"a"}, {"b"}, {"c"}, {"d"}}},
      {"blank lines give no row", "\r\n\r\na\r\n\r\n\nb\r\n", {{"a"}, {"b"}}},
      {"a line end inside quotes belongs to the field", "\"a\r\nb\",c", {{"a\r\nb", "c"}}},
      {"empty fields are kept", ",a,,", {{"", "a", "", ""}}},
      {"a quoted empty field is a row", "\"\"", {{""}}},
      {"an unclosed quote runs to the end", "x,\"ab,c\r\nd", {{"x", "ab,c\r\nd"}}},
      {"text after a closing quote joins the field", "\"a\"b,c", {{"ab", "c"}}},
      {"nothing", "", {}},
      {"high bytes pass unchanged", "\"\x8E\x84rger.exe\",\"\xFF\"", {{"\x8E\x84rger.exe", "\xFF"}}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseCsv(c.text), c.expected) << c.name;
}

// The shape the platform's tool prints, memory sizes with thousands
// separators included.
const std::string kListing =
    "\"Image Name\",\"PID\",\"Session Name\",\"Session#\",\"Mem Usage\"\r\n"
    "\"System Idle Process\",\"0\",\"Services\",\"0\",\"8 K\"\r\n"
    "\"svchost.exe\",\"812\",\"Services\",\"0\",\"12,344 K\"\r\n"
    "\"app.exe\",\"1200\",\"Console\",\"1\",\"1,234,567 K\"\r\n"
    "\"other.exe\",\"1300\",\"Console\",\"1\",\"5,000 K\"\r\n"
    "\"App.EXE\",\"1400\",\"Console\",\"1\",\"9,999 K\"\r\n"
    "\"comma,name.exe\",\"1500\",\"Console\",\"1\",\"1 K\"\r\n"
    "\"\x8E\x84rger.exe\",\"1600\",\"Console\",\"1\",\"2,000 K\"\r\n";

TEST(TasklistTest, FindsTheProcessIdFromEitherEnd) {
  struct Case {
    const char* exe;
    bool fromStart;
    uint32_t expected;
  } cases[] = {
      // Two copies: the first row from the start, the last from the end.
      {"app.exe", true, 1200},
      {"app.exe", false, 1400},
      {"  APP.exe ", true, 1200},
      {"other.exe", false, 1300},
      {"svchost.exe", true, 812},
      // The idle process's id 0 is no process to find.
      {"System Idle Process", true, 0},
      // A comma in a quoted name does not shift the id column.
      {"comma,name.exe", true, 1500},
      {"comma", true, 0},
      // Bytes above 127 compare exactly; only ASCII letters ignore case.
      {"\x8E\x84rger.exe", false, 1600},
      {"\x8E\x84RGER.EXE", true, 1600},
      {"\x84\x8Erger.exe", true, 0},
      {"missing.exe", true, 0},
      {"", true, 0},
      // The header row is never a process.
      {"Image Name", true, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FindPidInTasklistCsv(kListing, c.exe, c.fromStart), c.expected)
        << "[" << c.exe << "] fromStart=" << c.fromStart;
}

TEST(TasklistTest, RowsWithoutAUsableIdAreSkipped) {
  const std::string listing =
      "\"Image Name\",\"PID\"\r\n"
      "\"app.exe\",\"12ab\"\r\n"
      "\"app.exe\",\"-5\"\r\n"
      "\"app.exe\"\r\n"
      "\"app.exe\",\"99999999999\"\r\n"
      "\"app.exe\",\"77\"\r\n"
      "\"app.exe\",\"\"\r\n";
  EXPECT_EQ(FindPidInTasklistCsv(listing, "app.exe", true), 77u);
  EXPECT_EQ(FindPidInTasklistCsv(listing, "app.exe", false), 77u);
}

TEST(TasklistTest, ListingsWithoutProcessRowsFindNothing) {
  // A localised header and a tool that printed only a notice.
  const std::string header = "\"Abbildname\",\"PID\",\"Sitzungsname\",\"Sitz.-Nr.\",\"Speichernutzung\"\r\n";
  EXPECT_EQ(FindPidInTasklistCsv(header, "Abbildname", true), 0u);
  EXPECT_EQ(FindPidInTasklistCsv("INFO: No tasks are running which match the specified criteria.\r\n", "INFO: No tasks",
                                 false),
            0u);
  EXPECT_EQ(FindPidInTasklistCsv("", "app.exe", true), 0u);
  // A first line that is itself a process row is taken for the header.
  EXPECT_EQ(FindPidInTasklistCsv("\"app.exe\",\"5\"\r\n", "app.exe", true), 0u);
}

}  // namespace
}  // namespace tarnix
