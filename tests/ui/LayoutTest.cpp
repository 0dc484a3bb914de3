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

// Every control of the layout stands where the layout puts it, scaled to the DPI, with its text and
// font, and the window has the layout's size and caption.
void ExpectLaidOut(const ui::TWindow &window) {
  const auto &layout = window.Layout();
  SCOPED_TRACE(layout.name);
  ASSERT_EQ(GetDpiForWindow(window.Handle()), ExpectedDpi());
  EXPECT_EQ(WindowText(window.Handle()), layout.caption);
  RECT size, client;
  GetClientRect(window.Handle(), &client);
  if (layout.clientSize) {
    size = client;
    EXPECT_EQ(size.right - size.left, Scaled(layout.width));
    EXPECT_EQ(size.bottom - size.top, Scaled(layout.height));
  } else {
    // The overall size, or larger where the system's frame leaves too little within it.
    GetWindowRect(window.Handle(), &size);
    EXPECT_GE(size.right - size.left, Scaled(layout.width));
    EXPECT_GE(size.bottom - size.top, Scaled(layout.height));
  }
  for (const auto &control : layout.controls) {
    if (control.kind == layouts::Kind::Panel)
      continue;
    SCOPED_TRACE(control.name);
    const HWND child = window.Control(control.id);
    ASSERT_NE(child, nullptr);
    const RECT at = RectInParent(child);
    EXPECT_LE(at.right, client.right) << "inside the client area";
    EXPECT_LE(at.bottom, client.bottom) << "inside the client area";
    EXPECT_EQ(at.left, Scaled(control.x));
    EXPECT_EQ(at.top, Scaled(control.y));
    if (control.width > 0) {
      EXPECT_EQ(at.right - at.left, Scaled(control.width));
      EXPECT_EQ(at.bottom - at.top, Scaled(control.height));
    }
    if (control.kind != layouts::Kind::Edit) {
      EXPECT_EQ(WindowText(child), control.text);
    }
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)), sizeof font, &font);
    const auto &expected = control.font ? *control.font : layout.font;
    EXPECT_EQ(Narrow(font.lfFaceName), expected.face);
    EXPECT_EQ(font.lfHeight, -Scaled(expected.pixels));
    EXPECT_EQ(font.lfWeight, expected.bold ? FW_BOLD : FW_NORMAL);
    EXPECT_EQ((GetWindowLongA(child, GWL_STYLE) & WS_TABSTOP) != 0, control.tabOrder >= 0);
  }
}

TEST_F(WindowTest, EveryWindowFollowsItsLayoutAtTheDisplaysDpi) {
  ExpectLaidOut(Main());
  ExpectLaidOut(*ui::CopyingForm);
  ExpectLaidOut(*ui::SFAbout);
  ExpectLaidOut(*ui::SFOptionDlg);
  ExpectLaidOut(*ui::ToDirDlg);
  EXPECT_EQ(TreeView_GetIndent(ui::ToDirDlg->Control(layouts::kShellTreeView1)), static_cast<UINT>(Scaled(19)));
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
  const HWND tree = ui::ToDirDlg->Control(layouts::kShellTreeView1);
  RECT pickerFrame;
  GetWindowRect(ui::ToDirDlg->Handle(), &pickerFrame);
  SendMessageA(ui::ToDirDlg->Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&pickerFrame));

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
       {static_cast<ui::TWindow *>(ui::SFOptionDlg.get()), static_cast<ui::TWindow *>(ui::CopyingForm.get()),
        static_cast<ui::TWindow *>(ui::SFAbout.get())}) {
    EXPECT_FALSE(IsWindowVisible(window->Handle()));
    EXPECT_EQ(GetWindow(window->Handle(), GW_OWNER), Main().Handle());
  }
  EXPECT_EQ(GetWindow(ui::ToDirDlg->Handle(), GW_OWNER), ui::SFOptionDlg->Handle());
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

TEST_F(WindowTest, TheMenuBarHoldsEveryItemInOrder) {
  const HMENU bar = GetMenu(Main().Handle());
  ASSERT_EQ(GetMenuItemCount(bar), 4);
  const auto caption = [](HMENU menu, int position) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 128, MF_BYPOSITION);
    return Narrow(text);
  };
  EXPECT_EQ(caption(bar, 0), "ファイル(&F)");
  EXPECT_EQ(caption(bar, 1), "コピー(&C)");
  EXPECT_EQ(caption(bar, 2), "オプション(&O)");
  EXPECT_EQ(caption(bar, 3), "ヘルプ(&H)");
  EXPECT_EQ(GetSubMenu(bar, 1), nullptr);
  EXPECT_EQ(GetMenuItemID(bar, 1), static_cast<UINT>(layouts::kMenuCopy));
  const HMENU file = GetSubMenu(bar, 0), options = GetSubMenu(bar, 2), help = GetSubMenu(bar, 3);
  ASSERT_EQ(GetMenuItemCount(file), 2);
  EXPECT_EQ(caption(file, 0), "開く(&O)");
  EXPECT_EQ(caption(file, 1), "終了(&X)");
  ASSERT_EQ(GetMenuItemCount(options), 1);
  EXPECT_EQ(caption(options, 0), "環境設定(&O)");
  ASSERT_EQ(GetMenuItemCount(help), 2);
  EXPECT_EQ(caption(help, 0), "About(&A)");
  EXPECT_EQ(caption(help, 1), "Help(&H)");
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
  const HWND bar = ui::CopyingForm->Control(layouts::kCopyProgress);
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
  const HWND bar = ui::CopyingForm->Control(layouts::kCopyProgress);
  EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, TRUE, 0), 0);
  EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 100);
}

} // namespace
} // namespace sf
