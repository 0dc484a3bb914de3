#include "FakePlatform.h"
#include "platform/InOutError.h"
#include "playlist/SFException.h"
#include "playlist/SFPlayList.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace sf {
namespace {

using testing::FakePlatform;
using testing::RecordingProgress;
using Lines = std::vector<std::string>;

class CopyRunTest : public ::testing::Test {
protected:
  CopyRunTest() {
    fake.AddFolder("E:\\Player");
    for (const char *name : {"a.mp3", "b.wma", "c.mp3"})
      fake.AddFile(std::string("C:\\Music\\") + name, std::string("music of ") + name);
  }

  // Loads an ".m3u" at C:\Lists\mix.m3u listing `tracks`, and copies it.
  void Copy(const Lines &tracks, const std::string &destination = "E:\\Player", bool addMode = false,
            bool reverse = false) {
    std::string content;
    for (const auto &track : tracks)
      content += track + "\r\n";
    fake.AddFile("C:\\Lists\\mix.m3u", content);
    TPlayList list(fake, "C:\\Lists\\mix.m3u");
    list.Load();
    fake.Journal().clear();
    RecordingProgress progress(fake.Journal());
    list.CopyTracks(progress, destination, addMode, reverse);
  }

  std::string CopyError(const Lines &tracks, const std::string &destination = "E:\\Player") {
    try {
      Copy(tracks, destination);
    } catch (const ESFException &error) {
      return error.what();
    }
    return "(no ESFException)";
  }

  // The journal lines that start with `prefix`.
  Lines Calls(const std::string &prefix) {
    Lines lines;
    std::copy_if(fake.Journal().begin(), fake.Journal().end(), std::back_inserter(lines),
                 [&](const std::string &line) { return line.rfind(prefix, 0) == 0; });
    return lines;
  }

  Lines Destination() {
    auto names = fake.FilesIn("E:\\Player");
    std::sort(names.begin(), names.end());
    return names;
  }

  FakePlatform fake;
};

TEST_F(CopyRunTest, WorksThroughTheRunInOrder) {
  fake.AddFile("E:\\Player\\old.mp3");
  Copy({"C:\\Music\\a.mp3", "..\\Music\\b.wma"});
  EXPECT_EQ(fake.Journal(), (Lines{
                                "Maximum 2",
                                "Show",
                                "ChangeFolder C:\\Lists",
                                "List E:\\Player\\*.wma",
                                "List E:\\Player\\*.mp3",
                                "Delete E:\\Player\\old.mp3",
                                "Exists C:\\Music\\a.mp3",
                                "Label a.mp3",
                                "Position 1",
                                "Repaint",
                                "Copy C:\\Music\\a.mp3 -> E:\\Player\\a.mp3",
                                "Exists E:\\Player\\a.mp3",
                                "Exists ..\\Music\\b.wma",
                                "Label b.wma",
                                "Position 2",
                                "Repaint",
                                "Copy ..\\Music\\b.wma -> E:\\Player\\b.wma",
                                "Exists E:\\Player\\b.wma",
                                "Info mix.m3uより2曲をコピーしました",
                                "Close",
                            }));
  EXPECT_EQ(Destination(), (Lines{"a.mp3", "b.wma"}));
  EXPECT_EQ(fake.ContentOf("E:\\Player\\b.wma"), "music of b.wma");
}

TEST_F(CopyRunTest, RefusesAnEmptyDestinationBeforeShowingAnything) {
  EXPECT_EQ(CopyError({"C:\\Music\\a.mp3"}, ""),
            "コピー先フォルダが未指定です。オプション-環境設定で設定してください。");
  EXPECT_TRUE(fake.Journal().empty());
}

TEST_F(CopyRunTest, ClearsOnlyVisibleWmaAndMp3Files) {
  fake.AddFile("E:\\Player\\a.mp3", "old");
  fake.AddFile("E:\\Player\\b.WMA", "old");
  fake.AddFile("E:\\Player\\c.txt");
  fake.AddFile("E:\\Player\\README");
  fake.AddFile("E:\\Player\\d.mp3", "", FakePlatform::kHidden);
  fake.AddFile("E:\\Player\\e.mp3", "", FakePlatform::kReadOnly);
  fake.AddFile("E:\\Player\\x.mp3x");
  fake.AddFile("E:\\Player\\y.wmav");
  fake.AddFile("E:\\Player\\Sub\\f.mp3");
  Copy({});
  EXPECT_EQ(Calls("Delete"),
            (Lines{"Delete E:\\Player\\b.WMA", "Delete E:\\Player\\a.mp3", "Delete E:\\Player\\e.mp3"}));
  EXPECT_EQ(Destination(), (Lines{"README", "c.txt", "d.mp3", "e.mp3", "x.mp3x", "y.wmav"}));
  EXPECT_TRUE(fake.HasFile("E:\\Player\\Sub\\f.mp3"));
  EXPECT_EQ(Calls("Info"), (Lines{"Info mix.m3uより0曲をコピーしました"}));
}

TEST_F(CopyRunTest, AddModeKeepsTheDestinationAndOverwritesByName) {
  fake.AddFile("E:\\Player\\a.mp3", "old");
  fake.AddFile("E:\\Player\\z.mp3", "kept");
  Copy({"C:\\Music\\a.mp3"}, "E:\\Player", true);
  EXPECT_TRUE(Calls("List").empty());
  EXPECT_EQ(Destination(), (Lines{"a.mp3", "z.mp3"}));
  EXPECT_EQ(fake.ContentOf("E:\\Player\\a.mp3"), "music of a.mp3");
}

TEST_F(CopyRunTest, ReverseCopiesBackwardsWhileThePositionCountsUp) {
  Copy({"C:\\Music\\a.mp3", "C:\\Music\\b.wma", "C:\\Music\\c.mp3"}, "E:\\Player", false, true);
  EXPECT_EQ(Calls("Label"), (Lines{"Label c.mp3", "Label b.wma", "Label a.mp3"}));
  EXPECT_EQ(Calls("Position"), (Lines{"Position 1", "Position 2", "Position 3"}));
  EXPECT_EQ(Calls("Info"), (Lines{"Info mix.m3uより3曲をコピーしました"}));
}

TEST_F(CopyRunTest, TheLaterOfTwoTracksWithOneNameWins) {
  fake.AddFile("C:\\Other\\a.mp3", "other a");
  Copy({"C:\\Music\\a.mp3", "C:\\Other\\a.mp3"});
  EXPECT_EQ(fake.ContentOf("E:\\Player\\a.mp3"), "other a");
  EXPECT_EQ(Calls("Info"), (Lines{"Info mix.m3uより2曲をコピーしました"}));
}

TEST_F(CopyRunTest, ResolvesRelativeTracksAndDestinationInThePlayListsFolder) {
  fake.AddFile("C:\\Lists\\Out\\old.mp3");
  fake.AddFile("C:\\Lists\\local.mp3", "local");
  Copy({"..\\Music\\a.mp3", "local.mp3"}, "Out");
  auto names = fake.FilesIn("C:\\Lists\\Out");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Lines{"a.mp3", "local.mp3"}));
  EXPECT_EQ(fake.WorkingFolder(), "C:\\Lists");
}

