// The order a FAT folder lists its entries in, which is the order many players play: after every
// run the tracks stand in copy order, whatever rule the file system places new entries by, copied
// or left as they were.
#include "FakePlatform.h"
#include "platform/PathParts.h"
#include "playlist/SFException.h"
#include "playlist/SFPlayList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>

namespace sf {
namespace {

using testing::FakePlatform;
using testing::FatFormat;
using testing::FatKind;
using testing::FatPlacement;
using testing::RecordingProgress;
using Lines = std::vector<std::string>;

std::string Upper(std::string text) {
  for (auto &c : text)
    c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return text;
}

// One sequence of runs onto one modelled drive, drawn from its seed.
class Sequence {
public:
  Sequence(FatPlacement placement, std::uint32_t seed) : random_(seed) {
    FatFormat format;
    format.placement = placement;
    format.seed = seed;
    const FatKind kinds[] = {FatKind::Fat16, FatKind::Fat32, FatKind::ExFat};
    format.kind = kinds[Pick(3)];
    format.clusterBytes = std::size_t{512} << Pick(8);
    format.rootEntries = 64 + 32 * Pick(15);
    fake_.MountFat("E:", format);
    // The fixed root of FAT12/16 is where the order may be out of reach.
    fixedRoot_ = format.kind == FatKind::Fat16 && Pick(2) == 0;
    destination_ = fixedRoot_ ? "E:\\" : "E:\\Music";
    fake_.AddFolder(destination_);
    for (int i = 0, kept = static_cast<int>(Pick(4)); i < kept; ++i)
      fake_.AddFile(JoinIn(Name(i) + (i % 2 ? ".m4a" : ".txt")), "kept " + std::to_string(i));
    if (Pick(3) == 0)
      fake_.AddFile(JoinIn("hidden.mp3"), "hidden", FakePlatform::kHidden);
    if (!fixedRoot_ && Pick(3) == 0)
      fake_.AddFile(JoinIn("Sub\\inner.mp3"), "inner");
    const int tracks = 1 + static_cast<int>(Pick(fixedRoot_ ? 12 : 30));
    for (int i = 0; i < tracks; ++i) {
      tracks_.push_back("C:\\Music\\" + Name(100 + i) + (Pick(2) ? ".mp3" : ".wma"));
      fake_.AddFile(tracks_.back(), "music " + std::to_string(i));
      // Real times, which copies keep: a copy left as it was is told by its time.
      fake_.SetLastWrite(tracks_.back(), 133'000'000'000'000'000 + i);
    }
  }

  // One run with options drawn at random; with `interrupt`, a cancel or a failure at a random step.
  // Checks what the run must leave.
  void Run(bool interrupt, const std::string &trace) {
    addMode_ = Pick(4) == 0;
    reverse_ = Pick(2) == 0;
    numbers_ = Pick(3) == 0;
    // In add mode the copies left as they were stay outside the order.
    const bool skip = !addMode_ && Pick(2) == 0;
    Lines playlist = tracks_;
    std::shuffle(playlist.begin(), playlist.end(), random_);
    playlist.resize(1 + Pick(playlist.size()));
    const auto kept = KeptFiles();
    const auto before = Names();

    std::string content;
    for (const auto &track : playlist)
      content += track + "\r\n";
    fake_.AddFile("C:\\Lists\\mix.m3u", testing::ShiftJisBytes(content));
    TPlayList list(fake_, "C:\\Lists\\mix.m3u");
    list.Load();
    Lines journal;
    RecordingProgress progress(journal);
    std::size_t looks = 0, cancelAt = interrupt && Pick(2) ? 1 + Pick(60) : 0;
    progress.whileCopying = [&] { progress.cancelled = progress.cancelled || ++looks == cancelAt; };
    if (interrupt && !cancelAt)
      fake_.Fail("Copy", playlist[Pick(playlist.size())]);
    bool completed = false;
    std::string failure;
    try {
      completed = list.CopyTracks(progress, destination_, addMode_, reverse_, numbers_, skip);
    } catch (const ESFException &error) {
      failure = error.what();
    }
    fake_.ClearFailures();
    // A run with nothing injected completes.
    EXPECT_TRUE(interrupt || completed) << failure << trace;

    // Nothing of the user's is lost, whatever happened, and a cancel or an error leaves nothing of
    // the run's own: its placeholders, held files, holding folder and record are undone.
    for (const auto &[name, content] : kept)
      EXPECT_EQ(fake_.ContentOf(JoinIn(name)), content) << name << trace;
    const auto after = Names();
    EXPECT_EQ(std::count_if(after.begin(), after.end(),
                            [](const std::string &name) { return Upper(name).rfind("~S", 0) == 0; }),
              0)
        << trace;
    if (!completed)
      return;
    const bool orderLost =
        journal.back() != "Close" || std::any_of(journal.begin(), journal.end(), [](const std::string &line) {
          return line.find("曲の並び順をコピー先に保てませんでした") != std::string::npos;
        });
    if (orderLost) {
      EXPECT_TRUE(fixedRoot_) << "the order was given up on a folder that can grow" << trace;
      return;
    }
    // The copies in copy order, after whatever was there before in add mode.
    // In add mode the numbers go on after the highest of the files there before.
    int highest = 0;
    for (const auto &name : addMode_ &&numbers_ ? before : Lines{}) {
      if (name.size() > 4 && name[3] == ' ' && std::all_of(name.begin(), name.begin() + 3, ::isdigit))
        highest = std::max(highest, std::stoi(name.substr(0, 3)));
    }
    Lines copies;
    for (std::size_t k = 0; k < playlist.size(); ++k) {
      const auto &track = playlist[reverse_ ? playlist.size() - 1 - k : k];
      std::string name = FileNamePart(track);
      if (numbers_) {
        const std::string number = std::to_string(highest + k + 1);
        name = std::string(3 - number.size(), '0') + number + " " + name;
      }
      // Of two tracks with one name, the later one's copy is what stays, in the later one's place.
      copies.erase(std::remove(copies.begin(), copies.end(), name), copies.end());
      copies.push_back(name);
    }
    Lines listed;
    std::size_t lastBefore = 0;
    for (std::size_t i = 0; i < after.size(); ++i) {
      if (std::find(copies.begin(), copies.end(), after[i]) != copies.end())
        listed.push_back(after[i]);
      else if (addMode_ && std::find(before.begin(), before.end(), after[i]) != before.end())
        lastBefore = i + 1;
    }
    EXPECT_EQ(listed, copies) << trace;
    if (addMode_ && !listed.empty()) {
      EXPECT_LT(lastBefore,
                static_cast<std::size_t>(std::find(after.begin(), after.end(), listed.front()) - after.begin()) + 1)
          << trace;
    }
  }

  std::size_t FolderEntries() { return fake_.FolderEntryCount(destination_); }
  std::size_t Pick(std::size_t choices) { return std::uniform_int_distribution<std::size_t>(0, choices - 1)(random_); }

private:
  // Names of 1 to 120 characters: numbered, 8.3 or not, Japanese or not.
  std::string Name(int i) {
    static const std::string kinds[] = {"a", "Song", "朝の歌 ", "x y", "表ソ", "LONGNAME", "z"};
    std::string name = kinds[Pick(std::size(kinds))];
    const std::size_t length = 1 + Pick(Pick(4) == 0 ? 120 : 12);
    while (name.size() < length)
      name += static_cast<char>('a' + Pick(26));
    return name + std::to_string(i);
  }
  std::string JoinIn(const std::string &name) const { return destination_ + (fixedRoot_ ? "" : "\\") + name; }
  Lines Names() {
    Lines names;
    const auto listing = fake_.ListEntries(destination_).value();
    for (const auto &entry : listing)
      names.push_back(entry.name);
    return names;
  }
  // The files of the destination that are no track copies of this run: they must stay.
  std::map<std::string, std::string> KeptFiles() {
    std::map<std::string, std::string> kept;
    const auto listing = fake_.ListEntries(destination_).value();
    for (const auto &entry : listing) {
      const std::string extension = Upper(ExtensionPart(entry.name));
      if (!entry.folder && ((extension != ".MP3" && extension != ".WMA") || entry.hidden))
        kept[entry.name] = fake_.ContentOf(JoinIn(entry.name)).value_or("");
    }
    return kept;
  }

  std::mt19937 random_;
  FakePlatform fake_;
  Lines tracks_;
  std::string destination_;
  bool fixedRoot_ = false, addMode_ = false, reverse_ = false, numbers_ = false;
};

std::uint32_t SequencesPerPlacement() {
  const char *count = std::getenv("SONGFERRY_ORDER_SEQUENCES");
  return count ? static_cast<std::uint32_t>(std::strtoul(count, nullptr, 10)) : 1000;
}

class EntryOrderTest : public ::testing::TestWithParam<FatPlacement> {};

TEST_P(EntryOrderTest, EveryRunListsItsTracksInCopyOrderAndLosesNothing) {
  for (std::uint32_t seed = 1; seed <= SequencesPerPlacement(); ++seed) {
    Sequence sequence(GetParam(), seed);
    for (int run = 0; run < 3; ++run) {
      const bool interrupt = sequence.Pick(4) == 0;
      sequence.Run(interrupt, " (placement " + std::to_string(static_cast<int>(GetParam())) + ", seed " +
                                  std::to_string(seed) + ", run " + std::to_string(run) + ")");
    }
    if (HasFailure())
      return;
  }
}

INSTANTIATE_TEST_SUITE_P(EveryPlacement, EntryOrderTest,
                         ::testing::Values(FatPlacement::Published, FatPlacement::FirstFitFromStart,
                                           FatPlacement::Random));

TEST(EntryOrder, ReSyncingOnePlayListNeverMakesTheFolderGrow) {
  for (const auto placement : {FatPlacement::Published, FatPlacement::FirstFitFromStart, FatPlacement::Random}) {
    FakePlatform fake;
    fake.MountFat("E:", {FatKind::Fat32, 32768, placement, 7, 512});
    fake.AddFolder("E:\\Music");
    std::string content;
    for (int i = 0; i < 40; ++i) {
      const std::string track = "C:\\Music\\" + std::to_string(1000 + i) + " a track of forty-five characters.mp3";
      fake.AddFile(track, "music");
      content += track + "\r\n";
    }
    fake.AddFile("C:\\Lists\\mix.m3u", content);
    std::size_t firstRun = 0;
    for (int run = 0; run < 50; ++run) {
      TPlayList list(fake, "C:\\Lists\\mix.m3u");
      list.Load();
      Lines journal;
      RecordingProgress progress(journal);
      list.CopyTracks(progress, "E:\\Music", false, false);
      ASSERT_EQ(journal[journal.size() - 2], "Info mix.m3uより40曲をコピーしました");
      // Its tracks fit the folder's first cluster: no run makes it grow.
      const std::size_t entries = fake.FolderEntryCount("E:\\Music");
      if (run == 0)
        firstRun = entries;
      EXPECT_EQ(entries, firstRun) << "placement " << static_cast<int>(placement) << ", run " << run;
    }
  }
}

// One run onto E:\Music, which holds `before` (name -> content); the box's lines or the error, and
// the calls it made.
struct OneRun {
  std::string box;
  std::size_t calls = 0;
};
OneRun RunOnce(FakePlatform &fake, const Lines &tracks, bool addMode, bool skip = false) {
  std::string content;
  for (const auto &track : tracks)
    content += track + "\r\n";
  fake.AddFile("C:\\Lists\\mix.m3u", testing::ShiftJisBytes(content));
  TPlayList list(fake, "C:\\Lists\\mix.m3u");
  list.Load();
  Lines journal;
  RecordingProgress progress(journal);
  const std::size_t before = fake.CallCount();
  OneRun run;
  try {
    list.CopyTracks(progress, "E:\\Music", addMode, false, false, skip);
    run.box = journal[journal.size() - 2].substr(5);
  } catch (const ESFException &error) {
    run.box = error.what();
  }
  run.calls = fake.CallCount() - before;
  return run;
}

Lines ListedNames(FakePlatform &fake) {
  Lines names;
  const auto listing = fake.ListEntries("E:\\Music").value();
  for (const auto &entry : listing)
    names.push_back(entry.name);
  return names;
}

// Names as a music library has them: 8.3 ones, short and long Latin ones and long Japanese ones,
// of 8 to 117 characters, numbered so that none comes twice.
std::string TrackName(int number) {
  static const char *const kPatterns[] = {
      "TRACK%03d.MP3",
      "%03d Blue in Green.mp3",
      "%03d 海.wma",
      "%03d 夜明けの街を歩いていく君の背中を見送った日のうた.mp3",
      "%03d - Miles Davis - So What (Live at the Newport Jazz Festival, July 1958).mp3",
      "t%03d.wma",
      "%03d 桜の花びらが舞い散る季節に思い出す遠い日の約束と雨上がりの空の色 (2015 Remaster).mp3",
      "%03d Intro.mp3",
      "%03d The Quick Brown Fox Jumps Over the Lazy Dog While the Band Plays On and On Into the Night "
      "(Extended Club Mix).mp3",
  };
  char name[512];
  std::snprintf(name, sizeof name, kPatterns[number % std::size(kPatterns)], number);
  return name;
}

// A clear re-sync of one playlist, again and again, where Windows places the entries, with the
// clusters it gives a drive of 16 to 32 GB (16 KiB on FAT32, 32 KiB on exFAT): each run places the
// tracks in copy order, at some 20 calls a track and no run at many more, and none makes the folder
// grow, which holds the playlist as it is. So on a fresh folder, and on one that earlier tracks grew
// into its second cluster, whose never-used end is then larger than what clearing the playlist frees.
TEST(EntryOrder, ReSyncingAHundredTracksKeepsTheFolderSizeAndTakesFewCallsATrack) {
  constexpr int kTracks = 100, kReSyncs = 50;
  for (const auto kind : {FatKind::Fat32, FatKind::ExFat}) {
    for (const bool grownBefore : {false, true}) {
      const std::string which =
          std::string(kind == FatKind::ExFat ? "exFAT" : "FAT32") + (grownBefore ? ", grown before" : ", fresh");
      const std::size_t clusterBytes = kind == FatKind::ExFat ? 32768 : 16384;
      FakePlatform fake;
      fake.MountFat("E:", FatFormat{kind, clusterBytes});
      fake.AddFolder("E:\\Music");
      for (int i = 0; grownBefore && fake.FolderEntryCount("E:\\Music") <= clusterBytes / 32; ++i)
        fake.AddFile("E:\\Music\\" + TrackName(i), "old");
      Lines tracks, names;
      for (int i = 0; i < kTracks; ++i) {
        tracks.push_back("C:\\Music\\" + TrackName(i));
        fake.AddFile(tracks.back(), "music " + std::to_string(i));
        names.push_back(TrackName(i));
      }
      const std::size_t entries = fake.FolderEntryCount("E:\\Music");
      std::size_t calls = 0, mostInARun = 0;
      for (int run = 0; run < kReSyncs; ++run) {
        const auto resync = RunOnce(fake, tracks, false);
        ASSERT_EQ(resync.box, "mix.m3uより100曲をコピーしました") << which << ", run " << run;
        ASSERT_EQ(ListedNames(fake), names) << which << ", run " << run;
        EXPECT_EQ(fake.FolderEntryCount("E:\\Music"), entries) << which << ", run " << run;
        calls += resync.calls;
        mostInARun = std::max(mostInARun, resync.calls);
      }
      EXPECT_LE(calls, std::size_t{20} * kTracks * kReSyncs) << which;
      EXPECT_LE(mostInARun, std::size_t{30} * kTracks) << which;
      std::printf("[ figures  ] %s: %zu entries before, %zu after %d runs, %.1f calls a track, at most %zu in a run\n",
                  which.c_str(), entries, fake.FolderEntryCount("E:\\Music"), kReSyncs,
                  static_cast<double>(calls) / (kTracks * kReSyncs), mostInARun);
    }
  }
}

// Each try that fails leaves a placeholder, and the tries are counted: on a folder where no new
// entry ever lands in place, while a rename keeps its place (the listing shows no fault), the run
// gives the order up after some thousands of tries of a few calls each, not millions, and copies the
// rest where the system puts it.
TEST(EntryOrder, AFolderWhereNoNewEntryLandsInPlaceGivesTheOrderUpWithinBoundedCalls) {
  constexpr std::size_t kMostCalls = 25000;
  FatFormat format;
  format.listsNewestFirst = true;
  FakePlatform fake;
  fake.MountFat("E:", format);
  fake.AddFolder("E:\\Music");
  Lines tracks;
  for (const char *name : {"朝の歌.mp3", "TRACK02.MP3", "Blue in Green.mp3"}) {
    tracks.push_back(std::string("C:\\Music\\") + name);
    fake.AddFile(tracks.back(), std::string("music of ") + name);
  }
  // A run past the bound is stopped there, rather than left to run for hours.
  fake.CrashAt(kMostCalls, FakePlatform::CrashPoint::BeforeEffect);
  OneRun run;
  ASSERT_NO_THROW(run = RunOnce(fake, tracks, false)) << "still placing after " << kMostCalls << " calls";
  EXPECT_EQ(run.box, "mix.m3uより3曲をコピーしました\n曲の並び順をコピー先に保てませんでした");
  for (const auto &track : tracks)
    EXPECT_EQ(fake.ContentOf("E:\\Music\\" + FileNamePart(track)), "music of " + FileNamePart(track));
  EXPECT_EQ(ListedNames(fake).size(), 3u) << "no placeholder, record or holding folder stays";
  std::printf("[ calls    ] the order given up after %zu calls\n", run.calls);
}

// Wine lists a drive it reports as FAT by name: the run sees it within a few tries and copies as on
// any other drive, at about the calls of a run without the order's machinery and its record.
TEST(EntryOrder, AListingByNameIsSeenAtOnceAndCostsFewCallsMore) {
  Lines tracks;
  for (int i = 20; i > 0; --i)
    tracks.push_back("C:\\Music\\t" + std::to_string(100 + i) + ".mp3");
  for (const bool addMode : {false, true}) {
    std::size_t calls[2] = {};
    for (const bool listsByName : {false, true}) {
      FakePlatform fake;
      if (listsByName) {
        FatFormat format;
        format.listsByName = true;
        fake.MountFat("E:", format);
      }
      fake.AddFolder("E:\\Music");
      fake.AddFile("E:\\Music\\keep.txt", "keep");
      for (const auto &track : tracks) {
        fake.AddFile(track, "music of " + track);
        fake.AddFile("E:\\Music\\" + FileNamePart(track), "old");
      }
      const auto run = RunOnce(fake, tracks, addMode);
      EXPECT_EQ(run.box.rfind("mix.m3uより20曲をコピーしました", 0), 0u) << run.box;
      for (const auto &track : tracks)
        EXPECT_EQ(fake.ContentOf("E:\\Music\\" + FileNamePart(track)), "music of " + track);
      EXPECT_EQ(ListedNames(fake).size(), 21u);
      calls[listsByName] = run.calls;
    }
    // Beside the probe, what the record costs: a line before each copy and one after it.
    EXPECT_LE(calls[1] * 10, calls[0] * 11 + 10 * 2 * tracks.size())
        << "add mode " << addMode << ": " << calls[1] << " against " << calls[0];
    std::printf("[ calls    ] add mode %d: %zu listed by name against %zu without the order\n", addMode, calls[1],
                calls[0]);
  }
}

// A track named in 8.3 form, made shortly after a file of that name in another case left the folder,
// takes that file's long name and its entry count (the system's tunnel cache): its placeholder is
// sized by the name it got.
TEST(EntryOrder, ATrackThatTakesTheLongNameOfAFileJustGoneIsPlacedInFewCalls) {
  FakePlatform fake;
  fake.MountFat("E:", FatFormat{FatKind::Fat32, 512});
  fake.AddFolder("E:\\Music");
  Lines tracks;
  for (const char *name : {"t8.mp3", "b.mp3", "c.mp3"})
    tracks.push_back(std::string("C:\\Music\\") + name);
  for (const auto &track : tracks)
    fake.AddFile(track, "music of " + track);
  fake.AddFile("E:\\Music\\c.mp3", "old c");
  fake.AddFile("E:\\Music\\T8.Mp3", "old t8");
  fake.AddFile("E:\\Music\\b.mp3", "old b");
  for (const bool addMode : {false, true}) {
    const auto run = RunOnce(fake, tracks, addMode);
    EXPECT_EQ(run.box, "mix.m3uより3曲をコピーしました") << "add mode " << addMode;
    EXPECT_LT(run.calls, 200u) << "add mode " << addMode;
    Lines upper;
    for (const auto &name : ListedNames(fake))
      upper.push_back(Upper(name));
    EXPECT_EQ(upper, (Lines{"T8.MP3", "B.MP3", "C.MP3"})) << "add mode " << addMode;
    EXPECT_EQ(fake.ContentOf("E:\\Music\\t8.mp3"), "music of C:\\Music\\t8.mp3");
  }
}

// Two tracks of one name: the later one's copy stays. A re-sync of an unchanged playlist leaves
// every copy where it is.
TEST(EntryOrder, AnUnchangedReSyncWithTwoTracksOfOneNameMovesNothing) {
  FakePlatform fake;
  fake.MountFat("E:", FatFormat{FatKind::Fat32, 4096});
  fake.AddFolder("E:\\Music");
  Lines tracks;
  for (int i = 0; i < 12; ++i)
    tracks.push_back("C:\\Music\\" + std::string(i == 2 ? "x\\a" : i == 9 ? "y\\a" : "t" + std::to_string(i)) + ".mp3");
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    fake.AddFile(tracks[i], "music of " + tracks[i]);
    fake.SetLastWrite(tracks[i], 133'000'000'000'000'000 + i);
  }
  RunOnce(fake, tracks, false, true);
  const auto placed = ListedNames(fake);
  const std::size_t entries = fake.FolderEntryCount("E:\\Music");
  for (int run = 0; run < 5; ++run) {
    fake.Journal().clear();
    const auto resync = RunOnce(fake, tracks, false, true);
    EXPECT_EQ(resync.box.find("曲の並び順"), std::string::npos) << resync.box;
    EXPECT_EQ(ListedNames(fake), placed);
    EXPECT_EQ(fake.ContentOf("E:\\Music\\a.mp3"), "music of C:\\Music\\y\\a.mp3");
    EXPECT_EQ(fake.FolderEntryCount("E:\\Music"), entries);
    for (const auto &line : fake.Journal())
      EXPECT_NE(line.rfind("Move ", 0), 0u) << line;
  }
}

} // namespace
} // namespace sf
