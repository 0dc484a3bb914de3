#include "WindowTestFixture.h"
#include "ui/SFAboutBox.h"
#include "ui/SFCopyingForm.h"
#include "ui/SFOptDlg.h"

#include <commctrl.h>

#include <thread>

namespace sf {
namespace {

using testing::ItemText;
using testing::ReadWholeFile;
using testing::WaitUntil;
using testing::WindowAnswerer;
using Names = std::vector<std::string>;

class CopyCommandTest : public testing::WindowTest {
protected:
  void SetUp() override {
    WindowTest::SetUp();
    for (const char *name : {"a.mp3", "b.wma", "c.mp3"})
      scratch.Write(std::string("Music\\") + name, name);
    scratch.Write("Player\\old.mp3");
    scratch.Write("Lists\\mix.m3u", "..\\Music\\a.mp3\r\n..\\Music\\b.wma\r\n..\\Music\\c.mp3\r\n");
    // The same in UTF-8, after a name that Shift-JIS lacks and that is missing.
    scratch.Write("Lists\\now.m3u8", "#EXTM3U\n..\\Music\\a.mp3\nBeyoncé - Halo.mp3\n");
    Main().Option->ToDir = scratch / "Player";
    Main().Option->StopAfterCopy = false;
    Main().PlayListPath = scratch / "Lists\\mix.m3u";
  }

  HWND Bar() { return ui::CopyingForm->Control(layouts::kCopyProgress); }
  bool ProgressShown() { return IsWindowVisible(ui::CopyingForm->Handle()) != FALSE; }

  // Makes the playlist's second track one that takes seconds to copy: sparse, it takes next to
  // nothing on disk until copied.
  void MakeASecondTrackThatCopiesLong() {
    const HANDLE file = CreateFileW(Widen(longTrack).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    SetFilePointerEx(file, LARGE_INTEGER{.QuadPart = kLongTrack}, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
    scratch.Write("Lists\\mix.m3u", "..\\Music\\a.mp3\r\n..\\Music\\long.mp3\r\n..\\Music\\c.mp3\r\n");
  }
  // The size of the long track's copy so far; -1 before it starts.
  LONGLONG LongCopied() {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Widen(longCopy).c_str(), GetFileExInfoStandard, &data))
      return -1LL;
    return static_cast<LONGLONG>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
  }
  void TearDown() override {
    DeleteFileW(Widen(longCopy).c_str());
    DeleteFileW(Widen(longTrack).c_str());
    WindowTest::TearDown();
  }

