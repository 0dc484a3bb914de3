#include "FakePlatform.h"
#include "convert/ConvertCache.h"
#include "convert/ConverterMessages.h"
#include "convert/ConverterPool.h"
#include "platform/PathParts.h"
#include "playlist/SFException.h"
#include "playlist/SFPlayList.h"
#include "resources/MessageTexts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <set>

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

// Converters beside the run, on the fake file system. A job handed out begins its MP3 (its target
// holds a tag and no audio yet); the converter reports when the run waits, the one at work longest
// first unless `reportOrder` names another, and converts its track then through the fake converter,
// or dies with it when the track is in `dying`.
class FakePool final : public ConverterPool {
public:
  FakePool(FakePlatform &fake, FakeConverter &converter) : fake_(fake), converter_(converter) {}

  int Processors() const override { return processors; }
  int Start(int count) override {
    inHand_.assign(static_cast<std::size_t>(std::min(count, startable)), std::nullopt);
    log.push_back("start " + std::to_string(inHand_.size()));
    return static_cast<int>(inHand_.size());
  }
  void Give(int converter, const ConvertJob &job, const std::string &target) override {
    log.push_back(std::to_string(converter) + " " + FileNamePart(job.source));
    inHand_.at(static_cast<std::size_t>(converter)) = InHand{job, target, handedOut_++};
    fake_.AddFile(target, "ID3 half made");
  }
  Report Wait(const std::function<void()> &look) override {
    look();
    int converter = -1;
    for (int k = 0; k < static_cast<int>(inHand_.size()); ++k) {
      if (inHand_[k] && (converter < 0 || inHand_[k]->handedOut < inHand_[converter]->handedOut))
        converter = k;
    }
    if (!reportOrder.empty()) {
      if (inHand_.at(static_cast<std::size_t>(reportOrder.front())))
        converter = reportOrder.front();
      reportOrder.pop_front();
    }
    EXPECT_GE(converter, 0) << "a wait with no converter at work";
    const InHand job = *inHand_.at(static_cast<std::size_t>(converter));
    inHand_[converter].reset();
    if (dying.count(FileNamePart(job.job.source)))
      return {converter, true, {}};
    const auto begun = fake_.ContentOf(job.target);
    fake_.RemoveFile(job.target);
    Report report{converter, false, converter_.Convert(job.job, job.target, [] {})};
    // One that fails has written part of its MP3.
    if (!report.reason.empty() && begun)
      fake_.AddFile(job.target, *begun);
    return report;
  }
  // Ended as a process is: what it was writing stays as it was.
  void Stop() override {
    log.push_back("stop");
    inHand_.clear();
  }

