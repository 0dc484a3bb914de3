// The AIFF reader on arbitrary file contents: it either refuses the file with a ConvertFailure or
// gives at most the frames asked for, slice after slice, until it gives none; and whatever it gives,
// the mix down to stereo turns into samples LAME can take (numbers within 8 times full scale).
#include "MemoryBytes.h"
#include "convert/AiffReader.h"
#include "convert/ChannelMix.h"

#include <cmath>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace sf;
  try {
    AiffSource source(std::make_unique<testing::MemoryBytes>(std::string(reinterpret_cast<const char *>(data), size)));
    const PcmFormat format = source.Format();
    if (format.Channels() < 1 || format.sampleRate < 1)
      std::abort();
    const StereoMix mix(format.speakers);
    constexpr std::size_t kSlice = 257;
    std::vector<float> samples(kSlice * format.speakers.size()), left(kSlice), right(kSlice);
    for (;;) {
      const std::size_t frames = source.Read(samples.data(), kSlice);
      if (frames > kSlice)
        std::abort();
      if (frames == 0)
        break;
      mix.Mix(samples.data(), frames, left.data(), right.data());
      for (std::size_t i = 0; i < frames; ++i) {
        if (!(std::abs(left[i]) <= 8.0f) || (mix.OutputChannels() == 2 && !(std::abs(right[i]) <= 8.0f)))
          std::abort();
      }
    }
    if (source.Read(samples.data(), kSlice) != 0)
      std::abort();
  } catch (const ConvertFailure &) {
  }
  return 0;
}
