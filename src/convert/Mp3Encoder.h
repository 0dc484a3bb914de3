#pragma once

#include "convert/Mp3Settings.h"

#include <lame/lame.h>

#include <memory>
#include <string_view>
#include <vector>

namespace sf {

// LAME, set up for one MP3. The tags are written apart from it, and the frame LAME puts first (the
// Xing/LAME header: the length, the encoder's delay and padding) is filled in at the end.
class Mp3Encoder {
public:
  // Throws ConvertFailure (EncoderRefused) when LAME will not take the rate or the channels.
  Mp3Encoder(const Mp3Settings &settings, int sourceRate, int channels);

  // The MP3 bytes for `frames` samples of one or two channels (`right` unused for mono), full scale
  // 1.0; valid until the next call.
  std::string_view Encode(const float *left, const float *right, std::size_t frames);
  // The bytes LAME still holds, at the end of the audio.
  std::string_view Flush();
  // The finished header frame, to be written over the first frame of the audio.
  std::string_view HeaderFrame();

private:
  struct LameCloser {
    void operator()(lame_global_flags *lame) const { lame_close(lame); }
  };
  std::unique_ptr<lame_global_flags, LameCloser> lame_;
  int inputRate_, outputRate_;
  std::vector<unsigned char> out_;
};

} // namespace sf
