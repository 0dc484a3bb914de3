#include "FakePlatform.h"
#include "playlist/PlayListFile.h"
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

  // Loads an ".m3u" at `playList` listing `tracks`, and copies it.
  void Copy(const Lines &tracks, const std::string &destination = "E:\\Player", bool addMode = false) {
    Copy(tracks, destination, addMode, reverse);
  }
  void Copy(const Lines &tracks, const std::string &destination, bool addMode, bool reverse) {
    std::string content;
    for (const auto &track : tracks)
      content += track + "\r\n";
    fake.AddFile(playList, testing::ShiftJisBytes(content));
    TPlayList list(fake, playList);
    list.Load();
    fake.Journal().clear();
    RecordingProgress progress(fake.Journal());
    progress.whileCopying = [&] {
      if (whileCopying)
        whileCopying();
      progress.cancelled = progress.cancelled || (cancelAt && !Calls(cancelAt).empty());
    };
    completed = list.CopyTracks(progress, destination, addMode, reverse, numberTracks, skipUnchanged, writePlayList);
  }

  std::string CopyError(const Lines &tracks, const std::string &destination = "E:\\Player", bool addMode = false) {
    try {
      Copy(tracks, destination, addMode);
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
  std::string playList = "C:\\Lists\\mix.m3u";
  std::function<void()> whileCopying;
  const char *cancelAt = nullptr; // the user cancels at the first look after this call
  bool numberTracks = false;
  bool skipUnchanged = false;
  bool writePlayList = false;
  bool reverse = false;
  bool completed = false;
};

TEST_F(CopyRunTest, ChecksEveryTrackAndTheRoomBeforeClearingThenCopies) {
  fake.AddFile("E:\\Player\\old.mp3");
  Copy({"C:\\Music\\a.mp3", "..\\Music\\b.wma"});
  const auto &journal = fake.Journal();
  const auto when = [&](const std::string &line) {
    return std::find(journal.begin(), journal.end(), line) - journal.begin();
  };
  const auto deletion = when("Delete E:\\Player\\old.mp3");
  ASSERT_LT(deletion, std::ssize(journal));
  EXPECT_LT(when("Query C:\\Music\\a.mp3"), deletion);
  EXPECT_LT(when("Query C:\\Lists\\..\\Music\\b.wma"), deletion);
  EXPECT_LT(when("FreeSpace E:\\Player"), deletion);
  EXPECT_LT(deletion, when("Copy C:\\Music\\a.mp3 -> E:\\Player\\a.mp3"));
  EXPECT_LT(when("Show"), when("Label a.mp3"));
  EXPECT_EQ(Calls("Label"), (Lines{"Label a.mp3", "Label b.wma"}));
  EXPECT_EQ(Calls("Info"), (Lines{"Info mix.m3uより2曲をコピーしました"}));
  EXPECT_EQ(journal.back(), "Close");
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
  EXPECT_EQ(Destination(), (Lines{"a.mp3", "z.mp3"}));
  EXPECT_EQ(fake.ContentOf("E:\\Player\\z.mp3"), "kept");
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

TEST_F(CopyRunTest, RefusesATrackThatWouldOverwriteAnotherLyingInTheDestinationBeforeDeletingAnything) {
  fake.AddFile("E:\\Player\\a.mp3", "the only copy");
  fake.AddFile("E:\\Player\\old.mp3");
  const std::string refused =
      "ファイルC:\\Music\\a.mp3はコピー先にある曲E:\\Player\\a.mp3と同じ名前のためコピーできません";
  EXPECT_EQ(CopyError({"e:\\player\\A.MP3", "C:\\Music\\a.mp3"}), refused);
  EXPECT_EQ(CopyError({"C:\\Music\\a.mp3", "E:\\Player\\a.mp3"}), refused);
  EXPECT_EQ(CopyError({"C:\\Music\\a.mp3", "E:\\Player\\a.mp3"}, "E:\\Player", true), refused);
  EXPECT_EQ(Destination(), (Lines{"a.mp3", "old.mp3"}));
  EXPECT_EQ(fake.ContentOf("E:\\Player\\a.mp3"), "the only copy");
}

TEST_F(CopyRunTest, ResolvesRelativeTracksAndDestinationInThePlayListsFolder) {
  fake.AddFile("C:\\Lists\\Out\\old.mp3");
  fake.AddFile("C:\\Lists\\local.mp3", "local");
  Copy({"..\\Music\\a.mp3", "local.mp3"}, "Out");
  auto names = fake.FilesIn("C:\\Lists\\Out");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Lines{"a.mp3", "local.mp3"}));
  EXPECT_EQ(fake.WorkingFolder(), "C:\\") << "the working folder never changes";
}

