#include "convert/Mp3Encoder.h"

#include "convert/PcmSource.h"

#include <climits>
#include <new>

namespace sf {
namespace {

[[noreturn]] void Refused() { throw ConvertFailure{ConvertProblem::EncoderRefused}; }

std::string_view Bytes(const std::vector<unsigned char> &buffer, int size) {
  return std::string_view(reinterpret_cast<const char *>(buffer.data()), static_cast<std::size_t>(size));
}

} // namespace

Mp3Encoder::Mp3Encoder(const Mp3Settings &settings, int sourceRate, int channels)
    : lame_(lame_init()), inputRate_(sourceRate), outputRate_(settings.sampleRate) {
  if (!lame_)
    throw std::bad_alloc();
  lame_global_flags *lame = lame_.get();
  if (sourceRate < 1 || outputRate_ < 1)
    Refused();
  lame_set_in_samplerate(lame, sourceRate);
  // Set even when it equals the source's: LAME would otherwise pick a rate of its own for the bit rate.
  lame_set_out_samplerate(lame, settings.sampleRate);
  lame_set_num_channels(lame, channels);
  lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
  if (settings.vbrQuality >= 0) {
    lame_set_VBR(lame, vbr_default);
    lame_set_VBR_quality(lame, static_cast<float>(settings.vbrQuality));
  } else {
    lame_set_VBR(lame, vbr_off);
    lame_set_brate(lame, settings.bitRate);
  }
  // As LAME's own encoder does by default: the LAME header carries the track's gain for players
  // that level tracks.
  lame_set_findReplayGain(lame, 1);
  lame_set_write_id3tag_automatic(lame, 0);
  lame_set_bWriteVbrTag(lame, 1);
  if (lame_init_params(lame) < 0)
    Refused();
}

std::string_view Mp3Encoder::Encode(const float *left, const float *right, std::size_t frames) {
  // LAME's own bound for what one call may give, 1.25 bytes a sample and 7200, counts the samples it
  // encodes: a source at a lower rate than the MP3's gives more of them than it put in.
  const std::size_t encoded = frames * static_cast<std::size_t>(outputRate_) / static_cast<std::size_t>(inputRate_) + 1;
  if (encoded > INT_MAX / 2)
    Refused();
  out_.resize(encoded + encoded / 4 + 7200);
  const int size = lame_encode_buffer_ieee_float(lame_.get(), left, right ? right : left, static_cast<int>(frames),
                                                 out_.data(), static_cast<int>(out_.size()));
  if (size < 0)
    Refused();
  return Bytes(out_, size);
}

std::string_view Mp3Encoder::Flush() {
  out_.resize(7200);
  const int size = lame_encode_flush(lame_.get(), out_.data(), static_cast<int>(out_.size()));
  if (size < 0)
    Refused();
  return Bytes(out_, size);
}

std::string_view Mp3Encoder::HeaderFrame() {
  out_.resize(2880); // the largest MPEG-1 layer III frame
  const std::size_t size = lame_get_lametag_frame(lame_.get(), out_.data(), out_.size());
  if (size > out_.size())
    Refused();
  return Bytes(out_, static_cast<int>(size));
}

} // namespace sf
