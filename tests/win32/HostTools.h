#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Debian's own tools (sox, flac, ffmpeg, oggenc, opusenc), run from a test under Wine: they make the
// media a test converts and read back what it made. Wine starts a Unix program as it would a
// Windows one; its arguments take Unix paths.
namespace sf::testing {

// The Unix path of a Windows path (as Wine maps drives); empty where there is none.
std::string UnixPath(const std::string &windowsPath);

// Runs `script` with /bin/sh: its exit status and what it wrote (standard output and error).
struct HostResult {
  int status = 0;
  std::string output;
};
HostResult RunHostShell(const std::string &script);

// A file's first audio stream as ffprobe describes it.
struct StreamFacts {
  int sampleRate = 0;
  int channels = 0;
  long long bitRate = 0; // bit/s, as ffprobe gives it for the stream
};
StreamFacts ProbeAudio(const std::string &windowsPath);

// A file's audio decoded by ffmpeg (which trims an MP3's encoder delay and padding as its LAME header
// says), as interleaved floats at the file's own rate, or resampled to `rate` when given.
struct DecodedAudio {
  int sampleRate = 0;
  int channels = 0;
  std::vector<float> samples;
  std::size_t Frames() const { return channels ? samples.size() / channels : 0; }
};
DecodedAudio DecodeWithFfmpeg(const std::string &windowsPath, int rate = 0);

// How closely `copy` follows `original` (the same rate and channels), channel by channel over the
// frames both have, after the shift within `searchFrames` that fits them best: the lowest Pearson
// correlation of a channel, and the signal-to-noise ratio in dB over all channels.
struct Likeness {
  double correlation = 0;
  double snrDb = 0;
  long lag = 0; // frames by which `copy` comes late
};
Likeness Compare(const DecodedAudio &original, const DecodedAudio &copy, long searchFrames = 0);

} // namespace sf::testing
