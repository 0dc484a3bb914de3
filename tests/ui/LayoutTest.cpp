#include "WindowTestFixture.h"
#include "platform/win32/Utf16.h"
#include "ui/SFAboutBox.h"
#include "ui/SFCopyingForm.h"
#include "ui/SFOptDlg.h"
#include "ui/SFToDirDlg.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace sf {
namespace {

using testing::RectInParent;
using testing::WindowTest;
using testing::WindowText;

// The DPI the windows are built at: the prefix's LogPixels, which a second run of these tests
// switches to 144.
UINT ExpectedDpi() {
  const char *dpi = std::getenv("SONGFERRY_TEST_DPI");
  return dpi ? static_cast<UINT>(std::atoi(dpi)) : USER_DEFAULT_SCREEN_DPI;
}

int Scaled(int pixels) { return ui::ScaleForDpi(pixels, ExpectedDpi()); }

// At the display's DPI every control lies inside the window's client area and overlaps no other (but
// for a shared edge line), and Tab, from the first control that takes the focus, reaches each enabled
// one once and comes back.
void ExpectWellLaidOut(const ui::TWindow &window) {
  SCOPED_TRACE(window.Layout().name);
  ASSERT_EQ(GetDpiForWindow(window.Handle()), ExpectedDpi());
  RECT client;
  GetClientRect(window.Handle(), &client);
  std::vector<std::pair<HWND, RECT>> placed;
  std::set<HWND> tabStops;
  const int sharedLine = Scaled(1);
  for (HWND child = GetWindow(window.Handle(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const RECT at = RectInParent(child);
    SCOPED_TRACE(WindowText(child));
    EXPECT_TRUE(at.left >= 0 && at.top >= 0 && at.right <= client.right && at.bottom <= client.bottom);
    for (const auto &[other, otherAt] : placed) {
      // Neighbours may share the line between them: the options dialog stacks its 25-pixel check
      // boxes 24 pixels apart.
      RECT common;
      const bool overlap = IntersectRect(&common, &at, &otherAt) && common.right - common.left > sharedLine &&
                           common.bottom - common.top > sharedLine;
      EXPECT_FALSE(overlap) << "overlaps " << WindowText(other);
    }
    placed.emplace_back(child, at);
    if ((GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP) && IsWindowEnabled(child))
      tabStops.insert(child);
  }
  const HWND first = GetNextDlgTabItem(window.Handle(), nullptr, FALSE);
  std::set<HWND> reached;
  HWND at = first;
  for (std::size_t i = 0; at && i < tabStops.size(); ++i) {
    reached.insert(at);
    at = GetNextDlgTabItem(window.Handle(), at, FALSE);
  }
  EXPECT_EQ(reached, tabStops);
  EXPECT_EQ(at, first);
}

TEST_F(WindowTest, EveryWindowIsWellLaidOutAtTheDisplaysDpi) {
  for (const ui::TWindow *window :
       {static_cast<ui::TWindow *>(&Main()), static_cast<ui::TWindow *>(&Main().CopyingForm()),
        static_cast<ui::TWindow *>(&Main().About()), static_cast<ui::TWindow *>(&Main().OptionDlg()),
        static_cast<ui::TWindow *>(&Main().OptionDlg().ToDirDlg())})
    ExpectWellLaidOut(*window);
  EXPECT_EQ(TreeView_GetIndent(Main().OptionDlg().ToDirDlg().Control(layouts::kFolderTree)),
            static_cast<UINT>(Scaled(19)));
  // The quality list takes part only while converting is on.
  ui::TWindow &options = Main().OptionDlg();
  options.SetChecked(layouts::kConvertCheck, true);
  SendMessageW(options.Handle(), WM_COMMAND, MAKEWPARAM(layouts::kConvertCheck, BN_CLICKED),
               reinterpret_cast<LPARAM>(options.Control(layouts::kConvertCheck)));
  ASSERT_TRUE(IsWindowEnabled(options.Control(layouts::kQualityList)));
  ExpectWellLaidOut(options);
}

TEST_F(WindowTest, TheOptionsDialogsControlsStandWhereItsLayoutPutsThem) {
  const ui::TWindow &options = Main().OptionDlg();
  RECT client;
  GetClientRect(options.Handle(), &client);
  EXPECT_EQ(client.right, Scaled(layouts::kOption.width));
  EXPECT_EQ(client.bottom, Scaled(layouts::kOption.height));
  for (const auto &control : layouts::kOption.controls) {
    SCOPED_TRACE(control.name);
    const RECT at = RectInParent(options.Control(control.id));
    EXPECT_EQ(at.left, Scaled(control.x));
    EXPECT_EQ(at.top, Scaled(control.y));
    EXPECT_EQ(at.right - at.left, Scaled(control.width));
    // A drop-down list's closed height is the system's, from its font.
    if (control.kind != layouts::Kind::DropDownList) {
      EXPECT_EQ(at.bottom - at.top, Scaled(control.height));
    }
  }
}

TEST_F(WindowTest, TheQualityListOffersTheQualitiesInTheSettingsOrderAndTakesNoTyping) {
  const HWND list = Main().OptionDlg().Control(layouts::kQualityList);
  EXPECT_EQ(GetWindowLongW(list, GWL_STYLE) & (CBS_SIMPLE | CBS_DROPDOWN | CBS_DROPDOWNLIST), CBS_DROPDOWNLIST);
  std::vector<std::string> items;
  for (int i = 0; i < SendMessageW(list, CB_GETCOUNT, 0, 0); ++i) {
    std::wstring item(static_cast<std::size_t>(SendMessageW(list, CB_GETLBTEXTLEN, i, 0)), L'\0');
    SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
    items.push_back(Narrow(item));
  }
  EXPECT_EQ(items, (std::vector<std::string>{"標準 (VBR 約190kbps)", "互換性重視 (CBR 192kbps・44.1kHz)",
                                             "高音質 (CBR 320kbps)"}));
  EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 0);
}

TEST(BlackWindowColours, AreTheSystemsUnderHighContrastAndBlackAndAquaOtherwise) {
  const auto contrasted = ui::BlackWindowColours(true, true);
  EXPECT_EQ(contrasted.text, GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_EQ(contrasted.background, GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(contrasted.brush, GetSysColorBrush(COLOR_WINDOW));
  const auto plain = ui::BlackWindowColours(true, false);
  EXPECT_EQ(plain.text, ui::kAquaText);
  EXPECT_EQ(plain.brush, GetStockObject(BLACK_BRUSH));
  EXPECT_FALSE(ui::BlackWindowColours(false, false).text);
}

TEST_F(WindowTest, ADpiChangeRescalesControlsAndFontsAndKeepsTheSizeTheSystemSuggests) {
  // Each control must still hold a live font when it is handed its new one.
  int fontsReplaced = 0, deadFontsReplaced = 0;
  const testing::SentMessageSpy spy([&](const CWPSTRUCT &sent) {
    if (sent.message != WM_SETFONT)
      return;
    ++fontsReplaced;
    const auto current = reinterpret_cast<HGDIOBJ>(SendMessageA(sent.hwnd, WM_GETFONT, 0, 0));
    if (current && GetObjectType(current) != OBJ_FONT)
      ++deadFontsReplaced;
  });
  const HWND main = Main().Handle();
  // The user has made the window larger; the system scales that size to the new DPI.
  SetWindowPos(main, nullptr, 10, 20, 500, 300, SWP_NOZORDER | SWP_NOACTIVATE);
  RECT suggested{10, 20, 10 + 750, 20 + 450};
  SendMessageA(main, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  const HWND tree = Main().OptionDlg().ToDirDlg().Control(layouts::kFolderTree);
  RECT pickerFrame;
  GetWindowRect(Main().OptionDlg().ToDirDlg().Handle(), &pickerFrame);
  SendMessageA(Main().OptionDlg().ToDirDlg().Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144),
               reinterpret_cast<LPARAM>(&pickerFrame));

  EXPECT_GT(fontsReplaced, 0);
  EXPECT_EQ(deadFontsReplaced, 0);
  RECT frame;
  GetWindowRect(main, &frame);
  EXPECT_EQ(frame.right - frame.left, 750);
  EXPECT_EQ(frame.bottom - frame.top, 450);
  for (const auto &control : layouts::kMain.controls) {
    SCOPED_TRACE(control.name);
    const RECT at = RectInParent(MainControl(control.id));
    EXPECT_EQ(at.left, ui::ScaleForDpi(control.x, 144));
    EXPECT_EQ(at.right - at.left, ui::ScaleForDpi(control.width, 144));
    LOGFONTW font{};
    ASSERT_NE(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(MainControl(control.id), WM_GETFONT, 0, 0)), sizeof font,
                         &font),
              0);
    EXPECT_EQ(font.lfHeight, -ui::ScaleForDpi((control.font ? *control.font : layouts::kMain.font).pixels, 144));
  }
  EXPECT_EQ(TreeView_GetIndent(tree), static_cast<UINT>(ui::ScaleForDpi(19, 144)));
}

TEST(TitleBar, TheFontOfItsButtonsIsThere) {
  // Without Marlett, title bars show the letters "0 1 r" for their buttons.
  LOGFONTA wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  strcpy(wanted.lfFaceName, "Marlett");
  bool found = false;
  const HDC screen = GetDC(nullptr);
  EnumFontFamiliesExA(
      screen, &wanted,
      [](const LOGFONTA *, const TEXTMETRICA *, DWORD, LPARAM context) {
        *reinterpret_cast<bool *>(context) = true;
        return 0;
      },
      reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  EXPECT_TRUE(found);
}

TEST_F(WindowTest, OnlyTheMainWindowShowsAndTheOthersAreOwnedByIt) {
  ShowWindow(Main().Handle(), SW_SHOW);
  EXPECT_TRUE(IsWindowVisible(Main().Handle()));
  for (const ui::TWindow *window :
       {static_cast<ui::TWindow *>(&Main().OptionDlg()), static_cast<ui::TWindow *>(&Main().CopyingForm()),
        static_cast<ui::TWindow *>(&Main().About())}) {
    EXPECT_FALSE(IsWindowVisible(window->Handle()));
    EXPECT_EQ(GetWindow(window->Handle(), GW_OWNER), Main().Handle());
  }
  EXPECT_EQ(GetWindow(Main().OptionDlg().ToDirDlg().Handle(), GW_OWNER), Main().OptionDlg().Handle());
}

TEST_F(WindowTest, TheMainWindowIsBlackWithAquaTextOnUnthemedCheckBoxes) {
  EXPECT_EQ(reinterpret_cast<HBRUSH>(GetClassLongPtrA(Main().Handle(), GCLP_HBRBACKGROUND)),
            static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  const HDC dc = CreateCompatibleDC(nullptr);
  for (const int id : {layouts::kPLNameLabel, layouts::kAddCheck, layouts::kReverseCheck}) {
    SetTextColor(dc, RGB(0, 0, 0));
    const auto brush = SendMessageA(Main().Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                    reinterpret_cast<LPARAM>(MainControl(id)));
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(brush), GetStockObject(BLACK_BRUSH));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 255, 255));
  }
  DeleteDC(dc);
  EXPECT_EQ(GetWindowTheme(MainControl(layouts::kAddCheck)), nullptr);
  EXPECT_EQ(GetWindowTheme(MainControl(layouts::kReverseCheck)), nullptr);
}

// Every command of the menu bar, each with an id of its own, does what the user sees: a window or
// box of the program opens (and is cancelled here), or the program asks to end. Help starts another
// program, the system's viewer, and is tested on its own.
TEST_F(WindowTest, EveryMenuCommandIsAnswered) {
  std::vector<UINT> commands;
  const HMENU bar = GetMenu(Main().Handle());
  for (int i = 0; i < GetMenuItemCount(bar); ++i) {
    const HMENU popup = GetSubMenu(bar, i);
    if (!popup) {
      commands.push_back(GetMenuItemID(bar, i));
      continue;
    }
    EXPECT_GT(GetMenuItemCount(popup), 0);
    for (int j = 0; j < GetMenuItemCount(popup); ++j)
      commands.push_back(GetMenuItemID(popup, j));
  }
  EXPECT_EQ(std::set<UINT>(commands.begin(), commands.end()).size(), commands.size());
  for (const UINT command : commands) {
    if (command == layouts::kMenuHelp)
      continue;
    SCOPED_TRACE(command);
    bool opened = false;
    const testing::SentMessageSpy spy([&](const CWPSTRUCT &sent) {
      if (sent.message == WM_SHOWWINDOW && sent.wParam && sent.hwnd != Main().Handle() &&
          GetAncestor(sent.hwnd, GA_ROOT) == sent.hwnd) {
        opened = true;
        PostMessageW(sent.hwnd, WM_COMMAND, IDCANCEL, 0);
      }
    });
    Command(static_cast<int>(command));
    EXPECT_TRUE(opened || testing::QuitRequested());
  }
}

TEST_F(WindowTest, TabMovesCopyCancelAddReverseAndEnterMeansCopy) {
  const HWND main = Main().Handle();
  HWND at = MainControl(layouts::kIdOk);
  for (const int next : {layouts::kIdCancel, layouts::kAddCheck, layouts::kReverseCheck, layouts::kIdOk}) {
    at = GetNextDlgTabItem(main, at, FALSE);
    EXPECT_EQ(GetDlgCtrlID(at), next);
  }
  EXPECT_EQ(SendMessageA(main, DM_GETDEFID, 0, 0), MAKELRESULT(IDOK, DC_HASDEFID));
}

TEST_F(WindowTest, TheProgressBarTakesItsPositionThemedOrNot) {
  const HWND bar = Main().CopyingForm().Control(layouts::kCopyProgress);
  for (const bool themed : {false, true}) {
    SCOPED_TRACE(themed);
    SendMessageA(bar, PBM_SETRANGE32, 0, 3);
    ui::SetBarPosition(bar, 1, 3, themed);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 1);
    ui::SetBarPosition(bar, 3, 3, themed);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 3);
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 3) << "full, within its range";
  }
}

TEST_F(WindowTest, TheProgressBarCountsFromZeroToAHundredUntilARunSetsIt) {
  const HWND bar = Main().CopyingForm().Control(layouts::kCopyProgress);
  EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, TRUE, 0), 0);
  EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 100);
}

} // namespace
} // namespace sf
