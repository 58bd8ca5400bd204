#include "package/ExtractPackage.h"

#include <windows.h>

#include <algorithm>
#include <cinttypes>
#include <exception>

#include "Utils/DateUtils.h"
#include "Utils/FileUtils.h"
#include "Utils/InFile.h"
#include "Utils/MessagePump.h"
#include "Utils/PathUtils.h"
#include "Utils/StrUtils.h"
#include "Utils/StubLog.h"
#include "Utils/SysInfo.h"
#include "Utils/Trace.h"
#include "Utils/UniqueResource.h"
#include "Utils/WindowUtils.h"
#include "Utils/WorkerPool.h"
#include "package/AgentCopy.h"
#include "package/BlockPipeline.h"
#include "package/FileAssembler.h"
#include "package/FileBlocks.h"
#include "package/TGFileInfo.h"
#include "ui/Markup.h"
#include "ui/MsgBox.h"

namespace tarnix {

namespace {

// Failed writes in the process; only the first one is shown to the user.
int saveFailures = 0;

// Blocks inflate on at most this many workers: with the block being written,
// three blocks are held at once, whatever the package size.
constexpr unsigned kMaxWorkers = 2;
// Pumping costs a trip through the window system: often enough for the
// window to stay responsive, not after every piece of a read.
constexpr DWORD kPumpIntervalMs = 15;
// The bar moves as often as a person can see it move.
constexpr DWORD kProgressIntervalMs = 50;

std::string SaveFailureText(const std::string& target, const std::string& systemText, uint64_t dataSize) {
  return target + "<P><P>Unable to save Extracted File!<P><P>" + systemText + "<P>" + "  Data Size: <T>" +
         std::to_string(dataSize) + " Bytes<P>" + "  File Size:  <T>" + std::to_string(GetFileSizeByName(target)) +
         " Bytes<P>" + "  Bytes Free: <T>" + FloatToText(GetFreeDiskSpace(target), 0, false, ".") + " Bytes";
}

// Pumps the window's messages unless it did so a moment ago.
void PumpNowAndThen() {
  static DWORD last = 0;
  const DWORD now = ::GetTickCount();
  if (now - last < kPumpIntervalMs) return;
  last = now;
  PumpMessages();
}

// The files of the target folder, written through the file API: one handle
// per file, kept open over its blocks, the stamp set once before it closes.
class FolderOutput final : public FileOutput {
 public:
  FolderOutput(const std::string& folder, const DiskPrompt& prompt) : folder_(folder), prompt_(prompt) {}

  bool Open(const std::string& name, bool append) override {
    const std::string path = folder_ + "\\" + name;
    const DWORD share = append ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
    file_.reset(::CreateFileA(path.c_str(), GENERIC_WRITE, share, nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file_ && append && SeekFile64(file_.get(), 2, 0) < 0) file_.reset();
    if (!file_) NoteSystemError();
    return static_cast<bool>(file_);
  }

  bool Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      DWORD written = 0;
      const DWORD request = static_cast<DWORD>(std::min<size_t>(bytes.size(), 0x40000000u));
      if (!::WriteFile(file_.get(), bytes.data(), request, &written, nullptr) || written == 0) {
        NoteSystemError();
        return false;
      }
      bytes.remove_prefix(written);
    }
    return true;
  }

  void Close(uint32_t stamp) override {
    if (stamp != 0) SetFileStamp(file_.get(), stamp);
    file_.reset();
  }

  void Failed(const std::string& name, uint64_t dataSize) override {
    if (++saveFailures > 1) return;
    const std::string text = SaveFailureText(folder_ + "\\" + name, systemText_, dataSize);
    WriteLog(FailureLine("ERROR: " + MarkupLogText(text), {systemText_, 0, systemError_}));
    MsgBoxError(0, text, "", prompt_.charset, prompt_.captions);
  }

  // The system's reason for a failure outside the output's own writes.
  void NoteSystemError() {
    systemError_ = ::GetLastError();
    systemText_ = SysErrorMessage(systemError_);
  }

  void Refused(const std::string& name) override {
    Trace("ExtractPackage: refused file name \"%s\"", name.c_str());
  }

