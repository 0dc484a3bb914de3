#include "WindowTestFixture.h"
#include "ui/SFAboutBox.h"
#include "ui/SFCopyingForm.h"
#include "ui/Window.h"

#include <dlgs.h>
#include <shlobj.h>

#include <cstring>
#include <fstream>
#include <stdexcept>

namespace sf {
namespace {

using testing::ReadWholeFile;
using testing::SeenWindow;
using testing::WindowAnswerer;
using testing::WindowTest;

// A drop of `paths` as the shell hands it over.
HDROP MakeDrop(const std::vector<std::string> &paths) {
  std::size_t size = sizeof(DROPFILES) + 1;
  for (const auto &path : paths)
    size += path.size() + 1;
  const HGLOBAL memory = GlobalAlloc(GHND, size);
  auto *header = static_cast<DROPFILES *>(GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  auto *names = reinterpret_cast<char *>(header + 1);
  for (const auto &path : paths) {
    std::memcpy(names, path.c_str(), path.size() + 1);
    names += path.size() + 1;
  }
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

TEST_F(WindowTest, StartsWithTheSettingsDefaults) {
  EXPECT_EQ(Main().PlayListPath, "");
  EXPECT_EQ(Main().Text(layouts::kPLNameLabel), "(未登録)");
  EXPECT_FALSE(Main().IsChecked(layouts::kAddCheck));
  EXPECT_FALSE(Main().IsChecked(layouts::kReverseCheck));
  EXPECT_EQ(Main().Option->DefaultDir, ".");
  EXPECT_TRUE(Main().Option->StopAfterCopy);
}

TEST_F(WindowTest, TakesThePlayListFromTheCommandLine) {
  ui::DestroyForms();
  ui::CreateForms("\"C:\\Program Files\\Songferry.exe\" \"C:\\My Lists\\表.m3u\" second.m3u");
  EXPECT_EQ(Main().PlayListPath, "C:\\My Lists\\表.m3u");
  EXPECT_EQ(Main().Text(layouts::kPLNameLabel), "表.m3u");
}

TEST_F(WindowTest, TakesTheCheckBoxesFromTheSettingsAndBack) {
  ui::DestroyForms();
  std::ofstream(settingsPath) << "[Songferry]\r\nAddMode=1\r\nReverse=1\r\n";
  ui::CreateForms("songferry_ui_tests.exe");
  EXPECT_TRUE(Main().IsChecked(layouts::kAddCheck));
  EXPECT_TRUE(Main().IsChecked(layouts::kReverseCheck));
  Click(Main().Handle(), layouts::kAddCheck);
  EXPECT_FALSE(Main().Option->AddMode);
  Click(Main().Handle(), layouts::kReverseCheck);
  EXPECT_FALSE(Main().Option->Reverse);
  Click(Main().Handle(), layouts::kReverseCheck);
  EXPECT_TRUE(Main().Option->Reverse);
}

TEST_F(WindowTest, SavesTheSettingsWhenTheMainWindowGoes) {
  Click(Main().Handle(), layouts::kReverseCheck);
  Main().Option->ToDir = "E:\\";
  ui::DestroyForms();
  EXPECT_EQ(ReadWholeFile(settingsPath),
            "[Songferry]\r\nToDir=E:\\\r\nDefaultDir=.\r\nAddMode=0\r\nReverse=1\r\nStopAfterCopy=1\r\n");
}

TEST_F(WindowTest, TakesTheFirstDroppedFileWholeWithoutCheckingIt) {
  const std::string longPath = "C:\\" + std::string(300, 'x') + "\\表\\ソ.m3u";
  SendMessageA(Main().Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({longPath, "D:\\b.m3u"})), 0);
  EXPECT_EQ(Main().PlayListPath, longPath);
  EXPECT_EQ(Main().Text(layouts::kPLNameLabel), "ソ.m3u");
  SendMessageA(Main().Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({"D:\\notes.txt"})), 0);
  EXPECT_EQ(Main().PlayListPath, "D:\\notes.txt");
  EXPECT_EQ(Main().Option->DefaultDir, ".");
}

TEST_F(WindowTest, OpensAPlayListThroughTheOpenDialog) {
  scratch.Write("表\\mix.plst");
  Main().Option->DefaultDir = scratch / "表\\";
  {
    WindowAnswerer cancel("#32770", IDCANCEL);
    Command(layouts::kMenuOpen);
    EXPECT_EQ(cancel.Seen().caption, "プレイリストを開く");
  }
  EXPECT_EQ(Main().PlayListPath, "");
  {
    WindowAnswerer open("#32770", IDOK, [&](HWND dialog) {
      // The file name box: a combo box in the explorer-style dialog.
      SetDlgItemTextA(dialog, cmb13, "mix.plst");
      SetDlgItemTextA(dialog, edt1, "mix.plst");
    });
    Command(layouts::kMenuOpen);
  }
  EXPECT_EQ(Main().PlayListPath, scratch / "表\\mix.plst");
  EXPECT_EQ(Main().Text(layouts::kPLNameLabel), "mix.plst");
  EXPECT_EQ(Main().Option->DefaultDir, scratch / "表\\");
}

TEST_F(WindowTest, ShowsTheAboutBoxModally) {
  std::string product, version;
  {
    WindowAnswerer about("SFAbout", IDOK, [&](HWND box) {
      EXPECT_FALSE(IsWindowEnabled(Main().Handle()));
      product = testing::ItemText(box, layouts::kProductName);
      version = testing::ItemText(box, layouts::kVersion);
    });
    Command(layouts::kMenuAboutA1);
    EXPECT_EQ(about.Seen().caption, "Songferryについて");
  }
  EXPECT_EQ(product, "Songferry");
  EXPECT_EQ(version, "Ver1.0");
  EXPECT_TRUE(IsWindowEnabled(Main().Handle()));
  EXPECT_FALSE(IsWindowVisible(ui::SFAbout->Handle()));
}

TEST_F(WindowTest, TheOptionsDialogStoresOnlyWhatItsOkConfirms) {
  Main().Option->ToDir = "E:\\Old";
  std::string shown;
  {
    WindowAnswerer cancel("SFOptionDlg", IDCANCEL, [&](HWND dialog) {
      shown = testing::ItemText(dialog, layouts::kToDirEdit);
      SetDlgItemTextA(dialog, layouts::kToDirEdit, "typed");
    });
    Command(layouts::kMenuO2);
  }
  EXPECT_EQ(shown, "E:\\Old");
  EXPECT_EQ(Main().Option->ToDir, "E:\\Old");
  {
    WindowAnswerer ok("SFOptionDlg", IDOK, [&](HWND dialog) {
      SetDlgItemTextA(dialog, layouts::kToDirEdit, " F:\\表 ");
      CheckDlgButton(dialog, layouts::kStopCheck, BST_UNCHECKED);
    });
    Command(layouts::kMenuO2);
    EXPECT_EQ(ok.Seen().caption, "Songferry環境設定");
  }
  EXPECT_EQ(Main().Option->ToDir, " F:\\表 ");
  EXPECT_FALSE(Main().Option->StopAfterCopy);
}

LRESULT CALLBACK RefuseToBeCreated(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return message == WM_NCCREATE ? FALSE : DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(WindowTest, AStartThatCannotCreateAWindowLeavesNoWindowAndWritesNoSettings) {
  ui::DestroyForms();
  DeleteFileA(settingsPath.c_str());
  // The last window to be created cannot be: its class is taken by one that refuses.
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  UnregisterClassA(layouts::kAbout.name, instance);
  WNDCLASSEXA refusing{};
  refusing.cbSize = sizeof refusing;
  refusing.lpfnWndProc = RefuseToBeCreated;
  refusing.hInstance = instance;
  refusing.lpszClassName = layouts::kAbout.name;
  RegisterClassExA(&refusing);
  EXPECT_THROW(ui::RunApplication(), std::runtime_error);
  UnregisterClassA(layouts::kAbout.name, instance);

  EXPECT_EQ(ui::FrmSFMain, nullptr);
  EXPECT_EQ(ui::SFOptionDlg, nullptr);
  EXPECT_EQ(ui::ToDirDlg, nullptr);
  EXPECT_EQ(ui::CopyingForm, nullptr);
  for (const auto *layout : {&layouts::kMain, &layouts::kOption, &layouts::kToDir, &layouts::kCopying})
    EXPECT_EQ(FindWindowA(layout->name, nullptr), nullptr) << layout->name;
  EXPECT_EQ(GetFileAttributesA(settingsPath.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(WindowTest, CancelExitAndTheCloseBoxEndTheProgram) {
  Click(Main().Handle(), layouts::kIdCancel);
  EXPECT_TRUE(testing::QuitRequested());
  Command(layouts::kMenuExit);
  EXPECT_TRUE(testing::QuitRequested());
  SendMessageA(Main().Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(testing::QuitRequested());
  EXPECT_TRUE(IsWindow(Main().Handle())) << "the window goes when the loop ends";
}

TEST_F(WindowTest, EnterCopiesUnlessCancelHasTheFocusAndEscCancels) {
  // A key as the message loop meets it; what the key sets off may come through the queue.
  const auto press = [&](HWND focus, WPARAM key) {
    SetFocus(focus);
    MSG message{focus, WM_KEYDOWN, key, 0, 0, {}};
    ui::DispatchWithDialogKeys(message);
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        PostQuitMessage(0);
        break;
      }
      ui::DispatchWithDialogKeys(message);
    }
  };
  ShowWindow(Main().Handle(), SW_SHOW);
  {
    WindowAnswerer error;
    press(MainControl(layouts::kAddCheck), VK_RETURN);
    EXPECT_EQ(error.Seen().text, "拡張子が不正です");
  }
  EXPECT_FALSE(testing::QuitRequested());
  press(MainControl(layouts::kIdCancel), VK_RETURN);
  EXPECT_TRUE(testing::QuitRequested());
  press(MainControl(layouts::kAddCheck), VK_ESCAPE);
  EXPECT_TRUE(testing::QuitRequested());
}

} // namespace
} // namespace sf
