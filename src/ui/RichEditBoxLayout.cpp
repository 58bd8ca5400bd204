#include "ui/RichEditBoxLayout.h"

#include <algorithm>

namespace tarnix {

namespace {

// The minimum wins over a screen smaller than it: the box then runs off the
// screen rather than losing its button.
int Fit(int asked, int minimum, int screen) { return std::max(minimum, std::min(asked, screen)); }

}  // namespace

PixelRect RichEditBoxPlace(int screenWidth, int screenHeight, int width, int height) {
  const int w = Fit(width, kRichEditBoxMinWidth, screenWidth);
  const int h = Fit(height, kRichEditBoxMinHeight, screenHeight);
  return {(screenWidth - w) / 2, (screenHeight - h) / 2, w, h};
}

PixelRect RichEditTextPlace(int cw, int ch, bool hasLink) {
  const int height = hasLink ? ch - kRichEditStripHeight : ch;
  return {kRichEditTextLeft, 0, std::max(0, cw - kRichEditTextLeft), std::max(0, height)};
}

PixelRect RichEditButtonPlace(int cw, int ch) {
  return {(cw - kRichEditButtonWidth) / 2, ch - kRichEditButtonBottomGap, kRichEditButtonWidth,
          kRichEditButtonHeight};
}

std::string RichEditTextFace(std::string_view face) {
  return face.empty() || face == "Tahoma" ? std::string("Verdana") : std::string(face);
}

std::string_view RichEditShownText(std::string_view text) { return text.substr(0, kRichEditMaxText); }

}  // namespace tarnix
