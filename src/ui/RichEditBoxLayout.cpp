#include "ui/RichEditBoxLayout.h"

#include <algorithm>

namespace tarnix {

namespace {

// The minimum wins over a screen smaller than it: the box then runs off the
// screen rather than losing its button.
int Fit(int asked, int minimum, int screen) { return std::max(minimum, std::min(asked, screen)); }

}  // namespace

PixelRect RichEditBoxPlace(int screenWidth, int screenHeight, int width, int height, int dpi) {
  const int w = Fit(ScaleToDpi(width, dpi), ScaleToDpi(kRichEditBoxMinWidth, dpi), screenWidth);
  const int h = Fit(ScaleToDpi(height, dpi), ScaleToDpi(kRichEditBoxMinHeight, dpi), screenHeight);
  return {(screenWidth - w) / 2, (screenHeight - h) / 2, w, h};
}

PixelRect RichEditTextPlace(int cw, int ch, bool hasLink, int dpi) {
  const int left = ScaleToDpi(kRichEditTextLeft, dpi);
  const int height = hasLink ? ch - ScaleToDpi(kRichEditStripHeight, dpi) : ch;
  return {left, 0, std::max(0, cw - left), std::max(0, height)};
}

PixelRect RichEditButtonPlace(int cw, int ch, int dpi) {
  const int width = ScaleToDpi(kRichEditButtonWidth, dpi);
  return {(cw - width) / 2, ch - ScaleToDpi(kRichEditButtonBottomGap, dpi), width,
          ScaleToDpi(kRichEditButtonHeight, dpi)};
}

std::string RichEditTextFace(std::string_view face) {
  return face.empty() || face == "Tahoma" ? std::string("Verdana") : std::string(face);
}

std::string_view RichEditShownText(std::string_view text) { return text.substr(0, kRichEditMaxText); }

}  // namespace tarnix
