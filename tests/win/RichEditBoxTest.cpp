// The rich-edit box under Wine. Each box runs on a thread of its own, or in
// the show program's process, and the test looks at it and answers it
// through the box driver.
#include <windows.h>

#include <richedit.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <future>
#include <string>

#include "DebugTestSupport.h"
#include "Utils/StrUtils.h"
#include "Utils/UniqueResource.h"
#include "Utils/WindowUtils.h"
#include "ui/RichEditBox.h"
#include "ui/RichEditBoxLayout.h"
#include "win/support/MsgBoxDriver.h"
#include "win/support/ShowProgram.h"

namespace tarnix {
namespace {

using test::MsgBoxDriver;

constexpr uint32_t kWaitMs = 10000;

struct BoxArgs {
  std::string title = "New Version";
  std::string caption = "Download";
  int charset = 0;
  int fontSize = 8;
  std::string face = "Tahoma";
  bool rightToLeft = false;
  int height = 360;
  int width = 360;
  std::string link;
  std::string text;
  HWND owner = nullptr;
};

bool Show(const BoxArgs& a) {
  return ShowRichEditBox(a.owner, a.title, a.caption, a.charset, a.fontSize, a.face, a.rightToLeft, a.height, a.width,
                         a.link, a.text);
}

std::optional<MsgBoxDriver> FindBox(DWORD pid, uint32_t timeoutMs) {
  return MsgBoxDriver::WaitFor(pid, timeoutMs, kRichEditBoxClassName);
}

// A box shown on a thread of its own. Whatever the test does, no box
// outlives it.
class BoxThread {
 public:
  explicit BoxThread(std::function<bool()> show) : result_(std::async(std::launch::async, std::move(show))) {}
  ~BoxThread() {
    while (result_.valid() && result_.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
      if (auto box = FindBox(::GetCurrentProcessId(), 0)) ::PostMessageA(box->Window(), WM_CLOSE, 0, 0);
    }
  }

  MsgBoxDriver Box() {
    auto box = FindBox(::GetCurrentProcessId(), kWaitMs);
    if (!box) ADD_FAILURE() << "no box appeared";
    return box ? *box : MsgBoxDriver(nullptr);
  }

  // 1 for true, 0 for false, -1 when the box did not end in time.
  int Result() {
    if (result_.wait_for(std::chrono::milliseconds(kWaitMs)) != std::future_status::ready) {
      ADD_FAILURE() << "the box did not end";
      return -1;
    }
    return result_.get() ? 1 : 0;
  }

