#include "WindowTestFixture.h"
#include "ui/SFAboutBox.h"
#include "ui/SFCopyingForm.h"
#include "ui/SFOptDlg.h"

#include <commctrl.h>

#include <algorithm>
#include <thread>

// The slots through which the program calls user32 for the session's end: Wine keeps no block
// reason that ShutdownBlockReasonQuery could read back, so the test watches the calls there.
extern "C" decltype(&ShutdownBlockReasonCreate) __imp_ShutdownBlockReasonCreate;
extern "C" decltype(&ShutdownBlockReasonDestroy) __imp_ShutdownBlockReasonDestroy;

namespace sf {
namespace {

using testing::ImportReplaced;
using testing::ItemText;
using testing::ReadWholeFile;
using testing::WaitUntil;
using testing::WindowAnswerer;
using Names = std::vector<std::string>;

// The block reasons the program set, by window, in order; an empty one when it removed them.
std::vector<std::pair<HWND, std::string>> blockReasons;
BOOL WINAPI RecordBlockReason(HWND window, LPCWSTR reason) {
  blockReasons.emplace_back(window, Narrow(reason));
  return TRUE;
}
BOOL WINAPI RecordBlockReasonRemoved(HWND window) {
  blockReasons.emplace_back(window, "");
  return TRUE;
}

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
    Main().Option().ToDir = scratch / "Player";
    Main().Option().StopAfterCopy = false;
    Main().ChoosePlayList(scratch / "Lists\\mix.m3u");
  }

  HWND Bar() { return Main().CopyingForm().Control(layouts::kCopyProgress); }
  // A sparse track that takes seconds to copy, next to nothing on disk until copied, between a.mp3
  // and c.mp3 in mix.m3u.
  static constexpr LONGLONG kLongTrack = 1LL << 30;
  void MakeLongTrack() {
    const HANDLE file =
        CreateFileW(Widen(scratch / "Music\\long.mp3").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    SetFilePointerEx(file, LARGE_INTEGER{.QuadPart = kLongTrack}, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
    scratch.Write("Lists\\mix.m3u", "..\\Music\\a.mp3\r\n..\\Music\\long.mp3\r\n..\\Music\\c.mp3\r\n");
  }
  // How much of the long track's copy is written; -1 before it starts.
  LONGLONG LongTrackCopied() {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Widen(scratch / "Player\\long.mp3").c_str(), GetFileExInfoStandard, &data))
      return -1LL;
    return static_cast<LONGLONG>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
  }
  void TearDown() override {
    DeleteFileW(Widen(scratch / "Player\\long.mp3").c_str());
    DeleteFileW(Widen(scratch / "Music\\long.mp3").c_str());
    WindowTest::TearDown();
  }
  bool ProgressShown() { return IsWindowVisible(Main().CopyingForm().Handle()) != FALSE; }
};

TEST_F(CopyCommandTest, CopiesAndReportsWithTheBarFullWhileTheBoxIsUp) {
  ShowWindow(Main().Handle(), SW_SHOW);
  int position = -1, maximum = -1;
  bool shownDuringBox = false;
  HWND owner = nullptr;
  std::string label;
  {
    WindowAnswerer info("#32770", IDOK, [&](HWND box) {
      owner = GetWindow(box, GW_OWNER);
      shownDuringBox = ProgressShown();
      position = static_cast<int>(SendMessageA(Bar(), PBM_GETPOS, 0, 0));
      maximum = static_cast<int>(SendMessageA(Bar(), PBM_GETRANGE, FALSE, 0));
      label = Main().CopyingForm().Text(layouts::kCopyLabel);
    });
    Click(Main().Handle(), layouts::kIdOk);
    EXPECT_EQ(info.Seen().caption, "情報");
    EXPECT_EQ(info.Seen().text, "mix.m3uより3曲をコピーしました");
  }
  EXPECT_TRUE(shownDuringBox);
  EXPECT_EQ(owner, Main().CopyingForm().Handle());
  EXPECT_EQ(GetActiveWindow(), Main().Handle()) << "activation comes back to the program";
  EXPECT_EQ(position, 3);
  EXPECT_EQ(maximum, 3);
  EXPECT_EQ(label, "c.mp3");
  EXPECT_FALSE(ProgressShown());
  EXPECT_EQ(scratch.Names("Player"), (Names{"a.mp3", "b.wma", "c.mp3"}));
  EXPECT_FALSE(testing::QuitRequested()) << "StopAfterCopy is off";
}

