#include "FakePlatform.h"
#include "platform/PathParts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace sf {
namespace {

using testing::FakePlatform;
using testing::FatFormat;
using CrashPoint = FakePlatform::CrashPoint;
using testing::FatKind;
using testing::FatPlacement;
using Names = std::vector<std::string>;
using Made = Platform::MakeResult;

// On E:, whose clusters of 512 bytes hold 16 entries each. Single letters take one entry, mixed-case
// names two. The folder E:\M starts with "." and "..", so that 14 entries are left.
class FatFolderTest : public ::testing::Test {
protected:
  void Mount(FatFormat format = {FatKind::Fat32, 512}) {
    fake.MountFat("E:", format);
    fake.AddFolder("E:\\M");
  }
  void Make(const Names &names, const std::string &folder = "E:\\M") {
    for (const auto &name : names)
      ASSERT_EQ(fake.MakeEmptyFile(JoinPath(folder, name)), Made::Made) << name;
  }
  void Remove(const Names &names) {
    for (const auto &name : names)
      ASSERT_TRUE(fake.RemoveFile("E:\\M\\" + name)) << name;
  }
  Names Listed(const std::string &folder = "E:\\M") {
    Names names;
    const auto entries = fake.ListEntries(folder);
    for (const auto &entry : entries.value())
      names.push_back(entry.name);
    return names;
  }
  static Names Letters(char first, char last) {
    Names names;
    for (char letter = first; letter <= last; ++letter)
      names.emplace_back(1, letter);
    return names;
  }

