#include "convert/OggDecoders.h"

#include "convert/ChannelMix.h"
#include "convert/FlacDecoder.h"

#include <opusfile.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

namespace sf {
namespace {

// What the first packet of the first page starts with; each codec puts its name there.
std::string FirstPacketHead(InputFile &file) {
  unsigned char page[27 + 255];
  const std::size_t got = file.ReadAt(0, page, sizeof page);
  if (got < 27 || std::memcmp(page, "OggS", 4) != 0)
    throw ConvertFailure{ConvertProblem::Broken};
  const std::size_t bodyAt = 27 + std::size_t{page[26]};
  char head[8] = {};
  const std::size_t headSize = file.ReadAt(bodyAt, head, sizeof head);
  return std::string(head, headSize);
}

// The two libraries' reading callbacks over an InputFile; neither may throw into their C code.
int OpusRead(void *file, unsigned char *bytes, int size) {
  try {
    return static_cast<int>(static_cast<InputFile *>(file)->Read(bytes, static_cast<std::size_t>(size)));
  } catch (const ConvertFailure &) {
    return -1;
  }
}
int OpusSeek(void *file, opus_int64 offset, int whence) {
  return static_cast<InputFile *>(file)->Seek(offset, whence) ? 0 : -1;
}
opus_int64 OpusTell(void *file) { return static_cast<opus_int64>(static_cast<InputFile *>(file)->Tell()); }

std::size_t VorbisRead(void *bytes, std::size_t size, std::size_t count, void *file) {
  try {
    return static_cast<InputFile *>(file)->Read(bytes, size * count) / std::max<std::size_t>(size, 1);
  } catch (const ConvertFailure &) {
    // vorbisfile takes a short read with errno set as a failure, and an empty one as the end.
    errno = EIO;
    return 0;
  }
}
int VorbisSeek(void *file, ogg_int64_t offset, int whence) {
  return static_cast<InputFile *>(file)->Seek(offset, whence) ? 0 : -1;
}
long VorbisTell(void *file) { return static_cast<long>(static_cast<InputFile *>(file)->Tell()); }

class VorbisSource final : public PcmSource {
public:
  explicit VorbisSource(std::unique_ptr<InputFile> file) : file_(std::move(file)) {
    const ov_callbacks callbacks = {VorbisRead, VorbisSeek, nullptr, VorbisTell};
    if (ov_open_callbacks(file_.get(), &vorbis_, nullptr, 0, callbacks) != 0)
      throw ConvertFailure{ConvertProblem::Broken};
    open_ = true;
    const vorbis_info *info = ov_info(&vorbis_, -1);
    if (!info || info->channels < 1 || info->rate < 1)
      throw ConvertFailure{ConvertProblem::Broken};
    format_.sampleRate = static_cast<int>(info->rate);
    format_.speakers = VorbisSpeakers(info->channels);
  }
  ~VorbisSource() override {
    if (open_)
      ov_clear(&vorbis_);
  }
  VorbisSource(const VorbisSource &) = delete;
  VorbisSource &operator=(const VorbisSource &) = delete;

  const PcmFormat &Format() const override { return format_; }

  std::size_t Read(float *samples, std::size_t frames) override {
    const int channels = format_.Channels();
    std::size_t done = 0;
    while (done < frames) {
      float **planes = nullptr;
      int link = 0;
      const long got =
          ov_read_float(&vorbis_, &planes, static_cast<int>(std::min<std::size_t>(frames - done, 4096)), &link);
      if (got == 0)
        break;
      if (got < 0)
        throw ConvertFailure{ConvertProblem::Broken};
      // A chained file whose later part changes the channels or the rate would need a second MP3.
      const vorbis_info *info = ov_info(&vorbis_, link);
      if (!info || info->channels != channels || info->rate != format_.sampleRate)
        throw ConvertFailure{ConvertProblem::NotSupported};
      for (long i = 0; i < got; ++i)
        for (int channel = 0; channel < channels; ++channel)
          samples[(done + i) * channels + channel] = planes[channel][i];
      done += static_cast<std::size_t>(got);
    }
    return done;
  }

private:
  std::unique_ptr<InputFile> file_;
  OggVorbis_File vorbis_ = {};
  bool open_ = false;
  PcmFormat format_;
};

class OpusSource final : public PcmSource {
public:
  explicit OpusSource(std::unique_ptr<InputFile> file) : file_(std::move(file)) {
    const OpusFileCallbacks callbacks = {OpusRead, OpusSeek, OpusTell, nullptr};
    int error = 0;
    opus_.reset(op_open_callbacks(file_.get(), &callbacks, nullptr, 0, &error));
    if (!opus_)
      throw ConvertFailure{error == OP_EREAD ? ConvertProblem::Unreadable : ConvertProblem::Broken};
    const int channels = op_channel_count(opus_.get(), -1);
    if (channels < 1)
      throw ConvertFailure{ConvertProblem::Broken};
    // Opus decodes at 48 kHz whatever rate the file names as its original.
    format_.sampleRate = 48000;
    format_.speakers = VorbisSpeakers(channels);
  }

  const PcmFormat &Format() const override { return format_; }

  std::size_t Read(float *samples, std::size_t frames) override {
    const int channels = format_.Channels();
    std::size_t done = 0;
    while (done < frames) {
      int link = 0;
      const int room = static_cast<int>(std::min<std::size_t>(frames - done, 5760) * channels);
      const int got = op_read_float(opus_.get(), samples + done * channels, room, &link);
      if (got == 0)
        break;
      if (got < 0)
        throw ConvertFailure{got == OP_EREAD ? ConvertProblem::Unreadable : ConvertProblem::Broken};
      if (op_channel_count(opus_.get(), link) != channels)
        throw ConvertFailure{ConvertProblem::NotSupported};
      done += static_cast<std::size_t>(got);
    }
    return done;
  }

private:
  struct OpusCloser {
    void operator()(OggOpusFile *file) const { op_free(file); }
  };
  std::unique_ptr<InputFile> file_;
  std::unique_ptr<OggOpusFile, OpusCloser> opus_;
  PcmFormat format_;
};

} // namespace

std::unique_ptr<PcmSource> OpenOgg(std::unique_ptr<InputFile> file) {
  const std::string head = FirstPacketHead(*file);
  const std::string_view packet = head;
  if (packet.substr(0, 7) == std::string_view("\x01vorbis", 7))
    return std::make_unique<VorbisSource>(std::move(file));
  if (packet.substr(0, 8) == "OpusHead")
    return std::make_unique<OpusSource>(std::move(file));
  if (packet.substr(0, 5) == "\x7F"
                             "FLAC")
    return std::make_unique<FlacSource>(std::move(file), FlacSource::Container::Ogg);
  throw ConvertFailure{ConvertProblem::NotSupported};
}

} // namespace sf
