#include "convert/MediaFoundationDecoder.h"

#include "convert/ChannelMix.h"
#include "platform/win32/Utf16.h"

#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace sf {

struct MediaFoundation::Functions {
  decltype(&MFStartup) startup = nullptr;
  decltype(&MFCreateFile) createFile = nullptr;
  decltype(&MFCreateMediaType) createMediaType = nullptr;
  decltype(&MFCreateSourceReaderFromByteStream) createSourceReader = nullptr;
};

namespace {

struct ComReleaser {
  void operator()(IUnknown *object) const { object->Release(); }
};
template <typename Interface> using ComPtr = std::unique_ptr<Interface, ComReleaser>;

// Fills a ComPtr through a function's out parameter. The pointer lands when the full expression ends:
// a call that fills it stands in a statement of its own.
template <typename Interface> class Out {
public:
  explicit Out(ComPtr<Interface> &owner) : owner_(owner) {}
  ~Out() { owner_.reset(raw_); }
  operator Interface **() { return &raw_; }
  void **Void() { return reinterpret_cast<void **>(&raw_); }

private:
  ComPtr<Interface> &owner_;
  Interface *raw_ = nullptr;
};

template <typename Function> Function Entry(HMODULE module, const char *name) {
  return module ? reinterpret_cast<Function>(reinterpret_cast<void *>(GetProcAddress(module, name))) : nullptr;
}

UINT32 Number(IMFMediaType &type, const GUID &key, UINT32 otherwise = 0) {
  UINT32 value = otherwise;
  return SUCCEEDED(type.GetUINT32(key, &value)) ? value : otherwise;
}

class MediaFoundationSource final : public PcmSource {
public:
  MediaFoundationSource(const MediaFoundation::Functions &mf, const std::string &path, const wchar_t *contentType) {
    ComPtr<IMFByteStream> stream;
    if (FAILED(mf.createFile(MF_ACCESSMODE_READ, MF_OPENMODE_FAIL_IF_NOT_EXIST, MF_FILEFLAGS_NONE, Widen(path).c_str(),
                             Out(stream))))
      throw ConvertFailure{ConvertProblem::Unreadable};
    ComPtr<IMFAttributes> attributes;
    if (SUCCEEDED(stream->QueryInterface(__uuidof(IMFAttributes), Out(attributes).Void())))
      attributes->SetString(MF_BYTESTREAM_CONTENT_TYPE, contentType);
    if (FAILED(mf.createSourceReader(stream.get(), nullptr, Out(reader_))))
      throw ConvertFailure{ConvertProblem::Unrecognised};
    constexpr DWORD kAudio = static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM);
    if (FAILED(reader_->SetStreamSelection(static_cast<DWORD>(MF_SOURCE_READER_ALL_STREAMS), FALSE)) ||
        FAILED(reader_->SetStreamSelection(kAudio, TRUE)))
      throw ConvertFailure{ConvertProblem::Unrecognised};
    // Floats keep 24-bit and floating-point sources whole; where the decoder gives no floats, its
    // integers are taken at their own width.
    if (!Ask(mf, kAudio, MFAudioFormat_Float) && !Ask(mf, kAudio, MFAudioFormat_PCM))
      throw ConvertFailure{ConvertProblem::NotSupported};
    TakeFormat();
  }

  const PcmFormat &Format() const override { return format_; }