  static constexpr LONGLONG kLongTrack = 1LL << 30;
  const std::string longTrack = scratch / "Music\\long.mp3", longCopy = scratch / "Player\\long.mp3";
};

TEST_F(CopyCommandTest, CopiesAndReportsWithTheBarFullWhileTheBoxIsUp) {
  int position = -1, maximum = -1;
  bool shownDuringBox = false;
  std::string label;
  {
    WindowAnswerer info("#32770", IDOK, [&](HWND) {
      shownDuringBox = ProgressShown();
      position = static_cast<int>(SendMessageA(Bar(), PBM_GETPOS, 0, 0));
      maximum = static_cast<int>(SendMessageA(Bar(), PBM_GETRANGE, FALSE, 0));
      label = ui::CopyingForm->Text(layouts::kCopyLabel);
    });
    Click(Main().Handle(), layouts::kIdOk);
    EXPECT_EQ(info.Seen().caption, "情報");
    EXPECT_EQ(info.Seen().text, "mix.m3uより3曲をコピーしました");
  }
  EXPECT_TRUE(shownDuringBox);
  EXPECT_EQ(position, 3);
  EXPECT_EQ(maximum, 3);
  EXPECT_EQ(label, "c.mp3");
  EXPECT_FALSE(ProgressShown());
  EXPECT_EQ(scratch.Names("Player"), (Names{"a.mp3", "b.wma", "c.mp3"}));
  EXPECT_FALSE(testing::QuitRequested()) << "StopAfterCopy is off";
}

TEST_F(CopyCommandTest, EndsTheProgramAfterASuccessfulRunWhenAsked) {
  Main().Option->StopAfterCopy = true;
  {
    WindowAnswerer info;
    Command(layouts::kMenuCopy);
    EXPECT_EQ(info.Seen().text, "mix.m3uより3曲をコピーしました");
  }
  EXPECT_TRUE(testing::QuitRequested());
}

TEST_F(CopyCommandTest, ShowsTheProgramsOwnErrorsAndKeepsRunning) {
  Main().Option->StopAfterCopy = true;
  Main().PlayListPath.clear();
  {
    WindowAnswerer error;
    Click(Main().Handle(), layouts::kIdOk);
    EXPECT_EQ(error.Seen().caption, "エラー");
    EXPECT_EQ(error.Seen().text, "拡張子が不正です");
  }
  scratch.Write("Lists\\mix.m3u", "..\\Music\\a.mp3\r\n..\\Music\\gone.mp3\r\n");
  Main().PlayListPath = scratch / "Lists\\mix.m3u";
  bool shownDuringBox = true;
  {
    WindowAnswerer error("#32770", IDOK, [&](HWND) { shownDuringBox = ProgressShown(); });
    Click(Main().Handle(), layouts::kIdOk);
    EXPECT_EQ(error.Seen().text, "ファイル..\\Music\\gone.mp3が存在しません");
  }
  Main().PlayListPath = scratch / "Lists\\now.m3u8";
  {
    WindowAnswerer error;
    Click(Main().Handle(), layouts::kIdOk);
    EXPECT_EQ(error.Seen().text, "ファイルBeyoncé - Halo.mp3が存在しません");
  }
  EXPECT_FALSE(shownDuringBox) << "the progress window goes before the error shows";
  EXPECT_FALSE(testing::QuitRequested());
  Main().Option->ToDir.clear();
  {
    WindowAnswerer error;
    Click(Main().Handle(), layouts::kIdOk);
    EXPECT_EQ(error.Seen().text, "コピー先フォルダが未指定です。オプション-環境設定で設定してください。");
  }
}

TEST_F(CopyCommandTest, ShowsOtherFailuresInTheTopLevelBox) {
  Main().PlayListPath = scratch / "Lists\\gone.m3u";
  {
    WindowAnswerer failure;
    Click(Main().Handle(), layouts::kIdOk);
    EXPECT_EQ(failure.Seen().caption, "Songferry");
    EXPECT_EQ(failure.Seen().text, "ファイルが見つかりません.");
  }
  EXPECT_FALSE(ProgressShown()) << "loading comes before the run";
  EXPECT_TRUE(IsWindow(Main().Handle()));
}

TEST_F(CopyCommandTest, ALongTrackLeavesEveryWindowAnsweringAndDisablesTheMainWindowMeanwhile) {
  MakeASecondTrackThatCopiesLong();
  const auto copied = [&] { return LongCopied(); };
  const HWND main = Main().Handle(), progress = ui::CopyingForm->Handle();
  bool progressAnswered = false, mainAnswered = false, mainDisabled = false, duringTheCopy = false;
  std::string labelMeanwhile;
  // From another thread, while the long track copies: what the system would send, and a key.
  std::thread prober([&] {
    for (int tries = 0; tries < 1000 && copied() < 0; ++tries)
      Sleep(10);
    Sleep(200);
    labelMeanwhile = ItemText(progress, layouts::kCopyLabel);
    DWORD_PTR result = 0;
    progressAnswered = SendMessageTimeoutW(progress, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result) != 0;
    mainAnswered = SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result) != 0;
    mainDisabled = !IsWindowEnabled(main);
    INPUT enter[2] = {};
    enter[0].type = enter[1].type = INPUT_KEYBOARD;
    enter[0].ki.wVk = enter[1].ki.wVk = VK_RETURN;
    enter[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, enter, sizeof(INPUT));
    duringTheCopy = copied() >= 0 && copied() < kLongTrack;
  });
  {
    WindowAnswerer info("#32770", IDOK, {}, 60);
    Click(main, layouts::kIdOk);
    EXPECT_EQ(info.Seen().text, "mix.m3uより3曲をコピーしました") << "the key typed meanwhile must not answer it";
  }
  prober.join();
  EXPECT_TRUE(duringTheCopy) << "the track copied too fast to probe the run";
  EXPECT_EQ(labelMeanwhile, "long.mp3") << "a long track is shown while it copies";
  EXPECT_TRUE(progressAnswered);
  EXPECT_TRUE(mainAnswered);
  EXPECT_TRUE(mainDisabled);
  EXPECT_TRUE(IsWindowEnabled(main));
  EXPECT_FALSE(ProgressShown());
  EXPECT_EQ(scratch.Names("Player"), (Names{"a.mp3", "c.mp3", "long.mp3"}));
  EXPECT_EQ(copied(), kLongTrack);
}

TEST_F(CopyCommandTest, DiscardsWhatWouldOpenAWindowEndTheProgramOrChooseAPlayListDuringARun) {
  MakeASecondTrackThatCopiesLong();
  const HWND main = Main().Handle();
  const std::string chosen = Main().PlayListPath;
  // A window that opens all the same is noted and closed, so that the run can end.
  std::vector<std::string> opened;
  const testing::SentMessageSpy spy([&](const CWPSTRUCT &sent) {
    if (sent.message == WM_SHOWWINDOW && sent.wParam &&
        (sent.hwnd == ui::SFOptionDlg->Handle() || sent.hwnd == ui::SFAbout->Handle())) {
      opened.push_back(testing::WindowText(sent.hwnd));
      PostMessageW(sent.hwnd, WM_COMMAND, IDCANCEL, 0);
    }
  });
  bool duringTheCopy = false;
  // From another thread while the long track copies, some sent and some posted.
  std::thread other([&] {
    WaitUntil([&] { return LongCopied() >= 0; });
    DWORD_PTR result = 0;
    for (const UINT command : {layouts::kMenuO2, layouts::kMenuMiHelp})
      SendMessageTimeoutW(main, WM_COMMAND, command, 0, SMTO_NORMAL, 5000, &result);
    SendMessageTimeoutW(main, WM_CLOSE, 0, 0, SMTO_NORMAL, 5000, &result);
    for (const UINT command : {layouts::kMenuAboutA1, layouts::kMenuExit})
      PostMessageW(main, WM_COMMAND, command, 0);
    PostMessageW(main, WM_DROPFILES, reinterpret_cast<WPARAM>(testing::MakeDrop({scratch / "Lists\\now.m3u8"})), 0);
    duringTheCopy = LongCopied() < kLongTrack;
  });
  {
    WindowAnswerer info("#32770", IDOK, {}, 60);
    Click(main, layouts::kIdOk);
    EXPECT_EQ(info.Seen().text, "mix.m3uより3曲をコピーしました");
  }
  other.join();
  // Nothing of it waits to run after the run either.
  MSG message;
  bool quit = false;
  while (!quit && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    quit = message.message == WM_QUIT;
    if (!quit)
      DispatchMessageW(&message);
  }
  EXPECT_TRUE(duringTheCopy) << "the track copied too fast to probe the run";
  EXPECT_EQ(opened, std::vector<std::string>{});
  EXPECT_FALSE(quit || testing::QuitRequested());
  EXPECT_EQ(Main().PlayListPath, chosen);
  EXPECT_EQ(Main().Text(layouts::kPLNameLabel), "(未登録)");
  EXPECT_EQ(scratch.Names("Player"), (Names{"a.mp3", "c.mp3", "long.mp3"}));
  HWND viewer = nullptr;
  EXPECT_FALSE(WaitUntil([&] { return (viewer = FindWindowW(L"HH Parent", nullptr)) != nullptr; }, 3));
  if (viewer)
    PostMessageW(viewer, WM_CLOSE, 0, 0);
}

} // namespace
} // namespace sf
