#include "environment/FolderExpansion.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "Utils/SUB.h"
#include "Utils/StrUtils.h"

namespace tarnix {

namespace {

constexpr std::string_view kShellFoldersKey =
    "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr std::string_view kCurrentVersionKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// Installers that run programs and measure the space an installation needs
// record these; nothing in this program does, so both stay 0.
constexpr int kLastExecutableExitCode = 0;
constexpr double kRequiredFreeDiskSpace = 0;

// Answered by an installer's wizard (what the user entered, the project's
// names); no such source exists in this program, so they expand to nothing.
constexpr std::string_view kWizardVariables[] = {
    "<EnteredUserName>", "<EnteredCompanyName>",     "<EnteredStartProgramMenu>", "<VendorCompanyName>",
    "<ProjectName>",     "<ProgramDescriptiveName>", "<ProgramVersion>",          "<SelectedLanguage>",
};

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool HasDots(std::string_view text) {
  return text.find("\\..") != std::string_view::npos || text.find("..\\") != std::string_view::npos;
}

// The text under expansion. A change that would make it longer than
// kMaxExpandedText is refused, and the expansion fails from then on.
class Expansion {
 public:
  explicit Expansion(std::string_view text) : text_(text) {}

  const std::string& Text() const { return text_; }
  bool Failed() const { return failed_; }

  // Every occurrence of `name` becomes value(); the value is asked for only
  // when the name occurs.
  template <typename Value>
  void Replace(std::string_view name, Value value) {
    const std::vector<size_t> at = Occurrences(name);
    if (!at.empty()) Put(at, name.size(), value());
  }

  // As Replace, with `suffix` after the value unless, at the first
  // occurrence, nothing follows the name, or a blank does, or the delimiter
  // of the self-delimited list that the text is.
  template <typename Value>
  void ReplaceWithSuffix(std::string_view name, std::string_view suffix, Value value) {
    const std::vector<size_t> at = Occurrences(name);
    if (at.empty()) return;
    std::string replacement = value();
    if (!EndsAnItem(at.front() + name.size())) replacement += suffix;
    Put(at, name.size(), replacement);
  }

  void Splice(size_t offset, size_t length, std::string_view replacement) { Put({offset}, length, replacement); }

  void Set(std::string text) {
    if (failed_) return;
    if (text.size() > kMaxExpandedText)
      Fail();
    else
      text_ = std::move(text);
  }

 private:
  // Offsets of `name` ignoring case, in reading order, never overlapping.
  std::vector<size_t> Occurrences(std::string_view name) const {
    std::vector<size_t> at;
    if (failed_ || name.empty() || text_.size() < name.size()) return at;
    const std::string text = UpperCase(text_), wanted = UpperCase(name);
    for (size_t p = text.find(wanted); p != std::string::npos; p = text.find(wanted, p + wanted.size()))
      at.push_back(p);
    return at;
  }

  bool EndsAnItem(size_t after) const {
    if (after >= text_.size() || text_[after] == ' ') return true;
    const char delimiter = text_.front();
    return text_.size() >= 2 && text_.back() == delimiter && text_[after] == delimiter && delimiter != '<' &&
           !IsLetter(delimiter);
  }

  // Replaces `length` characters at each offset by `replacement`.
  void Put(const std::vector<size_t>& at, size_t length, std::string_view replacement) {
    if (failed_) return;
    if (replacement.size() > length) {
      const size_t growth = replacement.size() - length;
      if (growth > (kMaxExpandedText - text_.size()) / at.size()) {
        Fail();
        return;
      }
    }
    std::string result;
    result.reserve(text_.size() - at.size() * length + at.size() * replacement.size());
    size_t from = 0;
    for (size_t offset : at) {
      result.append(text_, from, offset - from);
      result += replacement;
      from = offset + length;
    }
    result.append(text_, from, std::string::npos);
    text_ = std::move(result);
  }

  void Fail() {
    failed_ = true;
    text_.clear();
  }

