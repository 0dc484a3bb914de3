#include "FakePlatform.h"
#include "ScratchFolder.h"
#include "platform/InOutError.h"
#include "platform/win32/Win32Platform.h"
#include "playlist/SFException.h"
#include "playlist/SFPlayList.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace sf {
namespace {

using testing::ReadWholeFile;
using testing::RecordingProgress;
using testing::ScratchFolder;
using Names = std::vector<std::string>;

class CopyRunOnDisk : public ::testing::Test {
protected:
  CopyRunOnDisk() {
    scratch.Write("Music\\a.mp3", "music a");
    scratch.Write("Music\\b.wma", "music b");
    scratch.Write("Other\\a.mp3", "other a");
    scratch.MakeFolder("Player");
  }

  // Writes the playlist `name` into Lists and copies it into `destination`.
  void Copy(const Names &tracks, const std::string &destination, bool addMode = false, bool reverse = false,
            const std::string &name = "mix.m3u") {
    std::string content;
    for (const auto &track : tracks)
      content += track + "\r\n";
    scratch.Write("Lists\\" + name, content);
    TPlayList list(platform, scratch / ("Lists\\" + name));
    list.Load();
    RecordingProgress progress(journal);
    list.CopyTracks(progress, destination, addMode, reverse);
  }

  std::string CopyError(const Names &tracks, const std::string &destination) {
    try {
      Copy(tracks, destination);
    } catch (const ESFException &error) {
      return error.what();
    }
    return "(no ESFException)";
  }

  Win32Platform platform;
  ScratchFolder scratch;
  std::vector<std::string> journal;
};

TEST_F(CopyRunOnDisk, ClearsOnlyVisibleWmaAndMp3FilesOfThoseExactExtensions) {
  scratch.Write("Player\\a.mp3", "old");
  scratch.Write("Player\\b.WMA", "old");
  scratch.Write("Player\\c.txt");
  scratch.Write("Player\\README");
  scratch.Write("Player\\d.mp3", "", FILE_ATTRIBUTE_HIDDEN);
  scratch.Write("Player\\e.mp3", "", FILE_ATTRIBUTE_READONLY);
  scratch.Write("Player\\x.mp3x");
  scratch.Write("Player\\ソ.wma");
  Copy({"..\\Music\\b.wma"}, scratch / "Player");
  EXPECT_EQ(scratch.Names("Player"), (Names{"README", "b.wma", "c.txt", "d.mp3", "e.mp3", "x.mp3x"}));
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\b.wma"), "music b");
  EXPECT_EQ(journal.back(), "Close");
  EXPECT_EQ(journal[journal.size() - 2], "Info mix.m3uより1曲をコピーしました");
}

TEST_F(CopyRunOnDisk, AddModeTouchesNothingButTheCopies) {
  scratch.Write("Player\\a.mp3", "old");
  scratch.Write("Player\\z.mp3", "kept");
  Copy({"..\\Music\\a.mp3"}, scratch / "Player", true);
  EXPECT_EQ(scratch.Names("Player"), (Names{"a.mp3", "z.mp3"}));
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\a.mp3"), "music a");
}

TEST_F(CopyRunOnDisk, ReverseOrderLetsTheFirstOfTwoSameNamedTracksWin) {
  Copy({scratch / "Music\\a.mp3", scratch / "Other\\a.mp3"}, scratch / "Player", false, true);
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\a.mp3"), "music a");
  Copy({scratch / "Music\\a.mp3", scratch / "Other\\a.mp3"}, scratch / "Player");
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\a.mp3"), "other a");
}

TEST_F(CopyRunOnDisk, StopsAtAMissingSecondTrack) {
  EXPECT_EQ(CopyError({"..\\Music\\a.mp3", "..\\Music\\gone.mp3", "..\\Music\\b.wma"}, scratch / "Player"),
            "ファイル..\\Music\\gone.mp3が存在しません");
  EXPECT_EQ(scratch.Names("Player"), Names{"a.mp3"});
}

TEST_F(CopyRunOnDisk, AMissingDestinationFailsAtTheFirstCopy) {
  EXPECT_EQ(CopyError({"..\\Music\\a.mp3"}, scratch / "NoSuchFolder"),
            "ファイル..\\Music\\a.mp3のコピーに失敗しました");
}

TEST_F(CopyRunOnDisk, AFailedCopyOverAnOlderFileIsReported) {
  scratch.Write("Player\\a.mp3", "old");
  // Held open without sharing, the old copy cannot be replaced.
  HANDLE held = CreateFileA((scratch / "Player\\a.mp3").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const auto message = CopyError({"..\\Music\\a.mp3"}, scratch / "Player");
  CloseHandle(held);
  EXPECT_EQ(message, "ファイル..\\Music\\a.mp3のコピーに失敗しました");
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\a.mp3"), "old");
}

TEST_F(CopyRunOnDisk, HandlesShiftJisNamesWithA5CSecondByte) {
  scratch.Write("表\\ソ.mp3", "music so");
  scratch.Write("Player\\表.mp3", "old");
  Copy({"..\\表\\ソ.mp3"}, scratch / "Player", false, false, "表.m3u");
  EXPECT_EQ(scratch.Names("Player"), Names{"ソ.mp3"});
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\ソ.mp3"), "music so");
  EXPECT_EQ(journal.back(), "Close");
  EXPECT_EQ(journal[journal.size() - 2], "Info 表.m3uより1曲をコピーしました");
}

TEST_F(CopyRunOnDisk, ARelativeDestinationNamesOneFolderForClearingAndCopying) {
  scratch.Write("Lists\\Out\\old.mp3");
  scratch.Write("Out\\elsewhere.mp3");
  Copy({"..\\Music\\a.mp3"}, "Out");
  EXPECT_EQ(scratch.Names("Lists\\Out"), Names{"a.mp3"});
  EXPECT_EQ(scratch.Names("Out"), Names{"elsewhere.mp3"});
}

TEST_F(CopyRunOnDisk, NeverDeletesOrCopiesOverItsOwnTracks) {
  scratch.Write("Player\\old.mp3");
  scratch.Write("Player\\mine.mp3", "mine");
  Copy({"..\\Player\\MINE.mp3", "..\\Music\\a.mp3"}, scratch / "Player");
  EXPECT_EQ(scratch.Names("Player"), (Names{"a.mp3", "mine.mp3"}));
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\mine.mp3"), "mine");
  EXPECT_EQ(journal[journal.size() - 2], "Info mix.m3uより2曲をコピーしました");
}

TEST_F(CopyRunOnDisk, AMissingPlayListFolderIsAnInOutErrorBeforeAnyDeletion) {
  scratch.Write("Player\\old.mp3");
  scratch.Write("Lists\\mix.m3u", "..\\Music\\a.mp3\r\n");
  TPlayList list(platform, scratch / "Lists\\mix.m3u");
  list.Load();
  list.FileName = scratch / "Gone\\mix.m3u";
  RecordingProgress progress(journal);
  EXPECT_THROW(list.CopyTracks(progress, scratch / "Player", false, false), EInOutError);
  EXPECT_EQ(scratch.Names("Player"), Names{"old.mp3"});
}

} // namespace
} // namespace sf
