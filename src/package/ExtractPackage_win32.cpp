#include "package/ExtractPackage.h"

#include <windows.h>

#include <cinttypes>
#include <exception>
#include <set>

#include "Utils/DateUtils.h"
#include "Utils/FileUtils.h"
#include "Utils/InFile.h"
#include "Utils/MessagePump.h"
#include "Utils/PathUtils.h"
#include "Utils/StrUtils.h"
#include "Utils/SysInfo.h"
#include "Utils/Trace.h"
#include "Utils/WindowUtils.h"
#include "package/AgentCopy.h"
#include "package/FileBlocks.h"
#include "package/TGFileInfo.h"
#include "ui/MsgBox.h"

namespace tarnix {

namespace {

// Failed writes in the process; only the first one is shown to the user.
int saveFailures = 0;

std::string SaveFailureText(const std::string& target, const std::string& systemText, size_t dataSize) {
  return target + "<P><P>Unable to save Extracted File!<P><P>" + systemText + "<P>" + "  Data Size: <T>" +
         std::to_string(dataSize) + " Bytes<P>" + "  File Size:  <T>" + std::to_string(GetFileSizeByName(target)) +
         " Bytes<P>" + "  Bytes Free: <T>" + FloatToText(GetFreeDiskSpace(target), 0, false, ".") + " Bytes";
}

class Extraction {
 public:
  Extraction(const std::string& target, const std::string& agentName, const DiskPrompt& prompt,
             ProgressSink progress, const std::function<bool()>& stopped)
      : target_(target), agentName_(FileNamePart(agentName)), prompt_(prompt), progress_(progress),
        stopped_(stopped) {}

  bool Stopped() const { return stopped_ && stopped_(); }

  // One disk file; false when the extraction must stop.
  bool Disk(const std::string& path, int number, PackageTrailer& trailer) {
    std::unique_ptr<InFile> file = OpenInFile(path);
    if (!file) return false;
    ReadTrailer(*file, trailer);
    if (number == 1) Trace("FileInfo.FilesCount=%" PRIu32, trailer.FileBlockCount);
    result.checksumOk = ChecksumAccepted(PackageChecksum(*file, trailer.TrailerSize), trailer.Checksum);
    if (!result.checksumOk) return false;
    const uint64_t length = PackageEnd(*file);
    Trace("FileLen=%" PRIu64, length);
    if (trailer.Magic != kPackageMagic) return true;
    if (number == 1) {
      Progress(kProgressSetUp, static_cast<int>(trailer.FileBlockCount));
      if (!ForceDirectories(target_))
        MsgBoxError(0, target_ + "<P><P>Unable to create Directory!<P><P>" + LastErrorText(), "", prompt_.charset,
                    prompt_.captions);
    }
    if (!Blocks(*file, trailer, length)) return false;
    if (number == 1 && WantsAgentCopy(path)) WriteAgentCopy(*file, path);
    return true;
  }

  void Progress(int action, int range) {
    if (progress_) progress_(action, 0, range, nullptr, 1, 0);
  }

  ExtractResult result;

 private:
  bool Blocks(InFile& file, const PackageTrailer& trailer, uint64_t length) {
    headerCount_ = trailer.HeaderBlockCount;
    headerEnd_ = trailer.PackageStart;
    BlockWalker walker(file, trailer.PackageStart, length, trailer.TrailerSize, PumpMessages);
    RawBlock raw;
    FileBlock block;
    std::string error;
    while (walker.More()) {
      PumpMessages();
      if (Stopped()) return Fault("stopped before the end");
      if (!walker.Next(raw)) return Fault(walker.Fault());
      if (++blockCounter_ == headerCount_) headerEnd_ = walker.Position();
      if (blockCounter_ <= headerCount_) continue;
      if (!DecodeFileBlock(raw, block, error, PumpMessages))
        return Fault("block at offset " + std::to_string(raw.offset) + " does not inflate: " + error);
      if (!block.header.empty()) Write(block);
    }
    return true;
  }

  bool Fault(const std::string& why) {
    result.fault = why;
    result.checksumOk = false;
    Trace("ExtractPackage: %s", why.c_str());
    return false;
  }

