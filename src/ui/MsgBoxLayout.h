// The rules of the message box that need no window: which buttons a style
// asks for, which icon, where text, buttons and box go, which key chooses
// which button, and how the wrappers dress a text. The window code applies
// them; keeping them here lets them be checked without the platform.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnix {

// The system message box's styles and results, which callers use unchanged.
inline constexpr uint32_t kMbTypeMask = 0xF;
inline constexpr uint32_t kMbOk = 0;
inline constexpr uint32_t kMbOkCancel = 1;
inline constexpr uint32_t kMbAbortRetryIgnore = 2;
inline constexpr uint32_t kMbYesNoCancel = 3;
inline constexpr uint32_t kMbYesNo = 4;
inline constexpr uint32_t kMbRetryCancel = 5;
inline constexpr uint32_t kMbIconHand = 0x10;
inline constexpr uint32_t kMbIconQuestion = 0x20;
inline constexpr uint32_t kMbIconExclamation = 0x30;
inline constexpr uint32_t kMbIconAsterisk = 0x40;
inline constexpr uint32_t kMbRight = 0x80000;
inline constexpr uint32_t kMbRtlReading = 0x100000;
// Task-modal, set-foreground and topmost: passed on by the wrappers, though
// the box is always topmost anyway.
inline constexpr uint32_t kMbWrapperFlags = 0x52000;
// The box's own bit: the Close command of the window menu is greyed.
inline constexpr uint32_t kMbNoClose = 0x10000000;

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdAbort = 3;
inline constexpr int kIdRetry = 4;
inline constexpr int kIdIgnore = 5;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

inline constexpr int kHebrewCharset = 177;
inline constexpr int kArabicCharset = 178;

// Items 0 to 6 of the caption list: OK, Cancel, Yes, No, Abort, Retry,
// Ignore. The titles of the error, attention and confirmation wrappers.
inline constexpr std::string_view kMsgBoxTitles = "|Error|Attention|Confirm|";

struct MsgBoxButton {
  int captionIndex;
  int result;
  bool operator==(const MsgBoxButton&) const = default;
};

// Left to right; none for a type the box does not know.
std::vector<MsgBoxButton> MsgBoxButtons(uint32_t flags);

// The system icon identifier (IDI_HAND ...) for the icon bits; 0 stands for
// the program's own icon.
int MsgBoxSystemIcon(uint32_t flags);

// The button asked to be the default one (MB_DEFBUTTON2 gives 1), before it
// is wrapped to the buttons there are.
inline int MsgBoxDefaultButton(uint32_t flags) { return static_cast<int>((flags >> 8) & 0xF); }

// `index` wrapped into 0..count-1, so that focus moving off one end comes
// back at the other.
int WrapButtonIndex(int index, int count);

// Alt+key: the first button whose caption's second character (the one after
// a leading "&") is the typed character or its upper-case form; -1 for none.
int AltKeyButton(const std::vector<std::string>& captions, char typed);
// A letter key (A-Z): the last button whose caption has the letter, in any
// case, right after its first "&", or as its first character when it has no
// "&"; -1 for none.
int LetterKeyButton(const std::vector<std::string>& captions, char letter);

// Layouts are drawn up in pixels at 96 DPI, the system's 100 %; at another
// DPI every length grows in proportion, to the nearest pixel, as the fonts
// do.
inline constexpr int kBaseDpi = 96;
int ScaleToDpi(int pixels, int dpi);

struct PixelSize {
  int width = 0;
  int height = 0;
  bool operator==(const PixelSize&) const = default;
};

// The size the text needs: the widest line plus 10, at most 600, and for
// each line its height times the number of 600-pixel widths it takes (both
// at 96 DPI). Trailing line breaks add nothing; an empty text is measured
// as a blank.
PixelSize MeasureMsgBoxText(std::string_view text, int lineHeight,
                            const std::function<int(std::string_view)>& lineWidth, int dpi = kBaseDpi);

inline constexpr int kMsgBoxMinWidth = 360;
// The dark band on the left and the button strip at the bottom.
inline constexpr int kMsgBoxBandWidth = 54;
inline constexpr int kMsgBoxStripHeight = 36;
inline constexpr int kMsgBoxButtonWidth = 70;
inline constexpr int kMsgBoxButtonHeight = 23;

// The box's outer size for a text control of tw x th, with the system's
// sizing-frame and caption metrics.
PixelSize MsgBoxWindowSize(int tw, int th, int cxFrame, int cyFrame, int cyCaption, int dpi = kBaseDpi);

struct PixelRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const PixelRect&) const = default;
};

// Where the text control of tw x th goes in a client area of cw x ch: centred
// right of the band and above the strip, reaching down to the strip.
PixelRect MsgBoxTextPlace(int cw, int ch, int tw, int th, int dpi = kBaseDpi);
// Button `index` of `count`, right-aligned in the strip without gaps.
PixelRect MsgBoxButtonPlace(int cw, int ch, int index, int count, int dpi = kBaseDpi);

// What MsgBoxGeneric adds: right-to-left reading and alignment for Hebrew
// and Arabic, the wrapper flags, and the greyed Close command in mode 2.
uint32_t MsgBoxGenericFlags(int64_t mode, uint32_t style, int charset);
// Mode 0 puts the title in bold over the text, upper-cased when it is one
// of the wrappers' own titles; other modes leave the text as it is.
std::string MsgBoxGenericText(int64_t mode, std::string_view text, std::string_view title);

}  // namespace tarnix
