#include "package/FileAssembler.h"

#include "Utils/StrUtils.h"

namespace tarnix {

bool FileAssembler::Take(const StreamedBlock& block) {
  if (block.header.empty()) return false;
  const std::string name = block.FileName();
  // A name from the package is untrusted: it must not reach outside the
  // target folder, neither as a file written nor as the program started.
  if (!IsPlainFileName(name)) {
    if (refused_.insert(name).second) output_.Refused(name);
    return false;
  }
  if (block.IsSetupEntry()) setupEntry_ = block.name;
  const std::string key = UpperCase(name);
  // The first block of a name replaces whatever lies there, so a stale file
  // is never appended to.
  const bool first = seen_.insert(key).second;
  if (key != open_) {
    Finish();
    if (!output_.Open(name, !first)) {
      writeFailed_ = true;
      output_.Failed(name, block.DataSize());
      return first;
    }
    open_ = key;
  }
  stamp_ = block.stamp;
  whole_ = true;
  for (std::string_view piece : block.data) {
    if (!output_.Write(piece)) {
      whole_ = false;
      writeFailed_ = true;
      output_.Failed(name, block.DataSize());
      break;
    }
    if (pump_) pump_();
  }
  return first;
}

void FileAssembler::Finish() {
  if (open_.empty()) return;
  output_.Close(whole_ ? stamp_ : 0);
  open_.clear();
}

}  // namespace tarnix