  void Write(const FileBlock& block) {
    const std::string name = block.FileName();
    // A name from the package is untrusted: it must not reach outside the
    // target folder, neither as a file written nor as the program started.
    if (!IsPlainFileName(name)) {
      if (refused_.insert(name).second) Trace("ExtractPackage: refused file name \"%s\"", name.c_str());
      return;
    }
    if (block.IsSetupEntry()) result.setupEntry = block.name;
    const std::string path = target_ + "\\" + name;
    // Blocks of one file follow each other; the first one replaces whatever
    // lies under that name, so a stale file is never appended to.
    const bool first = written_.insert(UpperCase(name)).second;
    if (first) Progress(kProgressStep, 0);
    const std::string_view data = block.data();
    const auto pump = [](int, int, int64_t, bool&, int, int64_t) { PumpMessages(); };
    if (WriteFileText(path, data, block.stamp, !first, pump)) return;
    const std::string systemText = LastErrorText();
    if (++saveFailures == 1)
      MsgBoxError(0, SaveFailureText(path, systemText, data.size()), "", prompt_.charset, prompt_.captions);
  }

  bool WantsAgentCopy(const std::string& path) const {
    return IsPlainFileName(agentName_) && (EndsWith(".exe", path, true) || EndsWith(".exe.001", path, true));
  }

  void WriteAgentCopy(InFile& file, const std::string& path) {
    PackageTrailer trailer{};
    if (!ReadTrailer(file, trailer) || headerEnd_ > file.Size()) return;
    std::string image(static_cast<size_t>(headerEnd_), '\0');
    if (!file.ReadExactAt(0, image.data(), image.size())) return;
    uint32_t stamp = 0;
    GetFileStampByName(path, stamp);
    const std::string agentPath = target_ + "\\" + agentName_;
    if (WriteFileText(agentPath, AgentFromPackageImage(std::move(image), trailer), stamp))
      Trace("%lu New AU-Agent: %s", ::GetCurrentProcessId(), agentPath.c_str());
  }

  std::string target_;
  std::string agentName_;
  const DiskPrompt& prompt_;
  ProgressSink progress_;
  const std::function<bool()>& stopped_;
  uint32_t blockCounter_ = 0;
  uint32_t headerCount_ = 0;
  uint64_t headerEnd_ = 0;
  std::set<std::string> written_;
  std::set<std::string> refused_;
};

// Asks until the disk is there or the user gives up; true when it is there.
bool AskForDisk(const std::string& next, int number, bool forcePrompt, const DiskPrompt& prompt) {
  if (!forcePrompt && FileExists(next)) return true;
  EjectCD(next);
  bool answer = true;
  do {
    const std::string text = ReplaceAll(prompt.text, "<DISK_NUM>", std::to_string(number));
    answer = MsgBoxConfirmOk(0, text, prompt.title, prompt.charset, prompt.captions);
    DelayPump(0, 500);
  } while (answer && !FileExists(next));
  return answer;
}

}  // namespace

ExtractResult ExtractPackage(const std::string& packagePath, const std::string& target, const std::string& agentName,
                             bool forcePrompt, const DiskPrompt& prompt, ProgressSink progress,
                             const std::function<bool()>& stopped) {
  const int64_t start = NowMs();
  Extraction extraction(target, agentName, prompt, progress, stopped);
  try {
    extraction.Progress(kProgressSetUp, 0);
    bool answer = true;
    std::string path = packagePath;
    for (int number = 1;; ++number) {
      PackageTrailer trailer{};
      if (FileExists(path) && !extraction.Disk(path, number, trailer)) break;
      if (!(trailer.Options & kMoreDisks) || extraction.Stopped()) break;
      SetAutoPlayCancel(true);
      path = DiskFileName(packagePath, number + 1);
      answer = AskForDisk(path, number + 1, forcePrompt, prompt);
      extraction.Progress(kProgressStep, 0);
      if (!answer) break;
    }
    SetAutoPlayCancel(false);
    if (!answer || !extraction.result.fault.empty()) extraction.result.setupEntry.clear();
  } catch (const std::exception& e) {
    ReportException(e, "ExtractPackage", packagePath);
    extraction.result.checksumOk = false;
    extraction.result.fault = e.what();
  }
  Trace("UnCompressTime: %" PRId64 " MS", NowMs() - start);
  Trace("%s", "");
  DelayPump(0, 500);
  return extraction.result;
}

}  // namespace tarnix
