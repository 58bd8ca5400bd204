// The window helpers: texts and owners of windows, placement in the work
// area, point sizes, the controller notification, procedures looked up at
// run time, the shell, and the AutoPlay cancel message.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "ProcessTestSupport.h"
#include "Utils/DateUtils.h"
#include "Utils/MessagePump.h"
#include "Utils/ProcessUtils.h"
#include "Utils/UniqueResource.h"
#include "Utils/WindowUtils.h"

namespace tarnix {
namespace {

constexpr char kClassName[] = "TarnixWindowUtilsTest";

class WindowUtilsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = kClassName;
    ::RegisterClassA(&wc);
  }

  static UniqueWindow Create(const char* title, HWND owner) {
    return UniqueWindow(::CreateWindowExA(0, kClassName, title, WS_POPUP, 0, 0, 10, 10, owner, nullptr,
                                          ::GetModuleHandleA(nullptr), nullptr));
  }
};

TEST_F(WindowUtilsTest, TextsAndOwnersOfWindows) {
  const std::string longTitle(5000, 't');
  UniqueWindow top = Create(longTitle.c_str(), nullptr);
  UniqueWindow middle = Create("middle", top.get());
  UniqueWindow bottom = Create("", middle.get());
  ASSERT_TRUE(top && middle && bottom);

  EXPECT_EQ(GetWindowClassText(top.get()), kClassName);
  EXPECT_EQ(GetWindowTitleText(top.get()), longTitle);
  EXPECT_EQ(GetWindowTitleText(middle.get()), "middle");
  EXPECT_EQ(GetWindowTitleText(bottom.get()), "");
  EXPECT_EQ(GetWindowClassText(nullptr), "");
  EXPECT_EQ(GetWindowTitleText(nullptr), "");

  EXPECT_EQ(GetRootOwner(bottom.get()), top.get());
  EXPECT_EQ(GetRootOwner(middle.get()), top.get());
  EXPECT_EQ(GetRootOwner(top.get()), top.get());
  EXPECT_EQ(GetRootOwner(nullptr), nullptr);
}

TEST_F(WindowUtilsTest, PlacementAndPointSizes) {
  RECT area{};
  ASSERT_TRUE(::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0));
  struct Case {
    int width, height;
  } cases[] = {{492, 110}, {101, 51}, {5000, 4000}};
  for (const Case& c : cases) {
    int x = -1, y = -1;
    CenterInWorkArea(c.width, c.height, x, y);
    EXPECT_EQ(x, area.left + (area.right - area.left - c.width) / 2) << c.width;
    EXPECT_EQ(y, area.top + (area.bottom - area.top - c.height) / 2) << c.height;
  }

  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  EXPECT_EQ(ScreenDpiY(), dpi);
  EXPECT_EQ(PointsToPixels(72), dpi);
  EXPECT_EQ(PointsToPixels(8), ::MulDiv(8, dpi, 72));
  EXPECT_EQ(PointsToPixels(0), 0);
}

TEST_F(WindowUtilsTest, NotificationsGoOnlyToARegisteredController) {
  UniqueWindow controller = Create("controller", nullptr);
  ASSERT_TRUE(controller);
  constexpr UINT kNotify = WM_APP + 77;
  MSG msg;

  PostNotify(41, 1);
  EXPECT_FALSE(::PeekMessageA(&msg, controller.get(), 0, 0, PM_REMOVE));

  SetNotifyTarget(controller.get(), kNotify);
  PostNotify(42, 2);
  ASSERT_TRUE(::PeekMessageA(&msg, controller.get(), kNotify, kNotify, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 42u);
  EXPECT_EQ(msg.lParam, 2);

  SetNotifyTarget(nullptr, 0);
  PostNotify(43, 0);
  EXPECT_FALSE(::PeekMessageA(&msg, controller.get(), 0, 0, PM_REMOVE));
}

TEST_F(WindowUtilsTest, ProceduresAreLookedUpAtRunTime) {
  EXPECT_EQ(LoadProc("kernel32.dll", "GetTickCount"), ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetTickCount"));
  EXPECT_EQ(LoadProc("kernel32.dll", "NoSuchProcedureAnywhere"), nullptr);
  EXPECT_EQ(LoadProc("no-such-library.dll", "GetTickCount"), nullptr);

  HMODULE module = nullptr;
  EXPECT_NE(LoadProc("version.dll", "GetFileVersionInfoSizeA", module), nullptr);
  ASSERT_NE(module, nullptr);
  UniqueModule owned(module);
  EXPECT_EQ(LoadProc("no-such-library.dll", "X", module), nullptr);
  EXPECT_EQ(module, nullptr);
}

TEST_F(WindowUtilsTest, AutoPlayCancelMessageWhileOn) {
  EXPECT_EQ(AutoPlayCancelMessage(), 0);
  SetAutoPlayCancel(true);
  EXPECT_NE(AutoPlayCancelMessage(), 0);
  EXPECT_EQ(AutoPlayCancelMessage(), ::RegisterWindowMessageA("QueryCancelAutoPlay"));
  SetAutoPlayCancel(false);
  EXPECT_EQ(AutoPlayCancelMessage(), 0);
}

TEST_F(WindowUtilsTest, ShellOpenStartsAProgram) {
  test::ChildFolder folder;
  ASSERT_TRUE(folder.HasChild()) << "TARNIX_TEST_CHILD_EXE is not set";
  const std::string name = "tarnix_shell.exe";
  const std::string exe = folder.Copy(name);
  ASSERT_TRUE(ShellOpen(exe, "sleep 30000", SW_HIDE));
  uint32_t pid = 0;
  for (int64_t start = NowMs(); pid == 0 && NowMs() - start < 10000; DelayPump(0, 50))
    pid = FindPidByToolhelp(name, false, false);
  ASSERT_NE(pid, 0u);
  UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
  ASSERT_TRUE(process);
  ::TerminateProcess(process.get(), 1);
  ::WaitForSingleObject(process.get(), 10000);

  EXPECT_FALSE(ShellOpen(folder.Path("missing.exe"), "", SW_HIDE));
}

}  // namespace
}  // namespace tarnix
