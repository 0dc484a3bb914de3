#include "WindowTestFixture.h"
#include "ui/MessageBoxes.h"
#include "ui/SFOptDlg.h"
#include "ui/SFToDirDlg.h"

#include <imm.h>

#include <set>

// The program's import slots for the monitor queries, through which a test puts a second monitor in.
extern "C" decltype(&MonitorFromWindow) __imp_MonitorFromWindow;
extern "C" decltype(&GetMonitorInfoW) __imp_GetMonitorInfoW;

// The windows on a desktop as their users set it up: a second monitor, larger text, a contrast
// theme, a Japanese input method.
namespace sf {
namespace {

using testing::ImportReplaced;
using testing::WindowAnswerer;

// A second monitor, 1280 x 1024, right of the display the tests run on, with the taskbar along its
// bottom: it holds every window whose centre lies right of the display.
const auto kSecondMonitor = reinterpret_cast<HMONITOR>(0x5EC0);
RECT SecondWorkArea() {
  const int left = GetSystemMetrics(SM_CXSCREEN);
  return {left, 0, left + 1280, 1024 - 40};
}
decltype(&MonitorFromWindow) systemMonitorFromWindow;
decltype(&GetMonitorInfoW) systemGetMonitorInfo;

HMONITOR WINAPI MonitorOnTwoScreens(HWND window, DWORD flags) {
  RECT frame;
  if (GetWindowRect(window, &frame) && (frame.left + frame.right) / 2 >= GetSystemMetrics(SM_CXSCREEN))
    return kSecondMonitor;
  return systemMonitorFromWindow(window, flags);
}

BOOL WINAPI MonitorInfoOnTwoScreens(HMONITOR monitor, MONITORINFO *info) {
  if (monitor != kSecondMonitor)
    return systemGetMonitorInfo(monitor, info);
  info->rcWork = SecondWorkArea();
  info->rcMonitor = {info->rcWork.left, 0, info->rcWork.right, 1024};
  info->dwFlags = 0;
  return TRUE;
}

class DesktopTest : public testing::WindowTest {
protected:
  // Where `window` lies, as shown to the answering thread.
  static POINT CentreOf(HWND window) {
    RECT frame;
    GetWindowRect(window, &frame);
    return {(frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2};
  }
};

TEST_F(DesktopTest, DialogsAndBoxesOpenOnTheWorkAreaOfTheMainWindowsMonitor) {
  systemMonitorFromWindow = __imp_MonitorFromWindow;
  systemGetMonitorInfo = __imp_GetMonitorInfoW;
  const ImportReplaced monitorFromWindow(__imp_MonitorFromWindow, &MonitorOnTwoScreens);
  const ImportReplaced monitorInfo(__imp_GetMonitorInfoW, &MonitorInfoOnTwoScreens);
  const RECT work = SecondWorkArea();
  const POINT centre{(work.left + work.right) / 2, (work.top + work.bottom) / 2};
  const auto expectCentred = [&](const POINT &at, const char *what) {
    EXPECT_NEAR(at.x, centre.x, 1) << what;
    EXPECT_NEAR(at.y, centre.y, 1) << what;
  };
  const HWND main = Main().Handle();
  SetWindowPos(main, nullptr, work.left + 100, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(main, SW_SHOW);
  POINT options{}, picker{}, about{}, box{};
  {
    // The picker over the options dialog, its owner in sight.
    WindowAnswerer cancel("SFOptionDlg", IDCANCEL, [&](HWND dialog) {
      options = CentreOf(dialog);
      PostMessageW(dialog, WM_COMMAND, layouts::kRefButton, 0);
      HWND shown = nullptr;
      testing::WaitUntil([&] { return (shown = FindWindowA("ToDirDlg", nullptr)) && IsWindowVisible(shown); });
      picker = CentreOf(shown);
      PostMessageW(shown, WM_COMMAND, IDCANCEL, 0);
      testing::WaitUntil([&] { return !IsWindowVisible(shown); });
    });
    Command(layouts::kMenuOptions);
  }
  expectCentred(options, "options");
  expectCentred(picker, "picker");
  // The main window minimised or hidden: the windows and boxes still open where it was.
  ShowWindow(main, SW_HIDE);
  {
    WindowAnswerer ok("SFAbout", IDOK, [&](HWND shown) { about = CentreOf(shown); });
    Main().About().ShowModal();
  }
  {
    WindowAnswerer ok("#32770", IDOK, [&](HWND shown) { box = CentreOf(shown); });
    ui::ShowError("表示", nullptr);
  }
  expectCentred(about, "about");
  expectCentred(box, "box without an owner");
}

TEST_F(DesktopTest, TheMainWindowGrowsToHoldItsControlsWhenItsMenuBarWraps) {
  const HWND main = Main().Handle();
  ShowWindow(main, SW_SHOWNA);
  // Narrower than its four menu titles, which then take two lines, as larger text makes them.
  RECT frame, client;
  GetWindowRect(main, &frame);
  GetClientRect(main, &client);
  const int frameWidth = frame.right - frame.left - client.right;
  SetWindowPos(main, nullptr, 0, 0, frameWidth + ui::ScaleForDpi(270, ui::DpiOf(main)), frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  MENUBARINFO bar{};
  bar.cbSize = sizeof bar;
  ASSERT_TRUE(GetMenuBarInfo(main, OBJID_MENU, 0, &bar));
  ASSERT_GT(bar.rcBar.bottom - bar.rcBar.top, GetSystemMetricsForDpi(SM_CYMENU, ui::DpiOf(main)) + 2) << "wrapped";

  SendMessageW(main, WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS, 0);
  GetClientRect(main, &client);
  for (const auto &control : layouts::kMain.controls) {
    SCOPED_TRACE(control.name);
    const RECT at = testing::RectInParent(MainControl(control.id));
    EXPECT_LE(at.right, client.right);
    EXPECT_LE(at.bottom, client.bottom);
  }
}

TEST_F(DesktopTest, NewSystemColoursReachTheProgressBarAndTheFolderTree) {
  std::set<HWND> told;
  const testing::SentMessageSpy spy([&](const CWPSTRUCT &sent) {
    if (sent.message == WM_SYSCOLORCHANGE)
      told.insert(sent.hwnd);
  });
  // As the system tells every top-level window.
  for (const ui::TWindow *window :
       {static_cast<ui::TWindow *>(&Main().CopyingForm()), static_cast<ui::TWindow *>(&Main().OptionDlg().ToDirDlg())})
    SendMessageW(window->Handle(), WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_EQ(told.count(Main().CopyingForm().Control(layouts::kCopyProgress)), 1u);
  EXPECT_EQ(told.count(Main().OptionDlg().ToDirDlg().Control(layouts::kFolderTree)), 1u);
}

TEST_F(DesktopTest, TheProgressWindowAndItsButtonTakeNoInputMethod) {
  const auto takesInputMethod = [](HWND window) {
    const HIMC context = ImmGetContext(window);
    if (context)
      ImmReleaseContext(window, context);
    return context != nullptr;
  };
  EXPECT_TRUE(takesInputMethod(Main().OptionDlg().Control(layouts::kToDirEdit))) << "where text is typed";
  EXPECT_FALSE(takesInputMethod(Main().CopyingForm().Handle()));
  EXPECT_FALSE(takesInputMethod(Main().CopyingForm().Control(layouts::kCancelRunButton)));
}

} // namespace
} // namespace sf
