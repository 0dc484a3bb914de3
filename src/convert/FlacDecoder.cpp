#include "convert/FlacDecoder.h"

#include "convert/ChannelMix.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace sf {

FlacSource::FlacSource(std::unique_ptr<InputFile> file, Container container)
    : file_(std::move(file)), decoder_(FLAC__stream_decoder_new()) {
  if (!decoder_)
    throw std::bad_alloc();
  FLAC__stream_decoder_set_md5_checking(decoder_.get(), true);
  const auto init =
      container == Container::Ogg ? FLAC__stream_decoder_init_ogg_stream : FLAC__stream_decoder_init_stream;
  const auto status =
      init(decoder_.get(), OnRead, nullptr, nullptr, nullptr, nullptr, OnWrite, OnMetadata, OnError, this);
  if (status == FLAC__STREAM_DECODER_INIT_STATUS_MEMORY_ALLOCATION_ERROR)
    throw std::bad_alloc();
  if (status != FLAC__STREAM_DECODER_INIT_STATUS_OK)
    throw ConvertFailure{ConvertProblem::NotSupported};
  if (!FLAC__stream_decoder_process_until_end_of_metadata(decoder_.get()) || damaged_ || unreadable_)
    Fail(ConvertProblem::Broken);
  if (format_.sampleRate == 0)
    Fail(ConvertProblem::Broken);
}

FLAC__StreamDecoderReadStatus FlacSource::OnRead(const FLAC__StreamDecoder *, FLAC__byte buffer[], size_t *bytes,
                                                 void *self) {
  auto &source = *static_cast<FlacSource *>(self);
  // Nothing may be thrown through libFLAC's C frames.
  try {
    *bytes = source.file_->Read(buffer, *bytes);
  } catch (const ConvertFailure &) {
    source.unreadable_ = true;
    return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
  }
  return *bytes == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
}

FLAC__StreamDecoderWriteStatus FlacSource::OnWrite(const FLAC__StreamDecoder *, const FLAC__Frame *frame,
                                                   const FLAC__int32 *const buffer[], void *self) {
  auto &source = *static_cast<FlacSource *>(self);
  const unsigned channels = frame->header.channels;
  const unsigned bits = frame->header.bits_per_sample;
  // A frame that disagrees with STREAMINFO is damage: the samples would land in the wrong channels.
  if (channels != source.format_.speakers.size() || bits == 0 || bits > 32)
    return source.damaged_ = true, FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
  const float scale = 1.0f / static_cast<float>(1ull << (bits - 1));
  const unsigned blockSize = frame->header.blocksize;
  // pending_ is drained before a frame is decoded: only the unread tail is kept.
  source.pending_.erase(source.pending_.begin(), source.pending_.begin() + source.pendingAt_);
  source.pendingAt_ = 0;
  const std::size_t start = source.pending_.size();
  source.pending_.resize(start + std::size_t{blockSize} * channels);
  float *out = source.pending_.data() + start;
  for (unsigned i = 0; i < blockSize; ++i)
    for (unsigned channel = 0; channel < channels; ++channel)
      *out++ = static_cast<float>(buffer[channel][i]) * scale;
  source.decodedFrames_ += blockSize;
  return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void FlacSource::OnMetadata(const FLAC__StreamDecoder *, const FLAC__StreamMetadata *metadata, void *self) {
  auto &source = *static_cast<FlacSource *>(self);
  if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO)
    return;
  const auto &info = metadata->data.stream_info;
  source.format_.sampleRate = static_cast<int>(info.sample_rate);
  source.format_.speakers = WaveSpeakers(static_cast<int>(info.channels));
  source.bitsPerSample_ = info.bits_per_sample;
  source.totalFrames_ = info.total_samples;
}

void FlacSource::OnError(const FLAC__StreamDecoder *, FLAC__StreamDecoderErrorStatus status, void *self) {
  // Lost sync alone is also what junk after the last frame (an ID3v1 tag) gives; a cut or a gap
  // shows in the length or the MD5 at the end.
  if (status != FLAC__STREAM_DECODER_ERROR_STATUS_LOST_SYNC)
    static_cast<FlacSource *>(self)->damaged_ = true;
}

void FlacSource::Fail(ConvertProblem fallback) {
  throw ConvertFailure{unreadable_ ? ConvertProblem::Unreadable : fallback};
}

bool FlacSource::DecodeFrame() {
  if (ended_)
    return false;
  const bool decoded = FLAC__stream_decoder_process_single(decoder_.get());
  if (!decoded || damaged_ || unreadable_)
    Fail(ConvertProblem::Broken);
  if (FLAC__stream_decoder_get_state(decoder_.get()) == FLAC__STREAM_DECODER_END_OF_STREAM) {
    ended_ = true;
    // finish() compares the MD5 of what was decoded with STREAMINFO's.
    const bool whole = FLAC__stream_decoder_finish(decoder_.get());
    if (!whole || (totalFrames_ != 0 && decodedFrames_ != totalFrames_))
      Fail(ConvertProblem::Broken);
  }
  return true;
}

std::size_t FlacSource::Read(float *samples, std::size_t frames) {
  return ReadPending(pending_, pendingAt_, format_.speakers.size(), samples, frames, [this] { return DecodeFrame(); });
}

} // namespace sf