  FakePlatform fake;
};

TEST(FatEntriesTest, ANameTakesOneEntryOnlyWhereTheShortEntryHoldsItAlone) {
  const struct {
    FatKind kind;
    const char *name;
    std::size_t entries;
  } cases[] = {
      {FatKind::Fat32, "TRACK01.MP3", 1},    {FatKind::Fat32, "track01.mp3", 1},
      {FatKind::Fat16, "TRACK01.mp3", 1},    {FatKind::Fat32, "Track01.mp3", 2},
      {FatKind::Fat32, "001 x.mp3", 2},      {FatKind::Fat32, "曲.mp3", 2},
      {FatKind::Fat32, "a+b.mp3", 2},        {FatKind::Fat32, "a.b.mp3", 2},
      {FatKind::Fat32, "track.mpeg", 2},     {FatKind::Fat32, "abcdefghi.mp3", 2},
      {FatKind::Fat32, "abcdefghij.mp3", 3}, {FatKind::Fat32, "🎵 x.mp3", 2},
      {FatKind::ExFat, "TRACK01.MP3", 3},    {FatKind::ExFat, "001 A song of sixteen.mp3", 4},
  };
  for (const auto &each : cases)
    EXPECT_EQ(testing::EntriesForName(each.kind, each.name), each.entries) << each.name;
}

TEST_F(FatFolderTest, EachKindNamesItsFileSystem) {
  for (const auto &[kind, name] :
       {std::pair{FatKind::Fat16, "FAT"}, {FatKind::Fat32, "FAT32"}, {FatKind::ExFat, "exFAT"}}) {
    fake = FakePlatform();
    fake.MountFat("E:", {kind});
    EXPECT_EQ(fake.FileSystemOf("E:\\x.mp3"), name);
    EXPECT_EQ(fake.FileSystemOf("C:\\x.mp3"), "NTFS");
  }
}

TEST_F(FatFolderTest, WindowsFillsTheNeverUsedEndFirstLinuxTheFirstGap) {
  for (const auto &[placement, listed] : {std::pair{FatPlacement::Published, Names{"B", "C", "D"}},
                                          {FatPlacement::FirstFitFromStart, Names{"D", "B", "C"}}}) {
    fake = FakePlatform();
    Mount({FatKind::Fat32, 512, placement});
    Make({"A", "B", "C"});
    Remove({"A"});
    Make({"D"});
    EXPECT_EQ(Listed(), listed);
  }
}

TEST_F(FatFolderTest, OnceTheEndIsUsedTheFirstGapThatFitsIsTaken) {
  Mount();
  Make(Letters('A', 'N'));
  Remove({"B", "E", "F"});
  Make({"Xx", "Y"});
  EXPECT_EQ(Listed(), (Names{"A", "Y", "C", "D", "Xx", "G", "H", "I", "J", "K", "L", "M", "N"}));
  EXPECT_EQ(fake.FolderEntryCount("E:\\M"), 16u);
}

TEST_F(FatFolderTest, AFolderWithNoRunThatFitsGrowsByAClusterFromItsNeverUsedEnd) {
  Mount();
  Make(Letters('A', 'M'));
  Remove({"A"});
  Make({"Xx"});
  auto listed = Letters('B', 'M');
  listed.push_back("Xx");
  EXPECT_EQ(Listed(), listed);
  EXPECT_EQ(fake.FolderEntryCount("E:\\M"), 32u);
}

TEST_F(FatFolderTest, AFullFixedRootIsCompactedInOrderAndRefusesWhatStillDoesNotFit) {
  fake.MountFat("E:", {FatKind::Fat16, 512, FatPlacement::Published, 0, 16});
  Make(Letters('A', 'P'), "E:\\");
  ASSERT_TRUE(fake.RemoveFile("E:\\B") && fake.RemoveFile("E:\\D"));
  Make({"Xx"}, "E:\\");
  const Names listed = {"A", "C", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N", "O", "P", "Xx"};
  EXPECT_EQ(Listed("E:\\"), listed);
  EXPECT_EQ(fake.MakeEmptyFile("E:\\Y"), Made::FolderFull);
  EXPECT_EQ(fake.MakeFolder("E:\\Y", false), Made::FolderFull);
  EXPECT_EQ(Listed("E:\\"), listed);
}

TEST_F(FatFolderTest, ARenameToAsManyEntriesKeepsTheEntryInPlace) {
  Mount();
  Make({"A", "B", "C"});
  const auto identity = fake.FileIdentity("E:\\M\\B");
  ASSERT_EQ(fake.MoveEntry("E:\\M\\B", "E:\\M\\Z"), Made::Made);
  EXPECT_EQ(Listed(), (Names{"A", "Z", "C"}));
  EXPECT_EQ(fake.FileIdentity("E:\\M\\Z"), identity);
}

TEST_F(FatFolderTest, ARenameToMoreEntriesFindsThemBeforeFreeingTheOldOnes) {
  Mount();
  Make(Letters('A', 'N'));
  Remove({"C"}); // B and C together would hold two entries, but B's are in use while new ones are sought
  ASSERT_EQ(fake.MoveEntry("E:\\M\\B", "E:\\M\\Bb"), Made::Made);
  auto listed = Letters('D', 'N');
  listed.insert(listed.begin(), "A");
  listed.push_back("Bb");
  EXPECT_EQ(Listed(), listed);
  EXPECT_EQ(fake.FolderEntryCount("E:\\M"), 32u);
}

TEST_F(FatFolderTest, AMovedFileChangesItsIdentityAndTheNextFileThereTakesTheOld) {
  Mount();
  Make(Letters('A', 'N'));
  fake.AddFolder("E:\\O");
  const auto identity = fake.FileIdentity("E:\\M\\B");
  ASSERT_EQ(fake.MoveEntry("E:\\M\\B", "E:\\O\\B"), Made::Made);
  EXPECT_NE(fake.FileIdentity("E:\\O\\B"), identity);
  Make({"Y"});
  EXPECT_EQ(fake.FileIdentity("E:\\M\\Y"), identity);
  EXPECT_EQ(Listed("E:\\O"), Names{"B"});
}

TEST_F(FatFolderTest, CopyingOverAFileKeepsItsEntryACopyToANewNameTakesOne) {
  Mount();
  fake.AddFile("C:\\x.mp3", "music");
  Make({"A", "B"});
  const auto identity = fake.FileIdentity("E:\\M\\A");
  ASSERT_EQ(fake.CopyFileOver("C:\\x.mp3", "E:\\M\\A", false, [] {}), Platform::CopyResult::Copied);
  ASSERT_EQ(fake.CopyFileOver("C:\\x.mp3", "E:\\M\\C", true, [] {}), Platform::CopyResult::Copied);
  EXPECT_EQ(Listed(), (Names{"A", "B", "C"}));
  EXPECT_EQ(fake.FileIdentity("E:\\M\\A"), identity);
}

TEST_F(FatFolderTest, FoldersAreEntriesTooAndKeepTheirHiddenMark) {
  Mount();
  Make({"a.mp3"}, "E:\\");
  ASSERT_EQ(fake.MakeFolder("E:\\Work", true), Made::Made);
  const auto entries = fake.ListEntries("E:\\").value();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_TRUE(entries[0].name == "M" && entries[0].folder && !entries[0].hidden);
  EXPECT_TRUE(entries[1].name == "a.mp3" && !entries[1].folder);
  EXPECT_TRUE(entries[2].name == "Work" && entries[2].folder && entries[2].hidden);
}

TEST_F(FatFolderTest, RandomPlacementFollowsItsSeed) {
  const auto listing = [&](std::uint32_t seed) {
    fake = FakePlatform();
    Mount({FatKind::Fat32, 512, FatPlacement::Random, seed});
    Make(Letters('A', 'N'));
    Remove({"A", "C", "E", "G", "I", "K", "M"});
    Make(Letters('O', 'U'));
    return Listed();
  };
  EXPECT_EQ(listing(1), listing(1));
  EXPECT_NE(listing(1), listing(2));
}

TEST_F(FatFolderTest, AShortNameMadeWhereItsLongNameJustLeftTakesItAndItsEntriesBack) {
  Mount();
  Make({"T8.Mp3"});
  Make(Letters('A', 'L')); // the 14 entries are used
  Remove({"T8.Mp3"});
  Make({"t8.mp3", "Y"});
  auto listed = Letters('A', 'L');
  listed.insert(listed.begin(), "T8.Mp3");
  listed.push_back("Y");
  EXPECT_EQ(Listed(), listed) << "both entries of the gap taken, Y goes into a new cluster";
  EXPECT_EQ(fake.ListFiles("E:\\M\\t8.*"), Names{"T8.Mp3"});
}

TEST_F(FatFolderTest, OnlyAShortNameThatArrivesWithinTheWindowOnFatTunnels) {
  const auto arriving = [&](FatFormat format, double seconds, const std::string &name, bool renamed = false) {
    fake = FakePlatform();
    Mount(format);
    Make({"T8.Mp3", "x.mp3"});
    Remove({"T8.Mp3"});
    fake.AdvanceClock(seconds);
    if (renamed)
      EXPECT_EQ(fake.MoveEntry("E:\\M\\x.mp3", "E:\\M\\" + name), Made::Made);
    else
      Make({name});
    return fake.FilesIn("E:\\M");
  };
  const FatFormat fat32{FatKind::Fat32, 512}, noTunnel{FatKind::Fat32, 512, FatPlacement::Published, 0, 512, 0};
  EXPECT_EQ(arriving(fat32, 14, "t8.mp3"), (Names{"T8.Mp3", "x.mp3"}));
  EXPECT_EQ(arriving(fat32, 0, "t8.mp3", true), (Names{"T8.Mp3"})) << "renamed into it";
  EXPECT_EQ(arriving(fat32, 15, "t8.mp3"), (Names{"t8.mp3", "x.mp3"})) << "too late";
  EXPECT_EQ(arriving(fat32, 0, "t8.Mp3"), (Names{"t8.Mp3", "x.mp3"})) << "a long name of its own";
  EXPECT_EQ(arriving(noTunnel, 0, "t8.mp3"), (Names{"t8.mp3", "x.mp3"}));
  EXPECT_EQ(arriving({FatKind::ExFat, 512}, 0, "t8.mp3"), (Names{"t8.mp3", "x.mp3"}));
}

TEST_F(FatFolderTest, ADriveThatListsByNameSortsTheUpperCasedNamesAsBytes) {
  FatFormat format{FatKind::Fat32, 512};
  format.listsByName = true;
  Mount(format);
  Make({"b", "_x", "表", "C", "a"});
  EXPECT_EQ(Listed(), (Names{"a", "b", "C", "_x", "表"}));
  EXPECT_EQ(fake.FileSystemOf("E:\\M"), "FAT32");
}

TEST_F(FatFolderTest, AFolderTakesItsClustersOutOfTheFreeSpaceAndGivesThemBackOnlyWhenRemoved) {
  fake.MountFat("E:", {FatKind::Fat32, 512});
  fake.SetFreeSpace("E:", 64 * 512, 512);
  const auto clustersFree = [&] { return fake.FreeSpace("E:\\").value().freeBytes / 512; };
  fake.AddFolder("E:\\M");
  EXPECT_EQ(clustersFree(), 63u);
  Make(Letters('A', 'N'));
  EXPECT_EQ(clustersFree(), 63u);
  Make({"O"});
  EXPECT_EQ(clustersFree(), 62u);
  Remove(Letters('A', 'O'));
  EXPECT_EQ(clustersFree(), 62u);
  ASSERT_TRUE(fake.RemoveFolder("E:\\M"));
  EXPECT_EQ(clustersFree(), 64u);
}

// A process killed, or its drive pulled, at one of its calls.
TEST_F(FatFolderTest, ACrashStopsACallBeforeOrAfterItsEffectAndEveryCallAfterItUntilARestart) {
  Mount();
  fake.AddFile("C:\\x.mp3", "music!");
  Make({"A"});
  const auto copy = [&](const std::string &target) {
    return fake.CopyFileOver("C:\\x.mp3", "E:\\M\\" + target, true, [] {});
  };
  const auto calls = fake.CallCount();
  fake.UpperCase("a");
  EXPECT_EQ(fake.CallCount(), calls) << "no call of the file system";

  fake.CrashAt(2, CrashPoint::BeforeEffect);
  EXPECT_TRUE(fake.FileExists("E:\\M\\A"));
  EXPECT_THROW(fake.MoveEntry("E:\\M\\A", "E:\\M\\B"), testing::SimulatedCrash);
  EXPECT_THROW(copy("C"), testing::SimulatedCrash);
  EXPECT_EQ(fake.CallCount(), calls + 2);
  EXPECT_EQ(fake.FilesIn("E:\\M"), Names{"A"});

  fake.Restart();
  fake.CrashAt(1, CrashPoint::AfterEffect);
  EXPECT_THROW(fake.MoveEntry("E:\\M\\A", "E:\\M\\B"), testing::SimulatedCrash);
  EXPECT_EQ(fake.FilesIn("E:\\M"), Names{"B"});

  // Stopped before its end, a copy leaves its first half, in an entry of its own.
  for (const auto point : {CrashPoint::BeforeEffect, CrashPoint::AfterEffect}) {
    fake.Restart();
    fake.CrashAt(1, point);
    EXPECT_THROW(copy(point == CrashPoint::BeforeEffect ? "C" : "D"), testing::SimulatedCrash);
  }
  fake.Restart();
  EXPECT_EQ(Listed(), (Names{"B", "C", "D"}));
  EXPECT_EQ(fake.ContentOf("E:\\M\\C"), "mus");
  EXPECT_EQ(fake.ContentOf("E:\\M\\D"), "music!");
}

// A player's folder of 101 tracks with names of 45 characters (five entries each), synchronised as a
// run without add mode does: every track deleted, then made again in playlist order.
class ResyncTest : public FatFolderTest {
protected:
  static std::string Track(int number) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%03d", number);
    return std::string(digits) + " The name of a long track in the list.mp3";
  }
  void Sync() {
    for (int number = 1; number <= 101; ++number)
      fake.RemoveFile("E:\\Music\\" + Track(number));
    for (int number = 1; number <= 101; ++number)
      ASSERT_EQ(fake.MakeEmptyFile("E:\\Music\\" + Track(number)), Made::Made);
  }
  // How many of the first tracks play after all the others.
  std::size_t PlayedLast() {
    const auto listed = Listed("E:\\Music");
    const auto first = std::find(listed.begin(), listed.end(), Track(1));
    return static_cast<std::size_t>(listed.end() - first);
  }
};

TEST_F(ResyncTest, OnWindowsTheFirstTracksMoveToTheEnd) {
  const struct {
    std::size_t clusterBytes;
    std::size_t playedLast[3]; // after the first, second and third re-sync
    std::size_t entries;
  } cases[] = {{512, {1, 0, 0}, 512},
               {4096, {1, 0, 0}, 512},
               {16384, {1, 0, 0}, 512},
               {32768, {0, 2, 0}, 1024},
               {65536, {0, 0, 0}, 2048}};
  for (const auto &each : cases) {
    fake = FakePlatform();
    fake.MountFat("E:", {FatKind::Fat32, each.clusterBytes});
    fake.AddFolder("E:\\Music");
    Sync();
    for (const auto playedLast : each.playedLast) {
      Sync();
      EXPECT_EQ(PlayedLast() % 101, playedLast) << each.clusterBytes;
    }
    EXPECT_EQ(fake.FolderEntryCount("E:\\Music"), each.entries) << each.clusterBytes;
  }
}

} // namespace
} // namespace sf