TEST_F(CopyRunTest, AMissingTrackStopsTheRunBeforeAnythingIsDeleted) {
  fake.AddFile("E:\\Player\\old.mp3", "old");
  EXPECT_EQ(CopyError({"C:\\Music\\a.mp3", "..\\Music\\gone.mp3", "C:\\Music\\c.mp3"}),
            "ファイル..\\Music\\gone.mp3が存在しません");
  EXPECT_EQ(Destination(), (Lines{"old.mp3"}));
  EXPECT_EQ(Calls("Copy"), Lines{});
  EXPECT_EQ(Calls("Close"), Lines{}) << "the copy command hides the window";
  // A folder is not a track.
  EXPECT_EQ(CopyError({"C:\\Music"}), "ファイルC:\\Musicが存在しません");
  EXPECT_EQ(CopyError({"#EXTM3U", "C:\\Music\\a.mp3", "#1 Hit.mp3"}), "ファイル#1 Hit.mp3が存在しません");
  EXPECT_EQ(Destination(), (Lines{"old.mp3"}));
}

TEST_F(CopyRunTest, ATrackThatVanishesDuringTheRunStopsItThere) {
  whileCopying = [&] {
    if (!Calls("Copy").empty())
      fake.RemoveFile("C:\\Music\\c.mp3");
  };
  EXPECT_EQ(CopyError({"C:\\Music\\a.mp3", "C:\\Music\\c.mp3"}), "ファイルC:\\Music\\c.mp3が存在しません");
  EXPECT_EQ(Destination(), (Lines{"a.mp3"}));
}

TEST_F(CopyRunTest, AFailedCopyIsAnErrorEvenOverAnOlderFile) {
  fake.AddFile("E:\\Player\\b.wma", "old");
  fake.Fail("Copy", "C:\\Music\\b.wma");
  EXPECT_EQ(CopyError({"C:\\Music\\a.mp3", "C:\\Music\\b.wma"}, "E:\\Player", true),
            "ファイルC:\\Music\\b.wmaのコピーに失敗しました");
  EXPECT_EQ(fake.ContentOf("E:\\Player\\b.wma"), "old") << "a file the copy never reached stays";
  fake.Fail("Copy", "C:\\Music\\c.mp3");
  EXPECT_EQ(CopyError({"C:\\Music\\c.mp3"}), "ファイルC:\\Music\\c.mp3のコピーに失敗しました");
}

TEST_F(CopyRunTest, AFailedCopyLeavesAFileItNeverReachedHoweverTheFolderListsIt) {
  // In other case, under a name beyond plain ASCII, in a folder that cannot be listed; added to, so
  // that the clearing leaves them.
  fake.AddFile("E:\\Player\\B.WMA", "older b");
  fake.AddFile("E:\\Player\\曲.mp3", "older 曲");
  fake.AddFile("C:\\Music\\曲.mp3", "music of 曲");
  for (const char *track : {"C:\\Music\\b.wma", "C:\\Music\\曲.mp3"})
    fake.Fail("Copy", track);
  EXPECT_EQ(CopyError({"C:\\Music\\b.wma"}, "E:\\Player", true), "ファイルC:\\Music\\b.wmaのコピーに失敗しました");
  EXPECT_EQ(CopyError({"C:\\Music\\曲.mp3"}, "E:\\Player", true), "ファイルC:\\Music\\曲.mp3のコピーに失敗しました");
  fake.Fail("List", "E:\\Player");
  EXPECT_EQ(CopyError({"C:\\Music\\b.wma"}, "E:\\Player", true), "ファイルC:\\Music\\b.wmaのコピーに失敗しました");
  EXPECT_EQ(Destination(), (Lines{"B.WMA", "曲.mp3"}));
  EXPECT_EQ(fake.ContentOf("E:\\Player\\b.wma"), "older b");
}

TEST_F(CopyRunTest, ACopyThatFailsHalfWayLeavesNoPartialFile) {
  fake.AddFile("E:\\Player\\a.mp3", "older a");
  fake.Fail("CopyPartly", "C:\\Music\\c.mp3");
  fake.Fail("CopyPartly", "C:\\Music\\a.mp3");
  EXPECT_EQ(CopyError({"C:\\Music\\b.wma", "C:\\Music\\c.mp3"}), "ファイルC:\\Music\\c.mp3のコピーに失敗しました");
  EXPECT_EQ(Destination(), (Lines{"b.wma"}));
  EXPECT_EQ(CopyError({"C:\\Music\\a.mp3"}, "E:\\Player"), "ファイルC:\\Music\\a.mp3のコピーに失敗しました");
  EXPECT_EQ(Destination(), Lines{}) << "an overwritten file half rewritten is no track either";
}

