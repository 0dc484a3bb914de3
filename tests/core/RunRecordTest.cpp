// A run's own machinery (placeholders, held files, the holding folder, renames) touches nothing of
// the user's: what it makes or moves, it writes down first, and a cancel, an error or the next run
// after a crash undoes exactly that, whatever the user's files are called.
#include "playlist/RunRecord.h"
#include "FakePlatform.h"
#include "platform/PathParts.h"
#include "playlist/SFException.h"
#include "playlist/SFPlayList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace sf {
namespace {

using testing::FakePlatform;
using testing::FatFormat;
using testing::FatKind;
using testing::RecordingProgress;
using Lines = std::vector<std::string>;
using Files = std::map<std::string, std::string>; // name -> content, of a folder and its subfolders

TEST(RunRecordText, ReadsBackWhatItWroteUpToTheLastWholeLine) {
  using Kind = RecordedStep::Kind;
  RecordedStep hold = Announced(Kind::Hold, "表.mp3"), over = Announced(Kind::Over, "z.mp3");
  hold.folder = "~Songferry holding";
  hold.held = "002 a.mp3";
  hold.renamedTo = "002 a.mp3";
  over.size = 6'000'000;
  over.lastWrite = 133'000'000'000'000'000;
  const std::vector<RecordedStep> steps = {Announced(Kind::Folder, "~Songferry holding"),
                                           hold,
                                           over,
                                           Announced(Kind::Plug, "~sfplug 99998xx"),
                                           Announced(Kind::Entry, "a b.mp3"),
                                           Announced(Kind::Written, "a b.mp3"),
                                           Announced(Kind::NotMade, "x")};
  const std::string text = RecordText(steps, true);
  EXPECT_EQ(ParseRecord(text), steps);
  // A line that a stop cut short was never acted on.
  EXPECT_EQ(ParseRecord(text + "entry\tc.mp"), steps);
  EXPECT_EQ(ParseRecord(RecordText(steps, true) + RecordText({Announced(Kind::Plug, "p")}, false))->size(), 8u);
  for (const std::string foreign : {"", "my notes\n", "Songferry run record 1", "Songferry run record 1\nmove\ta\n",
                                    "Songferry run record 1\nover\tz.mp3\t12\n", "Songferry run record 1\nplug\t\n"})
    EXPECT_EQ(ParseRecord(foreign), std::nullopt) << foreign;
}

class RunRecordTest : public ::testing::Test {
protected:
  RunRecordTest() {
    fake.MountFat("E:", FatFormat{FatKind::Fat32, 4096});
    fake.AddFolder("E:\\Music");
    for (const char *track : {"x\\a.mp3", "y\\a.mp3", "b.mp3", "z.mp3", "表.mp3"})
      fake.AddFile(std::string("C:\\Music\\") + track, std::string("music of ") + track);
  }

  // Copies the tracks (".m3u" in C:\Lists) into E:\Music; the box's text or the error's.
  std::string Copy(const Lines &tracks, bool addMode, const std::function<void(RecordingProgress &)> &during = {}) {
    std::string content;
    for (const auto &track : tracks)
      content += "C:\\Music\\" + track + "\r\n";
    fake.AddFile("C:\\Lists\\mix.m3u", testing::ShiftJisBytes(content));
    TPlayList list(fake, "C:\\Lists\\mix.m3u");
    list.Load();
    Lines journal;
    RecordingProgress progress(journal);
    if (during)
      progress.whileCopying = [&] { during(progress); };
    try {
      list.CopyTracks(progress, "E:\\Music", addMode, reverse, numbers, skip);
    } catch (const ESFException &error) {
      return error.what();
    }
    const auto info = std::find_if(journal.rbegin(), journal.rend(),
                                   [](const std::string &line) { return line.rfind("Info ", 0) == 0; });
    return info == journal.rend() ? "(no box)" : info->substr(5);
  }

  Files Contents(const std::string &folder = "E:\\Music", const std::string &prefix = "") {
    Files files;
    const auto listing = fake.ListEntries(folder).value();
    for (const auto &entry : listing) {
      if (entry.folder) {
        const auto inner = Contents(JoinPath(folder, entry.name), prefix + entry.name + "\\");
        files.insert(inner.begin(), inner.end());
        files[prefix + entry.name + "\\"] = entry.hidden ? "(hidden folder)" : "(folder)";
      } else {
        files[prefix + entry.name] = fake.ContentOf(JoinPath(folder, entry.name)).value_or("");
      }
    }
    return files;
  }

