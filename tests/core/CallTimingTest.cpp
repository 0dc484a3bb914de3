#include "CallTimingPlatform.h"
#include "FakePlatform.h"
#include "platform/InOutError.h"
#include "playlist/SFPlayList.h"

#include <gtest/gtest.h>

#include <map>

namespace sf {
namespace {

using bench::CallTimingPlatform;
using bench::PlatformCall;
using testing::FakePlatform;
using testing::RecordingProgress;

constexpr std::uint64_t kTrackTime = 133'000'000'000'000'000;

// The benchmark's profile of a re-sync is only as good as the decorator's bookkeeping: each call
// passed on, with its answer, and counted under its own kind.
class CallTimingTest : public ::testing::Test {
protected:
  CallTimingTest() {
    fake.AddFolder("E:\\Player");
    std::string list;
    for (const char *name : {"a.mp3", "b.mp3", "c.wma"}) {
      const std::string path = std::string("C:\\Music\\") + name;
      fake.AddFile(path, std::string("music of ") + name);
      fake.SetLastWrite(path, kTrackTime);
      list += path + "\r\n";
    }
    fake.AddFile("C:\\Lists\\mix.m3u", list);
  }

  // Copies the playlist with unchanged tracks left, through the decorator.
  void ReSync() {
    TPlayList list(timed, "C:\\Lists\\mix.m3u");
    list.Load();
    RecordingProgress progress(fake.Journal());
    progress.whileCopying = [&] { busyWhileCopying = busyWhileCopying || timed.Busy(); };
    ASSERT_TRUE(list.CopyTracks(progress, "E:\\Player", false, false, false, true));
  }

  FakePlatform fake;
  CallTimingPlatform timed{fake};
  bool busyWhileCopying = false;
};

TEST_F(CallTimingTest, AReSyncCountsEveryCallOfTheSystemUnderItsOwnKindAndStillCopiesWhatChanged) {
  ReSync();
  fake.SetLastWrite("E:\\Player\\b.mp3", kTrackTime - 24ULL * 3600 * 10'000'000);
  fake.Journal().clear();
  timed.ClearTallies();
  const std::size_t before = fake.CallCount();
  ReSync();

  std::map<std::string, std::int64_t> logged;
  for (const auto &line : fake.Journal())
    ++logged[line.substr(0, line.find(' '))];
  // The fake's words for the calls it writes down.
  const std::map<std::string, PlatformCall> words = {{"Read", PlatformCall::ReadTextFile},
                                                     {"ReadWhole", PlatformCall::ReadWholeFile},
                                                     {"Exists", PlatformCall::FileExists},
                                                     {"List", PlatformCall::ListFiles},
                                                     {"Names", PlatformCall::ListNames},
                                                     {"Delete", PlatformCall::RemoveFile},
                                                     {"Copy", PlatformCall::CopyFileOver},
                                                     {"Query", PlatformCall::QueryFile},
                                                     {"FreeSpace", PlatformCall::FreeSpace},
                                                     {"Entries", PlatformCall::ListEntries},
                                                     {"Make", PlatformCall::MakeEmptyFile},
                                                     {"MakeHidden", PlatformCall::MakeHiddenFile},
                                                     {"OpenForWriting", PlatformCall::OpenForWriting},
                                                     {"Append", PlatformCall::AppendToFile},
                                                     {"Cut", PlatformCall::CutFile},
                                                     {"MakeFolder", PlatformCall::MakeFolder},
                                                     {"Move", PlatformCall::MoveEntry},
                                                     {"RemoveFolder", PlatformCall::RemoveFolder},
                                                     {"MarkUsed", PlatformCall::MarkUsed},
                                                     {"Hold", PlatformCall::HoldFile},
                                                     {"ReplaceWhole", PlatformCall::ReplaceWholeFile}};
  for (const auto &[word, kind] : words)
    EXPECT_EQ(timed.Tally(kind).calls, logged[word]) << word;
  // The calls it does not write down still reach it: every kind but the three texts' counts there.
  std::int64_t reaching = 0;
  for (std::size_t kind = 0; kind < bench::kPlatformCalls; ++kind) {
    const auto call = static_cast<PlatformCall>(kind);
    if (call != PlatformCall::UpperCase && call != PlatformCall::FromShiftJis && call != PlatformCall::ToShiftJis)
      reaching += timed.Tally(call).calls;
  }
  EXPECT_EQ(reaching, static_cast<std::int64_t>(fake.CallCount() - before));
  EXPECT_GT(timed.Tally(PlatformCall::FileIdentity).calls, 0);
  EXPECT_GT(timed.Tally(PlatformCall::UpperCase).calls, 0);

  EXPECT_EQ(logged["Copy"], 1);
  EXPECT_EQ(fake.ContentOf("E:\\Player\\b.mp3"), "music of b.mp3");
  EXPECT_TRUE(busyWhileCopying) << "the progress during a copy is within the copy's call";
  EXPECT_FALSE(timed.Busy());
}

TEST_F(CallTimingTest, ACallThatThrowsCountsAndEnds) {
  fake.Fail("Read", "C:\\Music\\a.mp3");
  EXPECT_THROW(timed.ReadTextFile("C:\\Music\\a.mp3", [](std::string_view) { return true; }), EInOutError);
  EXPECT_EQ(timed.Tally(PlatformCall::ReadTextFile).calls, 1);
  EXPECT_FALSE(timed.Busy());
  timed.ClearTallies();
  EXPECT_EQ(timed.Tally(PlatformCall::ReadTextFile).calls, 0);
}

} // namespace
} // namespace sf
