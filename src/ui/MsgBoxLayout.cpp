#include "ui/MsgBoxLayout.h"

#include <algorithm>

#include "Utils/StrUtils.h"

namespace tarnix {

namespace {

constexpr int kIdiHand = 32513;
constexpr int kIdiQuestion = 32514;
constexpr int kIdiExclamation = 32515;
constexpr int kIdiAsterisk = 32516;

// Lines wider than this wrap; the text control is never made wider.
constexpr int kMaxTextWidth = 600;

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::vector<MsgBoxButton> MsgBoxButtons(uint32_t flags) {
  switch (flags & kMbTypeMask) {
    case kMbOk:
      return {{0, kIdOk}};
    case kMbOkCancel:
      return {{0, kIdOk}, {1, kIdCancel}};
    case kMbAbortRetryIgnore:
      return {{4, kIdAbort}, {5, kIdRetry}, {6, kIdIgnore}};
    case kMbYesNoCancel:
      return {{2, kIdYes}, {3, kIdNo}, {1, kIdCancel}};
    case kMbYesNo:
      return {{2, kIdYes}, {3, kIdNo}};
    case kMbRetryCancel:
      return {{5, kIdRetry}, {1, kIdCancel}};
    default:
      return {};
  }
}

int MsgBoxSystemIcon(uint32_t flags) {
  switch (flags & 0xF0) {
    case kMbIconHand:
      return kIdiHand;
    case kMbIconQuestion:
      return kIdiQuestion;
    case kMbIconExclamation:
      return kIdiExclamation;
    case kMbIconAsterisk:
      return kIdiAsterisk;
    default:
      return 0;
  }
}

int WrapButtonIndex(int index, int count) {
  if (count <= 0) return 0;
  index %= count;
  return index < 0 ? index + count : index;
}

int AltKeyButton(const std::vector<std::string>& captions, char typed) {
  for (size_t i = 0; i < captions.size(); ++i) {
    const std::string& c = captions[i];
    if (c.size() >= 2 && (c[1] == typed || c[1] == Upper(typed))) return static_cast<int>(i);
  }
  return -1;
}

int LetterKeyButton(const std::vector<std::string>& captions, char letter) {
  int chosen = -1;
  for (size_t i = 0; i < captions.size(); ++i) {
    const std::string& c = captions[i];
    const size_t amp = c.find('&');
    const size_t at = amp == std::string::npos ? 0 : amp + 1;
    if (at < c.size() && Upper(c[at]) == Upper(letter)) chosen = static_cast<int>(i);
  }
  return chosen;
}

int ScaleToDpi(int pixels, int dpi) {
  if (dpi <= 0 || dpi == kBaseDpi) return pixels;
  const int64_t scaled = static_cast<int64_t>(pixels) * dpi;
  return static_cast<int>((scaled + (scaled < 0 ? -kBaseDpi / 2 : kBaseDpi / 2)) / kBaseDpi);
}

PixelSize MeasureMsgBoxText(std::string_view text, int lineHeight,
                            const std::function<int(std::string_view)>& lineWidth, int dpi) {
  const int maxWidth = ScaleToDpi(kMaxTextWidth, dpi);
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) break;
    start = end + 2;
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  if (lines.empty()) lines.push_back(" ");

  PixelSize size;
  for (std::string_view line : lines) {
    const int w = std::max(lineWidth(line), 0);
    size.width = std::max(size.width, w + ScaleToDpi(10, dpi));
    size.height += (w / maxWidth + 1) * lineHeight;
  }
  size.width = std::min(size.width, maxWidth);
  return size;
}

PixelSize MsgBoxWindowSize(int tw, int th, int cxFrame, int cyFrame, int cyCaption, int dpi) {
  const auto px = [dpi](int pixels) { return ScaleToDpi(pixels, dpi); };
  const int hMargin = px(tw < px(200) ? 64 : 32);
  const int vMargin = px(th < px(39) ? 45 : 32);
  return {std::max(tw + px(kMsgBoxBandWidth) + 2 * hMargin + 2 * cxFrame, px(kMsgBoxMinWidth)),
          th + px(kMsgBoxStripHeight) + 2 * vMargin + 2 * cyFrame + cyCaption};
}

PixelRect MsgBoxTextPlace(int cw, int ch, int tw, int th, int dpi) {
  const auto px = [dpi](int pixels) { return ScaleToDpi(pixels, dpi); };
  const int x = px(kMsgBoxBandWidth) + (cw - px(kMsgBoxBandWidth) - tw) / 2;
  const int y = (ch - px(kMsgBoxStripHeight) - th) / 2;
  return {x, y, tw, ch - y - px(39)};
}

PixelRect MsgBoxButtonPlace(int cw, int ch, int index, int count, int dpi) {
  const auto px = [dpi](int pixels) { return ScaleToDpi(pixels, dpi); };
  const int left = cw - px(80) - px(kMsgBoxButtonWidth) * (count - 1 - index);
  return {left, ch - px(29), px(kMsgBoxButtonWidth), px(kMsgBoxButtonHeight)};
}

uint32_t MsgBoxGenericFlags(int64_t mode, uint32_t style, int charset) {
  if (charset == kHebrewCharset || charset == kArabicCharset) style |= kMbRtlReading | kMbRight;
  style |= kMbWrapperFlags;
  if (mode == 2) style |= kMbNoClose;
  return style;
}

std::string MsgBoxGenericText(int64_t mode, std::string_view text, std::string_view title) {
  if (mode != 0) return std::string(text);
  const bool ownTitle = kMsgBoxTitles.find(title) != std::string_view::npos;
  std::string r = "<<b>";
  r += ownTitle ? UpperCase(title) : std::string(title);
  r += "</b><P><P>";
  r += text;
  r += "<P>";
  return r;
}

}  // namespace tarnix
