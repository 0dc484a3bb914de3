#include "convert/ChannelMix.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace sf {
namespace {

constexpr float kMinus3dB = 0.70710678f;

// Each channel's share of the left and the right output.
std::pair<float, float> Weights(Speaker speaker) {
  switch (speaker) {
  case Speaker::FrontLeft:
  case Speaker::FrontLeftOfCenter:
    return {1, 0};
  case Speaker::FrontRight:
  case Speaker::FrontRightOfCenter:
    return {0, 1};
  case Speaker::FrontCenter:
    return {kMinus3dB, kMinus3dB};
  case Speaker::LowFrequency:
    // Players and ffmpeg leave it out too: it repeats the bass the other channels carry.
    return {0, 0};
  case Speaker::BackLeft:
  case Speaker::SideLeft:
    return {kMinus3dB, 0};
  case Speaker::BackRight:
  case Speaker::SideRight:
    return {0, kMinus3dB};
  case Speaker::BackCenter:
  case Speaker::Other:
    break;
  }
  return {0.5f, 0.5f};
}

// A float source may go beyond full scale, and an MP3 keeps that; but values far beyond it, or not
// numbers at all, are damage, and LAME's analysis of them is undefined.
constexpr float kLoudest = 8.0f;
float Tamed(float sample) { return std::isfinite(sample) ? std::clamp(sample, -kLoudest, kLoudest) : 0.0f; }

} // namespace

std::vector<Speaker> WaveSpeakers(int channels, std::uint32_t mask) {
  using S = Speaker;
  // The bits of a WAVE channel mask, lowest first; the samples come in this order.
  constexpr Speaker kBits[] = {S::FrontLeft,  S::FrontRight, S::FrontCenter,       S::LowFrequency,
                               S::BackLeft,   S::BackRight,  S::FrontLeftOfCenter, S::FrontRightOfCenter,
                               S::BackCenter, S::SideLeft,   S::SideRight};
  if (mask == 0) {
    // FLAC's layouts, which are also what WAVE and Media Foundation assume without a mask.
    constexpr std::uint32_t kDefaultMasks[] = {0, 0x4, 0x3, 0x7, 0x33, 0x37, 0x3F, 0x70F, 0x63F};
    if (channels > 0 && channels < static_cast<int>(std::size(kDefaultMasks)))
      mask = kDefaultMasks[channels];
  }
  std::vector<Speaker> speakers;
  for (int bit = 0; bit < static_cast<int>(std::size(kBits)) && static_cast<int>(speakers.size()) < channels; ++bit) {
    if (mask & (1u << bit))
      speakers.push_back(kBits[bit]);
  }
  speakers.resize(static_cast<std::size_t>(std::max(channels, 0)), S::Other);
  return speakers;
}

std::vector<Speaker> VorbisSpeakers(int channels) {
  using S = Speaker;
  switch (channels) {
  case 1:
    return {S::FrontCenter};
  case 2:
    return {S::FrontLeft, S::FrontRight};
  case 3:
    return {S::FrontLeft, S::FrontCenter, S::FrontRight};
  case 4:
    return {S::FrontLeft, S::FrontRight, S::BackLeft, S::BackRight};
  case 5:
    return {S::FrontLeft, S::FrontCenter, S::FrontRight, S::BackLeft, S::BackRight};
  case 6:
    return {S::FrontLeft, S::FrontCenter, S::FrontRight, S::BackLeft, S::BackRight, S::LowFrequency};
  case 7:
    return {S::FrontLeft, S::FrontCenter, S::FrontRight, S::SideLeft, S::SideRight, S::BackCenter, S::LowFrequency};
  case 8:
    return {S::FrontLeft, S::FrontCenter, S::FrontRight, S::SideLeft,
            S::SideRight, S::BackLeft,    S::BackRight,  S::LowFrequency};
  }
  return std::vector<Speaker>(static_cast<std::size_t>(std::max(channels, 0)), S::Other);
}

StereoMix::StereoMix(const std::vector<Speaker> &speakers)
    : inputs_(static_cast<int>(speakers.size())), outputs_(speakers.size() == 1 ? 1 : 2) {
  if (inputs_ <= 2)
    return;
  float leftSum = 0, rightSum = 0;
  for (const Speaker speaker : speakers) {
    const auto [left, right] = Weights(speaker);
    toLeft_.push_back(left);
    toRight_.push_back(right);
    leftSum += left;
    rightSum += right;
  }
  // Every channel at full scale in phase must still fit.
  const float scale = 1.0f / std::max({leftSum, rightSum, 1.0f});
  for (int channel = 0; channel < inputs_; ++channel) {
    toLeft_[channel] *= scale;
    toRight_[channel] *= scale;
  }
}

void StereoMix::Mix(const float *interleaved, std::size_t frames, float *left, float *right) const {
  if (inputs_ == 1) {
    for (std::size_t frame = 0; frame < frames; ++frame)
      left[frame] = Tamed(interleaved[frame]);
    return;
  }
  if (inputs_ == 2) {
    for (std::size_t frame = 0; frame < frames; ++frame) {
      left[frame] = Tamed(interleaved[2 * frame]);
      right[frame] = Tamed(interleaved[2 * frame + 1]);
    }
    return;
  }
  for (std::size_t frame = 0; frame < frames; ++frame) {
    const float *samples = interleaved + frame * inputs_;
    float l = 0, r = 0;
    for (int channel = 0; channel < inputs_; ++channel) {
      const float sample = Tamed(samples[channel]);
      l += toLeft_[channel] * sample;
      r += toRight_[channel] * sample;
    }
    // The weights sum to 1 at most, but their rounding must not take a tamed sample beyond the bound.
    left[frame] = std::clamp(l, -kLoudest, kLoudest);
    right[frame] = std::clamp(r, -kLoudest, kLoudest);
  }
}

} // namespace sf