  int processors = 4;
  int startable = kMostConverters; // how many would start
  std::deque<int> reportOrder;
  std::set<std::string> dying; // the file names of the tracks a converter dies on
  std::vector<std::string> log;

private:
  struct InHand {
    ConvertJob job;
    std::string target;
    int handedOut = 0;
  };
  FakePlatform &fake_;
  FakeConverter &converter_;
  std::vector<std::optional<InHand>> inHand_;
  int handedOut_ = 0;
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
    const Conversion conversion{converter, cache, quality, withPool ? &pool : nullptr, processes};
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
  FakePool pool{fake, converter};
  bool withPool = false;
  int processes = 0; // ConvertProcesses
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

struct ConvertersCase {
  int setting; // ConvertProcesses; 0 where it is not set
  int processors;
  std::size_t tracks;
  int converters;
};

TEST(ConvertersFor, TheSettingElseTheProcessorsUpTo32NeverMoreThanTheTracks) {
  const ConvertersCase cases[] = {
      {0, 4, 10, 4},  {0, 64, 100, 32}, {0, 8, 3, 3}, {2, 8, 10, 2}, {1, 8, 10, 1}, {32, 2, 40, 32},
      {33, 8, 10, 8}, {-1, 8, 10, 8},   {0, 0, 5, 1}, {0, 8, 1, 1},  {0, 8, 0, 1},
  };
  for (const auto &c : cases)
    EXPECT_EQ(ConvertersFor(c.setting, c.processors, c.tracks), c.converters)
        << c.setting << ", " << c.processors << " processors, " << c.tracks << " tracks";
}

TEST(ConverterMessages, AJobAndAReportCrossThePipeInPiecesAndBackToBack) {
  const ConvertJob job{"C:\\Music\\表ソ\\朝の歌 #1.flac", 123456789012, 133'000'000'000'000'000, ConvertQuality::High};
  std::string pipe =
      JobMessage(job, "C:\\Cache\\0123.part") + ReportMessage("ファイルが壊れています") + ReportMessage("");
  std::string received;
  std::vector<std::string> messages;
  // A byte at a time: nothing is taken before it is whole.
  for (const char byte : pipe) {
    received += byte;
    while (auto message = TakeMessage(received))
      messages.push_back(*message);
  }
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_TRUE(received.empty());
  const auto read = ReadJob(messages[0]);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->job.source, job.source);
  EXPECT_EQ(read->target, "C:\\Cache\\0123.part");
  EXPECT_EQ(read->job.size, job.size);
  EXPECT_EQ(read->job.lastWrite, job.lastWrite);
  EXPECT_EQ(read->job.quality, ConvertQuality::High);
  EXPECT_EQ(messages[1], "ファイルが壊れています");
  EXPECT_EQ(messages[2], "");
  // What the run would never send is no job.
  using namespace std::string_literals;
  // A fifth field, a size that is no number, no source, no end to the last field.
  for (const std::string &bad : {"a\0b\0"
                                 "1\0"
                                 "2\0"
                                 "3\0"s,
                                 "a\0b\0x\0"
                                 "2\0"
                                 "0\0"s,
                                 "\0b\0"
                                 "1\0"
                                 "2\0"
                                 "0\0"s,
                                 "a\0b\0"
                                 "1\0"
                                 "2\0"
                                 "0"s})
    EXPECT_FALSE(ReadJob(bad)) << bad.size();
}

// Tracks to convert beside the fixture's: six FLACs of their own sound.
const Lines kSixTracks = {"1.flac", "2.flac", "3.flac", "b.mp3", "4.flac", "5.flac", "6.flac"};

class ConvertersTest : public ConvertRunTest {
protected:
  ConvertersTest() {
    for (const char *name : {"1.flac", "2.flac", "3.flac", "4.flac", "5.flac", "6.flac"})
      fake.AddFile(std::string("C:\\Music\\") + name, "music of " + std::string(name));
    withPool = true;
  }
  Lines PartsInCache() {
    Lines parts;
    for (const auto &name : fake.FilesIn(kCache)) {
      if (ExtensionPart(name) != ".mp3" || !FindMark(*fake.ContentOf(JoinPath(kCache, name))))
        parts.push_back(name);
    }
    return parts;
  }
};

TEST_F(ConvertersTest, EachConverterTakesTheNextTrackAsSoonAsItIsFreeAndTheCopiesAreThoseOfOneProcess) {
  processes = 1;
  ASSERT_EQ(Copy(kSixTracks), FormatText(messages::kCopied, "mix.m3u", 7));
  EXPECT_TRUE(pool.log.empty()) << "ConvertProcesses=1 converts in the run's own process";
  const auto byOneProcess = FilesOf("E:\\Player");
  for (const auto &name : fake.FilesIn(kCache))
    fake.RemoveFile(JoinPath(kCache, name));

  processes = 0;
  pool.processors = 2;
  // The second converter is quicker: it takes the third track and the fourth, then the first one's
  // converter the fifth.
  pool.reportOrder = {1, 1, 0};
  ASSERT_EQ(Copy(kSixTracks), FormatText(messages::kCopied, "mix.m3u", 7));
  EXPECT_EQ(pool.log,
            (Lines{"start 2", "0 1.flac", "1 2.flac", "1 3.flac", "1 4.flac", "0 5.flac", "1 6.flac", "stop"}));
  EXPECT_EQ(FilesOf("E:\\Player"), byOneProcess);
  EXPECT_TRUE(PartsInCache().empty());
  // The label names the track at work longest, the bar counts the finished ones, then the copies.
  const Lines labels = Journal("Label ");
  EXPECT_EQ(labels.front(), "Label 1.flacを変換しています");
  EXPECT_NE(std::find(labels.begin(), labels.end(), "Label 6.flacを変換しています"), labels.end());
  const Lines positions = Journal("Position ");
  EXPECT_EQ(Lines(positions.begin(), positions.begin() + 7),
            (Lines{"Position 0", "Position 1", "Position 2", "Position 3", "Position 4", "Position 5", "Position 6"}));
  EXPECT_EQ(Journal("Stage"), (Lines{"Stage converting", "Stage copying"}));
}

TEST_F(ConvertersTest, NeverMoreConvertersThanTracksToConvertAndATrackListedTwiceIsConvertedOnce) {
  pool.processors = 8;
  ASSERT_EQ(Copy({"1.flac", "2.flac", "1.flac", "b.mp3"}), FormatText(messages::kCopied, "mix.m3u", 4));
  EXPECT_EQ(pool.log, (Lines{"start 2", "0 1.flac", "1 2.flac", "stop"}));
  // A run with one track to convert, or whose converters would not start, converts in its own process.
  pool.log.clear();
  ASSERT_EQ(Copy({"3.flac"}), FormatText(messages::kCopied, "mix.m3u", 1));
  EXPECT_TRUE(pool.log.empty());
  pool.startable = 0;
  const int before = converter.conversions;
  ASSERT_EQ(Copy({"4.flac", "5.flac"}), FormatText(messages::kCopied, "mix.m3u", 2));
  EXPECT_EQ(pool.log, (Lines{"start 0", "stop"}));
  EXPECT_EQ(converter.conversions, before + 2);
  EXPECT_TRUE(FindMark(*fake.ContentOf("E:\\Player\\5.mp3")));
}

struct OutcomeCase {
  const char *name;
  Lines tracks;
  const char *dying;   // the track a converter dies on, or ""
  const char *refused; // the track the run refuses
  const char *reason;
  std::size_t kept; // the MP3s finished before, which stay in the cache
};

// A converter that fails on its track or dies refuses the run before any change, naming the track;
// the converters are stopped, nothing they began stays, and what they finished stays in the cache for
// the next run, which converts the rest.
TEST_F(ConvertersTest, AFailedOrDeadConverterRefusesTheRunAndLeavesOnlyWholeMp3s) {
  const OutcomeCase cases[] = {
      {"fails first", {"broken.ogg", "1.flac", "2.flac", "3.flac"}, "", "broken.ogg", "壊れています", 0},
      {"fails later", {"1.flac", "2.flac", "broken.ogg", "3.flac"}, "", "broken.ogg", "壊れています", 2},
      {"dies first", {"1.flac", "2.flac", "3.flac", "4.flac"}, "1.flac", "1.flac", messages::kConverterDied, 0},
      {"dies last", {"1.flac", "2.flac", "3.flac", "4.flac"}, "4.flac", "4.flac", messages::kConverterDied, 3},
  };
  pool.processors = 2;
  for (const auto &outcome : cases) {
    SCOPED_TRACE(outcome.name);
    for (const char *folder : {kCache, "E:\\Player"}) {
      for (const auto &name : fake.FilesIn(folder))
        fake.RemoveFile(JoinPath(folder, name));
    }
    fake.AddFile("E:\\Player\\old.mp3", "old");
    pool.log.clear();
    pool.dying = {outcome.dying};
    EXPECT_EQ(Copy(outcome.tracks), FormatText(messages::kCannotConvert, std::string("C:\\Music\\") + outcome.refused) +
                                        "\n" + outcome.reason);
    EXPECT_EQ(FilesOf("E:\\Player"), (std::map<std::string, std::string>{{"old.mp3", "old"}}));
    EXPECT_EQ(pool.log.back(), "stop");
    EXPECT_EQ(PartsInCache(), Lines{});
    EXPECT_EQ(fake.FilesIn(kCache).size(), outcome.kept);
    // The next run, whose converter lives, converts what is missing.
    if (*outcome.dying) {
      pool.dying.clear();
      EXPECT_EQ(Copy(outcome.tracks), FormatText(messages::kCopied, "mix.m3u", 4));
      const std::string copy = "E:\\Player\\" + std::string(outcome.refused, 1) + ".mp3";
      EXPECT_TRUE(FindMark(fake.ContentOf(copy).value_or(""))) << copy;
    }
  }
}

// Cancelled at every look of the run in turn, up to the end of the conversions.
TEST_F(ConvertersTest, ACancelStopsEveryConverterChangesNothingAndLeavesNoPart) {
  fake.AddFile("E:\\Player\\old.mp3", "old");
  pool.processors = 3;
  int whileConverting = 0;
  for (int look = 1;; ++look) {
    for (const auto &name : fake.FilesIn(kCache))
      fake.RemoveFile(JoinPath(kCache, name));
    pool.log.clear();
    cancelAtLook = look;
    const std::string box = Copy(kSixTracks);
    if (!Journal("Stage copying").empty())
      break;
    EXPECT_EQ(box, FormatText(messages::kCancelled, "mix.m3u", 0));
    EXPECT_FALSE(completed);
    EXPECT_EQ(FilesOf("E:\\Player"), (std::map<std::string, std::string>{{"old.mp3", "old"}})) << look;
    EXPECT_EQ(PartsInCache(), Lines{}) << look;
    EXPECT_EQ(std::count(pool.log.begin(), pool.log.end(), "stop"),
              std::count(pool.log.begin(), pool.log.end(), "start 3"))
        << look;
    whileConverting += pool.log.empty() ? 0 : 1;
  }
  // At each of the six waits for a converter's report.
  EXPECT_EQ(whileConverting, 6);
}

} // namespace
} // namespace sf
