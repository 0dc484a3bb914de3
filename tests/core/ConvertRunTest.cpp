#include "FakePlatform.h"
#include "convert/ConvertCache.h"
#include "platform/PathParts.h"
#include "playlist/SFException.h"
#include "playlist/SFPlayList.h"
#include "resources/MessageTexts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

// A run that converts, on the fake file system with a converter that writes an MP3 of its own making:
// a tag with the mark, then the track's bytes in slices.
namespace sf {
namespace {

using testing::FakePlatform;
using testing::RecordingProgress;
using Lines = std::vector<std::string>;

constexpr char kCache[] = "C:\\Users\\u\\AppData\\Local\\Songferry\\Cache";

// An ID3v2.3 tag holding only the mark, in a TXXX frame of Latin-1 text.
std::string MarkTag(const ConvertedMark &mark) {
  const std::string body = std::string(1, '\0') + std::string(kMarkDescription) + '\0' + MarkText(mark);
  const auto bigEndian = [](std::size_t size, bool syncSafe) {
    std::string bytes(4, '\0');
    for (int k = 3; k >= 0; --k, size >>= syncSafe ? 7 : 8)
      bytes[k] = static_cast<char>(size & (syncSafe ? 0x7F : 0xFF));
    return bytes;
  };
  const std::string frame = "TXXX" + bigEndian(body.size(), false) + std::string(2, '\0') + body;
  return "ID3" + std::string{3, 0, 0} + bigEndian(frame.size(), true) + frame;
}

class FakeConverter final : public Converter {
public:
  explicit FakeConverter(FakePlatform &fake) : fake_(fake) {}

  Reason Convert(const ConvertJob &job, const std::string &target, const std::function<void()> &look) override {
    ++conversions;
    if (whileConverting)
      whileConverting();
    const auto track = fake_.ContentOf(job.source);
    if (!track || track->rfind("broken", 0) == 0)
      return "壊れています";
    if (fake_.MakeEmptyFile(target) != Platform::MakeResult::Made)
      return "書けません";
    auto file = fake_.OpenForWriting(target).file;
    file->Append(MarkTag({job.size, job.lastWrite, job.quality}));
    for (std::size_t at = 0; at < track->size(); at += 4) {
      look();
      file->Append("mp3:" + track->substr(at, 4));
    }
    return {};
  }

