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

TEST(RunRecordText, ReadsBackWhatItWroteUpToTheLastWholeLineAndNothingThatNamesMoreThanTheRunsOwn) {
  using Kind = RecordedStep::Kind;
  RecordedStep hold = Announced(Kind::Hold, "表.mp3"), over = Announced(Kind::Over, "z.mp3"),
               entry = Announced(Kind::Entry, "a b.mp3");
  hold.folder = "~Songferry holding 2";
  hold.held = "002 a.mp3";
  hold.renamedTo = "002 a.mp3";
  over.size = 6'000'000;
  over.lastWrite = 133'000'000'000'000'000;
  entry.track = "C:\\Music\\ソ\\a b.mp3";
  entry.trackSize = 18'446'744'073'709'551'615u;
  entry.trackLastWrite = 7;
  const std::vector<RecordedStep> steps = {Announced(Kind::Folder, "~Songferry holding 2"),
                                           hold,
                                           over,
                                           Announced(Kind::Plug, "~sfplug 99998xx"),
                                           Announced(Kind::Plug, "0sfplug 99997"),
                                           Announced(Kind::Plug, "~SF99996.PLG"),
                                           entry,
                                           Announced(Kind::Written, "a b.mp3"),
                                           Announced(Kind::NotMade, "x"),
                                           Announced(Kind::Back, "表.mp3"),
                                           Announced(Kind::Undone, "")};
  const std::string text = RecordText(steps, true);
  EXPECT_EQ(ReadRecord(text).steps, steps);
  // A line that a stop cut short, zeros included, was never acted on.
  for (const std::string tail : {std::string("entry\tc.mp"), std::string(512, '\0'), std::string("undo")}) {
    const auto reading = ReadRecord(text + tail);
    EXPECT_EQ(reading.steps, steps);
    EXPECT_EQ(reading.wholeLength, text.size());
  }
  // Today's release wrote entries without their track; its records are still read.
  EXPECT_EQ(ReadRecord("Songferry run record 1\nentry\ta.mp3\nover\tz.mp3\t12\t34\n").steps->size(), 2u);

  for (const std::string foreign : {"", "my notes\n", "Songferry run record 1", "Songferry run recorder\n"})
    EXPECT_FALSE(ReadRecord(foreign).isRecord) << foreign;
  // A record with any line that is not a step this program writes, or that names anything but a
  // plain name of the destination, is refused whole.
  for (const std::string line : {"move\ta",
                                 "over\tz.mp3\t12",
                                 "plug\t",
                                 "entry\t..\\precious.txt",
                                 "entry\t..",
                                 "entry\t.",
                                 "entry\tE:\\x.mp3",
                                 "entry\tx.mp3:stream",
                                 "entry\tCON.mp3",
                                 "entry\tx.mp3.",
                                 "entry\ta/b.mp3",
                                 "entry\t\xff.mp3",
                                 "entry\ta.mp3\tC:\\a.mp3\t1",
                                 "hold\tthesis.mp3\t..\tDocs\\thesis.doc\t",
                                 "hold\tz.mp3\t~Songferry holding\tother.mp3\t",
                                 "hold\tz.mp3\t~Songferry holding\t\t",
                                 "hold\tz.mp3\tMy folder\tz.mp3\t",
                                 "folder\t..\\EmptyButMine",
                                 "folder\tMy folder",
                                 "plug\tmy song.mp3",
                                 "plug\t~sfplug 1234",
                                 "notmade\t..\\x",
                                 "back\t..\\x",
                                 "written\tC:x",
                                 "over\tz.mp3\t99999999999999999999\t1",
                                 "undone\tx",
                                 "undone\nentry\ta.mp3"}) {
    const auto reading = ReadRecord("Songferry run record 2\nentry\tok.mp3\n" + line + "\n");
    EXPECT_TRUE(reading.isRecord && !reading.steps) << line;
  }
  // A later version's record is refused, never taken for a file of the user's.
  const auto later = ReadRecord("Songferry run record 3\nentry\ta.mp3\n");
  EXPECT_TRUE(later.isRecord && !later.steps);
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
               "Songferry run record 2\nplug\t~sfplug 99998xxxx\nfolder\t~Songferry holding\n"
               "hold\tz.mp3\t~Songferry holding\tz.mp3\t\nentry\tz.mp3\tC:\\Music\\z.mp3\t14\t0\n",
               FakePlatform::kHidden);
  fake.AddFile("E:\\Music\\keep.txt", "keep");

  // Refused by a check, the run has still undone the stopped one: the old z.mp3 is back, the partial
  // one (the track's first bytes) and the placeholder are gone, and nothing of the user's is hidden.
  fake.Fail("Read", "C:\\Music\\b.mp3"); // b.mp3 a cloud file that cannot be fetched
  fake.AddFile("C:\\Music\\b.mp3", "music of b.mp3", FakePlatform::kNotOnDisk);
  EXPECT_EQ(Copy({"b.mp3"}, true), "ファイルC:\\Music\\b.mp3はこのコンピューターにないためコピーできません");
  EXPECT_EQ(Contents(), (Files{{"keep.txt", "keep"}, {"z.mp3", "old z"}}));
  fake.ClearFailures();

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

