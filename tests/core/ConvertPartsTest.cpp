#include "MemoryBytes.h"
#include "convert/AiffReader.h"
#include "convert/ChannelMix.h"
#include "convert/Mp3Settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace sf {
namespace {

using Bytes = std::string;

Bytes BigEndian(std::uint64_t value, int size) {
  Bytes bytes;
  for (int i = size - 1; i >= 0; --i)
    bytes += static_cast<char>(value >> (8 * i) & 0xFF);
  return bytes;
}

// A whole sample rate as COMM's 80-bit extended float.
Bytes Extended(unsigned rate) {
  if (rate == 0)
    return Bytes(10, '\0');
  int exponent = 16383 + 63;
  std::uint64_t mantissa = rate;
  while (!(mantissa & (1ull << 63)))
    mantissa <<= 1, --exponent;
  return BigEndian(static_cast<unsigned>(exponent), 2) + BigEndian(mantissa, 8);
}

Bytes Chunk(const char *id, const Bytes &body) {
  Bytes chunk = id + BigEndian(body.size(), 4) + body;
  if (body.size() % 2)
    chunk += '\0';
  return chunk;
}

// An AIFF file (`compression` empty) or an AIFF-C one, with the chunks in the order given.
struct AiffParts {
  const char *compression = "";
  int channels = 1;
  std::uint32_t frames = 1;
  int bits = 16;
  unsigned rate = 44100;
  Bytes sound;
  std::uint32_t soundOffset = 0; // SSND's offset to the first sample
  bool soundFirst = false;
  Bytes extraChunks; // before the others
};
Bytes Aiff(const AiffParts &parts) {
  const bool compressed = *parts.compression != '\0';
  Bytes common =
      BigEndian(parts.channels, 2) + BigEndian(parts.frames, 4) + BigEndian(parts.bits, 2) + Extended(parts.rate);
  if (compressed)
    common += Bytes(parts.compression, 4) + Bytes("\0", 1) + Bytes(1, '\0');
  const Bytes commonChunk = Chunk("COMM", common);
  const Bytes soundChunk =
      Chunk("SSND", BigEndian(parts.soundOffset, 4) + BigEndian(0, 4) + Bytes(parts.soundOffset, 'x') + parts.sound);
  const Bytes chunks = parts.extraChunks + (parts.soundFirst ? soundChunk + commonChunk : commonChunk + soundChunk);
  return "FORM" + BigEndian(4 + chunks.size(), 4) + (compressed ? "AIFC" : "AIFF") + chunks;
}

std::unique_ptr<AiffSource> OpenAiff(const Bytes &file) {
  return std::make_unique<AiffSource>(std::make_unique<testing::MemoryBytes>(file));
}

std::vector<float> ReadAll(PcmSource &source, std::size_t slice = 1000) {
  std::vector<float> samples, buffer(slice * source.Format().speakers.size());
  while (const std::size_t frames = source.Read(buffer.data(), slice))
    samples.insert(samples.end(), buffer.begin(), buffer.begin() + frames * source.Format().speakers.size());
  return samples;
}

struct SampleCase {
  const char *name;
  const char *compression;
  int bits;
  Bytes sound;
  std::vector<float> samples;
};

// Each encoding, at full scale both ways: no sample wraps around or is cut to 16 bits.
TEST(AiffReader, ReadsEveryEncodingAtFullScale) {
  const float justBelowOne16 = 32767 / 32768.0f, justBelowOne24 = 8388607 / 8388608.0f;
  const SampleCase cases[] = {
      {"AIFF 16-bit", "", 16, Bytes("\x7F\xFF\x80\x00\x00\x01", 6), {justBelowOne16, -1.0f, 1 / 32768.0f}},
      {"AIFF 24-bit",
       "",
       24,
       Bytes("\x7F\xFF\xFF\x80\x00\x00\xFF\xFF\xFF", 9),
       {justBelowOne24, -1.0f, -1 / 8388608.0f}},
      {"AIFF 32-bit", "", 32, Bytes("\x80\x00\x00\x00\x40\x00\x00\x00\x00\x00\x00\x00", 12), {-1.0f, 0.5f, 0.0f}},
      {"AIFF 8-bit", "", 8, Bytes("\x80\x7F\x00", 3), {-1.0f, 127 / 128.0f, 0.0f}},
      // Sample sizes between whole bytes are left-justified in theirs.
      {"AIFF 12-bit", "", 12, Bytes("\x80\x00\x7F\xF0\x00\x10", 6), {-1.0f, 2047 / 2048.0f, 1 / 2048.0f}},
      {"AIFF-C NONE", "NONE", 16, Bytes("\x7F\xFF\x80\x00\x00\x01", 6), {justBelowOne16, -1.0f, 1 / 32768.0f}},
      {"AIFF-C sowt", "sowt", 16, Bytes("\xFF\x7F\x00\x80\x01\x00", 6), {justBelowOne16, -1.0f, 1 / 32768.0f}},
      {"AIFF-C sowt 24-bit",
       "sowt",
       24,
       Bytes("\xFF\xFF\x7F\x00\x00\x80\xFF\xFF\xFF", 9),
       {justBelowOne24, -1.0f, -1 / 8388608.0f}},
      {"AIFF-C fl32", "fl32", 32, Bytes("\x3F\x80\x00\x00\xBF\x80\x00\x00\x3F\x00\x00\x00", 12), {1.0f, -1.0f, 0.5f}},
      {"AIFF-C fl64",
       "fl64",
       64,
       Bytes("\x3F\xF0\x00\x00\x00\x00\x00\x00\xBF\xF0\x00\x00\x00\x00\x00\x00\x3F\xE0\x00\x00\x00\x00\x00\x00", 24),
       {1.0f, -1.0f, 0.5f}},
  };
  for (const auto &sample : cases) {
    SCOPED_TRACE(sample.name);
    AiffParts parts;
    parts.compression = sample.compression;
    parts.bits = sample.bits;
    parts.frames = 3;
    parts.sound = sample.sound;
    const auto source = OpenAiff(Aiff(parts));
    EXPECT_EQ(source->Format().sampleRate, 44100);
    EXPECT_EQ(ReadAll(*source), sample.samples);
  }
}

// The chunks may come in any order, with others between them; SSND's offset is honoured; slices
// end where the frames do; rates and layouts come from COMM.
TEST(AiffReader, WalksTheChunksAndReadsInSlices) {
  AiffParts parts;
  parts.channels = 2;
  parts.frames = 3;
  parts.rate = 22050;
  parts.sound = Bytes("\x00\x01\x00\x02\x00\x03\x00\x04\x00\x05\x00\x06", 12);
  parts.soundOffset = 3;
  parts.soundFirst = true;
  parts.extraChunks = Chunk("NAME", "odd") + Chunk("ANNO", "an annotation");
  const auto source = OpenAiff(Aiff(parts));
  EXPECT_EQ(source->Format().sampleRate, 22050);
  EXPECT_EQ(source->Format().speakers, (std::vector<Speaker>{Speaker::FrontLeft, Speaker::FrontRight}));
  float samples[4];
  EXPECT_EQ(source->Read(samples, 2), 2u);
  EXPECT_EQ(samples[3], 4 / 32768.0f);
  EXPECT_EQ(source->Read(samples, 2), 1u);
  EXPECT_EQ(samples[1], 6 / 32768.0f);
  EXPECT_EQ(source->Read(samples, 2), 0u);

  for (const unsigned rate : {8000u, 44100u, 48000u, 96000u, 192000u}) {
    parts.rate = rate;
    EXPECT_EQ(OpenAiff(Aiff(parts))->Format().sampleRate, static_cast<int>(rate));
  }
}

struct RefusalCase {
  const char *name;
  Bytes file;
  ConvertProblem problem;
};

TEST(AiffReader, RefusesDamageAndOtherCompressions) {
  AiffParts good;
  good.frames = 2;
  good.sound = Bytes(4, '\x01');
  const auto with = [&](auto change) {
    AiffParts parts = good;
    change(parts);
    return Aiff(parts);
  };
  const Bytes whole = Aiff(good);
  const RefusalCase cases[] = {
      {"mu-law", with([](AiffParts &p) { p.compression = "ulaw"; }), ConvertProblem::NotSupported},
      {"IMA ADPCM", with([](AiffParts &p) { p.compression = "ima4"; }), ConvertProblem::NotSupported},
      {"more frames than the sound holds", with([](AiffParts &p) { p.frames = 3; }), ConvertProblem::Broken},
      {"cut short", whole.substr(0, whole.size() - 1), ConvertProblem::Broken},
      {"no channels", with([](AiffParts &p) { p.channels = 0; }), ConvertProblem::Broken},
      {"no rate", with([](AiffParts &p) { p.rate = 0; }), ConvertProblem::Broken},
      {"no sample size", with([](AiffParts &p) { p.bits = 0; }), ConvertProblem::Broken},
      {"33-bit samples", with([](AiffParts &p) { p.bits = 33; }), ConvertProblem::Broken},
      {"no COMM", "FORM" + BigEndian(16, 4) + "AIFF" + Chunk("SSND", Bytes(8, '\0')), ConvertProblem::Broken},
      {"not AIFF", "RIFF" + whole.substr(4), ConvertProblem::Broken},
      {"COMM too short", "FORM" + BigEndian(14, 4) + "AIFF" + Chunk("COMM", Bytes(6, '\0')), ConvertProblem::Broken},
  };
  for (const auto &refusal : cases) {
    SCOPED_TRACE(refusal.name);
    try {
      OpenAiff(refusal.file);
      ADD_FAILURE() << "accepted";
    } catch (const ConvertFailure &failure) {
      EXPECT_EQ(failure.problem, refusal.problem);
    }
  }
}

TEST(StereoMix, KeepsMonoAndStereoAndMixesSurroundWithoutExceedingFullScale) {
  const StereoMix mono(WaveSpeakers(1));
  EXPECT_EQ(mono.OutputChannels(), 1);
  float left[2], right[2];
  const float monoSamples[] = {0.25f, -1.0f};
  mono.Mix(monoSamples, 2, left, nullptr);
  EXPECT_EQ(left[1], -1.0f);

  // Stereo passes as it is, beyond full scale too (a float source's peaks).
  const StereoMix stereo(WaveSpeakers(2));
  const float stereoSamples[] = {1.5f, -0.5f, 0.25f, 0.75f};
  stereo.Mix(stereoSamples, 2, left, right);
  EXPECT_EQ((std::vector<float>{left[0], right[0], left[1], right[1]}),
            (std::vector<float>{1.5f, -0.5f, 0.25f, 0.75f}));

  // 5.1 in WAVE's order (L R C LFE Ls Rs): all at full scale stays at full scale.
  const StereoMix surround(WaveSpeakers(6));
  EXPECT_EQ(surround.OutputChannels(), 2);
  const float allFull[] = {1, 1, 1, 1, 1, 1};
  surround.Mix(allFull, 1, left, right);
  EXPECT_NEAR(left[0], 1.0f, 1e-6);
  EXPECT_NEAR(right[0], 1.0f, 1e-6);
  // Each channel where it belongs: the front left on the left, the centre in both, the surround
  // right on the right, the low-frequency channel nowhere.
  const auto mixOf = [&](const StereoMix &mix, int channels, int loud) {
    std::vector<float> frame(channels, 0.0f);
    frame[loud] = 1;
    mix.Mix(frame.data(), 1, left, right);
    return std::pair(left[0], right[0]);
  };
  EXPECT_GT(mixOf(surround, 6, 0).first, 0.4f);
  EXPECT_EQ(mixOf(surround, 6, 0).second, 0.0f);
  EXPECT_EQ(mixOf(surround, 6, 2).first, mixOf(surround, 6, 2).second);
  EXPECT_EQ(mixOf(surround, 6, 3), std::pair(0.0f, 0.0f));
  EXPECT_EQ(mixOf(surround, 6, 5).first, 0.0f);
  EXPECT_GT(mixOf(surround, 6, 5).second, 0.2f);
  // Vorbis's and Opus's order puts the centre second (L C R Ls Rs LFE).
  const StereoMix vorbis(VorbisSpeakers(6));
  EXPECT_EQ(mixOf(vorbis, 6, 1).first, mixOf(vorbis, 6, 1).second);
  EXPECT_GT(mixOf(vorbis, 6, 1).first, 0.2f);
  EXPECT_EQ(mixOf(vorbis, 6, 5), std::pair(0.0f, 0.0f));
}

TEST(StereoMix, TamesWhatIsNoSound) {
  const StereoMix stereo(WaveSpeakers(2));
  const float samples[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), 1e30f,
                           -1e30f};
  float left[2], right[2];
  stereo.Mix(samples, 2, left, right);
  EXPECT_EQ(left[0], 0.0f);
  EXPECT_EQ(right[0], 0.0f);
  EXPECT_EQ(left[1], 8.0f);
  EXPECT_EQ(right[1], -8.0f);
}