  std::size_t Read(float *samples, std::size_t frames) override {
    return ReadPending(pending_, pendingAt_, format_.speakers.size(), samples, frames, [this] { return ReadSample(); });
  }

private:
  bool Ask(const MediaFoundation::Functions &mf, DWORD stream, const GUID &subtype) {
    ComPtr<IMFMediaType> type;
    if (FAILED(mf.createMediaType(Out(type))))
      return false;
    return SUCCEEDED(type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio)) &&
           SUCCEEDED(type->SetGUID(MF_MT_SUBTYPE, subtype)) &&
           SUCCEEDED(reader_->SetCurrentMediaType(stream, nullptr, type.get()));
  }

  // What the reader gives now; a change of channels or rate midway is not converted.
  void TakeFormat() {
    ComPtr<IMFMediaType> type;
    GUID subtype = {};
    if (FAILED(reader_->GetCurrentMediaType(static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM), Out(type))))
      throw ConvertFailure{ConvertProblem::NotSupported};
    if (FAILED(type->GetGUID(MF_MT_SUBTYPE, &subtype)))
      throw ConvertFailure{ConvertProblem::NotSupported};
    const int channels = static_cast<int>(Number(*type, MF_MT_AUDIO_NUM_CHANNELS));
    const int rate = static_cast<int>(Number(*type, MF_MT_AUDIO_SAMPLES_PER_SECOND));
    const int bits = static_cast<int>(Number(*type, MF_MT_AUDIO_BITS_PER_SAMPLE));
    const bool isFloat = subtype == MFAudioFormat_Float;
    if (channels < 1 || rate < 1 || (isFloat ? bits != 32 : bits < 8 || bits > 32 || bits % 8 != 0) ||
        (!isFloat && subtype != MFAudioFormat_PCM))
      throw ConvertFailure{ConvertProblem::NotSupported};
    if (!format_.speakers.empty() && (channels != format_.Channels() || rate != format_.sampleRate))
      throw ConvertFailure{ConvertProblem::NotSupported};
    format_.sampleRate = rate;
    format_.speakers = WaveSpeakers(channels, Number(*type, MF_MT_AUDIO_CHANNEL_MASK));
    isFloat_ = isFloat;
    bytesPerSample_ = bits / 8;
  }

  // Decodes one more sample (a buffer of frames) into pending_; false at the end of the stream.
  bool ReadSample() {
    for (;;) {
      DWORD flags = 0;
      LONGLONG time = 0;
      ComPtr<IMFSample> sample;
      if (FAILED(reader_->ReadSample(static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM), 0, nullptr, &flags, &time,
                                     Out(sample))) ||
          (flags & MF_SOURCE_READERF_ERROR))
        throw ConvertFailure{ConvertProblem::Broken};
      if (flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED)
        TakeFormat();
      if (sample) {
        Append(*sample);
        if (!pending_.empty())
          return true;
      }
      if (flags & MF_SOURCE_READERF_ENDOFSTREAM)
        return false;
    }
  }

  void Append(IMFSample &sample) {
    ComPtr<IMFMediaBuffer> buffer;
    if (FAILED(sample.ConvertToContiguousBuffer(Out(buffer))))
      throw ConvertFailure{ConvertProblem::Broken};
    BYTE *data = nullptr;
    DWORD length = 0;
    if (FAILED(buffer->Lock(&data, nullptr, &length)))
      throw ConvertFailure{ConvertProblem::Broken};
    const std::size_t count = length / bytesPerSample_;
    pending_.resize(count);
    if (isFloat_) {
      std::memcpy(pending_.data(), data, count * sizeof(float));
    } else {
      // Little-endian integers; 8-bit ones are unsigned, as in WAVE.
      const float scale = 1.0f / 2147483648.0f;
      for (std::size_t i = 0; i < count; ++i) {
        const BYTE *bytes = data + i * bytesPerSample_;
        std::uint32_t value = 0;
        for (int byte = 0; byte < bytesPerSample_; ++byte)
          value |= std::uint32_t{bytes[bytesPerSample_ - 1 - byte]} << (24 - 8 * byte);
        if (bytesPerSample_ == 1)
          value ^= 0x80000000u;
        pending_[i] = static_cast<float>(static_cast<std::int32_t>(value)) * scale;
      }
    }
    buffer->Unlock();
    // Whole frames only: a sample is never split between channels.
    pending_.resize(pending_.size() - pending_.size() % format_.speakers.size());
  }

  ComPtr<IMFSourceReader> reader_;
  PcmFormat format_;
  bool isFloat_ = true;
  int bytesPerSample_ = 4;
  std::vector<float> pending_;
  std::size_t pendingAt_ = 0;
};

} // namespace

MediaFoundation::MediaFoundation() : functions_(std::make_unique<Functions>()) {
  const HMODULE platform = LoadLibraryExW(L"mfplat.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  const HMODULE readWrite = LoadLibraryExW(L"mfreadwrite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  auto &f = *functions_;
  f.startup = Entry<decltype(f.startup)>(platform, "MFStartup");
  f.createFile = Entry<decltype(f.createFile)>(platform, "MFCreateFile");
  f.createMediaType = Entry<decltype(f.createMediaType)>(platform, "MFCreateMediaType");
  f.createSourceReader = Entry<decltype(f.createSourceReader)>(readWrite, "MFCreateSourceReaderFromByteStream");
  if (!f.startup || !f.createFile || !f.createMediaType || !f.createSourceReader ||
      FAILED(f.startup(MF_VERSION, MFSTARTUP_LITE)))
    throw ConvertFailure{ConvertProblem::MediaFoundationMissing};
}

// Neither MFShutdown nor FreeLibrary: see the header.
MediaFoundation::~MediaFoundation() = default;

std::unique_ptr<PcmSource> MediaFoundation::Open(const std::string &path, const wchar_t *contentType) const {
  return std::make_unique<MediaFoundationSource>(*functions_, path, contentType);
}

} // namespace sf
