// Shows one message box in a process of its own and ends with its result,
// so that the box driver can be tried from outside and the box looked at.
//
//   msgbox-show WRAPPER MODE CHARSET TIMEOUT STYLE TITLE TEXT [CAPTIONS [FACE SIZE]]
//   msgbox-show rich TITLE CAPTION CHARSET SIZE FACE RTL HEIGHT WIDTH LINK TEXT
//
// WRAPPER is generic, error, attention, confirm, confirmok or show (the core
// without a wrapper, STYLE as its flags); STYLE is hexadecimal. TEXT
// starting with "@" names a file whose bytes are the text, for texts in
// another code page. FACE and SIZE go to SetMsgBoxFont with CHARSET. The
// exit code is the box's result (1 or 0 for the confirmations), or 255 for a
// bad command line. The second form shows the rich-edit box (RTL 1 for right
// to left) and ends with 1 when it returns true, else 0. TARNIX_SYSTEM_FOLDER
// in the environment names a folder that stands in for the system folder, so
// that a test can offer the boxes a broken rich-edit library.
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "Utils/StrUtils.h"
#include "Utils/SystemLibrary.h"
#include "package/LanguageDefaults.h"
#include "ui/MsgBox.h"
#include "ui/RichEditBox.h"

namespace {

std::string TextArgument(const std::string& argument) {
  if (argument.empty() || argument[0] != '@') return argument;
  std::ifstream in(argument.substr(1), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int ShowRich(char** argv) {
  using namespace tarnix;
  const int charset = static_cast<int>(StrToInt64Def(argv[4], 0));
  const int size = static_cast<int>(StrToInt64Def(argv[5], 0));
  const bool rightToLeft = std::string(argv[7]) == "1";
  const int height = static_cast<int>(StrToInt64Def(argv[8], 0));
  const int width = static_cast<int>(StrToInt64Def(argv[9], 0));
  return ShowRichEditBox(nullptr, argv[2], argv[3], charset, size, argv[6], rightToLeft, height, width, argv[10],
                         TextArgument(argv[11]))
             ? 1
             : 0;
}

int Run(int argc, char** argv) {
  using namespace tarnix;
  if (const char* folder = std::getenv("TARNIX_SYSTEM_FOLDER")) SetSystemLibraryFolder(folder);
  if (argc == 12 && std::string(argv[1]) == "rich") return ShowRich(argv);
  if (argc < 8) return 255;
  const std::string wrapper = argv[1];
  const intptr_t mode = static_cast<intptr_t>(StrToInt64Def(argv[2], 1));
  const int charset = static_cast<int>(StrToInt64Def(argv[3], 0));
  const int timeoutMs = static_cast<int>(StrToInt64Def(argv[4], 0));
  const uint32_t style = static_cast<uint32_t>(StrToIntBase(argv[5], 16, 0));
  const std::string title = argv[6];
  const std::string text = TextArgument(argv[7]);
  std::string captions = argc > 8 ? argv[8] : "";
  // The wrappers fall back on the English captions themselves; the core
  // shows what it is given.
  if (wrapper == "show" && captions.empty()) captions = DefaultLanguageText("BtnText");
  if (argc > 10) SetMsgBoxFont(argv[9], static_cast<int>(StrToInt64Def(argv[10], 0)), charset);

  if (wrapper == "generic") return MsgBoxGeneric(mode, text, title, timeoutMs, style, charset, captions);
  if (wrapper == "show") return ShowMsgBox(nullptr, text, title, timeoutMs, style, captions);
  if (wrapper == "confirm") return MsgBoxConfirm(mode, text, title, timeoutMs, charset, captions) ? 1 : 0;
  if (wrapper == "confirmok") return MsgBoxConfirmOk(mode, text, title, charset, captions) ? 1 : 0;
  if (wrapper == "error") {
    MsgBoxError(mode, text, title, charset, captions);
    return 0;
  }
  if (wrapper == "attention") {
    MsgBoxAttention(mode, text, title, timeoutMs, charset, captions);
    return 0;
  }
  return 255;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return Run(__argc, __argv); }