  int conversions = 0;
  std::function<void()> whileConverting;

private:
  FakePlatform &fake_;
};

class ConvertRunTest : public ::testing::Test {
protected:
  ConvertRunTest() {
    fake.AddFolder("E:\\Player");
    fake.AddFolder("C:\\Users\\u\\AppData\\Local");
    for (const char *name : {"a.flac", "b.mp3", "c.m4a", "broken.ogg"})
      fake.AddFile(std::string("C:\\Music\\") + name,
                   std::string(name).rfind("broken", 0) == 0 ? "broken" : "music of " + std::string(name));
    fake.SetLastWrite("C:\\Music\\a.flac", 131'000'000'000'000'000);
  }

  // Copies an ".m3u" of `tracks`, converting at `quality`; the text of the box, or of the refusal.
  std::string Copy(const Lines &tracks, ConvertQuality quality = ConvertQuality::Standard) {
    std::string content;
    for (const auto &track : tracks)
      content += track + "\r\n";
    fake.AddFile("C:\\Music\\mix.m3u", testing::ShiftJisBytes(content));
    TPlayList list(fake, "C:\\Music\\mix.m3u");
    list.Load();
    fake.Journal().clear();
    RecordingProgress progress(fake.Journal());
    progress.whileCopying = [&] {
      progress.cancelled = progress.cancelled || (cancelAtLook && ++looks >= cancelAtLook);
    };
    ConvertCache cache(fake, kCache, cacheLimit);
    const Conversion conversion{converter, cache, quality};
    looks = 0;
    try {
      completed = list.CopyTracks(progress, "E:\\Player", false, false, false, skipUnchanged, false, &conversion);
    } catch (const ESFException &refusal) {
      return refusal.what();
    }
    const auto info = std::find_if(fake.Journal().begin(), fake.Journal().end(),
                                   [](const std::string &line) { return line.rfind("Info ", 0) == 0; });
    return info == fake.Journal().end() ? "" : info->substr(5);
  }

  std::map<std::string, std::string> FilesOf(const std::string &folder) {
    std::map<std::string, std::string> files;
    for (const auto &name : fake.FilesIn(folder))
      files[name] = *fake.ContentOf(JoinPath(folder, name));
    return files;
  }
  Lines Journal(const std::string &prefix) {
    Lines lines;
    std::copy_if(fake.Journal().begin(), fake.Journal().end(), std::back_inserter(lines),
                 [&](const std::string &line) { return line.rfind(prefix, 0) == 0; });
    return lines;
  }

  FakePlatform fake;
  FakeConverter converter{fake};
  std::uint64_t cacheLimit = 1 << 30;
  bool skipUnchanged = false;
  int cancelAtLook = 0, looks = 0;
  bool completed = false;
};

TEST_F(ConvertRunTest, ConvertsWhatThePlayerCannotPlayFirstThenCopiesInOrderUnderTheConvertingCaption) {
  EXPECT_EQ(Copy({"a.flac", "b.mp3", "c.m4a"}), FormatText(messages::kCopied, "mix.m3u", 3));
  const auto copies = FilesOf("E:\\Player");
  ASSERT_EQ(copies.size(), 3u);
  EXPECT_EQ(copies.at("b.mp3"), "music of b.mp3");
  const auto mark = FindMark(copies.at("a.mp3"));
  ASSERT_TRUE(mark);
  EXPECT_EQ(*mark, (ConvertedMark{15, 131'000'000'000'000'000, ConvertQuality::Standard}));
  EXPECT_NE(copies.at("a.mp3").find("mp3:musi"), std::string::npos);
  EXPECT_EQ(converter.conversions, 2);
  // The window says what it does, and the bar counts the conversions, then the copies.
  const Lines stages = Journal("Stage");
  EXPECT_EQ(stages, (Lines{"Stage converting", "Stage copying"}));
  const auto &journal = fake.Journal();
  const auto at = [&](const std::string &line) {
    return std::find(journal.begin(), journal.end(), line) - journal.begin();
  };
  EXPECT_LT(at("Stage converting"), at("Maximum 2"));
  EXPECT_LT(at("Label a.flacを変換しています"), at("Label c.m4aを変換しています"));
  EXPECT_LT(at("Label c.m4aを変換しています"), at("Stage copying"));
  EXPECT_NE(std::find(journal.begin() + at("Stage copying"), journal.end(), "Maximum 3"), journal.end());
  // Nothing in the destination changes before every conversion is done.
  const auto firstCopy = std::find_if(journal.begin(), journal.end(), [](const std::string &line) {
    return line.rfind("Copy ", 0) == 0 || line.rfind("Delete E:", 0) == 0;
  });
  EXPECT_GT(firstCopy - journal.begin(), at("Stage copying"));
  // The cache keeps the MP3s, under names of their own, and nothing half made.
  const auto cached = FilesOf(kCache);
  EXPECT_EQ(cached.size(), 2u);
  for (const auto &[name, content] : cached)
    EXPECT_EQ(ExtensionPart(name), ".mp3") << name;
}

TEST_F(ConvertRunTest, ATrackIsConvertedOnceForTheCacheAndForACopyThatSaysItWasMadeFromIt) {
  Copy({"a.flac", "c.m4a"});
  ASSERT_EQ(converter.conversions, 2);
  // A clear run whose tracks are all in the cache converts nothing and shows no converting.
  Copy({"a.flac", "c.m4a"});
  EXPECT_EQ(converter.conversions, 2);
  EXPECT_TRUE(Journal("Stage").empty());
  EXPECT_EQ(FilesOf("E:\\Player").size(), 2u);
  // A skip re-sync with the cache emptied leaves the copies as they are.
  for (const auto &name : fake.FilesIn(kCache))
    fake.RemoveFile(JoinPath(kCache, name));
  skipUnchanged = true;
  EXPECT_EQ(Copy({"a.flac", "c.m4a"}), FormatText(messages::kAllUnchanged, "mix.m3u", 2));
  EXPECT_EQ(converter.conversions, 2);
  EXPECT_TRUE(Journal("Copy").empty());
  // Another quality converts again; so does a track that changed.
  Copy({"a.flac", "c.m4a"}, ConvertQuality::High);
  EXPECT_EQ(converter.conversions, 4);
  EXPECT_EQ(FindMark(FilesOf("E:\\Player").at("a.mp3"))->quality, ConvertQuality::High);
  fake.AddFile("C:\\Music\\c.m4a", "music of c.m4a, changed");
  Copy({"a.flac", "c.m4a"}, ConvertQuality::High);
  EXPECT_EQ(converter.conversions, 5);
  const Lines copies = Journal("Copy");
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].substr(copies[0].find(" -> ")), " -> E:\\Player\\c.mp3");
}

TEST_F(ConvertRunTest, ACacheFileThatCannotBeReadIsConvertedAgainInItsPlace) {
  Copy({"a.flac"});
  const std::string cached = JoinPath(kCache, fake.FilesIn(kCache).at(0));
  // Another program reads it as no other may, for a while.
  fake.Fail("Hold", cached);
  converter.whileConverting = [&] { fake.ClearFailures(); };
  Copy({"a.flac"});
  EXPECT_EQ(converter.conversions, 2);
  EXPECT_TRUE(FindMark(*fake.ContentOf("E:\\Player\\a.mp3")));
}

TEST_F(ConvertRunTest, ATrackThatCannotBeConvertedRefusesTheRunBeforeAnyChangeAndLeavesNoPart) {
  fake.AddFile("E:\\Player\\old.mp3", "old");
  EXPECT_EQ(Copy({"a.flac", "broken.ogg"}),
            FormatText(messages::kCannotConvert, "C:\\Music\\broken.ogg") + "\n壊れています");
  EXPECT_EQ(FilesOf("E:\\Player"), (std::map<std::string, std::string>{{"old.mp3", "old"}}));
  // The track converted before it stays for the next run.
  EXPECT_EQ(FilesOf(kCache).size(), 1u);
}

TEST_F(ConvertRunTest, ACancelDuringAConversionChangesNothingAndLeavesNoPartAnywhere) {
  fake.AddFile("E:\\Player\\old.mp3", "old");
  for (int look = 1; look <= 12; ++look) {
    cancelAtLook = look;
    EXPECT_EQ(Copy({"a.flac", "c.m4a"}), FormatText(messages::kCancelled, "mix.m3u", 0)) << look;
    EXPECT_FALSE(completed);
    EXPECT_EQ(FilesOf("E:\\Player"), (std::map<std::string, std::string>{{"old.mp3", "old"}})) << look;
    for (const auto &[name, content] : FilesOf(kCache))
      EXPECT_TRUE(ExtensionPart(name) == ".mp3" && FindMark(content)) << name << " at look " << look;
  }
}

TEST_F(ConvertRunTest, AfterARunTheLeastRecentlyUsedMp3sBeyondTheLimitGoButNoneTheRunUsed) {
  Copy({"a.flac"});
  cacheLimit = FilesOf(kCache).begin()->second.size() + 1;
  Copy({"c.m4a"});
  // c.m4a's MP3, used last, stayed alone; a.flac's is made again, and c.m4a's, older now, goes.
  Copy({"a.flac"});
  const auto cached = FilesOf(kCache);
  ASSERT_EQ(cached.size(), 1u);
  EXPECT_EQ(FindMark(cached.begin()->second)->size, std::string("music of a.flac").size());
  // A file the run copies is held from plan to copy: another instance's trim cannot take it.
  EXPECT_FALSE(Journal("Hold").empty());
  EXPECT_FALSE(Journal("MarkUsed").empty());
}

// A run stopped at any call, the next run then undoing it: the destination is as a whole run leaves
// it, and the cache never holds a file it would take that is not whole.
TEST_F(ConvertRunTest, ARunStoppedAtAnyCallLeavesTheCacheNothingItWouldTakeThatIsNotWhole) {
  Copy({"a.flac", "b.mp3", "c.m4a"});
  const auto whole = FilesOf("E:\\Player");
  const auto cached = FilesOf(kCache);
  for (std::size_t call = 1;; ++call) {
    fake = FakePlatform();
    fake.AddFolder("E:\\Player");
    fake.AddFolder("C:\\Users\\u\\AppData\\Local");
    for (const char *name : {"a.flac", "b.mp3", "c.m4a"})
      fake.AddFile(std::string("C:\\Music\\") + name, "music of " + std::string(name));
    fake.SetLastWrite("C:\\Music\\a.flac", 131'000'000'000'000'000);
    fake.CrashAt(call, call % 2 ? FakePlatform::CrashPoint::BeforeEffect : FakePlatform::CrashPoint::AfterEffect);
    try {
      Copy({"a.flac", "b.mp3", "c.m4a"});
      break;
    } catch (const testing::SimulatedCrash &) {
    }
    fake.Restart();
    for (const auto &name : fake.FilesIn(kCache)) {
      if (ExtensionPart(name) == ".mp3")
        EXPECT_EQ(fake.ContentOf(JoinPath(kCache, name)), cached.at(name)) << name << " after call " << call;
    }
    Copy({"a.flac", "b.mp3", "c.m4a"});
    EXPECT_EQ(FilesOf("E:\\Player"), whole) << "after call " << call;
    EXPECT_EQ(FilesOf(kCache), cached) << "after call " << call;
  }
}

} // namespace
} // namespace sf
