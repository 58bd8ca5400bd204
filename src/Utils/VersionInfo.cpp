#include "Utils/VersionInfo.h"

#include <cstdint>

#include "Utils/StrUtils.h"

namespace tarnix {

std::vector<uint32_t> VersionComponents(std::string_view text, int count) {
  std::string clean;
  clean.reserve(text.size());
  for (char c : text) {
    if (c == ',') c = '.';
    if (c == '.' || (c >= '0' && c <= '9')) clean += c;
  }
  std::vector<uint32_t> parts;
  if (count <= 0) return parts;
  parts.reserve(size_t(count));
  size_t pos = 0;
  for (int i = 0; i < count; ++i) {
    uint32_t value = 0;
    if (pos <= clean.size()) {
      size_t end = clean.find('.', pos);
      if (end == std::string::npos) end = clean.size();
      int64_t n = 0;
      if (end > pos && ParseInt64(std::string_view(clean).substr(pos, end - pos), n) && n <= UINT32_MAX)
        value = uint32_t(n);
      pos = end + 1;
    }
    parts.push_back(value);
  }
  return parts;
}

std::string NormalizeVersion(std::string_view text, int width, int count) {
  std::string out;
  for (uint32_t part : VersionComponents(text, count)) {
    std::string digits = std::to_string(part);
    if (width > 0 && digits.size() < size_t(width)) digits.insert(0, size_t(width) - digits.size(), '0');
    if (!out.empty()) out += '.';
    out += digits;
  }
  return out;
}

}  // namespace tarnix
