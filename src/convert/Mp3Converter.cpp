#include "convert/Mp3Converter.h"

#include "convert/ChannelMix.h"
#include "convert/MediaFoundationDecoder.h"
#include "convert/Mp3Encoder.h"
#include "convert/Mp3Output.h"
#include "convert/Mp3Tags.h"
#include "convert/OpenDecoder.h"
#include "resources/MessageTexts.h"

#include <vector>

namespace sf {
namespace {

// About a quarter of a second of audio between two looks at the window's messages: short enough for
// 中止 to answer at once, long enough that the looks cost nothing.
constexpr int kSlicesPerSecond = 4;

const char *ReasonFor(ConvertProblem problem) {
  switch (problem) {
  case ConvertProblem::Unreadable:
    return messages::kConvertUnreadable;
  case ConvertProblem::Broken:
    return messages::kConvertBroken;
  case ConvertProblem::NotSupported:
    return messages::kConvertNotSupported;
  case ConvertProblem::Unrecognised:
    return messages::kConvertUnrecognised;
  case ConvertProblem::MediaFoundationMissing:
    return messages::kConvertNeedsMediaFeaturePack;
  case ConvertProblem::EncoderRefused:
    return messages::kConvertEncoderRefused;
  case ConvertProblem::CannotWrite:
    break;
  }
  return messages::kConvertCannotWrite;
}

} // namespace

Mp3Converter::Mp3Converter() = default;
Mp3Converter::~Mp3Converter() = default;

Converter::Reason Mp3Converter::Convert(const ConvertJob &job, const std::string &target,
                                        const std::function<void()> &look) {
  try {
    const auto source = OpenDecoder(job.source, [this]() -> const MediaFoundation & {
      if (!mediaFoundation_)
        mediaFoundation_ = std::make_unique<MediaFoundation>();
      return *mediaFoundation_;
    });
    const PcmFormat format = source->Format();
    const StereoMix mix(format.speakers);
    Mp3Encoder encoder(Mp3SettingsFor(job.quality, format.sampleRate), format.sampleRate, mix.OutputChannels());
    const Mp3TagBytes tags = TagsFor(job.source, ConvertedMark{job.size, job.lastWrite, job.quality});

    Mp3Output output(target);
    output.Append(tags.front);
    const std::size_t slice = static_cast<std::size_t>(format.sampleRate / kSlicesPerSecond + 1);
    std::vector<float> samples(slice * format.speakers.size()), left(slice), right(slice);
    for (;;) {
      look();
      const std::size_t frames = source->Read(samples.data(), slice);
      if (frames == 0)
        break;
      mix.Mix(samples.data(), frames, left.data(), right.data());
      output.Append(encoder.Encode(left.data(), mix.OutputChannels() == 2 ? right.data() : nullptr, frames));
    }
    output.Append(encoder.Flush());
    // LAME wrote a placeholder for this frame first; now it knows the length and the padding.
    output.Overwrite(tags.front.size(), encoder.HeaderFrame());
    output.Append(tags.back);
    output.Finish(job.lastWrite);
    return {};
  } catch (const ConvertFailure &failure) {
    return ReasonFor(failure.problem);
  }
}

} // namespace sf