// A record trusts nothing it reads: one that a shared card, a music pack or a hand edit brings, naming
// anything beyond the run's own files in the destination, or a line this program never writes, is
// refused before anything changes, in the destination or beside it.
TEST_F(RunRecordTest, ARecordNamingAnythingButTheRunsOwnFilesIsRefusedBeforeAnyChange) {
  fake.AddFile("E:\\precious.txt", "precious");
  fake.AddFile("E:\\Docs\\thesis.doc", "thesis");
  fake.AddFolder("E:\\EmptyButMine");
  fake.AddFile("E:\\Music\\old.mp3", "old");
  fake.AddFolder("E:\\Music\\~Songferry holding");
  fake.AddFile("E:\\Music\\~Songferry holding\\z.mp3", "held z");
  const std::string refused =
      "コピー先の記録ファイルE:\\Music\\~Songferry run record.txtはSongferryが読める記録ではない"
      "ため、何も変更せずに中止しました";
  for (const std::string lines :
       {"entry\t..\\precious.txt\n", "hold\tthesis.mp3\t..\tDocs\\thesis.doc\t\n", "folder\t..\\EmptyButMine\n",
        // Garbled: a line cut in the middle and run on, beside a held file of the user's.
        "folder\t~Songferry holding\nhold\tz.mp3\t~Songferry holding\tz.mp3\t\nentry\tz.mentry\tz.mp3\n",
        "frobnicate\tz.mp3\n"}) {
    fake.AddFile("E:\\Music\\~Songferry run record.txt", "Songferry run record 1\n" + lines, FakePlatform::kHidden);
    const auto before = Contents("E:\\");
    EXPECT_EQ(Copy({"b.mp3"}, false), refused) << lines;
    EXPECT_EQ(Contents("E:\\"), before) << lines;
  }
  // A record of a later version is refused the same way, never taken for a file of the user's.
  fake.AddFile("E:\\Music\\~Songferry run record.txt", "Songferry run record 9\nentry\told.mp3\n",
               FakePlatform::kHidden);
  EXPECT_EQ(Copy({"b.mp3"}, false), refused);
  EXPECT_EQ(fake.ContentOf("E:\\Music\\old.mp3"), "old");
}

TEST_F(RunRecordTest, ATrackNamedLikeTheProgramsOwnFilesIsRefusedBeforeAnyChange) {
  fake.AddFile("E:\\Music\\old.mp3", "old");
  for (const std::string own : {"~Songferry run record.txt", "~SONGFERRY RUN RECORD 2.TXT", "~sfplug 00012xx",
                                "~SF00001.PLG", "~Songferry holding"}) {
    fake.AddFile("C:\\Music\\" + own, "songs");
    EXPECT_EQ(Copy({"b.mp3", own}, false), "2番目の曲のファイル名が不正です") << own;
    EXPECT_EQ(fake.ContentOf("E:\\Music\\old.mp3"), "old");
  }
}