TEST_F(CopyCommandTest, EndsTheProgramAfterASuccessfulRunWhenAsked) {
  Main().Option().StopAfterCopy = true;
  {
    WindowAnswerer info;
    Command(layouts::kMenuCopy);
    EXPECT_EQ(info.Seen().text, "mix.m3uより3曲をコピーしました");
  }
  EXPECT_TRUE(testing::QuitRequested());
}

TEST_F(CopyCommandTest, ShowsTheProgramsOwnErrorsAndKeepsRunning) {
  Main().Option().StopAfterCopy = true;
  Main().ChoosePlayList("");
  {
    WindowAnswerer error;
    Click(Main().Handle(), layouts::kIdOk);
    EXPECT_EQ(error.Seen().caption, "エラー");
    EXPECT_EQ(error.Seen().text, "拡張子が不正です");
  }
  scratch.Write("Lists\\mix.m3u", "..\\Music\\a.mp3\r\n..\\Music\\gone.mp3\r\n");
  Main().ChoosePlayList(scratch / "Lists\\mix.m3u");
  bool shownDuringBox = true;
  {
    WindowAnswerer error("#32770", IDOK, [&](HWND) { shownDuringBox = ProgressShown(); });
    Click(Main().Handle(), layouts::kIdOk);
    EXPECT_EQ(error.Seen().text, "ファイル..\\Music\\gone.mp3が存在しません");
  }
  Main().ChoosePlayList(scratch / "Lists\\now.m3u8");
  {
    WindowAnswerer error;
    Click(Main().Handle(), layouts::kIdOk);
    EXPECT_EQ(error.Seen().text, "ファイルBeyoncé - Halo.mp3が存在しません");
  }
  EXPECT_FALSE(shownDuringBox) << "the progress window goes before the error shows";
  EXPECT_FALSE(testing::QuitRequested());
  Main().Option().ToDir.clear();
  {
    WindowAnswerer error;
    Click(Main().Handle(), layouts::kIdOk);
    EXPECT_EQ(error.Seen().text, "コピー先フォルダが未指定です。オプション-環境設定で設定してください。");
  }
}

// The closing box may wait long for its OK: it must keep neither a shutdown nor an update's restart.
TEST_F(CopyCommandTest, RefusesToEndTheSessionDuringARunUntilItsBoxAndSavesTheSettingsAsItEnds) {
  MakeLongTrack();
  blockReasons.clear();
  const ImportReplaced create(__imp_ShutdownBlockReasonCreate, &RecordBlockReason);
  const ImportReplaced destroy(__imp_ShutdownBlockReasonDestroy, &RecordBlockReasonRemoved);
  const HWND main = Main().Handle();
  DWORD_PTR answerDuringTheRun = TRUE, answerAtTheBox = FALSE;
  bool duringTheCopy = false;
  std::thread system([&] {
    WaitUntil([&] { return LongTrackCopied() > 0; }, 30);
    SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &answerDuringTheRun);
    duringTheCopy = LongTrackCopied() < kLongTrack;
  });
  std::vector<std::pair<HWND, std::string>> reasonsAtTheBox;
  {
    WindowAnswerer info(
        "#32770", IDOK,
        [&](HWND) {
          reasonsAtTheBox = blockReasons;
          SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &answerAtTheBox);
        },
        60);
    Click(main, layouts::kIdOk);
    EXPECT_EQ(info.Seen().text, "mix.m3uより3曲をコピーしました");
  }
  system.join();
  ASSERT_TRUE(duringTheCopy) << "the track copied too fast to probe the run";
  EXPECT_EQ(answerDuringTheRun, static_cast<DWORD_PTR>(FALSE));
  EXPECT_EQ(answerAtTheBox, static_cast<DWORD_PTR>(TRUE));
  using Reasons = std::vector<std::pair<HWND, std::string>>;
  EXPECT_EQ(reasonsAtTheBox, (Reasons{{main, "プレイリストのコピー中です"}, {main, ""}}));
  EXPECT_EQ(blockReasons, reasonsAtTheBox) << "removed once";
  EXPECT_EQ(SendMessageW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);

  // Windows may end the process after this without destroying a window.
  Main().Option().ToDir = "E:\\";
  SendMessageW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  EXPECT_EQ(ReadWholeFile(settingsPath),
            "[Songferry]\r\nToDir=E:\\\r\nDefaultDir=.\r\nAddMode=0\r\nReverse=0\r\nStopAfterCopy=0\r\n");
  DeleteFileW(Widen(settingsPath).c_str());
  this->main.reset();
  EXPECT_EQ(GetFileAttributesW(Widen(settingsPath).c_str()), INVALID_FILE_ATTRIBUTES) << "saved once only";
}