 private:
  std::string folder_;
  const DiskPrompt& prompt_;
  UniqueFileHandle file_;
  std::string systemText_;
  uint32_t systemError_ = 0;
};

class Extraction {
 public:
  Extraction(const std::string& target, const std::string& agentName, const DiskPrompt& prompt,
             ProgressSink progress, const std::function<bool()>& stopped)
      : target_(target), agentName_(FileNamePart(agentName)), prompt_(prompt), progress_(progress),
        stopped_(stopped), output_(target, prompt), files_(output_, PumpNowAndThen),
        pipeline_(Workers(), 0, PumpNowAndThen) {}

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

  // Steps waiting to be shown; all of them when `now`, else only when the
  // bar last moved long enough ago.
  void ShowSteps(bool now) {
    if (pendingSteps_ == 0) return;
    const DWORD tick = ::GetTickCount();
    if (!now && tick - lastSteps_ < kProgressIntervalMs) return;
    lastSteps_ = tick;
    for (; pendingSteps_ > 0; --pendingSteps_) Progress(kProgressStep, 0);
  }

  // The file being written ends with the extraction, whatever ends it.
  void Finish() {
    files_.Finish();
    ShowSteps(true);
    result.setupEntry = files_.SetupEntry();
  }

  ExtractResult result;

 private:
  static std::unique_ptr<WorkerPool> Workers() { return StartWorkerPool(std::min(ProcessorCount(), kMaxWorkers)); }

  bool Blocks(InFile& file, const PackageTrailer& trailer, uint64_t length) {
    headerEnd_ = trailer.PackageStart;
    BlockWalker walker(file, trailer.PackageStart, length, trailer.TrailerSize, PumpNowAndThen);
    // The header blocks come first on the first disk: read, never written.
    RawBlock raw;
    while (blockCounter_ < trailer.HeaderBlockCount && walker.More()) {
      PumpNowAndThen();
      if (Stopped()) return Fault("stopped before the end");
      if (!walker.Next(raw)) return Fault(walker.Fault());
      if (++blockCounter_ == trailer.HeaderBlockCount) headerEnd_ = walker.Position();
    }
    while (const StreamedBlock* block = pipeline_.Next(walker)) {
      PumpNowAndThen();
      if (Stopped()) return Fault("stopped before the end");
      ++blockCounter_;
      if (files_.Take(*block)) ++pendingSteps_;
      ShowSteps(false);
      if (files_.WriteFailed()) return WriteFault("a file could not be written");
    }
    if (!pipeline_.Fault().empty()) return Fault(pipeline_.Fault());
    return true;
  }

  bool Fault(const std::string& why) {
    result.fault = why;
    result.checksumOk = false;
    Trace("ExtractPackage: %s", why.c_str());
    return false;
  }

  // The package is sound, the disk is not: a fault of its own, reported to
  // the user by the output already.
  bool WriteFault(const std::string& why) {
    result.fault = why;
    result.writeFailed = true;
    Trace("ExtractPackage: %s", why.c_str());
    return false;
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
    const std::string agent = AgentFromPackageImage(std::move(image), trailer);
    if (WriteFileText(agentPath, agent, stamp)) {
      Trace("%lu New AU-Agent: %s", ::GetCurrentProcessId(), agentPath.c_str());
      return;
    }
    output_.NoteSystemError();
    // A partly written agent must never be installed.
    ::DeleteFileA(agentPath.c_str());
    output_.Failed(agentName_, agent.size());
    WriteFault("the agent copy could not be written");
  }

  std::string target_;
  std::string agentName_;
  const DiskPrompt& prompt_;
  ProgressSink progress_;
  const std::function<bool()>& stopped_;
  uint32_t blockCounter_ = 0;
  uint64_t headerEnd_ = 0;
  int pendingSteps_ = 0;
  DWORD lastSteps_ = 0;
  FolderOutput output_;
  FileAssembler files_;
  // Declared last: its workers end before anything they could reach.
  BlockPipeline pipeline_;
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
      extraction.ShowSteps(true);
      path = DiskFileName(packagePath, number + 1);
      answer = AskForDisk(path, number + 1, forcePrompt, prompt);
      extraction.Progress(kProgressStep, 0);
      if (!answer) break;
    }
    SetAutoPlayCancel(false);
    extraction.Finish();
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