 private:
  std::future<bool> result_;
};

BOOL CALLBACK CountBox(HWND window, LPARAM count) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  char name[64] = {};
  ::GetClassNameA(window, name, sizeof(name));
  if (pid == ::GetCurrentProcessId() && std::string(name) == kRichEditBoxClassName) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

int CountBoxes() {
  int count = 0;
  ::EnumWindows(CountBox, reinterpret_cast<LPARAM>(&count));
  return count;
}

bool ClassRegistered() {
  WNDCLASSA wc = {};
  return ::GetClassInfoA(::GetModuleHandleA(nullptr), kRichEditBoxClassName, &wc) != FALSE;
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  ::GetClassNameA(window, name, sizeof(name));
  return name;
}

PixelRect PlaceIn(HWND window, HWND parent) {
  RECT r;
  ::GetWindowRect(window, &r);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

RECT ClientOf(HWND window) {
  RECT client = {};
  ::GetClientRect(window, &client);
  return client;
}

HWND FocusOfThread(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof(info);
  ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info);
  return info.hwndFocus;
}

LONG StyleOf(HWND window) { return ::GetWindowLongA(window, GWL_STYLE); }
LONG ExStyleOf(HWND window) { return ::GetWindowLongA(window, GWL_EXSTYLE); }

// Text and button where the layout puts them in the box's client area now.
void ExpectLayout(const MsgBoxDriver& box, bool hasLink) {
  const RECT client = ClientOf(box.Window());
  EXPECT_EQ(PlaceIn(box.TextControl(), box.Window()), RichEditTextPlace(client.right, client.bottom, hasLink));
  const auto buttons = box.Buttons();
  ASSERT_EQ(buttons.size(), hasLink ? 1u : 0u);
  if (hasLink) {
    EXPECT_EQ(PlaceIn(buttons[0], box.Window()), RichEditButtonPlace(client.right, client.bottom));
  }
}

// The colours the box paints around its controls: the text's margin, and
// with a link the separator line and the strip under it.
void ExpectPainted(const MsgBoxDriver& box, bool hasLink) {
  ::UpdateWindow(box.Window());
  ::SendMessageA(box.Window(), WM_NULL, 0, 0);
  const RECT client = ClientOf(box.Window());
  const int lineTop = client.bottom - kRichEditStripHeight;
  const HDC dc = ::GetDC(box.Window());
  EXPECT_EQ(::GetPixel(dc, 1, 5), ::GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(::GetPixel(dc, 1, lineTop), ::GetSysColor(hasLink ? COLOR_3DDKSHADOW : COLOR_WINDOW));
  EXPECT_EQ(::GetPixel(dc, 5, client.bottom - 2), ::GetSysColor(hasLink ? COLOR_BTNFACE : COLOR_WINDOW));
  EXPECT_EQ(::GetPixel(dc, 5, lineTop + 1), ::GetSysColor(hasLink ? COLOR_BTNFACE : COLOR_WINDOW));
  ::ReleaseDC(box.Window(), dc);
}

// A text that would turn into something else if read as rich text or as
// the other box's markup.
constexpr char kNews[] = "{\\rtf1 \\b Version 2\\b0}\r\n<B>Faster</B> downloads<P>and more.\r\nSee the page.";

TEST(RichEditBoxTest, ShowsTheTextAsItStandsWithTheLinkButtonUnderIt) {
  std::atomic<HWND> owner{nullptr};
  BoxThread thread([&] {
    UniqueWindow window(::CreateWindowExA(0, "STATIC", "Owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                          ::GetModuleHandleA(nullptr), nullptr));
    owner = window.get();
    BoxArgs args;
    args.owner = window.get();
    args.width = 500;
    args.height = 400;
    args.link = "  http://example.invalid/news  ";
    args.text = kNews;
    return Show(args);
  });
  const MsgBoxDriver box = thread.Box();
  ASSERT_TRUE(box.Window());
  EXPECT_EQ(box.Title(), "New Version");
  EXPECT_EQ(::GetWindow(box.Window(), GW_OWNER), owner.load());
  const LONG boxStyle = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
  EXPECT_EQ(StyleOf(box.Window()) & boxStyle, boxStyle);
  EXPECT_TRUE(ExStyleOf(box.Window()) & WS_EX_DLGMODALFRAME);
  EXPECT_FALSE(ExStyleOf(box.Window()) & WS_EX_TOPMOST);

  RECT outer;
  ::GetWindowRect(box.Window(), &outer);
  EXPECT_EQ(outer.right - outer.left, 500);
  EXPECT_EQ(outer.bottom - outer.top, 400);
  EXPECT_EQ(outer.left, (::GetSystemMetrics(SM_CXSCREEN) - 500) / 2);
  EXPECT_EQ(outer.top, (::GetSystemMetrics(SM_CYSCREEN) - 400) / 2);

  const HWND text = box.TextControl();
  ASSERT_TRUE(text);
  EXPECT_TRUE(SameText(ClassOf(text), "RICHEDIT")) << ClassOf(text);
  // The scroll bar comes and goes with the text's length.
  const LONG textStyle = WS_CHILD | WS_VISIBLE | ES_WANTRETURN | ES_READONLY | ES_MULTILINE;
  EXPECT_EQ(StyleOf(text) & textStyle, textStyle);
  EXPECT_FALSE(StyleOf(text) & ES_RIGHT);
  EXPECT_EQ(box.Text(), kNews);

  const auto buttons = box.Buttons();
  ASSERT_EQ(buttons.size(), 1u);
  EXPECT_EQ(box.ButtonCaptions(), std::vector<std::string>{"Download"});
  EXPECT_EQ(::GetWindowLongPtrA(buttons[0], GWLP_USERDATA), 1);
  EXPECT_EQ(StyleOf(buttons[0]) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  EXPECT_EQ(FocusOfThread(box.Window()), buttons[0]);
  ExpectLayout(box, true);
  ExpectPainted(box, true);

  // Dragging the frame lays the box out again.
  struct Size {
    const char* name;
    int width, height;
  } sizes[] = {{"larger", 700, 520}, {"smaller", 300, 200}};
  for (const Size& s : sizes) {
    SCOPED_TRACE(s.name);
    ASSERT_TRUE(::SetWindowPos(box.Window(), nullptr, 0, 0, s.width, s.height, SWP_NOMOVE | SWP_NOZORDER));
    ::SendMessageA(box.Window(), WM_NULL, 0, 0);
    ::GetWindowRect(box.Window(), &outer);
    EXPECT_EQ(outer.right - outer.left, s.width);
    ExpectLayout(box, true);
    ExpectPainted(box, true);
  }

  ::PostMessageA(box.Window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(thread.Result(), 1);
  EXPECT_FALSE(ClassRegistered());
}

TEST(RichEditBoxTest, WithoutALinkTheTextFillsTheBox) {
  BoxThread thread([] {
    BoxArgs args;
    args.link = " \t ";
    args.text = "Only news, no page.";
    return Show(args);
  });
  const MsgBoxDriver box = thread.Box();
  ASSERT_TRUE(box.Window());
  EXPECT_EQ(box.Text(), "Only news, no page.");
  ExpectLayout(box, false);
  // The keyboard scrolls the text.
  EXPECT_EQ(FocusOfThread(box.Window()), box.TextControl());
  ExpectPainted(box, false);
  ASSERT_TRUE(::SetWindowPos(box.Window(), nullptr, 0, 0, 450, 250, SWP_NOMOVE | SWP_NOZORDER));
  ::SendMessageA(box.Window(), WM_NULL, 0, 0);
  ExpectLayout(box, false);
  ::PostMessageA(box.Window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(thread.Result(), 1);
}

TEST(RichEditBoxTest, TextIsInVerdanaUnlessAnotherFaceIsGiven) {
  struct Case {
    const char* name;
    const char* face;
    int charset;
    int fontSize;
    const char* textFace;
  } cases[] = {
      {"usual face", "Tahoma", 0, 8, "Verdana"},
      {"no face", "", 238, 10, "Verdana"},
      {"own face", "Courier New", 204, 12, "Courier New"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BoxThread thread([&] {
      BoxArgs args;
      args.face = c.face;
      args.charset = c.charset;
      args.fontSize = c.fontSize;
      args.link = "http://example.invalid/";
      args.text = "Text";
      return Show(args);
    });
    const MsgBoxDriver box = thread.Box();
    ASSERT_TRUE(box.Window());

    CHARFORMATA format = {};
    format.cbSize = sizeof(format);
    ::SendMessageA(box.TextControl(), EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    EXPECT_STREQ(format.szFaceName, c.textFace);
    EXPECT_EQ(format.bCharSet, c.charset);

    // The button keeps the face and size of the other boxes.
    LOGFONTA button = {};
    const auto font = reinterpret_cast<HGDIOBJ>(::SendMessageA(box.Buttons().at(0), WM_GETFONT, 0, 0));
    ASSERT_TRUE(font);
    ASSERT_TRUE(::GetObjectA(font, sizeof(button), &button));
    EXPECT_STREQ(button.lfFaceName, c.face);
    EXPECT_EQ(button.lfHeight, -PointsToPixels(c.fontSize));
    EXPECT_EQ(button.lfCharSet, c.charset);
    EXPECT_EQ(button.lfPitchAndFamily & 0xF0, FF_SWISS);

    ::PostMessageA(box.Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(thread.Result(), 1);
  }
}

TEST(RichEditBoxTest, RightToLeftAlignsAndReadsFromTheRight) {
  for (const bool rtl : {true, false}) {
    BoxThread thread([rtl] {
      BoxArgs args;
      args.rightToLeft = rtl;
      args.text = "Text";
      return Show(args);
    });
    const MsgBoxDriver box = thread.Box();
    ASSERT_TRUE(box.Window());
    EXPECT_EQ((StyleOf(box.TextControl()) & ES_RIGHT) != 0, rtl) << rtl;
    EXPECT_EQ((ExStyleOf(box.TextControl()) & WS_EX_RTLREADING) != 0, rtl) << rtl;
    ::PostMessageA(box.Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(thread.Result(), 1);
  }
}

// A stand-in for the browser: the link is a batch file that leaves a file
// behind when the shell opens it.
class OpenedLink {
 public:
  OpenedLink() {
    std::ofstream(script_) << "@echo opened>\"" << record_ << "\"\r\n";
  }
  const std::string& Script() const { return script_; }
  bool WaitOpened() const {
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < kWaitMs; ::Sleep(50))
      if (::GetFileAttributesA(record_.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    return false;
  }
  bool Opened() const { return ::GetFileAttributesA(record_.c_str()) != INVALID_FILE_ATTRIBUTES; }

 private:
  test::ScratchDir dir_;
  std::string script_ = dir_ / "open page.bat";
  std::string record_ = dir_ / "opened.txt";
};

TEST(RichEditBoxTest, ResultTellsWhetherTheUserWasInformed) {
  enum Answer { kNone, kPressButton, kClose };
  struct Case {
    const char* name;
    bool scriptLink;
    const char* link;
    const char* text;
    Answer answer;
    bool opened;
    DWORD exitCode;
  } cases[] = {
      {"button opens the link and closes the box", true, "", "News", kPressButton, true, 1},
      {"closed without the button", true, "", "News", kClose, false, 1},
      {"text without a link", false, "", "News", kClose, false, 1},
      {"no text opens the link at once", true, "", "", kNone, true, 1},
      {"no text and a link that cannot be opened", false, "Z:\\no\\such\\page.bat", "", kNone, false, 0},
      {"no text and a blank link", false, "   ", "", kNone, false, 0},
      {"nothing", false, "", "", kNone, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const OpenedLink page;
    // Blanks around the link are not part of it.
    const std::string link = c.scriptLink ? "  " + page.Script() + " " : c.link;
    const test::ShownProcess shown = test::StartShowProgram(
        "rich Title Open 0 8 Tahoma 0 300 400 " + Quote(link) + " " + Quote(c.text));
    ASSERT_TRUE(shown.process);
    if (c.answer != kNone) {
      const auto box = FindBox(shown.pid, kWaitMs);
      ASSERT_TRUE(box);
      if (c.answer == kPressButton)
        EXPECT_TRUE(box->PressButton("Open"));
      else
        ::PostMessageA(box->Window(), WM_CLOSE, 0, 0);
      EXPECT_TRUE(box->WaitUntilClosed(kWaitMs));
    }
    // Without text nothing waits for the user: the program ends by itself.
    EXPECT_EQ(test::ExitCodeOf(shown), c.exitCode);
    EXPECT_EQ(c.opened ? page.WaitOpened() : page.Opened(), c.opened);
  }
}

TEST(RichEditBoxTest, OnlyOneBoxAtATime) {
  BoxThread thread([] {
    BoxArgs args;
    args.text = "First";
    return Show(args);
  });
  const MsgBoxDriver box = thread.Box();
  ASSERT_TRUE(box.Window());
  BoxArgs second;
  second.text = "Second";
  EXPECT_FALSE(Show(second));
  EXPECT_EQ(CountBoxes(), 1);
  EXPECT_EQ(box.Text(), "First");
  ExpectLayout(box, false);
  ::PostMessageA(box.Window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(thread.Result(), 1);
  EXPECT_FALSE(ClassRegistered());
}

TEST(RichEditBoxTest, BoxThatCannotBeCreatedLeavesNothingBehind) {
  // An owner that is no window makes the box's creation fail.
  BoxArgs args;
  args.owner = reinterpret_cast<HWND>(static_cast<intptr_t>(0x7FFF0));
  args.text = "News";
  EXPECT_FALSE(Show(args));
  EXPECT_FALSE(ClassRegistered());
  EXPECT_EQ(CountBoxes(), 0);

  // And the next box comes up as usual.
  BoxThread thread([] {
    BoxArgs next;
    next.text = "Next";
    return Show(next);
  });
  const MsgBoxDriver box = thread.Box();
  ASSERT_TRUE(box.Window());
  EXPECT_EQ(box.Text(), "Next");
  ::PostMessageA(box.Window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(thread.Result(), 1);
}

TEST(RichEditBoxTest, QuitRequestDuringTheBoxIsKeptForTheCaller) {
  BoxThread thread([] {
    BoxArgs args;
    args.text = "Quit?";
    const bool shown = Show(args);
    MSG msg;
    return shown && ::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && msg.wParam == 42;
  });
  const MsgBoxDriver box = thread.Box();
  ASSERT_TRUE(box.Window());
  ASSERT_TRUE(::PostThreadMessageA(::GetWindowThreadProcessId(box.Window(), nullptr), WM_QUIT, 42, 0));
  ::Sleep(200);
  EXPECT_TRUE(::IsWindowVisible(box.Window()));
  ::PostMessageA(box.Window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(thread.Result(), 1);
}

TEST(RichEditBoxTest, HugeTextIsCutAtItsBound) {
  // Lines that end exactly at the bound, so that the cut leaves whole ones.
  const std::string line = "news text news text news text news text news text news text ok\r\n";
  ASSERT_EQ(kRichEditMaxText % line.size(), 0u);
  std::string huge;
  while (huge.size() < kRichEditMaxText + 16 * 1024) huge += line;
  const auto start = std::chrono::steady_clock::now();
  BoxThread thread([&] {
    BoxArgs args;
    args.link = "http://example.invalid/";
    args.text = huge;
    return Show(args);
  });
  const MsgBoxDriver box = thread.Box();
  ASSERT_TRUE(box.Window());
  std::printf("box with %zu bytes of text up after %lld ms\n", kRichEditMaxText,
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now() - start)
                                         .count()));
  EXPECT_TRUE(box.Text() == huge.substr(0, kRichEditMaxText));
  EXPECT_TRUE(StyleOf(box.TextControl()) & WS_VSCROLL);
  ::PostMessageA(box.Window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(thread.Result(), 1);
}

TEST(RichEditBoxTest, TextStaysReadableWithoutTheRichEditLibrary) {
  const test::ShowProgramWithoutRichEdit norich("richbox-norich.exe");
  const test::ShownProcess shown =
      norich.Start("rich Title Open 0 8 Tahoma 0 300 400 http://example.invalid/ \"Line 1\r\nLine 2\"");
  ASSERT_TRUE(shown.process);
  const auto box = FindBox(shown.pid, kWaitMs);
  ASSERT_TRUE(box);
  EXPECT_TRUE(SameText(ClassOf(box->TextControl()), "Edit")) << ClassOf(box->TextControl());
  EXPECT_EQ(box->Text(), "Line 1\r\nLine 2");
  EXPECT_TRUE(StyleOf(box->TextControl()) & ES_READONLY);
  ExpectLayout(*box, true);
  ::PostMessageA(box->Window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(test::ExitCodeOf(shown), 1u);
}

}  // namespace
}  // namespace tarnix
