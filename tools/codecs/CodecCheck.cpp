// Prints the version of each audio library, then checks that they work as linked: LAME encodes a
// second of a tone, TagLib reads that MP3 back from memory and finds a second of it, and libFLAC,
// libvorbisfile and opusfile each turn down data that is not theirs. Exits non-zero on any failure.
#include <FLAC/format.h>
#include <FLAC/stream_decoder.h>
#include <lame/lame.h>
#include <opusfile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/mpegfile.h>
#include <taglib/taglib.h>
#include <taglib/tbytevectorstream.h>
#include <vorbis/codec.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kSampleRate = 44100;

std::vector<unsigned char> EncodeOneSecondTone() {
  const std::unique_ptr<lame_global_flags, decltype(&lame_close)> lame(lame_init(), &lame_close);
  lame_set_in_samplerate(lame.get(), kSampleRate);
  lame_set_num_channels(lame.get(), 1);
  lame_set_brate(lame.get(), 128);
  if (lame_init_params(lame.get()) < 0)
    return {};
  std::vector<short> samples(kSampleRate);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<short>(8000 * std::sin(2 * 3.14159265 * 440 * i / kSampleRate));
  // LAME's own bound for one call: 1.25 times the samples plus 7200 bytes.
  std::vector<unsigned char> mp3(samples.size() * 5 / 4 + 7200);
  const int written = lame_encode_buffer(lame.get(), samples.data(), nullptr, static_cast<int>(samples.size()),
                                         mp3.data(), static_cast<int>(mp3.size()));
  if (written < 0)
    return {};
  const int flushed = lame_encode_flush(lame.get(), mp3.data() + written, static_cast<int>(mp3.size()) - written);
  if (flushed < 0)
    return {};
  mp3.resize(written + flushed);
  return mp3;
}

size_t NoRead(void *, size_t, size_t, void *) { return 0; }

bool FlacRefusesNonsense() {
  const std::unique_ptr<FLAC__StreamDecoder, decltype(&FLAC__stream_decoder_delete)> decoder(
      FLAC__stream_decoder_new(), &FLAC__stream_decoder_delete);
  return decoder && FLAC__stream_decoder_init_file(decoder.get(), "Z:\\no such folder\\none.flac", nullptr, nullptr,
                                                   nullptr, nullptr) != FLAC__STREAM_DECODER_INIT_STATUS_OK;
}

bool Check(const char *what, bool passed) {
  std::printf("%s: %s\n", what, passed ? "ok" : "FAILED");
  return passed;
}

} // namespace

int main() {
  std::printf("LAME %s\n", get_lame_version());
  std::printf("TagLib %d.%d.%d\n", TAGLIB_MAJOR_VERSION, TAGLIB_MINOR_VERSION, TAGLIB_PATCH_VERSION);
  std::printf("libFLAC %s\n", FLAC__VERSION_STRING);
  std::printf("%s\n", vorbis_version_string());
  std::printf("%s\n", opus_get_version_string());

  bool passed = true;
  const std::vector<unsigned char> mp3 = EncodeOneSecondTone();
  passed &= Check("LAME encodes", !mp3.empty());

  TagLib::ByteVector bytes(reinterpret_cast<const char *>(mp3.data()), static_cast<unsigned int>(mp3.size()));
  TagLib::ByteVectorStream stream(bytes);
  TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance());
  const int milliseconds =
      file.isValid() && file.audioProperties() ? file.audioProperties()->lengthInMilliseconds() : 0;
  std::printf("TagLib reads %zu bytes of MP3 as %d ms\n", mp3.size(), milliseconds);
  passed &= Check("TagLib reads the MP3", milliseconds >= 900 && milliseconds <= 1200);

  passed &= Check("libFLAC refuses a missing file", FlacRefusesNonsense());
  OggVorbis_File vorbis;
  const ov_callbacks noData{NoRead, nullptr, nullptr, nullptr};
  passed &= Check("vorbisfile refuses no data", ov_open_callbacks(nullptr, &vorbis, nullptr, 0, noData) < 0);
  const unsigned char notOpus[64] = {'R', 'I', 'F', 'F'};
  passed &= Check("opusfile refuses a WAV header", op_test(nullptr, notOpus, sizeof notOpus) < 0);
  return passed ? 0 : 1;
}