// After a stop while a track was being written, the undo removes what lies under the track's name
// only where it holds nothing but the track's first bytes: a file the user put there since stays.
TEST_F(RunRecordTest, TheUndoRemovesOnlyTheTracksOwnPartialCopy) {
  struct Case {
    std::string there;   // under the announced name when the next run comes
    std::string track;   // the track's path in the record
    std::string message; // the next run's box
  };
  const std::string copied = "mix.m3uより1曲をコピーしました";
  const std::string kept =
      "ファイルE:\\Music\\song.m4aはSongferryが書き込んだものか確かめられないため、そのまま残しました";
  fake.AddFile("C:\\Music\\song.m4a", "music of song.m4a");
  for (const auto &[there, track, message] :
       std::vector<Case>{{"music o", "C:\\Music\\song.m4a", copied},
                         {std::string("music o\0\0\0", 10), "C:\\Music\\song.m4a", copied},
                         {"", "C:\\Music\\gone.m4a", copied},
                         {"my own song", "C:\\Music\\song.m4a", copied + "\n" + kept},
                         {"music o", "C:\\Music\\gone.m4a", copied + "\n" + kept},
                         {"music o", "\\\\server\\share\\song.m4a", copied + "\n" + kept}}) {
    fake.AddFile("E:\\Music\\song.m4a", there);
    fake.AddFile("E:\\Music\\~Songferry run record.txt",
                 "Songferry run record 2\nentry\tsong.m4a\t" + track + "\t17\t0\n", FakePlatform::kHidden);
    EXPECT_EQ(Copy({"b.mp3"}, true), message) << there;
    EXPECT_EQ(fake.ContentOf("E:\\Music\\song.m4a").has_value(), message != copied) << there;
    EXPECT_EQ(fake.ContentOf("E:\\Music\\~Songferry run record.txt"), std::nullopt);
    fake.RemoveFile("E:\\Music\\song.m4a");
  }
  // The older file the run held for it cannot come back under a name the user's file took: it
  // stays where it is, named, and the record with it.
  fake.AddFile("E:\\Music\\song.m4a", "my own song");
  fake.AddFolder("E:\\Music\\~Songferry holding");
  fake.AddFile("E:\\Music\\~Songferry holding\\song.m4a", "older song");
  fake.AddFile("E:\\Music\\~Songferry run record.txt",
               "Songferry run record 2\nfolder\t~Songferry holding\nhold\tsong.m4a\t~Songferry holding\tsong.m4a\t\n"
               "entry\tsong.m4a\tC:\\Music\\song.m4a\t17\t0\n",
               FakePlatform::kHidden);
  const auto before = Contents();
  EXPECT_EQ(Copy({"b.mp3"}, true),
            "ファイルsong.m4aを元に戻せませんでした(E:\\Music\\~Songferry holding\\song.m4aにあります)");
  EXPECT_EQ(Contents(), before);
}

// What the undo put back is the user's, even where the undo was stopped before the record went: a
// record that cannot be removed once the undo is complete is marked so, and the next run removes it
// and undoes nothing again; one stopped later still knows which names it gave back.
TEST_F(RunRecordTest, AFileTheUndoPutBackIsNeverTakenForTheRunsOwnAgain) {
  fake.AddFolder("E:\\Music\\~Songferry holding");
  fake.AddFile("E:\\Music\\~Songferry holding\\z.mp3", "old z");
  fake.AddFile("E:\\Music\\z.mp3", "");
  const std::string record = "E:\\Music\\~Songferry run record.txt";
  fake.AddFile(record,
               "Songferry run record 2\nfolder\t~Songferry holding\nhold\tz.mp3\t~Songferry holding\tz.mp3\t\n"
               "entry\tz.mp3\tC:\\Music\\z.mp3\t14\t0\n",
               FakePlatform::kHidden);
  fake.Fail("Delete", record);
  EXPECT_EQ(Copy({"b.mp3"}, true), "mix.m3uより1曲をコピーしました");
  EXPECT_EQ(fake.ContentOf("E:\\Music\\z.mp3"), "old z");
  EXPECT_NE(fake.ContentOf(record), std::nullopt);
  fake.ClearFailures();
  // The user's z.mp3 is back under the name the record announced: the record no longer claims it.
  fake.AddFile("E:\\Music\\z.mp3", "");
  EXPECT_EQ(Copy({"b.mp3"}, true), "mix.m3uより1曲をコピーしました");
  EXPECT_EQ(Contents(), (Files{{"b.mp3", "music of b.mp3"}, {"z.mp3", ""}}));

  // An undo stopped after it put the user's file back: the name is the user's again.
  fake.AddFile(record,
               "Songferry run record 2\nfolder\t~Songferry holding\nhold\tz.mp3\t~Songferry holding\tz.mp3\t\n"
               "entry\tz.mp3\tC:\\Music\\z.mp3\t14\t0\nback\tz.mp3\n",
               FakePlatform::kHidden);
  EXPECT_EQ(Copy({"b.mp3"}, true), "mix.m3uより1曲をコピーしました");
  EXPECT_EQ(Contents(), (Files{{"b.mp3", "music of b.mp3"}, {"z.mp3", ""}}));
}