TEST(StereoMix, SpeakersFollowTheChannelMask) {
  using S = Speaker;
  EXPECT_EQ(WaveSpeakers(6, 0x60F),
            (std::vector<S>{S::FrontLeft, S::FrontRight, S::FrontCenter, S::LowFrequency, S::SideLeft, S::SideRight}));
  // Channels beyond the mask's bits, and beyond the layouts known, are heard in both sides.
  EXPECT_EQ(WaveSpeakers(3, 0x3), (std::vector<S>{S::FrontLeft, S::FrontRight, S::Other}));
  EXPECT_EQ(WaveSpeakers(10), std::vector<S>(10, S::Other));
  EXPECT_EQ(WaveSpeakers(8), (std::vector<S>{S::FrontLeft, S::FrontRight, S::FrontCenter, S::LowFrequency, S::BackLeft,
                                             S::BackRight, S::SideLeft, S::SideRight}));
}

struct SettingsCase {
  ConvertQuality quality;
  int sourceRate;
  int rate;
  int vbrQuality;
  int bitRate;
};

TEST(Mp3Settings, KeepTheRatesOfMpeg1AndFollowTheQuality) {
  const SettingsCase cases[] = {
      {ConvertQuality::Standard, 44100, 44100, 2, 0},      {ConvertQuality::Standard, 48000, 48000, 2, 0},
      {ConvertQuality::Standard, 32000, 32000, 2, 0},      {ConvertQuality::Standard, 96000, 44100, 2, 0},
      {ConvertQuality::Standard, 22050, 44100, 2, 0},      {ConvertQuality::Standard, 8000, 44100, 2, 0},
      {ConvertQuality::Compatible, 48000, 44100, -1, 192}, {ConvertQuality::Compatible, 32000, 44100, -1, 192},
      {ConvertQuality::High, 48000, 48000, -1, 320},       {ConvertQuality::High, 88200, 44100, -1, 320},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::to_string(static_cast<int>(c.quality)) + " from " + std::to_string(c.sourceRate));
    const Mp3Settings settings = Mp3SettingsFor(c.quality, c.sourceRate);
    EXPECT_EQ(settings.sampleRate, c.rate);
    EXPECT_EQ(settings.vbrQuality, c.vbrQuality);
    if (c.bitRate) {
      EXPECT_EQ(settings.bitRate, c.bitRate);
    }
  }
}

} // namespace
} // namespace sf
