#include "Utils/PathUtils.h"

#include <algorithm>
#include <vector>

namespace tarnix {

namespace {

// Marks the bytes that are the second half of a double-byte character.
// Looking only at the byte before a backslash would misread a run of
// double-byte characters whose second halves are themselves in the lead
// range, so the path is walked from its start.
std::vector<bool> TrailBytes(std::string_view path, LeadBytePredicate isLead) {
  std::vector<bool> trail(path.size(), false);
  for (size_t i = 0; i < path.size(); ++i) {
    if (isLead(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) trail[++i] = true;
  }
  return trail;
}

bool EndsWithSeparator(std::string_view path, LeadBytePredicate isLead) {
  return !path.empty() && path.back() == '\\' && !TrailBytes(path, isLead).back();
}

}  // namespace

bool NoLeadBytes(unsigned char) { return false; }

std::string NormalizeDir(std::string_view path, bool addBackslash, LeadBytePredicate isLead) {
  std::string result(path);
  if (result.size() > 2 && EndsWithSeparator(result, isLead)) result.pop_back();
  if (addBackslash) result += '\\';
  return result;
}

std::string FileNamePart(std::string_view path, LeadBytePredicate isLead) {
  size_t start = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (isLead(c)) {
      ++i;
    } else if (c == '\\' || c == '/' || c == ':') {
      start = i + 1;
    }
  }
  return std::string(path.substr(std::min(start, path.size())));
}

std::string DirectoryPart(std::string_view path, LeadBytePredicate isLead) {
  const size_t nameLength = FileNamePart(path, isLead).size();
  return RemoveTrailingSlash(path.substr(0, path.size() - nameLength), isLead);
}

std::string GetBaseName(std::string_view path, bool stripAll, LeadBytePredicate isLead) {
  std::string name = FileNamePart(path, isLead);
  for (;;) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) break;
    name.erase(dot);
    if (!stripAll) break;
  }
  return name;
}

std::string RemoveTrailingSlash(std::string_view path, LeadBytePredicate isLead) {
  if (path == "\\") return {};
  std::string result(path);
  if (result.size() > 1 && EndsWithSeparator(result, isLead)) result.pop_back();
  return result;
}

std::string CollapseSlashes(std::string_view path, bool removeTrailing, LeadBytePredicate isLead) {
  std::string result;
  if (path.size() > 2) {
    const std::vector<bool> trail = TrailBytes(path, isLead);
    // A self-delimited list of paths starts and ends with its delimiter; a
    // network path may begin any of its items.
    const char delimiter = path.front();
    const bool quoted = delimiter == path.back();
    result.reserve(path.size());
    result += delimiter;
    for (size_t i = 1; i < path.size(); ++i) {
      const bool doubled = path[i] == '\\' && i >= 2 && path[i - 1] == '\\' && !trail[i - 1];
      if (doubled) {
        const bool afterDelimiter = i == 2 || (delimiter != '\\' && path[i - 2] == delimiter && !trail[i - 2]);
        if (!(quoted && afterDelimiter)) continue;
      }
      result += path[i];
    }
  } else {
    result = path;
  }
  return removeTrailing ? RemoveTrailingSlash(result, isLead) : result;
}

std::string GetDriveRoot(std::string& path, bool forceLetter, LeadBytePredicate isLead) {
  std::replace(path.begin(), path.end(), '/', '\\');
  if (path.empty()) return {};
  if (forceLetter || path.size() < 3) {
    char letter = path.front();
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    return std::string(1, letter) + ":\\";
  }
  const std::vector<bool> trail = TrailBytes(path, isLead);
  for (size_t i = 3; i < path.size(); ++i) {
    if (path[i] == '\\' && !trail[i]) return path.substr(0, i);
  }
  return path;
}

bool IsRootPath(std::string_view path, LeadBytePredicate isLead) {
  std::string shaped(path);
  std::replace(shaped.begin(), shaped.end(), '/', '\\');
  shaped = CollapseSlashes(shaped, true, isLead);
  if (shaped.empty() || shaped == "\\") return true;
  if (shaped.size() == 2 && shaped[1] == ':') return true;
  if (shaped.size() > 2 && shaped[0] == '\\' && shaped[1] == '\\') {
    const std::vector<bool> trail = TrailBytes(shaped, isLead);
    size_t separators = 0;
    for (size_t i = 2; i < shaped.size(); ++i) {
      if (shaped[i] == '\\' && !trail[i]) ++separators;
    }
    return separators <= 1;
  }
  return false;
}

uint64_t ChooseBlockSize(uint64_t largest, uint64_t total) {
  const uint64_t tenth = total / 10;
  if (tenth <= 1024) return std::min<uint64_t>(1024, total);
  return std::min(tenth, largest);
}

}  // namespace tarnix
