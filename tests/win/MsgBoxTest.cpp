// The message box under Wine. Each box runs on a thread of its own, or in a
// process of its own, and the test answers it through the box driver, the
// way the end-to-end tests answer the stub's questions.
#include <windows.h>

#include <richedit.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "Utils/StrUtils.h"
#include "Utils/UniqueResource.h"
#include "package/LanguageDefaults.h"
#include "ui/MsgBox.h"
#include "ui/MsgBoxLayout.h"
#include "win/support/MsgBoxDriver.h"
#include "win/support/ShowProgram.h"

namespace tarnix {
namespace {

using test::ExitCodeOf;
using test::MsgBoxDriver;
using test::ShownProcess;
using test::StartShowProgram;
using Texts = std::vector<std::string>;

constexpr char kEnglish[] = "|&OK|&Cancel|&Yes|&No|&Abort|&Retry|&Ignore|";
constexpr uint32_t kWaitMs = 10000;

BOOL CALLBACK CountBox(HWND window, LPARAM count) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  char name[64] = {};
  ::GetClassNameA(window, name, sizeof(name));
  if (pid == ::GetCurrentProcessId() && std::string(name) == kMsgBoxClassName) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

// Boxes of this process.
int CountBoxes() {
  int count = 0;
  ::EnumWindows(CountBox, reinterpret_cast<LPARAM>(&count));
  return count;
}

// A box shown on a thread of its own. Whatever the test does, no box
// outlives it.
class BoxThread {
 public:
  explicit BoxThread(std::function<int()> show) : result_(std::async(std::launch::async, std::move(show))) {}
  ~BoxThread() {
    while (result_.valid() && result_.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
      if (auto box = MsgBoxDriver::WaitFor(::GetCurrentProcessId(), 0)) ::PostMessageA(box->Window(), WM_CLOSE, 0, 0);
    }
  }

  MsgBoxDriver Box() {
    auto box = MsgBoxDriver::WaitFor(::GetCurrentProcessId(), kWaitMs);
    if (!box) ADD_FAILURE() << "no box appeared";
    return box ? *box : MsgBoxDriver(nullptr);
  }

  // The box's result; -1 when the box did not end in time.
  int Result() {
    if (result_.wait_for(std::chrono::milliseconds(kWaitMs)) != std::future_status::ready) {
      ADD_FAILURE() << "the box did not end";
      return -1;
    }
    return result_.get();
  }