  // Cancels the run as the copy of `track` begins.
  std::function<void(RecordingProgress &)> CancelAtCopyOf(const std::string &track) {
    return [this, copy = "Copy C:\\Music\\" + track + " -> "](RecordingProgress &progress) {
      progress.cancelled = progress.cancelled || fake.Journal().back().rfind(copy, 0) == 0;
    };
  }

  FakePlatform fake;
  bool reverse = false, numbers = false, skip = false;
};

TEST_F(RunRecordTest, FilesOfTheUsersNamedAsTheProgramsOwnStayWhereTheyAreWhateverTheRunDoes) {
  fake.AddFolder("E:\\Music\\~Songferry holding");
  fake.AddFile("E:\\Music\\~Songferry holding\\precious.mp3", "precious");
  fake.AddFile("E:\\Music\\~Songferry holding\\notes.txt", "notes");
  fake.AddFile("E:\\Music\\~Songferry holding\\Sub\\inner.mp3", "inner");
  fake.AddFile("E:\\Music\\~sfplug notes.txt", "plug notes");
  fake.AddFile("E:\\Music\\~SFP2024.PLG", "text");
  fake.AddFile("E:\\Music\\~Songferry run record.txt", "my record of runs");
  fake.AddFile("E:\\Music\\z.mp3", "old z");
  auto users = Contents();
  users.erase("z.mp3");

  // Add mode, replacing z.mp3: the run holds it aside, in a folder of another name.
  EXPECT_EQ(Copy({"b.mp3", "z.mp3"}, true), "mix.m3uより2曲をコピーしました");
  auto expected = users;
  expected["b.mp3"] = "music of b.mp3";
  expected["z.mp3"] = "music of z.mp3";
  EXPECT_EQ(Contents(), expected);

  // Refused before anything: nothing moved.
  fake.AddFile("E:\\Music\\表.mp3", "hidden", FakePlatform::kHidden);
  expected["表.mp3"] = "hidden";
  EXPECT_EQ(
      Copy({"表.mp3", "b.mp3"}, true),
      "コピー先のファイルE:\\Music\\表.mp3は読み取り専用・隠し・システムのいずれかの属性があるため上書きできません");
  EXPECT_EQ(Contents(), expected);

  // Clearing: only the destination's own "*.mp3" and "*.wma" go.
  EXPECT_EQ(Copy({"z.mp3", "b.mp3"}, false), "mix.m3uより2曲をコピーしました");
  EXPECT_EQ(Contents(), expected);
}

TEST_F(RunRecordTest, TheNextRunPutsBackWhatAStoppedRunHeldAndJudgesTheDestinationAsItWillBe) {
  // As a run killed while it replaced z.mp3 on a FAT drive leaves it: the old z.mp3 held, a partial
  // one in its entry, a placeholder.
  fake.AddFolder("E:\\Music\\~Songferry holding");
  fake.AddFile("E:\\Music\\~Songferry holding\\z.mp3", "old z");
  fake.AddFile("E:\\Music\\z.mp3", "music o");
  fake.AddFile("E:\\Music\\~sfplug 99998xxxx");
  fake.AddFile("E:\\Music\\~Songferry run record.txt",
               "Songferry run record 1\nplug\t~sfplug 99998xxxx\nfolder\t~Songferry holding\n"
               "hold\tz.mp3\t~Songferry holding\tz.mp3\t\nentry\tz.mp3\n",
               FakePlatform::kHidden);
  fake.AddFile("E:\\Music\\keep.txt", "keep");

  // Refused by a check: nothing is undone yet, and the plan saw z.mp3 as the held one (its size).
  fake.Fail("Read", "C:\\Music\\b.mp3"); // b.mp3 a cloud file that cannot be fetched
  fake.AddFile("C:\\Music\\b.mp3", "music of b.mp3", FakePlatform::kNotOnDisk);
  const auto before = Contents();
  EXPECT_EQ(Copy({"b.mp3"}, true), "ファイルC:\\Music\\b.mp3はこのコンピューターにないためコピーできません");
  EXPECT_EQ(Contents(), before);
  fake.ClearFailures();

  // Add mode without z.mp3: the old z.mp3 comes back; the partial one and the placeholder go.
  EXPECT_EQ(Copy({"b.mp3"}, true), "mix.m3uより1曲をコピーしました");
  EXPECT_EQ(Contents(), (Files{{"b.mp3", "music of b.mp3"}, {"keep.txt", "keep"}, {"z.mp3", "old z"}}));
}

TEST_F(RunRecordTest, AHeldFileWhoseNameIsTakenIsNamedWithWhereItLiesAndTheRunChangesNothing) {
  fake.AddFolder("E:\\Music\\~Songferry holding");
  fake.AddFile("E:\\Music\\~Songferry holding\\z.mp3", "old z");
  // Written whole by another program after the stop: it is no entry of the run's.
  fake.AddFile("E:\\Music\\z.mp3", "another z");
  fake.AddFile("E:\\Music\\~Songferry run record.txt",
               "Songferry run record 1\nfolder\t~Songferry holding\nhold\tz.mp3\t~Songferry holding\tz.mp3\t\n",
               FakePlatform::kHidden);
  const auto before = Contents();
  const std::string message = "ファイルz.mp3を元に戻せませんでした(E:\\Music\\~Songferry holding\\z.mp3にあります)";
  EXPECT_EQ(Copy({"b.mp3"}, true), message);
  EXPECT_EQ(Contents(), before);
  // Once the user has moved it back by hand, the record has nothing left to undo.
  fake.RemoveFile("E:\\Music\\~Songferry holding\\z.mp3");
  EXPECT_EQ(Copy({"b.mp3"}, true), "mix.m3uより1曲をコピーしました");
  EXPECT_EQ(Contents(), (Files{{"b.mp3", "music of b.mp3"}, {"z.mp3", "another z"}}));
}

TEST_F(RunRecordTest, AStoppedRunLeavesEachFileItReplacesAsItWasOrWholeAndCounted) {
  fake.AddFile("E:\\Music\\b.mp3", "old b");
  fake.AddFile("E:\\Music\\keep.txt", "keep");
  // Last in the folder: in add mode the run writes it over where it stands.
  fake.AddFile("E:\\Music\\z.mp3", "old z");
  const auto before = Contents();
  fake.Fail("Copy", "C:\\Music\\z.mp3");
  EXPECT_EQ(Copy({"z.mp3"}, true), "ファイルC:\\Music\\z.mp3のコピーに失敗しました");
  EXPECT_EQ(Contents(), before) << "a file the failed copy never reached stays";
  fake.ClearFailures();

  // z.mp3 written over in its place, b.mp3 made anew while the old one waited aside: the box counts
  // both, and both stay.
  EXPECT_EQ(Copy({"z.mp3", "b.mp3", "x\\a.mp3"}, true, CancelAtCopyOf("x\\a.mp3")),
            "コピーを中止しました(mix.m3uより2曲をコピー済み)");
  EXPECT_EQ(Contents(), (Files{{"b.mp3", "music of b.mp3"}, {"keep.txt", "keep"}, {"z.mp3", "music of z.mp3"}}));
}

TEST_F(RunRecordTest, AHeldFileThatCannotBePutBackIsNamedAndTheNextRunPutsItBack) {
  // Before another file: in add mode the run holds it aside while it replaces it.
  fake.AddFile("E:\\Music\\z.mp3", "old z");
  fake.AddFile("E:\\Music\\keep.txt", "keep");
  fake.Fail("Move", "E:\\Music\\~Songferry holding\\z.mp3");
  EXPECT_EQ(Copy({"z.mp3"}, true, CancelAtCopyOf("z.mp3")),
            "コピーを中止しました(mix.m3uより0曲をコピー済み)\n"
            "ファイルz.mp3を元に戻せませんでした(E:\\Music\\~Songferry holding\\z.mp3にあります)");
  fake.ClearFailures();
  EXPECT_EQ(Copy({"b.mp3"}, true), "mix.m3uより1曲をコピーしました");
  EXPECT_EQ(Contents(), (Files{{"b.mp3", "music of b.mp3"}, {"keep.txt", "keep"}, {"z.mp3", "old z"}}));
}

TEST_F(RunRecordTest, ACancelWhileTwoNumberedCopiesSwapNumbersLeavesBothWhole) {
  numbers = skip = true;
  const Lines tracks = {"x\\a.mp3", "y\\a.mp3"};
  const Files numbered = {{"001 a.mp3", "music of x\\a.mp3"}, {"002 a.mp3", "music of y\\a.mp3"}},
              swapped = {{"001 a.mp3", "music of y\\a.mp3"}, {"002 a.mp3", "music of x\\a.mp3"}};
  for (std::size_t look = 1;; ++look) {
    fake = FakePlatform();
    fake.MountFat("E:", FatFormat{FatKind::Fat32, 4096});
    fake.AddFolder("E:\\Music");
    for (std::size_t i = 0; i < tracks.size(); ++i) {
      fake.AddFile("C:\\Music\\" + tracks[i], "music of " + tracks[i]);
      fake.SetLastWrite("C:\\Music\\" + tracks[i], 133'000'000'000'000'000 + i * 864'000'000'000);
    }
    reverse = false;
    Copy(tracks, false);
    // Reversed, the copies left as they were swap numbers, one of them waiting aside meanwhile.
    reverse = true;
    std::size_t looks = 0;
    const auto box = Copy(tracks, false, [&](RecordingProgress &progress) {
      progress.cancelled = progress.cancelled || ++looks == look;
    });
    if (looks < look)
      break;
    EXPECT_EQ(box.rfind("コピーを中止しました(mix.m3uより", 0), 0u) << box;
    const auto files = Contents();
    EXPECT_EQ(files, files == numbered ? numbered : swapped) << "cancelled at look " << look;
    if (HasFailure())
      break;
  }
}

// A small re-sync onto a FAT drive, stopped at one step after another: what stays in the destination
// after the stop is the user's files (less what the run was asked to clear or replace) and whole
// copies of tracks, nothing of the run's own; the next run, not stopped, ends as an unstopped run does.
class StoppedRunTest : public RunRecordTest {
protected:
  struct Mode {
    bool addMode, numbers, skip, reverse;
  };
  static inline const Lines kTracks = {"x\\a.mp3", "b.mp3", "y\\a.mp3", "z.mp3"};