TEST_F(CopyCommandTest, ASettingsFileThatCannotBeWrittenAsTheSessionEndsShowsNoBox) {
  // A folder in the settings file's place: no write succeeds.
  DeleteFileW(Widen(settingsPath).c_str());
  ASSERT_TRUE(CreateDirectoryW(Widen(settingsPath).c_str(), nullptr));
  {
    WindowAnswerer none("#32770", IDOK, {}, 2);
    SendMessageW(Main().Handle(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_EQ(none.Seen().caption, "(none)");
  }
  RemoveDirectoryW(Widen(settingsPath).c_str());
}

TEST_F(CopyCommandTest, ShowsOtherFailuresInTheTopLevelBox) {
  Main().ChoosePlayList(scratch / "Lists\\gone.m3u");
  // As a run that failed with an error other than the program's own would have left it.
  Main().CopyingForm().Show();
  {
    WindowAnswerer failure;
    Click(Main().Handle(), layouts::kIdOk);
    EXPECT_EQ(failure.Seen().caption, "Songferry");
    EXPECT_EQ(failure.Seen().text, "ファイルが見つかりません.");
  }
  EXPECT_FALSE(ProgressShown()) << "the progress window goes after any error";
  EXPECT_TRUE(IsWindow(Main().Handle()));
}

TEST_F(CopyCommandTest, ALongTrackLeavesEveryWindowAnsweringAndDisablesTheMainWindowMeanwhile) {
  MakeLongTrack();
  const auto copied = [&] { return LongTrackCopied(); };
  const HWND main = Main().Handle(), progress = Main().CopyingForm().Handle();
  bool progressAnswered = false, mainAnswered = false, mainDisabled = false, duringTheCopy = false;
  std::string labelMeanwhile;
  // From another thread, while the long track copies: what the system would send, and a key that
  // does not cancel the run (Enter, Space and Esc do).
  std::thread prober([&] {
    // The run is inside the long track's copy once part of it is on the player.
    testing::WaitUntil([&] { return copied() > 0; });
    DWORD_PTR result = 0;
    progressAnswered = SendMessageTimeoutW(progress, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result) != 0;
    mainAnswered = SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result) != 0;
    mainDisabled = !IsWindowEnabled(main);
    INPUT enter[2] = {};
    enter[0].type = enter[1].type = INPUT_KEYBOARD;
    enter[0].ki.wVk = enter[1].ki.wVk = 'A';
    enter[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, enter, sizeof(INPUT));
    duringTheCopy = copied() >= 0 && copied() < kLongTrack;
    // Painting takes at most a small share of the run: on a busy machine the label may come late,
    // but it comes while the track copies.
    testing::WaitUntil([&] {
      labelMeanwhile = ItemText(progress, layouts::kCopyLabel);
      return labelMeanwhile == "long.mp3" || copied() >= kLongTrack;
    });
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

TEST_F(CopyCommandTest, InputPostedDuringALongTrackIsTakenOffTheQueueWhileItCopies) {
  MakeLongTrack();
  const HWND progress = Main().CopyingForm().Handle();
  // A click on the caption, a click and a key: left waiting, each would make Windows ghost the
  // window within seconds.
  const std::vector<UINT> posted{WM_NCLBUTTONDOWN, WM_KEYDOWN, WM_LBUTTONDOWN}; // in ascending order
  std::vector<UINT> takenDuringTheCopy;
  bool postedDuringTheCopy = false;
  const testing::TakenMessageSpy spy([&](const MSG &message) {
    if (message.hwnd == progress && message.lParam == 0x5F0 && LongTrackCopied() < kLongTrack)
      takenDuringTheCopy.push_back(message.message);
  });
  std::thread poster([&] {
    for (int tries = 0; tries < 1000 && LongTrackCopied() < 0; ++tries)
      Sleep(10);
    for (const UINT message : posted)
      PostMessageW(progress, message, message == WM_NCLBUTTONDOWN ? HTCAPTION : 'A', 0x5F0);
    postedDuringTheCopy = LongTrackCopied() >= 0 && LongTrackCopied() < kLongTrack;
  });
  {
    WindowAnswerer info("#32770", IDOK, {}, 60);
    Click(Main().Handle(), layouts::kIdOk);
    EXPECT_EQ(info.Seen().text, "mix.m3uより3曲をコピーしました");
  }
  poster.join();
  ASSERT_TRUE(postedDuringTheCopy) << "the track copied too fast to probe the run";
  std::sort(takenDuringTheCopy.begin(), takenDuringTheCopy.end());
  EXPECT_EQ(takenDuringTheCopy, posted);
  EXPECT_EQ(scratch.Names("Player"), (Names{"a.mp3", "c.mp3", "long.mp3"}));
}

// "中止" clicked or Esc pressed during the long track: the run stops there, leaves no part of the
// track, says how far it came, and the program goes on whatever StopAfterCopy says.
TEST_F(CopyCommandTest, ClickingCancelOrPressingEscStopsALongTrackAndLeavesNothingPartial) {
  ShowWindow(Main().Handle(), SW_SHOW);
  Main().Option().StopAfterCopy = true;
  const HWND button = Main().CopyingForm().Control(layouts::kCancelRunButton);
  ASSERT_EQ(testing::WindowText(button), "中止");
  for (const bool byKey : {false, true}) {
    SCOPED_TRACE(byKey ? "Esc" : "click");
    MakeLongTrack();
    bool postedDuringTheCopy = false;
    std::thread user([&] {
      WaitUntil([&] { return LongTrackCopied() > 0; }, 30);
      if (byKey) {
        PostMessageW(button, WM_KEYDOWN, VK_ESCAPE, 1);
      } else {
        PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
      }
      postedDuringTheCopy = LongTrackCopied() < kLongTrack;
    });
    {
      WindowAnswerer info("#32770", IDOK, {}, 60);
      Click(Main().Handle(), layouts::kIdOk);
      EXPECT_EQ(info.Seen().text, "コピーを中止しました(mix.m3uより1曲をコピー済み)");
    }
    user.join();
    ASSERT_TRUE(postedDuringTheCopy) << "the track copied too fast to probe the run";
    EXPECT_EQ(scratch.Names("Player"), Names{"a.mp3"});
    EXPECT_FALSE(ProgressShown());
    EXPECT_FALSE(testing::QuitRequested());
  }
}

TEST_F(CopyCommandTest, DiscardsWhatWouldOpenAWindowEndTheProgramOrChooseAPlayListDuringARun) {
  MakeLongTrack();
  const HWND main = Main().Handle();
  const std::string chosen = Main().PlayListPath(), shown = Main().Text(layouts::kPLNameLabel);
  // A window that opens all the same is noted and closed, so that the run can end.
  std::vector<std::string> opened;
  const testing::SentMessageSpy spy([&](const CWPSTRUCT &sent) {
    if (sent.message == WM_SHOWWINDOW && sent.wParam &&
        (sent.hwnd == Main().OptionDlg().Handle() || sent.hwnd == Main().About().Handle())) {
      opened.push_back(testing::WindowText(sent.hwnd));
      PostMessageW(sent.hwnd, WM_COMMAND, IDCANCEL, 0);
    }
  });
  bool duringTheCopy = false;
  // From another thread while the long track copies, some sent and some posted.
  std::thread other([&] {
    WaitUntil([&] { return LongTrackCopied() >= 0; });
    DWORD_PTR result = 0;
    for (const UINT command : {layouts::kMenuOptions, layouts::kMenuHelp})
      SendMessageTimeoutW(main, WM_COMMAND, command, 0, SMTO_NORMAL, 5000, &result);
    SendMessageTimeoutW(main, WM_CLOSE, 0, 0, SMTO_NORMAL, 5000, &result);
    for (const UINT command : {layouts::kMenuAbout, layouts::kMenuExit})
      PostMessageW(main, WM_COMMAND, command, 0);
    PostMessageW(main, WM_DROPFILES, reinterpret_cast<WPARAM>(testing::MakeDrop({scratch / "Lists\\now.m3u8"})), 0);
    duringTheCopy = LongTrackCopied() < kLongTrack;
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
  EXPECT_EQ(Main().PlayListPath(), chosen);
  EXPECT_EQ(Main().Text(layouts::kPLNameLabel), shown);
  EXPECT_EQ(scratch.Names("Player"), (Names{"a.mp3", "c.mp3", "long.mp3"}));
  HWND viewer = nullptr;
  EXPECT_FALSE(WaitUntil([&] { return (viewer = FindWindowW(L"HH Parent", nullptr)) != nullptr; }, 3));
  if (viewer)
    PostMessageW(viewer, WM_CLOSE, 0, 0);
}

} // namespace
} // namespace sf
