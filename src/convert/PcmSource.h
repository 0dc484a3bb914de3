#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// A decoded track as the encoder takes it: samples as floats of full scale 1.0, whatever the source
// held, so that 24-bit and floating-point audio reach LAME without being cut to 16 bits or wrapped.
namespace sf {

// Where a channel of a source is meant to play; the mix down to stereo weighs each by it.
enum class Speaker {
  FrontLeft,
  FrontRight,
  FrontCenter,
  LowFrequency,
  BackLeft,
  BackRight,
  FrontLeftOfCenter,
  FrontRightOfCenter,
  BackCenter,
  SideLeft,
  SideRight,
  Other, // a channel no layout names: heard in both sides alike
};

struct PcmFormat {
  int sampleRate = 0;
  std::vector<Speaker> speakers; // one per channel, in the order of the interleaved samples
  int Channels() const { return static_cast<int>(speakers.size()); }
};

// Why a track could not become an MP3. Thrown by the decoders and the encoder, and turned into the
// reason the run shows by the converter.
enum class ConvertProblem {
  Unreadable,             // the file cannot be opened or read
  Broken,                 // the file says it is a format the program reads, but its data is damaged
  NotSupported,           // a format, or a variant of one, that the program does not read
  Unrecognised,           // Media Foundation could not open it: damaged, or not a format it reads
  MediaFoundationMissing, // the track needs Windows' Media Foundation, which this Windows lacks
  EncoderRefused,         // LAME would not take the audio's rate or channels
  CannotWrite,            // the MP3 could not be written
};
struct ConvertFailure {
  ConvertProblem problem;
};

// A track's audio, read from its start in slices.
class PcmSource {
public:
  virtual ~PcmSource() = default;
  virtual const PcmFormat &Format() const = 0;
  // Writes up to `frames` frames of interleaved samples into `samples` (room for frames x channels)
  // and returns how many it wrote; fewer only at the end, 0 after it. Throws ConvertFailure.
  virtual std::size_t Read(float *samples, std::size_t frames) = 0;
};

// What PcmSource::Read does for a decoder that decodes a block at a time into `pending`, read up to
// `at`: hands the frames out, and calls `refill` whenever `pending` is used up (emptied, `at` 0) to
// decode the next block into it; `refill` returns false at the end of the stream.
template <typename Refill>
std::size_t ReadPending(std::vector<float> &pending, std::size_t &at, std::size_t channels, float *samples,
                        std::size_t frames, Refill refill) {
  std::size_t done = 0;
  while (done < frames) {
    if (at == pending.size()) {
      pending.clear();
      at = 0;
      if (!refill())
        break;
      continue;
    }
    const std::size_t count = std::min(frames - done, (pending.size() - at) / channels);
    std::memcpy(samples + done * channels, pending.data() + at, count * channels * sizeof(float));
    at += count * channels;
    done += count;
  }
  return done;
}

// Random access to a file's bytes, for readers that jump between chunks.
class ByteSource {
public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Reads up to `size` bytes at `offset`; fewer only at the end of the file. Throws ConvertFailure
  // (Unreadable) when the system fails to read.
  virtual std::size_t ReadAt(std::uint64_t offset, void *bytes, std::size_t size) = 0;
};

} // namespace sf
