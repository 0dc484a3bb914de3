#include "HostTools.h"
#include "ScratchFolder.h"
#include "convert/Mp3Converter.h"
#include "platform/win32/Utf16.h"
#include "resources/MessageTexts.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace sf {
namespace {

using testing::DecodedAudio;
using testing::DecodeWithFfmpeg;
using testing::ProbeAudio;
using testing::ReadWholeFile;
using testing::RunHostShell;
using testing::ScratchFolder;
using testing::UnixPath;

// An MP3 frame is 1152 samples: the converted length may differ from the source's by less.
constexpr long kFrame = 1152;
// A sweep over most of the audible band (up in one channel, down in the other), well below full scale so that no lossy
// step clips it.
constexpr char kSweep[] = "synth 3 sine 100-8000 sine 8000-100 vol 0.5";

// Makes media with Debian's tools in a scratch folder and converts them.
class ConvertOnDisk : public ::testing::Test {
protected:
  // Runs `script` in the scratch folder (as the shell's working folder).
  void Make(const std::string &script) {
    const auto result = RunHostShell("cd '" + UnixPath(scratch_.Path()) + "' && " + script);
    ASSERT_EQ(result.status, 0) << script << "\n" << result.output;
  }
  std::string Convert(
      const std::string &name, ConvertQuality quality = ConvertQuality::Standard,
      const std::function<void()> &look = [] {}) {
    ConvertJob job;
    job.source = scratch_ / name;
    job.quality = quality;
    job.lastWrite = kLastWrite;
    return converter_.Convert(job, Target(), look);
  }
  std::string Target() const { return scratch_ / "out.mp3"; }

