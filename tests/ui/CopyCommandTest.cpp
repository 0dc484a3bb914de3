#include "WindowTestFixture.h"
#include "ui/SFCopyingForm.h"

#include <commctrl.h>

namespace sf {
namespace {

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
  {
    WindowAnswerer failure;
    Click(Main().Handle(), layouts::kIdOk);
    EXPECT_EQ(failure.Seen().caption, "Songferry");
    EXPECT_EQ(failure.Seen().text, "ファイルが見つかりません.");
  }
  EXPECT_FALSE(ProgressShown()) << "loading comes before the run";
  EXPECT_TRUE(IsWindow(Main().Handle()));
}

} // namespace
} // namespace sf