  std::string text_;
  bool failed_ = false;
};

// The value of `key` in the "<name>=value" items of `list`; case and blanks
// around the name do not count.
bool FindUserVariable(std::string_view list, std::string_view key, std::string& value) {
  for (const std::string& item : SUB::Items(list)) {
    const size_t equals = item.find('=');
    if (equals != std::string::npos && SameText(Trim(std::string_view(item).substr(0, equals)), key)) {
      value = item.substr(equals + 1);
      return true;
    }
  }
  return false;
}

// Each text in angle brackets, left to right, is looked up by its name, in
// which "<<" and ">>" stand for "<" and ">". A found name gives way to its
// value and the scan goes on after it, so a value that names itself cannot
// make the scan run on; a "<" that no ">" closes is plain text.
void ExpandUserVariables(Expansion& e, std::string_view list) {
  if (SUB::Count(list) == 0) return;
  const std::string& text = e.Text();
  std::string result;
  size_t pos = 0;
  for (;;) {
    const size_t open = text.find('<', pos);
    if (open == std::string::npos) break;
    size_t close = text.find('>', open + 1);
    if (close == std::string::npos) break;
    if (close + 1 < text.size() && text[close + 1] == '>') ++close;
    const std::string_view token = std::string_view(text).substr(open, close - open + 1);
    std::string value;
    result.append(text, pos, open - pos);
    if (FindUserVariable(list, ReplaceAll(ReplaceAll(token, "<<", "<"), ">>", ">"), value))
      result += value;
    else
      result += token;
    if (result.size() > kMaxExpandedText) break;
    pos = close + 1;
  }
  if (pos < text.size()) result.append(text, pos, std::string::npos);
  e.Set(std::move(result));
}

// The date and time by one of the codes of <Date=c>; false for any other.
bool DateCodeText(char code, double now, const DateSeparators& format, std::string& out) {
  const char* pattern = nullptr;
  switch (code) {
    case '#': pattern = "dd/mmmm/yyyy"; break;
    case '0': {
      DateTimeParts newYear2000;
      newYear2000.year = 2000;
      newYear2000.month = 1;
      newYear2000.day = 1;
      out = std::to_string(int64_t(std::fabs(now - EncodeDateTime(newYear2000))));
      return true;
    }
    case '1': pattern = "dd-mm-yy"; break;
    case '2': pattern = "mm-dd-yy"; break;
    case '3': pattern = "yy-mm-dd"; break;
    case '4': pattern = "dd-mm-yyyy"; break;
    case '5': pattern = "mm-dd-yyyy"; break;
    case '6': pattern = "yyyy-mm-dd"; break;
    case '7': pattern = "yyyy-mm-dd hh:nn:ss"; break;
    default: return false;
  }
  out = FormatDateTime(pattern, now, format);
  return !out.empty();
}

// The first "<Date=c>" only.
void ExpandDate(Expansion& e, FolderVariableSource& source) {
  const std::string& text = e.Text();
  const size_t at = PosCI("<Date=", text);
  if (at == 0) return;
  const size_t code = at - 1 + 6;
  if (code + 1 >= text.size() || text[code + 1] != '>') return;
  std::string value;
  if (DateCodeText(text[code], source.Now(), source.DateFormat(), value)) e.Splice(at - 1, 8, value);
}

// Whole megabytes.
std::string RequiredSpaceText(double bytes) { return FloatToText(bytes / 1048576.0, 0, true, "."); }

void ExpandUserAndMachineValues(Expansion& e, FolderVariableSource& source) {
  e.Replace("<LoggedUserName>", [&] { return source.UserNameText(); });
  e.Replace("<UserName>", [&] { return source.RegisteredOwner(); });
  e.Replace("<CompanyName>", [&] { return source.RegisteredOrganization(); });
  e.Replace("<ComputerName>", [&] { return source.ComputerNameText(); });
  e.Replace("<CurrentDomainName>", [&] { return source.UserDomain(); });
  e.Replace("<LastExecutableExitCode>", [] { return std::to_string(kLastExecutableExitCode); });
  e.Replace("<ReqFreeDiskSpaceMB>", [] { return RequiredSpaceText(kRequiredFreeDiskSpace); });
  for (std::string_view name : kWizardVariables) e.Replace(name, [] { return std::string(); });
}

class FolderStage {
 public:
  FolderStage(Expansion& e, std::string_view suffix, const InstallFolders& folders, FolderVariableSource& source)
      : e_(e), suffix_(suffix), folders_(folders), source_(source) {}

