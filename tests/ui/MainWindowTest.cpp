#include "WindowTestFixture.h"
#include "platform/PathParts.h"
#include "platform/win32/Utf16.h"
#include "ui/MessageBoxes.h"
#include "ui/SFAboutBox.h"
#include "ui/SFCopyingForm.h"
#include "ui/Window.h"

#include <dlgs.h>
#include <shlobj.h>

#include <fstream>
#include <stdexcept>
#include <vector>

namespace sf {
namespace {

using testing::ItemText;
using testing::MakeDrop;
using testing::ReadWholeFile;
using testing::SeenWindow;
using testing::SetItemText;
using testing::WaitUntil;
using testing::WindowAnswerer;
using testing::WindowTest;

bool Exists(const std::string &path) { return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

// The product version in this program's version information, which the build writes from its version
// as it writes the program's.
std::string ProductVersion() {
  const std::wstring path = Widen(ProgramPath());
  DWORD unused = 0;
  std::vector<char> info(GetFileVersionInfoSizeW(path.c_str(), &unused));
  void *text = nullptr;
  UINT length = 0;
  if (info.empty() || !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()) ||
      !VerQueryValueW(info.data(), L"\\StringFileInfo\\041104B0\\ProductVersion", &text, &length) || length == 0)
    return {};
  return Narrow(std::wstring_view(static_cast<const wchar_t *>(text), length - 1));
}

TEST_F(WindowTest, StartsWithTheSettingsDefaults) {
  EXPECT_EQ(Main().PlayListPath(), "");
  EXPECT_EQ(Main().Text(layouts::kPLNameLabel), "(未登録)");
  EXPECT_FALSE(Main().IsChecked(layouts::kAddCheck));
  EXPECT_FALSE(Main().IsChecked(layouts::kReverseCheck));
  EXPECT_EQ(Main().Option().DefaultDir, ".");
  EXPECT_TRUE(Main().Option().StopAfterCopy);
}

TEST_F(WindowTest, TakesThePlayListFromTheCommandLine) {
  Start("\"C:\\Program Files\\Songferry.exe\" \"C:\\My Lists\\表.m3u\" second.m3u");
  EXPECT_EQ(Main().PlayListPath(), "C:\\My Lists\\表.m3u");
  EXPECT_EQ(Main().Text(layouts::kPLNameLabel), "表.m3u");
  Start("Songferry.exe \"D:\\Sigur Rós\\한국어 🎵.m3u8\"");
  EXPECT_EQ(Main().Text(layouts::kPLNameLabel), "한국어 🎵.m3u8");
  // A bare name is the playlist in the folder Songferry started in, wherever later runs go.
  main.reset();
  std::wstring started(MAX_PATH, L'\0');
  started.resize(GetCurrentDirectoryW(MAX_PATH, started.data()));
  SetCurrentDirectoryW(Widen(scratch.Path()).c_str());
  Start("Songferry.exe mix.m3u");
  EXPECT_EQ(Main().PlayListPath(), scratch / "mix.m3u");
  EXPECT_EQ(Main().Text(layouts::kPLNameLabel), "mix.m3u");
  Start("Songferry.exe .\\Lists\\..\\\\mix.m3u");
  SetCurrentDirectoryW(started.c_str());
  EXPECT_EQ(Main().PlayListPath(), scratch / "mix.m3u");
}

TEST_F(WindowTest, TakesTheCheckBoxesFromTheSettingsAndBack) {
  main.reset();
  std::ofstream(settingsPath) << "[Songferry]\r\nAddMode=1\r\nReverse=1\r\n";
  Start("songferry_ui_tests.exe");
  EXPECT_TRUE(Main().IsChecked(layouts::kAddCheck));
  EXPECT_TRUE(Main().IsChecked(layouts::kReverseCheck));
  Click(Main().Handle(), layouts::kAddCheck);
  EXPECT_FALSE(Main().Option().AddMode);
  Click(Main().Handle(), layouts::kReverseCheck);
  EXPECT_FALSE(Main().Option().Reverse);
  Click(Main().Handle(), layouts::kReverseCheck);
  EXPECT_TRUE(Main().Option().Reverse);
}

TEST_F(WindowTest, SavesTheSettingsWhenTheMainWindowGoes) {
  Click(Main().Handle(), layouts::kReverseCheck);
  Main().Option().ToDir = "E:\\";
  main.reset();
  EXPECT_EQ(ReadWholeFile(settingsPath),
            "[Songferry]\r\nToDir=E:\\\r\nDefaultDir=.\r\nAddMode=0\r\nReverse=1\r\nStopAfterCopy=1\r\n");
}

TEST_F(WindowTest, TakesTheFirstDroppedFileWholeWithoutCheckingIt) {
  EXPECT_TRUE(GetWindowLongPtrW(Main().Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES) << "the system offers it drops";
  const std::string longPath = "C:\\" + std::string(300, 'x') + "\\表\\ソ.m3u";
  SendMessageA(Main().Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({longPath, "D:\\b.m3u"})), 0);
  EXPECT_EQ(Main().PlayListPath(), longPath);
  EXPECT_EQ(Main().Text(layouts::kPLNameLabel), "ソ.m3u");
  SendMessageA(Main().Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({"D:\\notes.txt"})), 0);
  EXPECT_EQ(Main().PlayListPath(), "D:\\notes.txt");
  EXPECT_EQ(Main().Option().DefaultDir, ".");
  SendMessageW(Main().Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({"D:\\Motörhead\\🎵.m3u8"})), 0);
  EXPECT_EQ(Main().PlayListPath(), "D:\\Motörhead\\🎵.m3u8");
  EXPECT_EQ(Main().Text(layouts::kPLNameLabel), "🎵.m3u8");
}