TEST_F(CopyRunTest, ATargetTheCopyCannotReplaceStopsTheRunBeforeAnythingIsDeleted) {
  fake.AddFile("E:\\Player\\old.mp3", "old");
  fake.AddFile("E:\\Player\\own.mp3", "on the player", FakePlatform::kHidden);
  const Lines tracks{"C:\\Music\\a.mp3", "E:\\Player\\own.mp3", "..\\Music\\b.wma"};
  for (const auto attributes : {FakePlatform::kHidden, FakePlatform::kReadOnly, FakePlatform::kSystem}) {
    fake.AddFile("E:\\Player\\B.WMA", "older b", attributes);
    for (const bool addMode : {false, true}) {
      EXPECT_EQ(CopyError(tracks, "E:\\Player", addMode),
                "コピー先のファイルE:\\Player\\b."
                "wmaは読み取り専用・隠し・システムのいずれかの属性があるため上書きできません");
      EXPECT_EQ(Calls("Delete"), Lines{});
      EXPECT_EQ(Calls("Copy"), Lines{});
    }
  }
  EXPECT_EQ(Destination(), (Lines{"B.WMA", "old.mp3", "own.mp3"}));
  // Relative to the playlist's folder, the target is named in full.
  fake.AddFile("C:\\Lists\\Out\\a.mp3", "", FakePlatform::kReadOnly);
  EXPECT_EQ(CopyError({"..\\Music\\a.mp3"}, "Out"),
            "コピー先のファイルC:\\Lists\\Out\\a."
            "mp3は読み取り専用・隠し・システムのいずれかの属性があるため上書きできません");
  // A hidden track that already lies in the destination is no obstacle, and copies come out plain.
  fake.AddFile("C:\\Music\\b.wma", "music of b.wma", FakePlatform::kReadOnly | FakePlatform::kHidden);
  fake.RemoveFile("E:\\Player\\B.WMA");
  Copy(tracks);
  EXPECT_EQ(Destination(), (Lines{"a.mp3", "b.wma", "own.mp3"}));
  EXPECT_EQ(fake.QueryFile("E:\\Player\\b.wma").readOnly, false);
}

TEST_F(CopyRunTest, NamesAPartialCopyThatCannotBeDeleted) {
  fake.AddFolder("C:\\Lists\\Out");
  fake.Fail("CopyPartly", "C:\\Music\\a.mp3");
  fake.Fail("Delete", "C:\\Lists\\Out\\a.mp3");
  EXPECT_EQ(CopyError({"C:\\Music\\a.mp3"}, "Out"), "ファイルC:\\Music\\a.mp3のコピーに失敗しました\n"
                                                    "途中まで書き込まれたファイルC:\\Lists\\Out\\a.mp3が残っています");
}

TEST_F(CopyRunTest, NeitherOverwritesNorDeletesAFileThatAppearsAfterTheListing) {
  // Another program puts a file under the second track's name while the first copies.
  whileCopying = [&] {
    if (!Calls("Copy").empty() && !fake.HasFile("E:\\Player\\c.mp3"))
      fake.AddFile("E:\\Player\\c.mp3", "someone else's");
  };
  EXPECT_EQ(CopyError({"C:\\Music\\a.mp3", "C:\\Music\\c.mp3"}), "ファイルC:\\Music\\c.mp3のコピーに失敗しました");
  EXPECT_EQ(fake.ContentOf("E:\\Player\\c.mp3"), "someone else's");
}

TEST_F(CopyRunTest, AMissingDestinationFailsAtTheFirstCopy) {
  EXPECT_EQ(CopyError({"C:\\Music\\a.mp3"}, "E:\\Gone"), "ファイルC:\\Music\\a.mp3のコピーに失敗しました");
}

TEST_F(CopyRunTest, ResolvesTracksAsTheyWouldBeFromThePlayListsFolder) {
  // Whatever the working folder: rooted on the playlist's drive, "C:x" in its folder, while "D:x"
  // is left to the system, which knows drive D:'s current folder.
  fake.SetWorkingFolder("D:\\Elsewhere");
  fake.AddFile("C:\\Lists\\local.mp3", "local");
  fake.AddFile("D:\\d.mp3", "on D:");
  fake.AddFolder("C:\\Out");
  Copy({"C:local.mp3", "\\Music\\c.mp3", "D:d.mp3"}, "..\\Out");
  EXPECT_EQ(fake.ContentOf("C:\\Out\\local.mp3"), "local");
  EXPECT_EQ(fake.ContentOf("C:\\Out\\c.mp3"), "music of c.mp3");
  EXPECT_EQ(fake.ContentOf("C:\\Out\\d.mp3"), "on D:");
  EXPECT_EQ(fake.WorkingFolder(), "D:\\Elsewhere");
}

