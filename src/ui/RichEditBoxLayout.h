// The rules of the rich-edit box that need no window: where the box, its
// text and its button go, which face the text is shown in, and how much of
// a downloaded text the box takes. The window code applies them; keeping
// them here lets them be checked without the platform.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "ui/MsgBoxLayout.h"

namespace tarnix {

// The strip under the text that holds the button, its separator line
// included, and the button in it.
inline constexpr int kRichEditStripHeight = 43;
inline constexpr int kRichEditButtonWidth = 160;
inline constexpr int kRichEditButtonHeight = 25;
inline constexpr int kRichEditButtonBottomGap = 33;
// The text starts this far from the left edge.
inline constexpr int kRichEditTextLeft = 3;
// The text font's cell height in pixels.
inline constexpr int kRichEditTextFontHeight = 15;

// The smallest box that still shows its button and a few lines of text.
inline constexpr int kRichEditBoxMinWidth = 200;
inline constexpr int kRichEditBoxMinHeight = 150;

// The texts come from a web server: more than this is not handed to the
// control, so a huge download cannot stall the box. It is still far more
// than any announcement needs.
inline constexpr size_t kRichEditMaxText = 256 * 1024;

// Lengths above are at 96 DPI and scale with `dpi` (ScaleToDpi); so does
// the asked size, which the announcement gives at 96 DPI.

// The box's place on a screen of screenWidth x screenHeight: the asked size,
// kept between the minimum and the screen, centred.
PixelRect RichEditBoxPlace(int screenWidth, int screenHeight, int width, int height, int dpi = kBaseDpi);

// Where the text and the button go in a client area of cw x ch. Without a
// link the text takes the whole height; nothing is ever given a negative
// size, as when the box is minimised.
PixelRect RichEditTextPlace(int cw, int ch, bool hasLink, int dpi = kBaseDpi);
PixelRect RichEditButtonPlace(int cw, int ch, int dpi = kBaseDpi);

// "Verdana" for an empty face and for the boxes' usual "Tahoma"; any other
// face as given.
std::string RichEditTextFace(std::string_view face);

// The part of `text` the box shows: all of it up to kRichEditMaxText bytes.
std::string_view RichEditShownText(std::string_view text);

}  // namespace tarnix
