#pragma once

#include "convert/InputFile.h"
#include "convert/PcmSource.h"

#include <FLAC/stream_decoder.h>

#include <memory>
#include <vector>

namespace sf {

// FLAC, native or in Ogg, through libFLAC. The audio's MD5 and its length, where the file records
// them, are checked at the end: a damaged file is refused, not converted with a gap.
class FlacSource final : public PcmSource {
public:
  enum class Container { Native, Ogg };
  // Reads up to the first audio; throws ConvertFailure.
  FlacSource(std::unique_ptr<InputFile> file, Container container);
  const PcmFormat &Format() const override { return format_; }
  std::size_t Read(float *samples, std::size_t frames) override;

private:
  struct DecoderDeleter {
    void operator()(FLAC__StreamDecoder *decoder) const { FLAC__stream_decoder_delete(decoder); }
  };

  static FLAC__StreamDecoderReadStatus OnRead(const FLAC__StreamDecoder *, FLAC__byte buffer[], size_t *bytes,
                                              void *self);
  static FLAC__StreamDecoderWriteStatus OnWrite(const FLAC__StreamDecoder *, const FLAC__Frame *frame,
                                                const FLAC__int32 *const buffer[], void *self);
  static void OnMetadata(const FLAC__StreamDecoder *, const FLAC__StreamMetadata *metadata, void *self);
  static void OnError(const FLAC__StreamDecoder *, FLAC__StreamDecoderErrorStatus status, void *self);
  // Decodes one more frame into pending_; false at the end of the stream.
  bool DecodeFrame();
  [[noreturn]] void Fail(ConvertProblem fallback);

  std::unique_ptr<InputFile> file_;
  std::unique_ptr<FLAC__StreamDecoder, DecoderDeleter> decoder_;
  PcmFormat format_;
  unsigned bitsPerSample_ = 0;
  FLAC__uint64 totalFrames_ = 0; // as STREAMINFO says; 0 when unknown
  FLAC__uint64 decodedFrames_ = 0;
  bool damaged_ = false;
  bool unreadable_ = false;
  bool ended_ = false;
  std::vector<float> pending_; // decoded frames not yet read, interleaved
  std::size_t pendingAt_ = 0;
};

} // namespace sf