TEST_F(CopyRunTest, KnowsItsOwnTracksUnderAnyName) {
  // C:\Link reaches the player's folder, as a symbolic link, a SUBST drive or a share would.
  fake.LinkFolder("C:\\Link", "E:\\Player");
  fake.AddFile("E:\\Player\\only.mp3", "the only copy");
  fake.AddFile("E:\\Player\\old.mp3");
  Copy({"C:\\Link\\only.mp3", "C:\\Music\\a.mp3"});
  EXPECT_EQ(Destination(), (Lines{"a.mp3", "only.mp3"}));
  EXPECT_EQ(fake.ContentOf("E:\\Player\\only.mp3"), "the only copy");
  EXPECT_EQ(Calls("Copy"), (Lines{"Copy C:\\Music\\a.mp3 -> E:\\Player\\a.mp3"}));
  EXPECT_EQ(Calls("Info"), (Lines{"Info mix.m3uより2曲をコピーしました"}));
  // The same through a destination named by the link.
  Copy({"E:\\Player\\only.mp3"}, "C:\\Link");
  EXPECT_EQ(Destination(), (Lines{"only.mp3"}));
  EXPECT_EQ(Calls("Copy"), Lines{});
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

TEST_F(CopyRunTest, ADestinationRootTakesNoSecondSeparator) {
  fake.AddFolder("F:\\");
  Copy({"C:\\Music\\a.mp3"}, "F:\\");
  EXPECT_EQ(Calls("List"), (Lines{"List F:\\*.wma", "List F:\\*.mp3"}));
  EXPECT_EQ(Calls("Copy"), (Lines{"Copy C:\\Music\\a.mp3 -> F:\\a.mp3"}));
  EXPECT_TRUE(fake.HasFile("F:\\a.mp3"));
}

TEST_F(CopyRunTest, ADriveLetterAloneIsTheDrivesRootNotThePlayListsFolderOnIt) {
  fake.AddFile("E:\\Music\\lib.mp3", "the user's library");
  fake.AddFile("E:\\Music\\own.mp3", "music of own.mp3");
  fake.AddFile("E:\\old.mp3", "old");
  playList = "E:\\Music\\mix.m3u";
  Copy({"own.mp3", "C:\\Music\\a.mp3"}, "E:");
  EXPECT_EQ(fake.ContentOf("E:\\Music\\lib.mp3"), "the user's library");
  EXPECT_EQ(Calls("Delete"), (Lines{"Delete E:\\old.mp3"}));
  auto names = fake.FilesIn("E:\\");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Lines{"a.mp3", "own.mp3"}));
  EXPECT_EQ(fake.ContentOf("E:\\own.mp3"), "music of own.mp3");

  // A file in it is named with one separator; either case of the letter is the drive.
  writePlayList = true;
  fake.Fail("Write", "E:\\mix.m3u");
  EXPECT_EQ(CopyError({"own.mp3"}, "e:"), "プレイリストe:\\mix.m3uを書き込めません");
  EXPECT_EQ(fake.ContentOf("E:\\Music\\lib.mp3"), "the user's library");
}

// Room: what the tracks take on the destination's clusters against its free space and what the run
// frees there. Sizes in KiB of the fake's clusters of 4 KiB.
class CopyRoomTest : public CopyRunTest {
protected:
  static constexpr std::uint64_t kMiB = 1024 * 1024;

  void Track(const std::string &path, std::uint64_t bytes) { fake.AddFile(path, std::string(bytes, 'x')); }
};

TEST_F(CopyRoomTest, RefusesARunThatWouldNotFitBeforeDeletingAnything) {
  Track("C:\\Music\\big.mp3", 4 * kMiB + kMiB / 2);
  fake.AddFile("E:\\Player\\old.mp3", "old");
  fake.SetFreeSpace("E:", 4 * kMiB - 4096, 4096); // 4 KiB more is freed by deleting old.mp3
  EXPECT_EQ(CopyError({"C:\\Music\\big.mp3"}), "コピー先の空き容量が足りません(必要4.5MB、空き4.0MB)");
  EXPECT_EQ(Destination(), (Lines{"old.mp3"}));
  EXPECT_EQ(Calls("Delete"), Lines{});
  EXPECT_EQ(Calls("Copy"), Lines{});
  EXPECT_EQ(Calls("Close"), Lines{});
  // Needed rounds up, available rounds down, both to a tenth.
  fake.SetFreeSpace("E:", 4 * kMiB + kMiB / 2 - 8192, 4096);
  EXPECT_EQ(CopyError({"C:\\Music\\big.mp3"}), "コピー先の空き容量が足りません(必要4.5MB、空き4.4MB)");
  fake.SetFreeSpace("E:", 4 * kMiB + kMiB / 2 - 4096, 4096);
  Copy({"C:\\Music\\big.mp3"});
  EXPECT_EQ(Destination(), (Lines{"big.mp3"}));
}

TEST_F(CopyRoomTest, CountsClustersOncePerNameAndNothingForOwnTracks) {
  Track("C:\\Music\\one.mp3", 1);      // a whole cluster
  Track("C:\\Music\\twin.mp3", 8192);  // two, but its twin is larger:
  Track("C:\\Other\\twin.mp3", 8193);  // three
  Track("E:\\Player\\own.mp3", 40960); // already where it belongs
  fake.SetFreeSpace("E:", 4 * 4096 - 1, 4096);
  const Lines tracks{"C:\\Music\\one.mp3", "C:\\Music\\twin.mp3", "C:\\Other\\twin.mp3", "E:\\Player\\own.mp3"};
  EXPECT_EQ(CopyError(tracks), "コピー先の空き容量が足りません(必要0.1MB、空き0.0MB)");
  fake.SetFreeSpace("E:", 4 * 4096, 4096);
  Copy(tracks);
  EXPECT_EQ(Destination(), (Lines{"one.mp3", "own.mp3", "twin.mp3"}));
}