  void Run(const std::string& baseText) {
    const std::string before = e_.Text();
    e_.Replace("<UnInstallExePath>", [] { return std::string(); });
    if (PosCI("<RunTimeDir_", e_.Text()) != 0) {
      for (int slot = 1; slot <= 8; ++slot)
        With("<RunTimeDir_" + std::to_string(slot) + ">", [&] { return source_.RunTimeDir(slot); });
    }
    With("<Application Folder>", [&] { return folders_.application; });
    With("<Common Folder>", [&] { return folders_.common; });
    With("<Auxiliary Folder>", [&] { return folders_.auxiliary; });
    With("<Windows Directory>", [&] { return source_.WindowsDir(); });
    With("<System Directory>", [&] { return source_.SystemDir(); });
    With("<System16 Directory>", [&] { return System16Dir(); });
    // A path that already begins with one of the folders above cannot take
    // an installation folder after it.
    if (e_.Text() != before) {
      for (std::string_view name : {"<InstallDir>", "<InstallCommonDir>", "<InstallAuxDir>"})
        e_.Replace(name, [] { return std::string(); });
    }
    e_.Replace("<AbsoluteDir>", [] { return std::string(); });
    With("<InstallDir>", [&] { return folders_.application; });
    With("<InstallCommonDir>", [&] { return folders_.common; });
    With("<InstallAuxDir>", [&] { return folders_.auxiliary; });
    With("<WinDir>", [&] { return source_.WindowsDir(); });
    With("<WinSysDir>", [&] { return source_.SystemDir(); });
    With("<WinSys32Dir>", [&] { return source_.SystemDir(); });
    With("<WinSys16Dir>", [&] { return System16Dir(); });
    Drives("Drive", 3);
    Drives("Disk", 2);
    With("<StartMenuDir>", [&] { return source_.ReadRegValue(kShellFoldersKey, "Start Menu"); });
    With("<ProgramFilesDir>", [&] { return source_.ReadRegValue(kCurrentVersionKey, "ProgramFilesDir"); });
    With("<CommonFilesDir>", [&] { return source_.ReadRegValue(kCurrentVersionKey, "CommonFilesDir"); });
    With("<FontDir>", [&] { return FontDir(); });
    With("<SrcDir>", [&] { return source_.ExeDir(); });
    With("<OriginDir>", [&] { return source_.OriginDir(); });
    With("<TempDir>", [&] { return source_.TempDir(); });
    With("<ServiceDir>", [&] { return source_.ExeDir(); });
    for (const SpecialFolderName& folder : kSpecialFolders)
      With("<" + std::string(folder.name) + ">", [&] { return source_.SpecialFolderDir(folder.folder); });
    // Only what this stage inserted can have doubled the backslashes.
    if (e_.Text() != baseText) e_.Set(CollapseSlashes(e_.Text(), false, source_.LeadBytes()));
  }

 private:
  template <typename Value>
  void With(std::string_view name, Value value) {
    e_.ReplaceWithSuffix(name, suffix_, value);
  }

  bool Exists(const std::string& path) { return !path.empty() && source_.DirectoryExists(path); }

  // The 16-bit system folder: System beside System32, where there is one.
  std::string System16Dir() {
    const std::string system = source_.SystemDir();
    std::string cut = system;
    const size_t at = cut.find("32");
    if (at != std::string::npos) cut.erase(at, 2);
    if (Exists(cut)) return cut;
    const std::string beside = NormalizeDir(source_.WindowsDir(), true, source_.LeadBytes()) + "System";
    return Exists(beside) ? beside : system;
  }

  std::string FontDir() {
    const std::string fonts = source_.ReadRegValue(kShellFoldersKey, "Fonts");
    if (Exists(fonts)) return fonts;
    return NormalizeDir(source_.WindowsDir(), true, source_.LeadBytes()) + "Fonts";
  }

  // <InstallDrive> and its kin: the first characters of the folders, such
  // as C:\ or C:.
  void Drives(std::string_view kind, size_t length) {
    const auto head = [length](const std::string& folder) { return folder.substr(0, length); };
    const std::string k(kind);
    e_.Replace("<Install" + k + ">", [&] { return head(folders_.application); });
    e_.Replace("<Win" + k + ">", [&] { return head(source_.WindowsDir()); });
    e_.Replace("<WinSys" + k + ">", [&] { return head(source_.SystemDir()); });
    e_.Replace("<Origin" + k + ">", [&] { return head(source_.OriginDir()); });
  }

  Expansion& e_;
  std::string_view suffix_;
  const InstallFolders& folders_;
  FolderVariableSource& source_;
};

// Resolves the dots of the whole text, or of each item of a list that
// begins with "," or "|".
std::string ResolveDots(const std::string& text, FolderVariableSource& source) {
  if (!HasDots(text)) return text;
  if (text.front() != ',' && text.front() != '|') return source.FullPath(text);
  const char delimiter = text.front();
  std::string result(1, delimiter);
  for (size_t start = 1;;) {
    const size_t end = text.find(delimiter, start);
    const std::string_view item =
        std::string_view(text).substr(start, end == std::string::npos ? std::string::npos : end - start);
    result += HasDots(item) ? source.FullPath(item) : std::string(item);
    if (result.size() > kMaxExpandedText) return {};
    if (end == std::string::npos) break;
    result += delimiter;
    start = end + 1;
  }
  return result;
}

}  // namespace

std::string ExpandFolderVariables(std::string_view text, std::string_view suffix, bool resolveDots, bool folderStage,
                                  bool userStage, const InstallFolders& folders, FolderVariableSource& source) {
  if (text.size() > kMaxExpandedText) return {};
  Expansion e(text);
  if (text.find('<') != std::string_view::npos) {
    if (userStage) ExpandUserVariables(e, source.UserVariables());
    ExpandDate(e, source);
    ExpandUserAndMachineValues(e, source);
    const std::string baseText = e.Text();
    if (folderStage) FolderStage(e, suffix, folders, source).Run(baseText);
  }
  if (e.Failed()) return {};
  return resolveDots ? ResolveDots(e.Text(), source) : e.Text();
}

}  // namespace tarnix