std::string WorkingFolder() {
  return Narrow(GrowingText([](wchar_t *buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); }));
}

TEST_F(WindowTest, OpensAPlayListThroughTheOpenDialogAndLeavesTheWorkingFolderWhereItWas) {
  scratch.Write("表\\mix.plst");
  Main().Option().DefaultDir = scratch / "表\\";
  // The dialog makes each folder it shows the working folder, which would hold it open.
  const std::string workingFolder = WorkingFolder();
  {
    std::string fileType;
    WindowAnswerer cancel("#32770", IDCANCEL, [&](HWND dialog) { fileType = ItemText(dialog, cmb1); });
    Command(layouts::kMenuOpen);
    EXPECT_EQ(cancel.Seen().caption, "プレイリストを開く");
    EXPECT_EQ(fileType, "プレイリスト(*.m3u;*.m3u8;*.pls;*.plst;*.wpl;*.xspf)");
  }
  EXPECT_EQ(Main().PlayListPath(), "");
  EXPECT_EQ(WorkingFolder(), workingFolder) << "after Cancel";
  {
    WindowAnswerer open("#32770", IDOK, [&](HWND dialog) {
      // The file name box: a combo box in the explorer-style dialog.
      SetItemText(dialog, cmb13, "mix.plst");
      SetItemText(dialog, edt1, "mix.plst");
    });
    Command(layouts::kMenuOpen);
  }
  EXPECT_EQ(Main().PlayListPath(), scratch / "表\\mix.plst");
  EXPECT_EQ(Main().Text(layouts::kPLNameLabel), "mix.plst");
  EXPECT_EQ(Main().Option().DefaultDir, scratch / "表\\");
  EXPECT_EQ(WorkingFolder(), workingFolder) << "after OK";
}

TEST_F(WindowTest, ShowsTheAboutBoxModallyWithTheBuildsVersion) {
  std::string product, version;
  {
    WindowAnswerer about("SFAbout", IDOK, [&](HWND box) {
      EXPECT_FALSE(IsWindowEnabled(Main().Handle()));
      product = ItemText(box, layouts::kProductName);
      version = ItemText(box, layouts::kVersion);
    });
    Command(layouts::kMenuAbout);
    EXPECT_EQ(about.Seen().caption, "Songferryについて");
  }
  EXPECT_EQ(product, "Songferry");
  const std::string built = ProductVersion();
  ASSERT_NE(built, "");
  EXPECT_EQ(version, "Ver" + built);
  EXPECT_TRUE(IsWindowEnabled(Main().Handle()));
  EXPECT_FALSE(IsWindowVisible(Main().About().Handle()));
}

