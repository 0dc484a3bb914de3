#include "convert/AiffReader.h"

#include "convert/ChannelMix.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

namespace sf {
namespace {

constexpr int kMostChannels = 64;

std::uint32_t BigEndian32(const unsigned char *bytes) {
  return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 | bytes[3];
}
std::uint16_t BigEndian16(const unsigned char *bytes) { return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]); }

// The 80-bit extended float of COMM's sample rate.
double Extended(const unsigned char *bytes) {
  const int exponent = (bytes[0] & 0x7F) << 8 | bytes[1];
  std::uint64_t mantissa = 0;
  for (int i = 2; i < 10; ++i)
    mantissa = mantissa << 8 | bytes[i];
  if (exponent == 0x7FFF)
    return std::numeric_limits<double>::quiet_NaN();
  const double value = std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
  return (bytes[0] & 0x80) ? -value : value;
}

[[noreturn]] void Fail(ConvertProblem problem) { throw ConvertFailure{problem}; }

void ReadExactly(ByteSource &file, std::uint64_t offset, void *bytes, std::size_t size) {
  if (file.ReadAt(offset, bytes, size) != size)
    Fail(ConvertProblem::Broken);
}

float IntegerSample(const unsigned char *bytes, int size, bool bigEndian) {
  // Left-justified in its bytes: the full width of the bytes is full scale.
  std::uint32_t value = 0;
  for (int i = 0; i < size; ++i)
    value |= std::uint32_t{bytes[bigEndian ? i : size - 1 - i]} << (8 * (3 - i));
  return static_cast<float>(static_cast<std::int32_t>(value) / 2147483648.0);
}

} // namespace

bool IsAiff(const unsigned char *head, std::size_t size) {
  return size >= 12 && std::memcmp(head, "FORM", 4) == 0 &&
         (std::memcmp(head + 8, "AIFF", 4) == 0 || std::memcmp(head + 8, "AIFC", 4) == 0);
}

AiffSource::AiffSource(std::unique_ptr<ByteSource> file) : file_(std::move(file)) {
  unsigned char head[12];
  if (file_->ReadAt(0, head, sizeof head) != sizeof head || !IsAiff(head, sizeof head))
    Fail(ConvertProblem::Broken);
  const bool compressedKind = std::memcmp(head + 8, "AIFC", 4) == 0;
  // The FORM's own size is often wrong in files cut or written by streaming tools: the chunks are
  // walked to the end of the file instead.
  const std::uint64_t end = file_->Size();

  bool haveCommon = false, haveSound = false;
  std::uint64_t frames = 0, soundStart = 0, soundSize = 0;
  int channels = 0, bits = 0;
  double rate = 0;
  for (std::uint64_t at = 12; at + 8 <= end;) {
    unsigned char chunk[8];
    ReadExactly(*file_, at, chunk, sizeof chunk);
    const std::uint64_t size = BigEndian32(chunk + 4), body = at + 8;
    if (std::memcmp(chunk, "COMM", 4) == 0) {
      unsigned char common[22] = {};
      if (size < (compressedKind ? 22u : 18u))
        Fail(ConvertProblem::Broken);
      ReadExactly(*file_, body, common, compressedKind ? 22 : 18);
      channels = BigEndian16(common);
      frames = BigEndian32(common + 2);
      bits = static_cast<std::int16_t>(BigEndian16(common + 6));
      rate = Extended(common + 8);
      encoding_ = Encoding::BigEndianInteger;
      if (compressedKind) {
        const std::string_view kind(reinterpret_cast<const char *>(common + 18), 4);
        if (kind == "sowt")
          encoding_ = Encoding::LittleEndianInteger;
        else if (kind == "fl32" || kind == "FL32")
          encoding_ = Encoding::Float32;
        else if (kind == "fl64" || kind == "FL64")
          encoding_ = Encoding::Float64;
        else if (kind != "NONE")
          Fail(ConvertProblem::NotSupported);
      }
      haveCommon = true;
    } else if (std::memcmp(chunk, "SSND", 4) == 0) {
      unsigned char offset[4];
      if (size < 8)
        Fail(ConvertProblem::Broken);
      ReadExactly(*file_, body, offset, sizeof offset);
      soundStart = body + 8 + BigEndian32(offset);
      soundSize = size - 8 < BigEndian32(offset) ? 0 : size - 8 - BigEndian32(offset);
      haveSound = true;
    }
    at = body + size + (size & 1);
  }
  if (!haveCommon || (!haveSound && frames > 0))
    Fail(ConvertProblem::Broken);

  switch (encoding_) {
  case Encoding::BigEndianInteger:
  case Encoding::LittleEndianInteger:
    if (bits < 1 || bits > 32)
      Fail(ConvertProblem::Broken);
    bytesPerSample_ = (bits + 7) / 8;
    break;
  case Encoding::Float32:
    bytesPerSample_ = 4;
    break;
  case Encoding::Float64:
    bytesPerSample_ = 8;
    break;
  }
  // LAME takes whole rates; a rate beyond what any recorder makes is a damaged header.
  if (channels < 1 || channels > kMostChannels || !(rate >= 1000 && rate <= 1'000'000))
    Fail(ConvertProblem::Broken);
  const std::uint64_t frameBytes = static_cast<std::uint64_t>(channels) * bytesPerSample_;
  // A file cut short (the header counts more frames than the sound chunk or the file hold) is
  // damaged, not silent at its end.
  if (frames > 0 && (frames * frameBytes > soundSize || soundStart + frames * frameBytes > end))
    Fail(ConvertProblem::Broken);

  format_.sampleRate = static_cast<int>(std::lround(rate));
  // Writers today (sox, ffmpeg) put more than two channels in WAVE's order.
  format_.speakers = WaveSpeakers(channels);
  framesLeft_ = frames;
  next_ = soundStart;
}

std::size_t AiffSource::Read(float *samples, std::size_t frames) {
  const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(frames, framesLeft_));
  if (count == 0)
    return 0;
  const std::size_t channels = format_.speakers.size();
  const std::size_t size = count * channels * bytesPerSample_;
  bytes_.resize(size);
  if (file_->ReadAt(next_, bytes_.data(), size) != size)
    Fail(ConvertProblem::Broken);
  next_ += size;
  framesLeft_ -= count;

  const unsigned char *sample = bytes_.data();
  for (std::size_t i = 0; i < count * channels; ++i, sample += bytesPerSample_) {
    switch (encoding_) {
    case Encoding::BigEndianInteger:
    case Encoding::LittleEndianInteger:
      samples[i] = IntegerSample(sample, bytesPerSample_, encoding_ == Encoding::BigEndianInteger);
      break;
    case Encoding::Float32: {
      const std::uint32_t bitsOf = BigEndian32(sample);
      float value;
      std::memcpy(&value, &bitsOf, sizeof value);
      samples[i] = value;
      break;
    }
    case Encoding::Float64: {
      const std::uint64_t bitsOf = std::uint64_t{BigEndian32(sample)} << 32 | BigEndian32(sample + 4);
      double value;
      std::memcpy(&value, &bitsOf, sizeof value);
      // Kept within what a float holds; StereoMix tames what is still out of reason.
      samples[i] = static_cast<float>(std::clamp(value, -1e6, 1e6));
      break;
    }
    }
  }
  return count;
}

} // namespace sf