 private:
  std::future<int> result_;
};

std::function<int()> Show(std::string text, uint32_t flags, std::string captions = kEnglish, int timeoutMs = 0) {
  return [=] { return ShowMsgBox(nullptr, text, "Title", timeoutMs, flags, captions); };
}

int ShowAndAnswer(std::function<int()> show, const std::function<void(const MsgBoxDriver&)>& answer) {
  BoxThread thread(std::move(show));
  const MsgBoxDriver box = thread.Box();
  if (box.Window()) answer(box);
  return thread.Result();
}

bool IsBold(HWND rich, int position) {
  CHARRANGE range = {position, position + 1};
  ::SendMessageA(rich, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
  CHARFORMATA format = {};
  format.cbSize = sizeof(format);
  ::SendMessageA(rich, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  return (format.dwMask & CFM_BOLD) && (format.dwEffects & CFE_BOLD);
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  ::GetClassNameA(window, name, sizeof(name));
  return name;
}

RECT ClientRectOf(HWND window, HWND parent) {
  RECT r;
  ::GetWindowRect(window, &r);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

TEST(MsgBoxTest, StyleGivesItsButtonsAndEachButtonItsResult) {
  struct Case {
    uint32_t style;
    Texts captions;
    std::vector<int> results;
  } cases[] = {
      {kMbOk | kMbIconHand, {"&OK"}, {kIdOk}},
      {kMbOkCancel | kMbIconQuestion, {"&OK", "&Cancel"}, {kIdOk, kIdCancel}},
      {kMbAbortRetryIgnore, {"&Abort", "&Retry", "&Ignore"}, {kIdAbort, kIdRetry, kIdIgnore}},
      {kMbYesNoCancel | kMbIconExclamation, {"&Yes", "&No", "&Cancel"}, {kIdYes, kIdNo, kIdCancel}},
      {kMbYesNo | kMbIconAsterisk, {"&Yes", "&No"}, {kIdYes, kIdNo}},
      {kMbRetryCancel, {"&Retry", "&Cancel"}, {kIdRetry, kIdCancel}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "style " << c.style);
    Texts captions;
    std::vector<int> results;
    const int result = ShowAndAnswer(Show("Which one?", c.style), [&](const MsgBoxDriver& box) {
      captions = box.ButtonCaptions();
      // Each button carries the result it gives.
      for (HWND b : box.Buttons()) results.push_back(static_cast<int>(::GetWindowLongPtrA(b, GWLP_USERDATA)));
      EXPECT_TRUE(box.PressButton(static_cast<int>(captions.size()) - 1));
    });
    EXPECT_EQ(captions, c.captions);
    EXPECT_EQ(results, c.results);
    EXPECT_EQ(result, c.results.back());
  }

  // An unknown type has no buttons; only Escape closes it, choosing nothing.
  const int result = ShowAndAnswer(Show("No buttons", 6), [](const MsgBoxDriver& box) {
    EXPECT_TRUE(box.Buttons().empty());
    box.PressKey(VK_ESCAPE);
  });
  EXPECT_EQ(result, 0);
}

TEST(MsgBoxTest, CaptionsComeFromTheListPassedIn) {
  const std::string french = "|OK|Annuler|&Oui|&Non|Abandonner|&Recommencer|&Ignorer|";
  Texts captions;
  // "Annuler" has no "&": its first letter is its key.
  int result = ShowAndAnswer(Show("?", kMbYesNoCancel, french), [&](const MsgBoxDriver& box) {
    captions = box.ButtonCaptions();
    box.PressKey('A');
  });
  EXPECT_EQ(captions, (Texts{"&Oui", "&Non", "Annuler"}));
  EXPECT_EQ(result, kIdCancel);

  result = ShowAndAnswer(Show("?", kMbYesNo, "|&OK|"), [&](const MsgBoxDriver& box) {
    captions = box.ButtonCaptions();
    EXPECT_TRUE(box.PressButton(1));
  });
  EXPECT_EQ(captions, (Texts{"", ""}));
  EXPECT_EQ(result, kIdNo);

  EXPECT_TRUE(MsgBoxDriver(nullptr).ButtonCaptions().empty());
}

TEST(MsgBoxTest, KeysChooseAndMoveBetweenButtons) {
  enum Kind { kKey, kAlt };
  struct Stroke {
    Kind kind;
    int value;
  };
  struct Case {
    const char* name;
    uint32_t style;
    std::vector<Stroke> strokes;
    int result;
  } cases[] = {
      {"letter", kMbYesNo, {{kKey, 'N'}}, kIdNo},
      {"Alt+letter", kMbYesNo, {{kAlt, 'n'}}, kIdNo},
      {"Alt+letter of three", kMbAbortRetryIgnore, {{kAlt, 'r'}}, kIdRetry},
      {"unknown letter does nothing", kMbOkCancel, {{kKey, 'X'}, {kKey, 'C'}}, kIdCancel},
      {"Enter on the default", kMbYesNo, {{kKey, VK_RETURN}}, kIdYes},
      {"Enter on the second default", kMbYesNo | 0x100, {{kKey, VK_RETURN}}, kIdNo},
      {"Left on the first wraps to the last", kMbYesNoCancel, {{kKey, VK_LEFT}, {kKey, VK_RETURN}}, kIdCancel},
      {"Right on the last wraps to the first", kMbYesNoCancel | 0x200, {{kKey, VK_RIGHT}, {kKey, VK_RETURN}}, kIdYes},
      {"Down and Tab move on", kMbAbortRetryIgnore, {{kKey, VK_DOWN}, {kKey, VK_TAB}, {kKey, VK_RETURN}}, kIdIgnore},
      {"Up moves back", kMbAbortRetryIgnore | 0x200, {{kKey, VK_UP}, {kKey, VK_RETURN}}, kIdRetry},
      {"Escape chooses nothing", kMbYesNo, {{kKey, VK_ESCAPE}}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int result = ShowAndAnswer(Show("Press a key", c.style), [&](const MsgBoxDriver& box) {
      for (const Stroke& s : c.strokes) {
        if (c.strokes.size() > 1) ::Sleep(30);
        EXPECT_TRUE(s.kind == kKey ? box.PressKey(static_cast<UINT>(s.value))
                                   : box.PressAltKey(static_cast<char>(s.value)));
      }
    });
    EXPECT_EQ(result, c.result);
  }
}

TEST(MsgBoxTest, TimeOutChoosesTheFirstButton) {
  struct Case {
    uint32_t style;
    int result;
  } cases[] = {{kMbRetryCancel, kIdRetry}, {6, 0}};
  for (const auto& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    BoxThread thread(Show("Waiting", c.style, kEnglish, 300));
    EXPECT_EQ(thread.Result(), c.result) << c.style;
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(280)) << c.style;
  }

  // The confirmation wrapper reads the first button, Yes, as yes.
  BoxThread confirm([] { return MsgBoxConfirm(1, "Continue?", "", 1000, 0, "") ? 1 : 0; });
  EXPECT_EQ(confirm.Box().Title(), "Confirm");
  EXPECT_EQ(confirm.Result(), 1);
}

TEST(MsgBoxTest, MarkupShowsAsPlainTextWithBoldRuns) {
  const std::string prompt = ReplaceAll(DefaultLanguageText("s8"), "<DISK_NUM>", "3");
  ShowAndAnswer(Show(prompt, kMbOkCancel), [](const MsgBoxDriver& box) {
    const HWND rich = box.TextControl();
    ASSERT_TRUE(rich);
    EXPECT_TRUE(SameText(ClassOf(rich), "RICHEDIT")) << ClassOf(rich);
    EXPECT_EQ(box.Text(), "Please insert DISK #3 and press OK to continue");
    EXPECT_FALSE(IsBold(rich, 0));
    EXPECT_TRUE(IsBold(rich, 14));
    EXPECT_TRUE(IsBold(rich, 20));
    EXPECT_FALSE(IsBold(rich, 21));
    box.PressButton("OK");
  });

  ShowAndAnswer(Show("a<p>b<T>c <B>never closed", kMbOk), [](const MsgBoxDriver& box) {
    EXPECT_EQ(box.Text(), "a\r\nb\tc never closed");
    EXPECT_FALSE(IsBold(box.TextControl(), 7));
    box.PressButton(0);
  });
}

TEST(MsgBoxTest, ModeZeroPutsTheTitleInBoldOverTheText) {
  BoxThread error([] {
    MsgBoxError(0, "Bad CRC!", "Error", 0, "");
    return 0;
  });
  MsgBoxDriver box = error.Box();
  EXPECT_EQ(box.Title(), "Error");
  EXPECT_EQ(box.ButtonCaptions(), Texts{"&OK"});
  EXPECT_TRUE(box.Text().starts_with("ERROR\r\n\r\nBad CRC!")) << box.Text();
  EXPECT_TRUE(IsBold(box.TextControl(), 0));
  EXPECT_TRUE(IsBold(box.TextControl(), 4));
  EXPECT_FALSE(IsBold(box.TextControl(), 9));
  box.PressKey(VK_RETURN);
  EXPECT_EQ(error.Result(), 0);

  // A title of the caller's own keeps its case; mode 1 shows no heading.
  struct Case {
    intptr_t mode;
    const char* title;
    const char* start;
  } cases[] = {{0, "Erreur", "Erreur\r\n\r\nBody"}, {1, "Error", "Body"}};
  for (const auto& c : cases) {
    std::string text;
    ShowAndAnswer([&] { return MsgBoxGeneric(c.mode, "Body", c.title, 0, kMbOk, 0, ""); },
                  [&](const MsgBoxDriver& b) {
                    text = b.Text();
                    b.PressButton(0);
                  });
    EXPECT_TRUE(text.starts_with(c.start)) << text;
  }
}

TEST(MsgBoxTest, BoxIsAtLeast360WideWithTextAndButtonsInPlace) {
  ShowAndAnswer(Show("Short.", kMbYesNoCancel), [](const MsgBoxDriver& box) {
    RECT r;
    ::GetWindowRect(box.Window(), &r);
    EXPECT_EQ(r.right - r.left, kMsgBoxMinWidth);
    RECT client;
    ::GetClientRect(box.Window(), &client);
    const std::vector<HWND> buttons = box.Buttons();
    ASSERT_EQ(buttons.size(), 3u);
    for (int i = 0; i < 3; ++i) {
      const RECT b = ClientRectOf(buttons[i], box.Window());
      EXPECT_EQ(b.left, client.right - 220 + 70 * i);
      EXPECT_EQ(b.top, client.bottom - 29);
      EXPECT_EQ(b.right - b.left, kMsgBoxButtonWidth);
    }
    const RECT text = ClientRectOf(box.TextControl(), box.Window());
    EXPECT_GE(text.left, kMsgBoxBandWidth);
    EXPECT_LE(text.bottom, client.bottom - kMsgBoxStripHeight);
    box.PressKey(VK_ESCAPE);
  });

  // Long lines wrap at 600 pixels, so the box grows but stays on screen.
  std::string longText;
  for (int i = 0; i < 40; ++i) longText += "a long line of text ";
  ShowAndAnswer(Show(longText, kMbOk), [](const MsgBoxDriver& box) {
    RECT r;
    ::GetWindowRect(box.Window(), &r);
    EXPECT_GT(r.right - r.left, 600);
    EXPECT_LT(r.right - r.left, 800);
    const RECT text = ClientRectOf(box.TextControl(), box.Window());
    EXPECT_GT(text.bottom - text.top, 40);
    box.PressKey(VK_ESCAPE);
  });
}

TEST(MsgBoxTest, HebrewAndArabicReadRightToLeft) {
  struct Case {
    int charset;
    bool rtl;
  } cases[] = {{kHebrewCharset, true}, {0, false}};
  for (const auto& c : cases) {
    LONG style = 0;
    LONG exStyle = 0;
    ShowAndAnswer([&] { return MsgBoxGeneric(1, "Text", "Title", 0, kMbOk, c.charset, ""); },
                  [&](const MsgBoxDriver& box) {
                    style = ::GetWindowLongA(box.TextControl(), GWL_STYLE);
                    exStyle = ::GetWindowLongA(box.TextControl(), GWL_EXSTYLE);
                    box.PressButton(0);
                  });
    EXPECT_EQ((exStyle & WS_EX_RTLREADING) != 0, c.rtl) << c.charset;
    EXPECT_EQ((style & ES_RIGHT) != 0, c.rtl) << c.charset;
  }
}

TEST(MsgBoxTest, ModeTwoGreysTheCloseCommand) {
  struct Case {
    intptr_t mode;
    bool greyed;
  } cases[] = {{2, true}, {1, false}};
  for (const auto& c : cases) {
    UINT state = 0;
    ShowAndAnswer(
        [&] {
          MsgBoxAttention(c.mode, "Close the program first.", "", 0, 0, "");
          return 0;
        },
        [&](const MsgBoxDriver& box) {
          EXPECT_EQ(box.Title(), "Attention");
          state = ::GetMenuState(::GetSystemMenu(box.Window(), FALSE), SC_CLOSE, MF_BYCOMMAND);
          box.PressButton(0);
        });
    EXPECT_EQ((state & MF_GRAYED) != 0, c.greyed) << c.mode;
  }
}

TEST(MsgBoxTest, ActiveWindowIsDisabledWhileTheBoxIsUpAndOwnsIt) {
  std::atomic<HWND> owner{nullptr};
  std::atomic<bool> enabledAfter{false};
  BoxThread thread([&] {
    UniqueWindow window(::CreateWindowExA(0, "STATIC", "Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                          nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr));
    ::SetActiveWindow(window.get());
    owner = window.get();
    const int result = MsgBoxGeneric(1, "Owned", "Title", 0, kMbOk, 0, "");
    enabledAfter = ::IsWindowEnabled(window.get()) != FALSE;
    return result;
  });
  const MsgBoxDriver box = thread.Box();
  EXPECT_EQ(::GetWindow(box.Window(), GW_OWNER), owner.load());
  EXPECT_FALSE(::IsWindowEnabled(owner.load()));
  box.PressButton(0);
  EXPECT_EQ(thread.Result(), kIdOk);
  EXPECT_TRUE(enabledAfter);

  // A mode above 2 is the owner itself.
  std::atomic<HWND> other{nullptr};
  BoxThread owned([&] {
    UniqueWindow window(::CreateWindowExA(0, "STATIC", "Other", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                          ::GetModuleHandleA(nullptr), nullptr));
    other = window.get();
    return MsgBoxGeneric(reinterpret_cast<intptr_t>(window.get()), "Owned", "Title", 0, kMbOk, 0, "");
  });
  const MsgBoxDriver second = owned.Box();
  EXPECT_EQ(::GetWindow(second.Window(), GW_OWNER), other.load());
  second.PressButton(0);
  EXPECT_EQ(owned.Result(), kIdOk);
}

TEST(MsgBoxTest, QuitRequestDuringTheBoxIsKeptForTheCaller) {
  BoxThread thread([] {
    const int result = ShowMsgBox(nullptr, "Quit?", "Title", 0, kMbOkCancel, kEnglish);
    MSG msg;
    const bool quitKept = ::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && msg.wParam == 42;
    return quitKept ? result : -result;
  });
  const MsgBoxDriver box = thread.Box();
  ASSERT_TRUE(::PostThreadMessageA(::GetWindowThreadProcessId(box.Window(), nullptr), WM_QUIT, 42, 0));
  ::Sleep(200);
  EXPECT_TRUE(::IsWindowVisible(box.Window()));
  box.PressButton("Cancel");
  EXPECT_EQ(thread.Result(), kIdCancel);
}

TEST(MsgBoxTest, OnlyOneBoxAtATime) {
  BoxThread thread(Show("First", kMbOk));
  const MsgBoxDriver box = thread.Box();
  EXPECT_EQ(ShowMsgBox(nullptr, "Second", "Title", 0, kMbOk, kEnglish), 0);
  EXPECT_EQ(CountBoxes(), 1);
  box.PressButton(0);
  EXPECT_EQ(thread.Result(), kIdOk);
}

TEST(MsgBoxTest, DriverAnswersABoxOfAnotherProcess) {
  struct Case {
    bool byKey;
    DWORD exitCode;
  } cases[] = {{false, 0}, {true, 1}};
  for (const auto& c : cases) {
    const ShownProcess shown = StartShowProgram("confirm 0 0 0 0 Confirm \"Continue with Setup?\"");
    ASSERT_TRUE(shown.process);
    const auto box = MsgBoxDriver::WaitFor(shown.pid, kWaitMs);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->Title(), "Confirm");
    EXPECT_EQ(box->Text(), "CONFIRM\r\n\r\nContinue with Setup?\r\n");
    EXPECT_EQ(box->ButtonCaptions(), (Texts{"&Yes", "&No"}));
    if (c.byKey)
      box->PressKey('Y');
    else
      box->PressButton("No");
    EXPECT_TRUE(box->WaitUntilClosed(kWaitMs));
    EXPECT_EQ(ExitCodeOf(shown), c.exitCode);
  }
}

TEST(MsgBoxTest, TextStaysReadableWithoutTheRichEditLibrary) {
  const test::ShowProgramWithoutRichEdit norich("msgbox-norich.exe");
  const ShownProcess shown = norich.Start("show 1 0 0 1 Disk \"Please insert <B>DISK #2</B><P>and press <OK>&more\"");
  ASSERT_TRUE(shown.process);
  const auto box = MsgBoxDriver::WaitFor(shown.pid, kWaitMs);
  ASSERT_TRUE(box);
  EXPECT_TRUE(SameText(ClassOf(box->TextControl()), "Static")) << ClassOf(box->TextControl());
  EXPECT_EQ(box->Text(), "Please insert DISK #2\r\nand press <OK>&more");
  RECT text;
  ::GetWindowRect(box->TextControl(), &text);
  EXPECT_GT(text.bottom - text.top, 20);
  EXPECT_GT(text.right - text.left, 100);
  EXPECT_TRUE(box->PressButton("OK"));
  EXPECT_EQ(ExitCodeOf(shown), static_cast<DWORD>(kIdOk));
}

}  // namespace
}  // namespace tarnix
