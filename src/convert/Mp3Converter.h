#pragma once

#include "convert/Converter.h"

#include <memory>

namespace sf {

class MediaFoundation;

// The converter of the Windows program: FLAC, Ogg (Vorbis, Opus, FLAC), AIFF and, through Media
// Foundation, MP4 (AAC, ALAC), AAC and WAV, encoded by LAME with the tags of Mp3Tags.
class Mp3Converter final : public Converter {
public:
  Mp3Converter();
  ~Mp3Converter() override;
  Mp3Converter(const Mp3Converter &) = delete;
  Mp3Converter &operator=(const Mp3Converter &) = delete;

  Reason Convert(const ConvertJob &job, const std::string &target, const std::function<void()> &look) override;

private:
  // Started by the first track that needs it, then kept for the converter's life.
  std::unique_ptr<MediaFoundation> mediaFoundation_;
};

} // namespace sf
