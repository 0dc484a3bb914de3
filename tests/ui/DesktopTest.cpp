#include "WindowTestFixture.h"
#include "ui/MessageBoxes.h"
#include "ui/SFOptDlg.h"
#include "ui/SFToDirDlg.h"

#include <imm.h>

#include <algorithm>

// The program's import slots for the monitor queries, through which a test puts a second monitor in.
extern "C" decltype(&MonitorFromWindow) __imp_MonitorFromWindow;
extern "C" decltype(&GetMonitorInfoW) __imp_GetMonitorInfoW;

// The windows on a desktop as their users set it up: a second monitor, larger text, a contrast
// theme, a Japanese input method.
namespace sf {
namespace {

using testing::WindowAnswerer;
using testing::WindowTest;

// A second monitor right of the display, its taskbar along the bottom: it holds every window whose
// centre lies right of the display.
const auto kSecondMonitor = reinterpret_cast<HMONITOR>(0x5EC0);
RECT SecondWorkArea() {
  const int left = GetSystemMetrics(SM_CXSCREEN);
  return {left, 0, left + 1280, 1024 - 40};
}
decltype(&MonitorFromWindow) systemMonitorFromWindow = __imp_MonitorFromWindow;
decltype(&GetMonitorInfoW) systemGetMonitorInfo = __imp_GetMonitorInfoW;

HMONITOR WINAPI MonitorOnTwoScreens(HWND window, DWORD flags) {
  RECT frame;
  GetWindowRect(window, &frame);
  return frame.left + frame.right >= 2 * SecondWorkArea().left ? kSecondMonitor
                                                               : systemMonitorFromWindow(window, flags);
}

BOOL WINAPI MonitorInfoOnTwoScreens(HMONITOR monitor, MONITORINFO *info) {
  if (monitor != kSecondMonitor)
    return systemGetMonitorInfo(monitor, info);
  const RECT work = SecondWorkArea();
  *info = {info->cbSize, {work.left, 0, work.right, 1024}, work, 0};
  return TRUE;
}

POINT CentreOf(HWND window) {
  RECT frame;
  GetWindowRect(window, &frame);
  return {(frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2};
}

TEST_F(WindowTest, DialogsAndBoxesOpenOnTheWorkAreaOfTheMainWindowsMonitor) {
  const testing::ImportReplaced monitorFromWindow(__imp_MonitorFromWindow, &MonitorOnTwoScreens);
  const testing::ImportReplaced monitorInfo(__imp_GetMonitorInfoW, &MonitorInfoOnTwoScreens);
  const RECT work = SecondWorkArea();
  SetWindowPos(Main().Handle(), nullptr, work.left + 100, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(Main().Handle(), SW_SHOW);
  POINT options{}, about{}, box{};
  {
    WindowAnswerer cancel("SFOptionDlg", IDCANCEL, [&](HWND shown) { options = CentreOf(shown); });
    Command(layouts::kMenuOptions);
  }
  // The main window out of sight: where it was all the same.
  ShowWindow(Main().Handle(), SW_HIDE);
  {
    WindowAnswerer ok("SFAbout", IDOK, [&](HWND shown) { about = CentreOf(shown); });
    Main().About().ShowModal();
  }
  {
    WindowAnswerer ok("#32770", IDOK, [&](HWND shown) { box = CentreOf(shown); });
    ui::ShowError("表示", nullptr);
  }
  for (const POINT &at : {options, about, box}) {
    EXPECT_NEAR(at.x, (work.left + work.right) / 2, 1);
    EXPECT_NEAR(at.y, (work.top + work.bottom) / 2, 1);
  }
}

TEST_F(WindowTest, TheMainWindowGrowsToHoldItsControlsWhenLargerTextWrapsItsMenuBar) {
  const HWND main = Main().Handle();
  // Narrower than its four menu titles, which then take two lines, as they do under larger text.
  RECT frame, client;
  GetWindowRect(main, &frame);
  GetClientRect(main, &client);
  SetWindowPos(main, nullptr, 0, 0, frame.right - frame.left - client.right + ui::ScaleForDpi(270, ui::DpiOf(main)),
               frame.bottom - frame.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  MENUBARINFO bar{};
  bar.cbSize = sizeof bar;
  ASSERT_TRUE(GetMenuBarInfo(main, OBJID_MENU, 0, &bar));
  ASSERT_GT(bar.rcBar.bottom - bar.rcBar.top, GetSystemMetricsForDpi(SM_CYMENU, ui::DpiOf(main)) + 2);

  SendMessageW(main, WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS, 0);
  GetClientRect(main, &client);
  for (const auto &control : layouts::kMain.controls)
    EXPECT_LE(testing::RectInParent(MainControl(control.id)).bottom, client.bottom) << control.name;
}

TEST_F(WindowTest, NewSystemColoursReachTheProgressBarAndTheFolderTree) {
  std::vector<HWND> told;
  const testing::SentMessageSpy spy([&](const CWPSTRUCT &sent) {
    if (sent.message == WM_SYSCOLORCHANGE)
      told.push_back(sent.hwnd);
  });
  // As the system tells each top-level window.
  SendMessageW(Main().CopyingForm().Handle(), WM_SYSCOLORCHANGE, 0, 0);
  SendMessageW(Main().OptionDlg().ToDirDlg().Handle(), WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_EQ(std::count(told.begin(), told.end(), Main().CopyingForm().Control(layouts::kCopyProgress)), 1);
  EXPECT_EQ(std::count(told.begin(), told.end(), Main().OptionDlg().ToDirDlg().Control(layouts::kFolderTree)), 1);
}

TEST_F(WindowTest, TheProgressWindowAndItsButtonTakeNoInputMethod) {
  const auto takesInputMethod = [](HWND window) {
    const HIMC context = ImmGetContext(window);
    return context && ImmReleaseContext(window, context);
  };
  EXPECT_TRUE(takesInputMethod(Main().OptionDlg().Control(layouts::kToDirEdit))) << "where text is typed";
  EXPECT_FALSE(takesInputMethod(Main().CopyingForm().Handle()));
  EXPECT_FALSE(takesInputMethod(Main().CopyingForm().Control(layouts::kCancelRunButton)));
}

} // namespace
} // namespace sf