// A second instance of the program reaching the destination while a run works there: the live run
// keeps its record open, and the second refuses rather than take it for a stopped run's.
TEST_F(RunRecordTest, ASecondRunWhileOneIsWorkingThereRefusesAndLeavesItsRecordAlone) {
  fake.AddFile("E:\\Music\\z.mp3", "old z");
  std::string second;
  EXPECT_EQ(Copy({"b.mp3", "z.mp3"}, true,
                 [&](RecordingProgress &) {
                   if (second.empty() && fake.ContentOf("E:\\Music\\~Songferry run record.txt"))
                     second = Copy({"表.mp3"}, false);
                 }),
            "mix.m3uより2曲をコピーしました");
  EXPECT_EQ(second, "コピー先E:\\Musicには、ほかのSongferryがコピーしているところです");
  EXPECT_EQ(Contents(), (Files{{"b.mp3", "music of b.mp3"}, {"z.mp3", "music of z.mp3"}}));
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

// After a run that ended well, an old copy held aside that will not go is named, and the record kept
// for it: the next run removes it.
TEST_F(RunRecordTest, AHeldOldCopyThatWillNotGoAfterARunIsNamedAndRemovedByTheNextRun) {
  fake.AddFile("E:\\Music\\z.mp3", "old z");
  fake.AddFile("E:\\Music\\keep.txt", "keep");
  const std::string held = "E:\\Music\\~Songferry holding\\z.mp3";
  fake.Fail("Delete", held);
  EXPECT_EQ(Copy({"z.mp3"}, true),
            "mix.m3uより1曲をコピーしました\nSongferryが作ったファイル" + held + "を削除できませんでした");
  EXPECT_EQ(fake.ContentOf(held), "old z");
  fake.ClearFailures();
  EXPECT_EQ(Copy({"b.mp3"}, true), "mix.m3uより1曲をコピーしました");
  EXPECT_EQ(Contents(), (Files{{"b.mp3", "music of b.mp3"}, {"keep.txt", "keep"}, {"z.mp3", "music of z.mp3"}}));
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
  static inline const Lines kUsersEmptyFiles = {"~sfplug 99998", "0sfplug 99997", "~SF99996.PLG"};

  void SetUp(const Mode &mode) {
    fake = FakePlatform();
    fake.MountFat("E:", FatFormat{FatKind::Fat32, 4096});
    fake.AddFolder("E:\\Music");
    for (const auto &track : kTracks)
      fake.AddFile("C:\\Music\\" + track, "music of " + track);
    fake.AddFile("E:\\Music\\keep.txt", "keep");
    fake.AddFile("E:\\Music\\old.mp3", "old");
    fake.AddFile("E:\\Music\\z.mp3", "old z");
    // Empty files of the user's under the names the run's first placeholders would take.
    for (const auto &name : kUsersEmptyFiles)
      fake.AddFile("E:\\Music\\" + name, "");
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
      const bool users = name == "keep.txt" || (name == "old.mp3" && content == "old") ||
                         (name == "z.mp3" && content == "old z") ||
                         std::count(kUsersEmptyFiles.begin(), kUsersEmptyFiles.end(), name) == 1;
      const bool track = content == "music of b.mp3, changed" ||
                         std::any_of(kTracks.begin(), kTracks.end(),
                                     [&](const std::string &track) { return content == "music of " + track; });
      EXPECT_TRUE(users || track) << name << " holding " << content << trace;
    }
    EXPECT_EQ(files.count("keep.txt"), 1u) << trace;
    for (const auto &name : kUsersEmptyFiles)
      EXPECT_EQ(files.count(name), 1u) << name << trace;
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
      if (stopTheUndoToo)
        StopTheUndoAtEveryCall(finished, trace);
      const std::string next = Copy(kTracks, addMode);
      EXPECT_EQ(next.rfind("mix.m3u", 0), 0u) << next << trace;
      EXPECT_EQ(Contents(), finished) << trace;
      if (HasFailure())
        return;
    }
  }

  // The next run stopped at each of its first calls in turn, which undo the stopped one, and each
  // such stop followed by a run that is not stopped.
  void StopTheUndoAtEveryCall(const Files &finished, const std::string &trace) {
    const auto records = [&] {
      const auto names = fake.FilesIn("E:\\Music");
      return std::count_if(names.begin(), names.end(), [](const std::string &name) { return MayBeRecordName(name); });
    };
    if (records() == 0)
      return;
    const FakePlatform stopped = fake;
    for (std::size_t call = 1; call <= kUndoCalls; ++call) {
      const auto point = call % 2 ? FakePlatform::CrashPoint::BeforeEffect : FakePlatform::CrashPoint::AfterEffect;
      fake.CrashAt(call, point);
      bool crashed = false;
      try {
        Copy(kTracks, addMode);
      } catch (const testing::SimulatedCrash &) {
        crashed = true;
      }
      fake.Restart();
      // Once the record is gone, the undo was over before the stop.
      const bool undone = records() == 0;
      const std::string next = Copy(kTracks, addMode);
      const std::string where = trace + " then the undo stopped at call " + std::to_string(call);
      EXPECT_EQ(next.rfind("mix.m3u", 0), 0u) << next << where;
      EXPECT_EQ(Contents(), finished) << where;
      fake = stopped;
      if (!crashed || undone || HasFailure())
        return;
    }
  }

  // Runs the tracks stopped at their `step`th call; whether the run was still going then.
  bool CrashedAt(std::size_t step, FakePlatform::CrashPoint point, std::string &box) {
    fake.CrashAt(step, point);
    try {
      box = Copy(kTracks, addMode);
    } catch (const testing::SimulatedCrash &) {
      box = "crashed";
    }
    fake.Restart();
    return box == "crashed";
  }

  static constexpr std::size_t kUndoCalls = 24;
  bool addMode = false;
  bool stopTheUndoToo = false;
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
      StopAtEveryStep(mode, false, [&](std::size_t step, std::string &box) { return CrashedAt(step, point, box); });
    }
  }
}

