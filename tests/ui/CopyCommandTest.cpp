#include "WindowTestFixture.h"
#include "ui/SFCopyingForm.h"

#include <commctrl.h>

#include <thread>

namespace sf {
namespace {

using testing::ItemText;
using testing::ReadWholeFile;
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
  // As a run that failed with an error other than the program's own would have left it.
  ui::CopyingForm->Show();
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
  // Sparse: seconds to copy, next to nothing on disk until copied.
  constexpr LONGLONG kLongTrack = 1LL << 30;
  const std::string longTrack = scratch / "Music\\long.mp3", copy = scratch / "Player\\long.mp3";
  const HANDLE file = CreateFileW(Widen(longTrack).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  SetFilePointerEx(file, LARGE_INTEGER{.QuadPart = kLongTrack}, nullptr, FILE_BEGIN);
  SetEndOfFile(file);
  CloseHandle(file);
  scratch.Write("Lists\\mix.m3u", "..\\Music\\a.mp3\r\n..\\Music\\long.mp3\r\n..\\Music\\c.mp3\r\n");

  const auto copied = [&] {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Widen(copy).c_str(), GetFileExInfoStandard, &data))
      return -1LL;
    return static_cast<LONGLONG>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
  };
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
  DeleteFileW(Widen(copy).c_str());
  DeleteFileW(Widen(longTrack).c_str());
}

} // namespace
} // namespace sf
