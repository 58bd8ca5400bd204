// Windows only. The stub's own modal message box, window class "KvMsgBox":
// a dark band with the icon, the text with bold runs, and a strip of up to
// three buttons with captions in the active language. Styles and results are
// those of the system message box, so callers use it the same way. One box
// exists at a time and its state belongs to the process; it is shown from
// the thread that owns the program's windows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

namespace tarnix {

inline constexpr char kMsgBoxClassName[] = "KvMsgBox";

// Face and character set are always taken, the size in points only when it
// is not 0. They apply to every box from now on.
void SetMsgBoxFont(std::string_view faceName, int sizePoints, int charset);

// Shows one box and returns the chosen button's result, or 0 when the box
// was closed without one (Escape, Alt+F4, the Close command). `text` is
// markup; `captions` a self-delimited list whose items 0 to 6 are the
// captions of OK, Cancel, Yes, No, Abort, Retry and Ignore. A time-out above
// 0 chooses the first button when it runs out. While another box is up, no
// second one is shown and the result is 0.
int ShowMsgBox(HWND owner, std::string_view text, std::string_view title, int timeoutMs, uint32_t flags,
               std::string_view captions);

// The forms every caller uses. `mode` 0 puts the title in bold over the
// text, 1 shows the text as it is, 2 also greys the Close command, and a
// larger value is the window that owns the box (otherwise the active window
// does). Character sets 177 and 178 lay the text out right to left. An empty
// caption list gives the English captions. The other forms give an empty
// title their own: "Error", "Attention" or "Confirm".
int MsgBoxGeneric(intptr_t mode, std::string_view text, std::string_view title, int timeoutMs, uint32_t style,
                  int charset, std::string_view captions);
void MsgBoxError(intptr_t mode, std::string_view text, std::string_view title, int charset, std::string_view captions);
void MsgBoxAttention(intptr_t mode, std::string_view text, std::string_view title, int timeoutMs, int charset,
                     std::string_view captions);
// True for Yes.
bool MsgBoxConfirm(intptr_t mode, std::string_view text, std::string_view title, int timeoutMs, int charset,
                   std::string_view captions);
// True for OK.
bool MsgBoxConfirmOk(intptr_t mode, std::string_view text, std::string_view title, int charset,
                     std::string_view captions);

}  // namespace tarnix