TEST_F(StoppedRunTest, AnUndoStoppedAtAnyCallAfterACrashIsCompletedByTheNextRun) {
  stopTheUndoToo = true;
  // After a crash, the next run's undo stopped in its turn.
  for (const auto mode : {Mode{false, true, true, false}, Mode{true, false, false, true}}) {
    StopAtEveryStep(mode, false, [&](std::size_t step, std::string &box) {
      return CrashedAt(step, FakePlatform::CrashPoint::AfterEffect, box);
    });
  }
}

TEST_F(StoppedRunTest, ACancelledOrFailedRunsOwnUndoStoppedAtAnyCallIsCompletedByTheNextRun) {
  // The undo stopped at each of its calls in turn, after a cancel or a failure at every look.
  for (const auto mode : {Mode{false, true, true, true}, Mode{true, false, false, false}}) {
    for (const bool failing : {false, true}) {
      if (failing && !mode.addMode)
        continue;
      StopAtEveryStep(mode, false, [&](std::size_t step, std::string &box) {
        // Every third look, to keep the test short: the looks between differ little in what is undone.
        const std::size_t look = 1 + 3 * (step / kUndoCalls), call = 1 + step % kUndoCalls;
        if (failing)
          fake.Fail("Copy", "C:\\Music\\y\\a.mp3");
        std::size_t looks = 0;
        try {
          box = Copy(kTracks, addMode, [&](RecordingProgress &progress) {
            if (++looks == look) {
              progress.cancelled = !failing;
              fake.CrashAt(call, FakePlatform::CrashPoint::BeforeEffect);
            }
          });
        } catch (const testing::SimulatedCrash &) {
          box = "crashed";
        }
        fake.Restart();
        fake.ClearFailures();
        return looks >= look;
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