  void SetUp(const Mode &mode) {
    fake = FakePlatform();
    fake.MountFat("E:", FatFormat{FatKind::Fat32, 4096});
    fake.AddFolder("E:\\Music");
    for (const auto &track : kTracks)
      fake.AddFile("C:\\Music\\" + track, "music of " + track);
    fake.AddFile("E:\\Music\\keep.txt", "keep");
    fake.AddFile("E:\\Music\\old.mp3", "old");
    fake.AddFile("E:\\Music\\z.mp3", "old z");
    addMode = mode.addMode;
    numbers = mode.numbers;
    skip = mode.skip;
    reverse = mode.reverse;
    // A first run, so that a re-sync has copies to leave, rename and replace.
    Copy({"z.mp3", "b.mp3", "x\\a.mp3"}, addMode);
    fake.AddFile("C:\\Music\\b.mp3", "music of b.mp3, changed");
  }

  // Whether what `Contents` shows after a stop is only the user's files and whole tracks.
  void ExpectOnlyUsersFilesAndWholeTracks(const std::string &trace) {
    const auto files = Contents();
    for (const auto &[name, content] : files) {
      const bool users =
          name == "keep.txt" || (name == "old.mp3" && content == "old") || (name == "z.mp3" && content == "old z");
      const bool track = content == "music of b.mp3, changed" ||
                         std::any_of(kTracks.begin(), kTracks.end(),
                                     [&](const std::string &track) { return content == "music of " + track; });
      EXPECT_TRUE(users || track) << name << " holding " << content << trace;
    }
    EXPECT_EQ(files.count("keep.txt"), 1u) << trace;
  }