TEST_F(CopyRoomTest, ChecksAgainAfterAClearingThatFreedLessThanCounted) {
  Track("C:\\Music\\new.mp3", 2 * 4096);
  fake.AddFile("E:\\Player\\held.mp3", std::string(4096, 'o'));
  fake.Fail("Delete", "E:\\Player\\held.mp3"); // another program holds it open
  fake.SetFreeSpace("E:", 4096, 4096);
  EXPECT_EQ(CopyError({"C:\\Music\\new.mp3"}), "コピー先の空き容量が足りません(必要0.1MB、空き0.0MB)");
  EXPECT_EQ(Calls("Delete"), (Lines{"Delete E:\\Player\\held.mp3"}));
  EXPECT_EQ(Calls("Copy"), Lines{});
}

TEST_F(CopyRoomTest, CountsWhatTheClearingAndTheOverwritesFree) {
  Track("C:\\Music\\new.mp3", 3 * 4096);
  fake.AddFile("E:\\Player\\gone.wma", std::string(4096, 'o'));
  fake.AddFile("E:\\Player\\new.mp3", std::string(4096, 'o'));
  fake.AddFile("E:\\Player\\stays.mp3", std::string(4096, 'o'), FakePlatform::kReadOnly);
  fake.SetFreeSpace("E:", 4096, 4096);
  Copy({"C:\\Music\\new.mp3"});
  EXPECT_EQ(Destination(), (Lines{"new.mp3", "stays.mp3"}));
  // In add mode nothing is cleared to make room.
  fake.RemoveFile("E:\\Player\\new.mp3");
  fake.AddFile("E:\\Player\\kept.wma", std::string(4096, 'o'));
  fake.SetFreeSpace("E:", 4096, 4096);
  EXPECT_EQ(CopyError({"C:\\Music\\new.mp3"}, "E:\\Player", true),
            "コピー先の空き容量が足りません(必要0.1MB、空き0.0MB)");
  EXPECT_TRUE(fake.HasFile("E:\\Player\\kept.wma"));
}

TEST_F(CopyRunTest, ACancelDuringACopyRemovesItsPartAndKeepsTheTracksCopiedBefore) {
  cancelAt = "Copy C:\\Music\\b.wma";
  Copy({"C:\\Music\\a.mp3", "C:\\Music\\b.wma", "C:\\Music\\c.mp3"});
  EXPECT_FALSE(completed);
  EXPECT_EQ(Destination(), Lines{"a.mp3"});
  EXPECT_EQ(Calls("Info"), Lines{"Info コピーを中止しました(mix.m3uより1曲をコピー済み)"});
  EXPECT_EQ(fake.Journal().back(), "Close");
}

TEST_F(CopyRunTest, ACancelDuringTheClearingStopsBeforeTheNextDeletion) {
  fake.AddFile("E:\\Player\\old1.mp3");
  fake.AddFile("E:\\Player\\old2.mp3");
  cancelAt = "Delete E:\\Player\\old1.mp3";
  Copy({"C:\\Music\\a.mp3"});
  EXPECT_EQ(Destination(), Lines{"old2.mp3"});
  EXPECT_EQ(Calls("Info"), Lines{"Info コピーを中止しました(mix.m3uより0曲をコピー済み)"});
}

TEST_F(CopyRunTest, NumberedNamesFollowTheCopyOrderAndTheLabelShowsTheTracksName) {
  numberTracks = true;
  fake.AddFile("E:\\Player\\001 old.mp3");
  fake.AddFile("E:\\Player\\002 old.m4a");
  Copy({"C:\\Music\\a.mp3", "C:\\Music\\b.wma", "C:\\Music\\c.mp3"});
  EXPECT_EQ(Destination(), (Lines{"001 a.mp3", "002 b.wma", "002 old.m4a", "003 c.mp3"}));
  EXPECT_EQ(Calls("Label"), (Lines{"Label a.mp3", "Label b.wma", "Label c.mp3"}));
  Copy({"C:\\Music\\a.mp3", "C:\\Music\\b.wma", "C:\\Music\\c.mp3"}, "E:\\Player", false, true);
  EXPECT_EQ(Destination(), (Lines{"001 c.mp3", "002 b.wma", "002 old.m4a", "003 a.mp3"}));
  EXPECT_EQ(fake.ContentOf("E:\\Player\\001 c.mp3"), "music of c.mp3");
}

TEST_F(CopyRunTest, AddModeNumbersAfterTheHighestNumberedFile) {
  numberTracks = true;
  // Only exactly three digits and a blank are a number of the program's own.
  fake.AddFile("E:\\Player\\041 hidden.m4a", "", FakePlatform::kHidden);
  for (const char *name : {"1999 Party.mp3", "12 x.mp3", "500nospace.mp3"})
    fake.AddFile(std::string("E:\\Player\\") + name);
  Copy({"C:\\Music\\a.mp3", "C:\\Music\\b.wma"}, "E:\\Player", true);
  EXPECT_TRUE(fake.HasFile("E:\\Player\\042 a.mp3"));
  EXPECT_TRUE(fake.HasFile("E:\\Player\\043 b.wma"));
}