TEST_F(WindowTest, HelpOpensTheHelpFileInTheSystemsViewerNeverInALookAlikeBesideTheProgram) {
  // hh.exe beside the test program leaves "lookalike-ran" when it runs; a plain "hh" starts it.
  const std::string marker = FolderPartWithSeparator(ProgramPath()) + "lookalike-ran";
  DeleteFileW(Widen(marker).c_str());
  std::wstring plainName = L"hh";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  ASSERT_TRUE(
      CreateProcessW(nullptr, plainName.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started));
  CloseHandle(started.hThread);
  const std::unique_ptr<void, decltype(&CloseHandle)> lookAlike(started.hProcess, &CloseHandle);
  // It holds its mark open, unshared, until it ends: deleted earlier, the mark would stay.
  ASSERT_EQ(WaitForSingleObject(lookAlike.get(), 60000), WAIT_OBJECT_0);
  ASSERT_TRUE(Exists(marker));
  ASSERT_TRUE(DeleteFileW(Widen(marker).c_str()));

  Command(layouts::kMenuHelp);
  HWND viewer = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (viewer = FindWindowW(L"HH Parent", nullptr)) && IsWindowVisible(viewer); }));
  // Songferry.CHM's title, "Songferry ヘルプ"; the viewer reads its Japanese in the system's code page.
  EXPECT_EQ(testing::WindowText(viewer).rfind("Songferry ", 0), 0u);
  DWORD id = 0;
  GetWindowThreadProcessId(viewer, &id);
  const std::unique_ptr<void, decltype(&CloseHandle)> process(
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, id), &CloseHandle);
  wchar_t image[MAX_PATH] = {}, windows[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  QueryFullProcessImageNameW(process.get(), 0, image, &size);
  GetWindowsDirectoryW(windows, MAX_PATH);
  EXPECT_STRCASEEQ(Narrow(image).c_str(), (Narrow(windows) + "\\hh.exe").c_str());
  PostMessageW(viewer, WM_CLOSE, 0, 0);
  // Wine's viewer can take many seconds to end on a busy machine.
  EXPECT_EQ(WaitForSingleObject(process.get(), 60000), WAIT_OBJECT_0);
  EXPECT_FALSE(Exists(marker));
}