  // Stops the run at step 1, 2, ... by `stopAt`, which returns false once the run ended before it.
  // A run that is cancelled has undone its own by its box; after a crash, the next run undoes it.
  void StopAtEveryStep(const Mode &mode, bool undoneByItself,
                       const std::function<bool(std::size_t step, std::string &box)> &stopAt) {
    SetUp(mode);
    Copy(kTracks, addMode);
    const auto finished = Contents();
    for (std::size_t step = 1;; ++step) {
      SetUp(mode);
      std::string box;
      if (!stopAt(step, box))
        return;
      const std::string trace = " (add " + std::to_string(mode.addMode) + ", numbers " + std::to_string(mode.numbers) +
                                ", step " + std::to_string(step) + ": " + box + ")";
      if (undoneByItself)
        ExpectOnlyUsersFilesAndWholeTracks(trace);
      const std::string next = Copy(kTracks, addMode);
      EXPECT_EQ(next.rfind("mix.m3u", 0), 0u) << next << trace;
      EXPECT_EQ(Contents(), finished) << trace;
      if (HasFailure())
        return;
    }
  }

  bool addMode = false;
};

TEST_F(StoppedRunTest, ACancelAtAnyLookLeavesTheUsersFilesAndWholeTracksAndNothingOfTheRunsOwn) {
  for (const auto mode : {Mode{false, true, true, true}, Mode{true, false, false, false}}) {
    StopAtEveryStep(mode, true, [&](std::size_t step, std::string &box) {
      std::size_t looks = 0;
      box = Copy(kTracks, addMode,
                 [&](RecordingProgress &progress) { progress.cancelled = progress.cancelled || ++looks == step; });
      if (looks < step)
        return false;
      EXPECT_EQ(box.rfind("コピーを中止しました(mix.m3uより", 0), 0u) << box;
      return true;
    });
  }
}

TEST_F(StoppedRunTest, ACrashAtAnyCallBeforeOrAfterItsEffectIsUndoneByTheNextRun) {
  for (const auto mode : {Mode{false, true, true, false}, Mode{true, false, false, true}}) {
    for (const auto point : {FakePlatform::CrashPoint::BeforeEffect, FakePlatform::CrashPoint::AfterEffect}) {
      StopAtEveryStep(mode, false, [&](std::size_t step, std::string &box) {
        fake.CrashAt(step, point);
        try {
          box = Copy(kTracks, addMode);
        } catch (const testing::SimulatedCrash &) {
          box = "crashed";
        }
        fake.Restart();
        return box == "crashed";
      });
    }
  }
}

TEST_F(RunRecordTest, ReplacingAFileOnAFullDriveWritesItOverWhereItStands) {
  constexpr std::uint64_t kMiB = 1024 * 1024;
  fake.AddFile("C:\\Music\\z.mp3", std::string(6 * kMiB, 'n'));
  fake.AddFile("E:\\Music\\z.mp3", std::string(6 * kMiB, 'o'));
  fake.AddFile("E:\\Music\\a.mp3", "a");
  // A 10 MiB drive: the new z.mp3 fits where the old one was, and nowhere beside it.
  fake.SetFreeSpace("E:", 4 * kMiB, 4096);
  EXPECT_EQ(Copy({"z.mp3"}, true), "mix.m3uより1曲をコピーしました\n曲の並び順をコピー先に保てませんでした");
  EXPECT_EQ(Contents(), (Files{{"a.mp3", "a"}, {"z.mp3", std::string(6 * kMiB, 'n')}}));
}

TEST_F(RunRecordTest, AFullRootFolderGivesUpTheOrderAndReplacesAsEveryOtherFileSystemDoes) {
  fake = FakePlatform();
  fake.MountFat("F:", FatFormat{FatKind::Fat16, 512, testing::FatPlacement::Published, 0, 16});
  fake.AddFile("C:\\Music\\b.mp3", "music of b.mp3");
  fake.AddFile("F:\\B.MP3", "old b");
  Files users;
  try {
    for (int i = 0;; ++i) {
      const std::string name = "F" + std::to_string(i) + ".TXT";
      fake.AddFile("F:\\" + name, name);
      users[name] = name;
    }
  } catch (const std::length_error &) {
    // The root folder is full.
  }
  fake.AddFile("C:\\Lists\\mix.m3u", "C:\\Music\\b.mp3\r\n");
  TPlayList list(fake, "C:\\Lists\\mix.m3u");
  list.Load();
  Lines journal;
  RecordingProgress progress(journal);
  list.CopyTracks(progress, "F:\\", true, false);
  EXPECT_EQ(fake.ContentOf("F:\\B.MP3"), "music of b.mp3");
  for (const auto &[name, text] : users)
    EXPECT_EQ(fake.ContentOf("F:\\" + name), text);
  EXPECT_EQ(fake.FilesIn("F:\\").size(), users.size() + 1);
}

} // namespace
} // namespace sf
