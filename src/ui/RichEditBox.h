// Windows only. The box that shows a longer downloaded text, such as the
// news of a new version: a resizable window of class "KvRichEditBox" with a
// scrollable read-only text and, when there is a link, one centred button
// under it that opens the link and closes the box. One box exists at a time;
// it is shown from the thread that owns the program's windows.
#pragma once

#include <windows.h>

#include <string_view>

namespace tarnix {

inline constexpr char kRichEditBoxClassName[] = "KvRichEditBox";

// With a text, shows the box until the user closes it and returns true; the
// text is shown as it stands, with no markup. With no text but a link, opens
// the link with the shell at once and returns whether the shell took it.
// With neither, and while another of these boxes is up, shows nothing and
// returns false. The link is trimmed first. The text is shown in "Verdana"
// unless `fontFace` names another face than "Tahoma"; the button in
// `fontFace` at `fontSize` points.
bool ShowRichEditBox(HWND owner, std::string_view title, std::string_view buttonCaption, int charset, int fontSize,
                     std::string_view fontFace, bool rightToLeft, int height, int width, std::string_view link,
                     std::string_view text);

}  // namespace tarnix
