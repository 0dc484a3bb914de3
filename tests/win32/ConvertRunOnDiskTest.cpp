#include "FakePlatform.h"
#include "HostTools.h"
#include "ScratchFolder.h"
#include "convert/ConvertCache.h"
#include "convert/Mp3Converter.h"
#include "platform/win32/Win32Platform.h"
#include "playlist/PlayListFile.h"
#include "playlist/SFException.h"
#include "playlist/SFPlayList.h"
#include "resources/MessageTexts.h"

#include <gtest/gtest.h>

#include <algorithm>

// Runs that convert, with the program's own converter, media made by Debian's tools and the real file
// system under Wine.
namespace sf {
namespace {

using testing::ReadWholeFile;
using testing::RunHostShell;
using testing::ScratchFolder;
using testing::UnixPath;
using Lines = std::vector<std::string>;

// Counts the conversions that reach the program's converter.
class CountingConverter final : public Converter {
public:
  Reason Convert(const ConvertJob &job, const std::string &target, const std::function<void()> &look) override {
    ++conversions;
    return converter_.Convert(job, target, look);
  }
  int conversions = 0;

private:
  Mp3Converter converter_;
};

class ConvertRunOnDisk : public ::testing::Test {
protected:
  ConvertRunOnDisk() {
    scratch.MakeFolder("Music");
    scratch.MakeFolder("Player");
    scratch.MakeFolder("Local");
    // A second of a tone each, one track for every kind the run converts, and an MP3 copied as it is.
    const auto made = RunHostShell(
        "cd '" + UnixPath(scratch / "Music") +
        "' && sox -n -r 44100 -c 2 -b 16 src.wav synth 1 sine 440 vol 0.5"
        " && flac -s -T TITLE=表ソ -o 1.flac src.wav && ffmpeg -v error -i src.wav -c:a alac 2.m4a"
        " && ffmpeg -v error -i src.wav -c:a aac 3.m4a && oggenc -Q -o 4.ogg src.wav"
        " && opusenc --quiet src.wav 5.opus && cp src.wav 6.wav && sox src.wav 7.aiff && cp src.wav plain.mp3"
        " && head -c 3000 1.flac >broken.flac");
    EXPECT_EQ(made.status, 0) << made.output;
  }

  // Copies a playlist of `tracks` into Player, converting; the box's text, or the refusal's.
  std::string Copy(const Lines &tracks, const std::function<void(testing::RecordingProgress &)> &during = nullptr) {
    std::string list;
    for (const auto &track : tracks)
      list += "Music\\" + track + "\r\n";
    testing::WriteWholeFile(scratch / "mix.m3u8", "\xEF\xBB\xBF" + list);
    TPlayList playList(platform, scratch / "mix.m3u8");
    playList.Load();
    journal.clear();
    testing::RecordingProgress progress(journal);
    if (during)
      progress.whileCopying = [&] { during(progress); };
    ConvertCache cache(platform, cache_, 1 << 30);
    const Conversion conversion{converter, cache, ConvertQuality::Standard};
    try {
      playList.CopyTracks(progress, scratch / "Player", false, false, false, skipUnchanged, true, &conversion);
    } catch (const ESFException &refusal) {
      return refusal.what();
    }
    const auto info =
        std::find_if(journal.begin(), journal.end(), [](auto &line) { return line.rfind("Info ", 0) == 0; });
    return info == journal.end() ? "" : info->substr(5);
  }

  ScratchFolder scratch;
  Win32Platform platform;
  CountingConverter converter;
  const std::string cache_ = scratch / "Local\\Songferry\\Cache";
  bool skipUnchanged = false;
  Lines journal;
};

const Lines kTracks = {"1.flac", "2.m4a", "3.m4a", "4.ogg", "5.opus", "6.wav", "7.aiff", "plain.mp3"};

TEST_F(ConvertRunOnDisk, EveryKindArrivesAsAnMp3ListedInOrderAndIsConvertedOnce) {
  ASSERT_EQ(Copy(kTracks), FormatText(messages::kCopied, "mix.m3u8", 8));
  EXPECT_EQ(scratch.Names("Player"),
            (Lines{"1.mp3", "2.mp3", "3.mp3", "4.mp3", "5.mp3", "6.mp3", "7.mp3", "mix.m3u", "plain.mp3"}));
  EXPECT_EQ(OwnPlayListCopies(ReadWholeFile(scratch / "Player\\mix.m3u")),
            (Lines{"1.mp3", "2.mp3", "3.mp3", "4.mp3", "5.mp3", "6.mp3", "7.mp3", "plain.mp3"}));
  EXPECT_EQ(converter.conversions, 7);
  for (const auto &[copy, track] : {std::pair{"1.mp3", "1.flac"}, {"4.mp3", "4.ogg"}, {"7.mp3", "7.aiff"}}) {
    EXPECT_EQ(testing::ProbeAudio(scratch / ("Player\\" + std::string(copy))).sampleRate, 44100) << copy;
    // The copy takes its track's time.
    EXPECT_EQ(platform.QueryFile(scratch / ("Player\\" + std::string(copy))).lastWrite,
              platform.QueryFile(scratch / ("Music\\" + std::string(track))).lastWrite)
        << copy;
  }
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\plain.mp3"), ReadWholeFile(scratch / "Music\\plain.mp3"));
  // A second clear run takes every MP3 from the cache.
  ASSERT_EQ(Copy(kTracks), FormatText(messages::kCopied, "mix.m3u8", 8));
  EXPECT_EQ(converter.conversions, 7);
  // A re-sync with the cache emptied leaves the copies that say they were made from their tracks.
  for (const auto &name : scratch.Names("Local\\Songferry\\Cache"))
    platform.RemoveFile(cache_ + "\\" + name);
  skipUnchanged = true;
  EXPECT_EQ(Copy(kTracks), FormatText(messages::kAllUnchanged, "mix.m3u8", 8));
  EXPECT_EQ(converter.conversions, 7);
}

TEST_F(ConvertRunOnDisk, ABrokenTrackOrACancelChangesNothingAndLeavesNoPartAnywhere) {
  scratch.Write("Player\\old.mp3", "old");
  EXPECT_EQ(Copy({"1.flac", "broken.flac"})
                .rfind(FormatText(messages::kCannotConvert, scratch / "Music\\broken.flac") + "\n", 0),
            0u);
  EXPECT_EQ(scratch.Names("Player"), Lines{"old.mp3"});
  // Cancelled at the first, the fifth and the ninth look: within the first track, at its end, later.
  for (const int cancelAt : {1, 5, 9}) {
    int looks = 0;
    const auto box = Copy({"4.ogg", "6.wav"}, [&](testing::RecordingProgress &progress) {
      progress.cancelled = progress.cancelled || ++looks >= cancelAt;
    });
    EXPECT_EQ(box, FormatText(messages::kCancelled, "mix.m3u8", 0)) << cancelAt;
    EXPECT_EQ(scratch.Names("Player"), Lines{"old.mp3"}) << cancelAt;
    for (const auto &name : scratch.Names("Local\\Songferry\\Cache")) {
      EXPECT_EQ(name.substr(name.size() - 4), ".mp3") << name;
      EXPECT_TRUE(ReadMark(platform, cache_ + "\\" + name)) << name;
    }
  }
}

} // namespace
} // namespace sf