  static constexpr std::uint64_t kLastWrite = 133'000'000'000'000'000; // in 2022
  ScratchFolder scratch_;
  Mp3Converter converter_;
};

// Where the audio starts: after the ID3v2 tag, if the MP3 has one.
std::size_t AudioStart(const std::string &mp3) {
  if (mp3.size() < 10 || mp3.compare(0, 3, "ID3") != 0)
    return 0;
  std::size_t size = 0;
  for (int i = 6; i < 10; ++i)
    size = size << 7 | (static_cast<unsigned char>(mp3[i]) & 0x7F);
  return 10 + size;
}

// The figures every converted sweep must reach. Measured at -V 2 on a 3 s sweep: SNR 52 dB (from
// Vorbis) to 60 dB (from lossless sources), correlation 1.0000 to four places; a wrapped sample, a
// lost slice or a shift of one slice would fall far below.
constexpr double kLeastSnrDb = 40;
constexpr double kLeastCorrelation = 0.999;

struct FormatCase {
  const char *name;
  const char *make; // the shell commands that make `file` from src.wav
  const char *file;
};

// Every kind of track the program converts: the MP3 has the source's length within a frame and its
// sound. The figures are printed for the note on converting.
TEST_F(ConvertOnDisk, EveryFormatBecomesAnMp3OfTheSameLengthAndSound) {
  const FormatCase cases[] = {
      {"FLAC", "flac -s -o a.flac src.wav", "a.flac"},
      {"FLAC in Ogg", "flac -s --ogg -o a.oga src.wav", "a.oga"},
      {"Vorbis", "oggenc -Q -q 6 -o a.ogg src.wav", "a.ogg"},
      {"Opus", "opusenc --quiet --bitrate 160 src.wav a.opus", "a.opus"},
      {"ALAC", "ffmpeg -v error -i src.wav -c:a alac a.m4a", "a.m4a"},
      {"AAC", "ffmpeg -v error -i src.wav -c:a aac -b:a 192k a.m4a", "a.m4a"},
      {"AAC audiobook", "ffmpeg -v error -i src.wav -c:a aac -b:a 192k -f mp4 a.m4b", "a.m4b"},
      {"WAV", "cp src.wav a.wav", "a.wav"},
      {"AIFF", "sox src.wav a.aiff", "a.aiff"},
      {"AIFF-C sowt", "ffmpeg -v error -i src.wav -c:a pcm_s16le -f aiff a.aif", "a.aif"},
      {"AIFF-C fl32", "ffmpeg -v error -i src.wav -c:a pcm_f32be -f aiff a.aif", "a.aif"},
  };
  Make(std::string("sox -r 44100 -c 2 -n -b 16 src.wav ") + kSweep);
  const long seconds = 3;
  for (const auto &format : cases) {
    SCOPED_TRACE(format.name);
    Make(std::string("rm -f a.* && ") + format.make);
    ASSERT_EQ(Convert(format.file), "");
    // The sound as the converter met it (lossy sources differ from src.wav), and the MP3's.
    const DecodedAudio source = DecodeWithFfmpeg(scratch_ / format.file);
    const DecodedAudio mp3 = DecodeWithFfmpeg(Target());
    EXPECT_EQ(mp3.sampleRate, source.sampleRate);
    EXPECT_EQ(mp3.channels, 2);
    // Against src.wav's length: lossy formats leave their own padding to the decoder.
    EXPECT_NEAR(static_cast<long>(mp3.Frames()), seconds * source.sampleRate, kFrame);
    const auto likeness = testing::Compare(source, mp3, kFrame);
    std::printf("%-14s frames %zu -> %zu, lag %ld, correlation %.5f, SNR %.1f dB\n", format.name, source.Frames(),
                mp3.Frames(), likeness.lag, likeness.correlation, likeness.snrDb);
    // Media Foundation's AAC decoder under Wine starts a sample late.
    EXPECT_LE(std::abs(likeness.lag), 1);
    EXPECT_GT(likeness.correlation, kLeastCorrelation);
    EXPECT_GT(likeness.snrDb, kLeastSnrDb);
  }
}

// The layout of the MP3: the ID3v2 tag, then LAME's header frame (filled in at the end: "Xing" for
// VBR, "Info" for CBR, and "LAME" with the delay and padding), the audio, the ID3v1 tag last.
TEST_F(ConvertOnDisk, TheMp3StartsWithLamesFinishedHeaderAndTakesTheTracksTime) {
  Make(std::string("sox -r 44100 -c 2 -n -b 16 a.flac ") + kSweep);
  for (const auto quality : {ConvertQuality::Standard, ConvertQuality::Compatible}) {
    ASSERT_EQ(Convert("a.flac", quality), "");
    const std::string mp3 = ReadWholeFile(Target());
    const std::size_t audio = AudioStart(mp3);
    ASSERT_LT(audio + 4, mp3.size());
    EXPECT_EQ(static_cast<unsigned char>(mp3[audio]), 0xFF) << "a frame's sync word";
    const std::string first = mp3.substr(audio, 417);
    const bool vbr = quality == ConvertQuality::Standard;
    EXPECT_NE(first.find(vbr ? "Xing" : "Info"), std::string::npos);
    const std::size_t lame = first.find("LAME");
    ASSERT_NE(lame, std::string::npos);
    // The delay and padding (12 bits each, 21 bytes after "LAME"): LAME's own delay is 576.
    const auto byte = [&](std::size_t at) { return static_cast<unsigned>(static_cast<unsigned char>(first[at])); };
    const unsigned delay = byte(lame + 21) << 4 | byte(lame + 22) >> 4;
    EXPECT_EQ(delay, 576u);

    WIN32_FILE_ATTRIBUTE_DATA facts;
    ASSERT_TRUE(GetFileAttributesExW(Widen(Target()).c_str(), GetFileExInfoStandard, &facts));
    EXPECT_EQ(std::uint64_t{facts.ftLastWriteTime.dwHighDateTime} << 32 | facts.ftLastWriteTime.dwLowDateTime,
              kLastWrite);
  }
}

struct RateCase {
  int sourceRate;
  int channels;
  const char *sample; // sox's sample options: bits and encoding
  ConvertQuality quality;
  int mp3Rate;
  long long bitRate; // 0 for VBR
};

// Rates, channels and qualities: 32, 44.1 and 48 kHz kept, other rates to 44.1 kHz, 互換性重視 always
// 44.1 kHz at 192 kbit/s, 高音質 320 kbit/s; mono stays mono.
TEST_F(ConvertOnDisk, RatesChannelsAndQualitiesAreAsChosen) {
  const RateCase cases[] = {
      {96000, 2, "-b 24", ConvertQuality::Standard, 44100, 0},
      {88200, 2, "-b 24", ConvertQuality::High, 44100, 320000},
      {22050, 2, "-b 16", ConvertQuality::Standard, 44100, 0},
      {48000, 2, "-b 16", ConvertQuality::Standard, 48000, 0},
      {48000, 2, "-b 16", ConvertQuality::Compatible, 44100, 192000},
      {48000, 2, "-b 16", ConvertQuality::High, 48000, 320000},
      {32000, 2, "-b 16", ConvertQuality::Standard, 32000, 0},
      {44100, 1, "-b 16", ConvertQuality::Standard, 44100, 0},
      {44100, 1, "-b 16", ConvertQuality::Compatible, 44100, 192000},
      // LAME gives five and a half times the samples it was given: its output must still fit.
      {8000, 1, "-b 16", ConvertQuality::High, 44100, 320000},
  };
  for (const auto &rate : cases) {
    SCOPED_TRACE(std::to_string(rate.sourceRate) + " Hz, " + std::to_string(rate.channels) + " channels, quality " +
                 std::to_string(static_cast<int>(rate.quality)));
    Make("rm -f a.flac && sox -r " + std::to_string(rate.sourceRate) + " -c " + std::to_string(rate.channels) + " -n " +
         rate.sample + " a.flac synth 2 sine 100-8000 sine 8000-100 vol 0.5");
    ASSERT_EQ(Convert("a.flac", rate.quality), "");
    const auto facts = ProbeAudio(Target());
    EXPECT_EQ(facts.sampleRate, rate.mp3Rate);
    EXPECT_EQ(facts.channels, rate.channels);
    if (rate.bitRate) {
      EXPECT_EQ(facts.bitRate, rate.bitRate);
    }
    const DecodedAudio mp3 = DecodeWithFfmpeg(Target());
    EXPECT_NEAR(static_cast<long>(mp3.Frames()), 2L * rate.mp3Rate, kFrame);
    // Against the source resampled by ffmpeg: LAME's resampler and ffmpeg's agree to a sample or so.
    const auto likeness = testing::Compare(DecodeWithFfmpeg(scratch_ / "a.flac", rate.mp3Rate), mp3, 8);
    EXPECT_GT(likeness.correlation, 0.99) << "SNR " << likeness.snrDb;
  }
}

// Sources at full scale in 24 bits and in floating point reach the MP3 whole: a sample that wrapped
// around would flip its sign and wreck the likeness.
TEST_F(ConvertOnDisk, FullScaleSourcesAreNeitherWrappedNorCut) {
  const FormatCase cases[] = {
      {"24-bit FLAC", "sox -r 44100 -c 2 -n -b 24 a.flac synth 3 sine 1000 sine 1500", "a.flac"},
      {"24-bit WAV", "sox -r 44100 -c 2 -n -b 24 a.wav synth 3 sine 1000 sine 1500", "a.wav"},
      {"float WAV", "sox -r 44100 -c 2 -n -e floating-point -b 32 a.wav synth 3 sine 1000 sine 1500", "a.wav"},
      {"24-bit AIFF", "sox -r 44100 -c 2 -n -b 24 a.aiff synth 3 sine 1000 sine 1500", "a.aiff"},
  };
  for (const auto &format : cases) {
    SCOPED_TRACE(format.name);
    Make(std::string("rm -f a.* && ") + format.make);
    ASSERT_EQ(Convert(format.file, ConvertQuality::High), "");
    const DecodedAudio source = DecodeWithFfmpeg(scratch_ / format.file);
    const DecodedAudio mp3 = DecodeWithFfmpeg(Target());
    const auto likeness = testing::Compare(source, mp3);
    EXPECT_GT(likeness.snrDb, kLeastSnrDb);
    float peak = 0;
    for (const float sample : mp3.samples)
      peak = std::max(peak, std::abs(sample));
    EXPECT_GT(peak, 0.95f) << "the level is kept";
  }
}

// A 5.1 WAV becomes stereo: each side carries its front, the centre and its surround, and a source
// whose channels all carry the same signal keeps its level without clipping.
TEST_F(ConvertOnDisk, SurroundIsMixedDownToStereoAtItsLevel) {
  Make("sox -r 48000 -c 6 -n -b 16 a.wav synth 3 sine 100-8000 vol 0.5");
  ASSERT_EQ(Convert("a.wav"), "");
  const DecodedAudio mp3 = DecodeWithFfmpeg(Target());
  ASSERT_EQ(mp3.channels, 2);
  EXPECT_EQ(mp3.sampleRate, 48000);
  const DecodedAudio source = DecodeWithFfmpeg(scratch_ / "a.wav");
  ASSERT_EQ(source.channels, 6);
  DecodedAudio fronts{source.sampleRate, 2, {}};
  for (std::size_t frame = 0; frame < source.Frames(); ++frame)
    fronts.samples.insert(fronts.samples.end(), {source.samples[frame * 6], source.samples[frame * 6 + 1]});
  const auto likeness = testing::Compare(fronts, mp3);
  EXPECT_GT(likeness.correlation, kLeastCorrelation);
  EXPECT_GT(likeness.snrDb, kLeastSnrDb);
}

struct RefusalCase {
  const char *name;
  const char *make; // makes a.<extension>
  const char *file;
  const char *reason;
};

// What cannot be converted gives the reason the run shows, and leaves nothing behind that matters:
// the caller removes the target.
TEST_F(ConvertOnDisk, WhatCannotBeConvertedGivesItsReason) {
  // An Ogg page whose one packet starts as Speex's header does; the checksum is not looked at.
  const std::string speexPage = "printf 'OggS\\000\\002\\000\\000\\000\\000\\000\\000\\000\\000\\001\\000\\000\\000"
                                "\\000\\000\\000\\000\\000\\000\\000\\000\\001\\120Speex   1.2' > a.ogg && "
                                "head -c 72 /dev/zero >> a.ogg";
  const RefusalCase cases[] = {
      {"FLAC cut in half", "flac -s -o a.flac src.wav && truncate -s $(($(stat -c %s a.flac) / 2)) a.flac", "a.flac",
       messages::kConvertBroken},
      {"FLAC with damaged frames",
       "flac -s -o a.flac src.wav && printf 'damage%.0s' $(seq 200) | dd of=a.flac bs=1 seek=100000 conv=notrunc "
       "status=none",
       "a.flac", messages::kConvertBroken},
      {"text named FLAC", "echo 'not audio' > a.flac", "a.flac", messages::kConvertBroken},
      {"missing file", "true", "none.flac", messages::kConvertUnreadable},
      {"Speex in Ogg", speexPage.c_str(), "a.ogg", messages::kConvertNotSupported},
      {"AIFF-C in mu-law", "ffmpeg -v error -i src.wav -c:a pcm_mulaw -f aiff a.aif", "a.aif",
       messages::kConvertNotSupported},
      {"text named M4A", "echo 'not audio' > a.m4a", "a.m4a", messages::kConvertUnrecognised},
  };
  Make(std::string("sox -r 44100 -c 2 -n -b 16 src.wav ") + kSweep);
  for (const auto &refusal : cases) {
    SCOPED_TRACE(refusal.name);
    Make(std::string("rm -f a.* && ") + refusal.make);
    EXPECT_EQ(Convert(refusal.file), refusal.reason);
    DeleteFileW(Widen(Target()).c_str());
  }
}

// A cancel, thrown from `look`, ends the conversion between two slices and reaches the caller with
// the target closed: the caller can delete it at once.
TEST_F(ConvertOnDisk, ACancelMidwayLeavesTheTargetClosed) {
  struct Cancel {};
  Make(std::string("sox -r 44100 -c 2 -n -b 16 a.flac ") + kSweep);
  int looks = 0;
  EXPECT_THROW(Convert("a.flac", ConvertQuality::Standard,
                       [&] {
                         if (++looks == 4)
                           throw Cancel{};
                       }),
               Cancel);
  EXPECT_EQ(looks, 4);
  EXPECT_TRUE(DeleteFileW(Widen(Target()).c_str())) << "the target is still open";

  // Uncancelled, the same track is looked at slice by slice, a dozen times for its 3 seconds.
  looks = 0;
  ASSERT_EQ(Convert("a.flac", ConvertQuality::Standard, [&] { ++looks; }), "");
  EXPECT_GE(looks, 12);
}

// As on the N editions of Windows: the test runs a second time with Wine told not to load Media
// Foundation's DLLs (tests/CMakeLists.txt), and SONGFERRY_WITHOUT_MEDIA_FOUNDATION set.
TEST_F(ConvertOnDisk, WithoutMediaFoundationItsTracksNameTheMediaFeaturePack) {
  if (!std::getenv("SONGFERRY_WITHOUT_MEDIA_FOUNDATION"))
    GTEST_SKIP() << "runs where Media Foundation is kept from loading";
  Make(std::string("sox -r 44100 -c 2 -n -b 16 a.wav ") + kSweep +
       " && flac -s a.wav && ffmpeg -v error -i a.wav a.m4a");
  EXPECT_EQ(Convert("a.wav"), messages::kConvertNeedsMediaFeaturePack);
  EXPECT_EQ(Convert("a.m4a"), messages::kConvertNeedsMediaFeaturePack);
  // What the program decodes itself still converts.
  EXPECT_EQ(Convert("a.flac"), "");
}

} // namespace
} // namespace sf
