#include "package/TempSpace.h"

#include <cctype>

#include "Utils/StrUtils.h"

namespace tarnix {

std::string MegabyteText(double bytes) {
  if (bytes < 0) bytes = 0;
  const double mb = bytes / 1048576.0;
  const int decimals = mb > 10 ? 1 : mb >= 1 ? 2 : 3;
  return FloatToText(mb, decimals, false, ".");
}

std::string TempSpaceQuestion(const TempSpaceTexts& texts, bool showInfo, std::string_view target, double required,
                              double free) {
  std::string text;
  if (showInfo) text = texts.info;
  if (required >= free) text = texts.short_;
  if (text.empty()) return text;
  text += texts.required + texts.free + texts.question;
  const std::string drive =
      target.empty() ? std::string() : std::string(1, char(std::toupper(static_cast<unsigned char>(target[0])))) + ":";
  text = ReplaceAll(text, "<DRIVE>", drive);
  text = ReplaceAll(text, "<SPACE_REQ>", MegabyteText(required));
  return ReplaceAll(text, "<SPACE_AVAIL>", MegabyteText(free));
}

}  // namespace tarnix