TEST_F(CopyRunTest, RefusesNumbersBeyond999BeforeDeletingAnything) {
  numberTracks = true;
  fake.AddFile("E:\\Player\\998 x.mp3");
  EXPECT_EQ(CopyError({"C:\\Music\\a.mp3", "C:\\Music\\b.wma"}, "E:\\Player", true),
            "曲番号が999を超えるためコピーできません");
  EXPECT_EQ(Calls("Copy"), Lines{});
  EXPECT_EQ(Destination(), Lines{"998 x.mp3"});
}

TEST_F(CopyRunTest, ATracksCopyLandsInTheDestinationWhateverThePlayListWrites) {
  fake.AddFile("E:\\Music\\a.mp3", "the user's own");
  Copy({"../Music/a.mp3", "C:/Music/c.mp3", "file:///C:/Music/b.wma"});
  EXPECT_EQ(Destination(), (Lines{"a.mp3", "b.wma", "c.mp3"}));
  EXPECT_EQ(fake.ContentOf("E:\\Music\\a.mp3"), "the user's own");

  // A name that the system would take as a path, a device or another spelling refuses the
  // playlist as it loads, by the track's place in it.
  fake.AddFile("E:\\Player\\old.mp3");
  for (const std::string name :
       {"C:\\Music\\", "C:\\Music\\.", "..", "C:\\Music\\a.mp3.", "a.mp3 ", "CON", "nul.mp3", "Com1.wma", "LPT9 .mp3",
        "a<b.mp3", "a|b.mp3", "a\"b.mp3", "a*.mp3", "a?.mp3", "a\tb.mp3", "file:///C:/Music/a%7C.mp3",
        "file:///C:/Music/x%2F..%2F..%2FVictim%2Fthesis.doc", "http://example.com/a.mp3"})
    EXPECT_EQ(CopyError({"C:\\Music\\a.mp3", name}), "2番目の曲のファイル名が不正です") << name;
  EXPECT_EQ(Destination(), (Lines{"a.mp3", "b.wma", "c.mp3", "old.mp3"}));

  // The last guard asks the system itself: a name it would take elsewhere refuses the run before
  // anything is deleted.
  fake.ResolveElsewhere("E:\\Player\\c.mp3", "E:\\Victim\\c.mp3");
  EXPECT_EQ(CopyError({"C:\\Music\\a.mp3", "C:\\Music\\c.mp3"}), "2番目の曲のファイル名が不正です");
  EXPECT_EQ(Destination(), (Lines{"a.mp3", "b.wma", "c.mp3", "old.mp3"}));
}

TEST_F(CopyRunTest, NumberedNamesTooLongOrAfterAnUnreadableFolderAreRefusedBeforeAnything) {
  numberTracks = true;
  fake.AddFile("E:\\Player\\old.mp3");
  const std::string longName(250, 'x');
  fake.AddFile("C:\\Music\\" + longName + ".mp3");
  EXPECT_EQ(CopyError({"C:\\Music\\a.mp3", "C:\\Music\\" + longName + ".mp3"}), "2番目の曲のファイル名が不正です");
  fake.Fail("List", "E:\\Player");
  EXPECT_EQ(CopyError({"C:\\Music\\a.mp3"}, "E:\\Player", true), "コピー先フォルダーE:\\Playerの中身を読み取れません");
  EXPECT_EQ(Calls("Copy"), Lines{});
  EXPECT_EQ(Destination(), Lines{"old.mp3"});
}

TEST_F(CopyRunTest, ACancelCountsOnlyTheCopiesStillInTheDestination) {
  fake.AddFile("C:\\Other\\a.mp3", "another a");
  whileCopying = [&] {
    if (!Calls("Copy C:\\Other").empty())
      cancelAt = "Copy C:\\Other";
  };
  Copy({"C:\\Music\\a.mp3", "C:\\Other\\a.mp3"});
  EXPECT_EQ(Destination(), Lines{});
  EXPECT_EQ(Calls("Info"), Lines{"Info コピーを中止しました(mix.m3uより0曲をコピー済み)"});
}

TEST_F(CopyRunTest, ACloudTrackIsFetchedBeforeTheClearingAndOneThatCannotBeIsRefused) {
  fake.AddFile("E:\\Player\\old.mp3");
  fake.AddFile("C:\\Music\\cloud.mp3", "in the cloud", FakePlatform::kNotOnDisk);
  Copy({"C:\\Music\\a.mp3", "C:\\Music\\cloud.mp3"});
  const auto &journal = fake.Journal();
  const auto read = std::find(journal.begin(), journal.end(), "Read C:\\Music\\cloud.mp3");
  EXPECT_LT(read, std::find(journal.begin(), journal.end(), "Delete E:\\Player\\old.mp3"));
  EXPECT_EQ(Destination(), (Lines{"a.mp3", "cloud.mp3"}));

  fake.Fail("Read", "C:\\Music\\cloud.mp3");
  EXPECT_EQ(CopyError({"C:\\Music\\a.mp3", "C:\\Music\\cloud.mp3"}),
            "ファイルC:\\Music\\cloud.mp3はこのコンピューターにないためコピーできません");
  EXPECT_EQ(Destination(), (Lines{"a.mp3", "cloud.mp3"}));
}

