#pragma once

#include "convert/PcmSource.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// From a source's channels to the one or two an MP3 has.
namespace sf {

// The speakers of a WAVE channel mask (WAVEFORMATEXTENSIBLE's dwChannelMask, as Media Foundation
// gives it), in the order of the samples; channels beyond the mask's bits are Other. Without a mask
// (0), the layout FLAC and WAVE take by default for that many channels.
std::vector<Speaker> WaveSpeakers(int channels, std::uint32_t mask = 0);
// The speakers of Vorbis's channel order for that many channels, which Opus files follow too.
std::vector<Speaker> VorbisSpeakers(int channels);

// Mono stays mono and stereo stays stereo; more channels are mixed down to stereo with the usual
// weights (centre and surrounds at -3 dB, the low-frequency channel left out), scaled so that a
// full-scale source cannot exceed full scale. Samples that are not numbers become silence,
// and absurdly loud ones are held at 8 times full scale.
class StereoMix {
public:
  explicit StereoMix(const std::vector<Speaker> &speakers);
  int OutputChannels() const { return outputs_; }
  // From `frames` interleaved frames of the source into `left` and `right` (`right` is unused for
  // mono), each with room for `frames` samples.
  void Mix(const float *interleaved, std::size_t frames, float *left, float *right) const;

private:
  int inputs_;
  int outputs_;
  std::vector<float> toLeft_, toRight_; // each input channel's weight in each output
};

} // namespace sf
