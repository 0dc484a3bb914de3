#include "FakePlatform.h"
#include "ScratchFolder.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32Platform.h"
#include "playlist/SFException.h"
#include "playlist/SFPlayList.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

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
    scratch.Write("Lists\\" + name, testing::ShiftJisBytes(content));
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

TEST_F(CopyRunOnDisk, AMissingTrackLeavesAFullDestinationAsItWas) {
  scratch.Write("Player\\a.mp3", "old a");
  scratch.Write("Player\\ソ.wma", "old so");
  EXPECT_EQ(CopyError({"..\\Music\\a.mp3", "..\\Music\\gone.mp3", "..\\Music\\b.wma"}, scratch / "Player"),
            "ファイル..\\Music\\gone.mp3が存在しません");
  EXPECT_EQ(scratch.Names("Player"), (Names{"a.mp3", "ソ.wma"}));
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\a.mp3"), "old a");
}

// A folder that the Unix side made reachable under a second name, through a symbolic link.
TEST_F(CopyRunOnDisk, NeverDeletesATrackReachedThroughALinkedFolder) {
  const char *linked = std::getenv("SONGFERRY_LINKED_FOLDER");
  const char *link = std::getenv("SONGFERRY_LINK");
  if (!linked || !link)
    GTEST_SKIP() << "run through with-unix-fixtures.sh to have a linked folder";
  const std::string player = linked;
  ASSERT_TRUE(CopyFileW(Widen(scratch / "Music\\b.wma").c_str(), Widen(player + "\\only.wma").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(Widen(scratch / "Other\\a.mp3").c_str(), Widen(player + "\\old.mp3").c_str(), FALSE));
  Copy({std::string(link) + "\\only.wma", "..\\Music\\a.mp3"}, player);
  const auto names = [&] {
    Names found;
    for (const auto &name : platform.ListFiles(player + "\\*"))
      found.push_back(name);
    std::sort(found.begin(), found.end());
    return found;
  }();
  EXPECT_EQ(names, (Names{"a.mp3", "only.wma"}));
  EXPECT_EQ(ReadWholeFile(player + "\\only.wma"), "music b");
  EXPECT_EQ(journal[journal.size() - 2], "Info mix.m3uより2曲をコピーしました");
  for (const auto &name : names)
    DeleteFileW(Widen(player + "\\" + name).c_str());
}

// A file system of 4 MiB that the Unix side mounted, as a small player would be.
TEST_F(CopyRunOnDisk, RefusesTracksThatDoNotFitBeforeDeletingAnything) {
  const char *small = std::getenv("SONGFERRY_SMALL_FOLDER");
  if (!small)
    GTEST_SKIP() << "no small file system: mounting needs root and with-unix-fixtures.sh";
  const std::string player = small;
  const auto write = [](const std::string &path, std::size_t bytes) {
    std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
  };
  write(scratch / "Music\\big.mp3", 5 << 20);
  write(scratch / "Music\\fits.mp3", 3 << 20);
  write(player + "\\old.mp3", 1 << 20);
  EXPECT_EQ(CopyError({"..\\Music\\big.mp3"}, player), "コピー先の空き容量が足りません(必要5.0MB、空き4.0MB)");
  EXPECT_EQ(platform.ListFiles(player + "\\*"), Names{"old.mp3"});
  Copy({"..\\Music\\fits.mp3"}, player);
  EXPECT_EQ(platform.ListFiles(player + "\\*"), Names{"fits.mp3"});
  DeleteFileW(Widen(player + "\\fits.mp3").c_str());
}

TEST_F(CopyRunOnDisk, AMissingDestinationFailsAtTheFirstCopy) {
  EXPECT_EQ(CopyError({"..\\Music\\a.mp3"}, scratch / "NoSuchFolder"),
            "ファイル..\\Music\\a.mp3のコピーに失敗しました");
}

TEST_F(CopyRunOnDisk, AFailedCopyOverAnOlderFileIsReported) {
  scratch.Write("Player\\a.mp3", "old");
  // Held open without sharing, the old copy cannot be replaced.
  HANDLE held =
      CreateFileW(Widen(scratch / "Player\\a.mp3").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
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

TEST_F(CopyRunOnDisk, AMissingPlayListFolderStopsTheRunBeforeAnyDeletion) {
  scratch.Write("Player\\old.mp3");
  scratch.Write("Lists\\mix.m3u", "..\\Music\\a.mp3\r\n");
  TPlayList list(platform, scratch / "Lists\\mix.m3u");
  list.Load();
  list.FileName = scratch / "Gone\\Deeper\\mix.m3u";
  RecordingProgress progress(journal);
  try {
    list.CopyTracks(progress, scratch / "Player", false, false);
    FAIL() << "the track is not there";
  } catch (const ESFException &error) {
    EXPECT_STREQ(error.what(), "ファイル..\\Music\\a.mp3が存在しません");
  }
  EXPECT_EQ(scratch.Names("Player"), Names{"old.mp3"});
}

TEST_F(CopyRunOnDisk, CopiesPlayListsOfCurrentPlayersWithNamesBeyondShiftJis) {
  const Names names{"Beyoncé - Halo.mp3", "한국어.mp3", "🎵.wma", "表.mp3"};
  for (const auto &name : names)
    scratch.Write("Music\\" + name, "music " + name);
  scratch.Write("Music\\#1 Hit.mp3", "hit");
  const auto labels = [&] {
    Names found;
    for (const auto &line : journal) {
      if (line.rfind("Label ", 0) == 0)
        found.push_back(line.substr(6));
    }
    journal.clear();
    return found;
  };
  const auto run = [&](const std::string &list, const std::string &bytes, bool reverse) {
    scratch.Write("Player\\old.mp3", "old");
    scratch.Write("Lists\\" + list, bytes);
    TPlayList playList(platform, scratch / ("Lists\\" + list));
    playList.Load();
    RecordingProgress progress(journal);
    playList.CopyTracks(progress, scratch / "Player", false, reverse);
  };

  const std::string m3u8 = "#EXTM3U\r\n#EXTINF:261,Beyoncé - Halo\r\n..\\Music\\Beyoncé - Halo.mp3\r\n"
                           "#EXTINF:1,x\r\n..\\Music\\한국어.mp3\r\n..\\Music\\🎵.wma\r\n..\\Music\\表.mp3\r\n";
  run("今.m3u8", m3u8, false);
  EXPECT_EQ(labels(), names);
  EXPECT_EQ(scratch.Names("Player"), (Names{"Beyoncé - Halo.mp3", "表.mp3", "한국어.mp3", "🎵.wma"}));
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\🎵.wma"), "music 🎵.wma");
  run("今.m3u8", "\xEF\xBB\xBF" + m3u8, true);
  EXPECT_EQ(labels(), (Names{"表.mp3", "🎵.wma", "한국어.mp3", "Beyoncé - Halo.mp3"}));

  // An extended ".m3u" in Shift-JIS: the directives go, a track named with "#" stays.
  run("ext.m3u", testing::ShiftJisBytes("#EXTM3U\r\n#EXTINF:1,表\r\n..\\Music\\#1 Hit.mp3\r\n..\\Music\\表.mp3\r\n"),
      false);
  EXPECT_EQ(labels(), (Names{"#1 Hit.mp3", "表.mp3"}));
  EXPECT_EQ(scratch.Names("Player"), (Names{"#1 Hit.mp3", "表.mp3"}));
  // An ".m3u" that starts with a byte-order mark is UTF-8.
  run("bom.m3u", "\xEF\xBB\xBF..\\Music\\한국어.mp3\r\n", false);
  EXPECT_EQ(scratch.Names("Player"), Names{"한국어.mp3"});
}

} // namespace
} // namespace sf