TEST_F(CopyRunTest, StopsAtAMissingTrackNamingItAsWritten) {
  EXPECT_EQ(CopyError({"C:\\Music\\a.mp3", "..\\Music\\gone.mp3", "C:\\Music\\c.mp3"}),
            "ファイル..\\Music\\gone.mp3が存在しません");
  EXPECT_EQ(Destination(), (Lines{"a.mp3"}));
  EXPECT_EQ(Calls("Close"), Lines{}) << "the copy command hides the window";
  // A folder is not a track.
  EXPECT_EQ(CopyError({"C:\\Music"}), "ファイルC:\\Musicが存在しません");
}

TEST_F(CopyRunTest, AFailedCopyIsAnErrorEvenOverAnOlderFile) {
  fake.AddFile("E:\\Player\\b.wma", "old", FakePlatform::kReadOnly);
  EXPECT_EQ(CopyError({"C:\\Music\\a.mp3", "C:\\Music\\b.wma"}), "ファイルC:\\Music\\b.wmaのコピーに失敗しました");
  fake.Fail("Copy", "C:\\Music\\c.mp3");
  EXPECT_EQ(CopyError({"C:\\Music\\c.mp3"}), "ファイルC:\\Music\\c.mp3のコピーに失敗しました");
}

TEST_F(CopyRunTest, AMissingDestinationFailsAtTheFirstCopy) {
  EXPECT_EQ(CopyError({"C:\\Music\\a.mp3"}, "E:\\Gone"), "ファイルC:\\Music\\a.mp3のコピーに失敗しました");
}

TEST_F(CopyRunTest, AFailedFolderChangeIsAnInOutErrorBeforeAnythingIsDeleted) {
  fake.AddFile("E:\\Player\\old.mp3");
  fake.Fail("ChangeFolder", "C:\\Lists", 3);
  try {
    Copy({"C:\\Music\\a.mp3"});
    FAIL();
  } catch (const EInOutError &error) {
    EXPECT_EQ(error.ErrorCode(), 3);
  }
  EXPECT_TRUE(Calls("Delete").empty());
  EXPECT_EQ(Calls("Close"), Lines{});
  EXPECT_EQ(Destination(), (Lines{"old.mp3"}));
}

TEST_F(CopyRunTest, NeverDeletesItsOwnTracks) {
  fake.AddFile("E:\\Player\\keep.mp3", "on the player");
  fake.AddFile("E:\\Player\\old.mp3");
  Copy({"C:\\Music\\a.mp3", "e:\\player\\KEEP.mp3"});
  EXPECT_EQ(Destination(), (Lines{"a.mp3", "keep.mp3"}));
  EXPECT_EQ(fake.ContentOf("E:\\Player\\keep.mp3"), "on the player");
  EXPECT_EQ(Calls("Copy"), (Lines{"Copy C:\\Music\\a.mp3 -> E:\\Player\\a.mp3"}));
  EXPECT_EQ(Calls("Info"), (Lines{"Info mix.m3uより2曲をコピーしました"}));
}

TEST_F(CopyRunTest, ADestinationRootDoublesTheSeparator) {
  fake.AddFolder("F:\\");
  Copy({"C:\\Music\\a.mp3"}, "F:\\");
  EXPECT_EQ(Calls("List"), (Lines{"List F:\\\\*.wma", "List F:\\\\*.mp3"}));
  EXPECT_EQ(Calls("Copy"), (Lines{"Copy C:\\Music\\a.mp3 -> F:\\\\a.mp3"}));
  EXPECT_TRUE(fake.HasFile("F:\\a.mp3"));
}

} // namespace
} // namespace sf