// A track's copy is told by its name, size and time: the sources carry real times, which copies keep.
class SkipUnchangedTest : public CopyRunTest {
protected:
  SkipUnchangedTest() {
    skipUnchanged = true;
    for (const char *name : {"a.mp3", "b.wma", "c.mp3"})
      fake.SetLastWrite(std::string("C:\\Music\\") + name, 133'000'000'000'000'000);
  }
  const Lines tracks = {"C:\\Music\\a.mp3", "C:\\Music\\b.wma", "C:\\Music\\c.mp3"};
};

TEST_F(SkipUnchangedTest, AReSyncCopiesOnlyWhatChangedAndStillClearsTheRest) {
  Copy(tracks);
  fake.AddFile("E:\\Player\\old.mp3");
  Copy(tracks);
  EXPECT_EQ(Calls("Copy"), Lines{});
  EXPECT_EQ(Calls("Info"), Lines{"Info mix.m3uの曲はすべてコピー先と同じです(3曲)"});
  EXPECT_EQ(Destination(), (Lines{"a.mp3", "b.wma", "c.mp3"}));

  fake.AddFile("C:\\Music\\b.wma", "a longer, newer b");
  fake.SetLastWrite("C:\\Music\\b.wma", 133'000'000'000'000'000);
  Copy(tracks);
  EXPECT_EQ(Calls("Copy"), Lines{"Copy C:\\Music\\b.wma -> E:\\Player\\b.wma"});
  EXPECT_EQ(Calls("Info"), Lines{"Info mix.m3uより1曲をコピーしました(2曲はコピー先と同じため省略)"});
}

TEST_F(SkipUnchangedTest, NumberedCopiesTakeTheirNewNumbersByRenamingEvenWhereTheyCross) {
  numberTracks = true;
  Copy(tracks);
  Copy({tracks[2], tracks[1], tracks[0]});
  EXPECT_EQ(Calls("Copy"), Lines{});
  EXPECT_EQ(Destination(), (Lines{"001 c.mp3", "002 b.wma", "003 a.mp3"}));
  EXPECT_EQ(fake.ContentOf("E:\\Player\\001 c.mp3"), "music of c.mp3");
  EXPECT_EQ(fake.ContentOf("E:\\Player\\003 a.mp3"), "music of a.mp3");
}

TEST_F(SkipUnchangedTest, AddModeSkipsTracksWithACopyAndNumbersTheOthersAfterTheHighest) {
  numberTracks = true;
  Copy({tracks[0]});
  Copy(tracks, "E:\\Player", true);
  EXPECT_EQ(Destination(), (Lines{"001 a.mp3", "002 b.wma", "003 c.mp3"}));
  EXPECT_EQ(Calls("Info"), Lines{"Info mix.m3uより2曲をコピーしました(1曲はコピー先と同じため省略)"});
}

TEST_F(SkipUnchangedTest, ACancelCountsTheCopiesLeftAsTheyWere) {
  Copy({tracks[0], tracks[1]});
  cancelAt = "Copy C:\\Music\\c.mp3";
  Copy(tracks);
  EXPECT_EQ(Destination(), (Lines{"a.mp3", "b.wma"}));
  EXPECT_EQ(Calls("Info"), Lines{"Info コピーを中止しました(mix.m3uより2曲をコピー済み)"});
}

// The playlist file the run leaves beside its copies: their names in the order they were copied.
class PlayListFileRunTest : public CopyRunTest {
protected:
  PlayListFileRunTest() {
    writePlayList = true;
    fake.AddFile("C:\\Music\\#1 表.mp3", "music of #1");
  }

  // The names the file at `path` lists, or "(none)" / "(not its own)".
  Lines Listed(const std::string &path) {
    const auto bytes = fake.ContentOf(path);
    if (!bytes)
      return {"(none)"};
    const auto copies = OwnPlayListCopies(*bytes);
    return copies ? *copies : Lines{"(not its own)"};
  }
};

TEST_F(PlayListFileRunTest, ListsTheCopiesInCopyOrderInEveryMode) {
  fake.AddFile("E:\\Player\\old.mp3", "old");
  Copy({"C:\\Music\\a.mp3", "C:\\Music\\b.wma"});
  EXPECT_EQ(fake.ContentOf("E:\\Player\\mix.m3u"), PlayListFileBytes({"a.mp3", "b.wma"}));
  EXPECT_EQ(Destination(), (Lines{"a.mp3", "b.wma", "mix.m3u"}));

  // Reversed: the order of the copies. A name beyond ASCII makes it ".m3u8"; the ".m3u" goes.
  reverse = true;
  fake.AddFile("C:\\Lists\\mix.m3u", "");
  Copy({"C:\\Music\\a.mp3", "C:\\Music\\#1 表.mp3"});
  EXPECT_EQ(Listed("E:\\Player\\mix.m3u8"), (Lines{"#1 表.mp3", "a.mp3"}));
  EXPECT_EQ(fake.ContentOf("E:\\Player\\mix.m3u8")->find(".\\#1 表.mp3\r\n"), 44u);
  EXPECT_EQ(Destination(), (Lines{"#1 表.mp3", "a.mp3", "mix.m3u8"}));
  reverse = false;

  // Add mode: the copies the earlier file lists and that are still there come first.
  fake.RemoveFile("E:\\Player\\a.mp3");
  Copy({"C:\\Music\\c.mp3", "C:\\Music\\#1 表.mp3"}, "E:\\Player", true);
  EXPECT_EQ(Listed("E:\\Player\\mix.m3u8"), (Lines{"c.mp3", "#1 表.mp3"}));

  // Numbers follow the copy order; copies left as they were are listed in their places, and an
  // unchanged file is not written again.
  numberTracks = skipUnchanged = true;
  Copy({"C:\\Music\\a.mp3", "C:\\Music\\c.mp3"});
  EXPECT_EQ(Listed("E:\\Player\\mix.m3u"), (Lines{"001 a.mp3", "002 c.mp3"}));
  Copy({"C:\\Music\\a.mp3", "C:\\Music\\c.mp3"});
  EXPECT_EQ(Calls("ReplaceWhole"), Lines{});
  EXPECT_EQ(Listed("E:\\Player\\mix.m3u"), (Lines{"001 a.mp3", "002 c.mp3"}));
}

TEST_F(PlayListFileRunTest, NeverWritesOverAFileThatIsNotItsOwn) {
  const Lines tracks = {"C:\\Music\\a.mp3"};
  for (const std::string &bytes : {std::string("C:\\Music\\a.mp3\r\n"), PlayListFileBytes({"a.mp3"}) + "b.mp3\r\n"}) {
    fake.AddFile("E:\\Player\\mix.m3u", bytes);
    fake.AddFile("E:\\Player\\old.mp3", "old");
    EXPECT_EQ(CopyError(tracks), "コピー先のE:\\Player\\mix.m3uはSongferryが作ったものではないため上書きできません");
    EXPECT_EQ(fake.ContentOf("E:\\Player\\mix.m3u"), bytes);
    EXPECT_EQ(fake.ContentOf("E:\\Player\\old.mp3"), "old");
  }
  // Its own, but read-only: the user has made it so.
  fake.AddFile("E:\\Player\\mix.m3u", PlayListFileBytes({"x.mp3"}), FakePlatform::kReadOnly);
  EXPECT_EQ(CopyError(tracks), "コピー先のE:\\Player\\mix.m3uはSongferryが作ったものではないため上書きできません");
  // With the option off, a run never touches it.
  writePlayList = false;
  Copy(tracks);
  EXPECT_EQ(fake.ContentOf("E:\\Player\\mix.m3u"), PlayListFileBytes({"x.mp3"}));
}

TEST_F(PlayListFileRunTest, AfterACancelLeavesAFileOfTheUsersUnderTheOtherName) {
  // Planned as ".m3u8" for the name beyond ASCII; stopped before that copy, the run lists plain names.
  fake.AddFile("E:\\Player\\mix.m3u", "the user's list\r\n");
  cancelAt = "Copy C:\\Music\\#1 表.mp3";
  Copy({"C:\\Music\\a.mp3", "C:\\Music\\#1 表.mp3"});
  EXPECT_FALSE(completed);
  EXPECT_EQ(fake.ContentOf("E:\\Player\\mix.m3u"), "the user's list\r\n");
  EXPECT_EQ(Destination(), (Lines{"a.mp3", "mix.m3u"}));
}

TEST_F(PlayListFileRunTest, AfterACancelListsWhatTheDestinationHoldsAndAFailedWriteIsTheRunsFailure) {
  cancelAt = "Copy C:\\Music\\c.mp3";
  Copy({"C:\\Music\\a.mp3", "C:\\Music\\c.mp3", "C:\\Music\\b.wma"});
  EXPECT_FALSE(completed);
  EXPECT_EQ(Listed("E:\\Player\\mix.m3u"), (Lines{"a.mp3"}));
  cancelAt = nullptr;

  fake.Fail("Write", "E:\\Player\\mix.m3u");
  EXPECT_EQ(CopyError({"C:\\Music\\c.mp3"}), "プレイリストE:\\Player\\mix.m3uを書き込めません");
  fake.Fail("Copy", "C:\\Music\\c.mp3");
  EXPECT_EQ(CopyError({"C:\\Music\\b.wma", "C:\\Music\\c.mp3"}),
            "ファイルC:\\Music\\c.mp3のコピーに失敗しました\nプレイリストE:\\Player\\mix.m3uを書き込めません");
  EXPECT_EQ(Listed("E:\\Player\\mix.m3u"), (Lines{"a.mp3"}));
}
} // namespace
} // namespace sf