TEST_F(WindowTest, ABoxIsOwnedByTheWindowInFrontModalToTheProgramAndGivesActivationAndFocusBack) {
  const HWND main = Main().Handle(), progress = Main().CopyingForm().Handle();
  ShowWindow(progress, SW_SHOWNA);
  // In a corner: the box is centred on the screen all the same.
  SetWindowPos(main, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ShowWindow(main, SW_SHOW);
  SetActiveWindow(main);
  SetFocus(MainControl(layouts::kReverseCheck));
  HWND owner = nullptr;
  bool mainEnabled = true, progressEnabled = true;
  RECT box{}, screen{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &screen, 0);
  {
    WindowAnswerer error("#32770", IDOK, [&](HWND shown) {
      GetWindowRect(shown, &box);
      owner = GetWindow(shown, GW_OWNER);
      mainEnabled = IsWindowEnabled(main);
      progressEnabled = IsWindowEnabled(progress);
    });
    ui::ShowError("表示");
    EXPECT_EQ(error.Seen().caption, "エラー");
  }
  EXPECT_EQ(owner, main);
  EXPECT_NEAR(box.left + box.right, screen.left + screen.right, 1);
  EXPECT_NEAR(box.top + box.bottom, screen.top + screen.bottom, 1);
  EXPECT_FALSE(mainEnabled);
  EXPECT_FALSE(progressEnabled) << "modal to the whole program";
  EXPECT_TRUE(IsWindowEnabled(main));
  EXPECT_TRUE(IsWindowEnabled(progress));
  EXPECT_EQ(GetActiveWindow(), main);
  EXPECT_EQ(GetFocus(), MainControl(layouts::kReverseCheck));
  ShowWindow(progress, SW_HIDE);
}

TEST_F(WindowTest, HelpSaysSoWhenTheViewerCannotBeStarted) {
  // A Windows folder without hh.exe, as on editions that leave the viewer out.
  WindowAnswerer error;
  ui::OpenHelp(scratch.Path(), ProgramPath());
  EXPECT_EQ(error.Seen().caption, "エラー");
  EXPECT_EQ(error.Seen().text, "ヘルプビューアー(hh.exe)を起動できません");
}

int ShownQuality(HWND dialog) {
  return static_cast<int>(SendDlgItemMessageW(dialog, layouts::kQualityList, CB_GETCURSEL, 0, 0));
}

void ChooseQuality(HWND dialog, int index) {
  SendDlgItemMessageW(dialog, layouts::kQualityList, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

TEST_F(WindowTest, TheOptionsDialogStoresOnlyWhatItsOkConfirms) {
  Main().Option().ToDir = "E:\\Old";
  Main().Option().WritePlayList = true;
  Main().Option().ConvertTracks = true;
  Main().Option().ConvertQuality = 2;
  std::string shown;
  UINT playListShown = BST_UNCHECKED, convertShown = BST_UNCHECKED;
  int qualityShown = -1;
  {
    WindowAnswerer cancel("SFOptionDlg", IDCANCEL, [&](HWND dialog) {
      shown = ItemText(dialog, layouts::kToDirEdit);
      playListShown = IsDlgButtonChecked(dialog, layouts::kPlayListCheck);
      convertShown = IsDlgButtonChecked(dialog, layouts::kConvertCheck);
      qualityShown = ShownQuality(dialog);
      SetItemText(dialog, layouts::kToDirEdit, "typed");
      CheckDlgButton(dialog, layouts::kPlayListCheck, BST_UNCHECKED);
      CheckDlgButton(dialog, layouts::kConvertCheck, BST_UNCHECKED);
      ChooseQuality(dialog, 0);
    });
    Command(layouts::kMenuOptions);
  }
  EXPECT_EQ(shown, "E:\\Old");
  EXPECT_EQ(playListShown, static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(convertShown, static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(qualityShown, 2);
  EXPECT_EQ(Main().Option().ToDir, "E:\\Old");
  EXPECT_TRUE(Main().Option().WritePlayList);
  EXPECT_TRUE(Main().Option().ConvertTracks);
  EXPECT_EQ(Main().Option().ConvertQuality, 2);
  {
    WindowAnswerer ok("SFOptionDlg", IDOK, [&](HWND dialog) {
      qualityShown = ShownQuality(dialog);
      SetItemText(dialog, layouts::kToDirEdit, " F:\\表 ");
      CheckDlgButton(dialog, layouts::kStopCheck, BST_UNCHECKED);
      CheckDlgButton(dialog, layouts::kNumberCheck, BST_CHECKED);
      CheckDlgButton(dialog, layouts::kSkipCheck, BST_CHECKED);
      CheckDlgButton(dialog, layouts::kPlayListCheck, BST_UNCHECKED);
      CheckDlgButton(dialog, layouts::kConvertCheck, BST_UNCHECKED);
      ChooseQuality(dialog, 1);
    });
    Command(layouts::kMenuOptions);
    EXPECT_EQ(ok.Seen().caption, "Songferry環境設定");
  }
  EXPECT_EQ(qualityShown, 2) << "the settings' quality, not the one a cancelled dialog showed last";
  EXPECT_EQ(Main().Option().ToDir, " F:\\表 ");
  EXPECT_FALSE(Main().Option().StopAfterCopy);
  EXPECT_TRUE(Main().Option().NumberTracks);
  EXPECT_TRUE(Main().Option().SkipUnchanged);
  EXPECT_FALSE(Main().Option().WritePlayList);
  EXPECT_FALSE(Main().Option().ConvertTracks);
  EXPECT_EQ(Main().Option().ConvertQuality, 1) << "a quality chosen while converting is off is kept for later";
}

TEST_F(WindowTest, TheQualityListAndItsLabelAreEnabledOnlyWhileTheConvertBoxIsChecked) {
  // As each dialog shows them, then after a click on the box: whether the label and the list are
  // enabled, and where Tab goes from the box.
  std::string seen;
  const auto look = [&](HWND dialog) {
    seen += std::to_string(IsWindowEnabled(GetDlgItem(dialog, layouts::kQualityCaption))) +
            std::to_string(IsWindowEnabled(GetDlgItem(dialog, layouts::kQualityList))) +
            (GetNextDlgTabItem(dialog, GetDlgItem(dialog, layouts::kConvertCheck), FALSE) ==
                     GetDlgItem(dialog, layouts::kQualityList)
                 ? "list "
                 : "ok ");
  };
  for (const bool converting : {false, false, true}) {
    Main().Option().ConvertTracks = converting;
    WindowAnswerer options("SFOptionDlg", IDCANCEL, [&](HWND dialog) {
      look(dialog);
      SendDlgItemMessageW(dialog, layouts::kConvertCheck, BM_CLICK, 0, 0);
      look(dialog);
    });
    Command(layouts::kMenuOptions);
  }
  // The second dialog starts from the settings, not from the box the cancelled first one left checked.
  EXPECT_EQ(seen, "00ok 11list 00ok 11list 11list 00ok ");
}

TEST_F(WindowTest, RefusesADestinationTheSettingsFileCannotName) {
  Main().Option().ToDir = "E:\\Old";
  HWND owner = nullptr, dialogShown = nullptr;
  WindowAnswerer error("#32770", IDOK, [&](HWND box) { owner = GetWindow(box, GW_OWNER); });
  {
    WindowAnswerer options("SFOptionDlg", IDCANCEL, [&](HWND dialog) {
      dialogShown = dialog;
      SetItemText(dialog, layouts::kToDirEdit, "E:\\Beyoncé\\한국어");
      SendMessageW(dialog, WM_COMMAND, IDOK, 0);
      EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog stays open to be mended";
    });
    Command(layouts::kMenuOptions);
  }
  EXPECT_EQ(error.Seen().caption, "エラー");
  EXPECT_EQ(error.Seen().text, "コピー先のフォルダー名にShift-JISで表せない文字があります");
  EXPECT_EQ(owner, dialogShown);
  EXPECT_EQ(Main().Option().ToDir, "E:\\Old");
}

LRESULT CALLBACK RefuseToBeCreated(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return message == WM_NCCREATE ? FALSE : DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(WindowTest, AStartThatCannotCreateAWindowLeavesNoWindowAndWritesNoSettings) {
  main.reset();
  DeleteFileW(Widen(settingsPath).c_str());
  // The last window to be created cannot be: its class is taken by one that refuses.
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  const std::wstring aboutClass = Widen(layouts::kAbout.name);
  UnregisterClassW(aboutClass.c_str(), instance);
  WNDCLASSEXW refusing{};
  refusing.cbSize = sizeof refusing;
  refusing.lpfnWndProc = RefuseToBeCreated;
  refusing.hInstance = instance;
  refusing.lpszClassName = aboutClass.c_str();
  RegisterClassExW(&refusing);
  EXPECT_THROW(ui::RunApplication(), std::runtime_error);
  UnregisterClassW(aboutClass.c_str(), instance);

  for (const auto *layout : {&layouts::kMain, &layouts::kOption, &layouts::kToDir, &layouts::kCopying})
    EXPECT_EQ(FindWindowW(Widen(layout->name).c_str(), nullptr), nullptr) << layout->name;
  EXPECT_EQ(GetFileAttributesW(Widen(settingsPath).c_str()), INVALID_FILE_ATTRIBUTES);
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
