// Windows only. The run record: a text file, CR LF lines of name=value, in
// which tests read how the stub started this program and how the run ended.
// Nothing is written for an empty path.
#pragma once

#include <string_view>

namespace tarnix::standin {

// Creates the record with the command line, the working folder, the
// program's folder, the show command of its start-up information (-1 when
// none was given), the token and whether the run's atom existed.
void RecordStart(std::string_view path, std::string_view token, bool atomFound);

// Appends whether the installation completed and how many files were copied.
void RecordEnd(std::string_view path, bool completed, int copied);

}  // namespace tarnix::standin
