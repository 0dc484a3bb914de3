#pragma once

#include "convert/MediaFoundationDecoder.h"
#include "convert/PcmSource.h"

#include <functional>
#include <memory>
#include <string>

namespace sf {

// The decoder for the track at `path`, chosen by what the file holds (FLAC, Ogg and AIFF by their
// first bytes, whatever their extension) and, for the rest, by its extension: MP4 (".m4a", ".mp4",
// ".m4b"), AAC and WAV through Media Foundation, which `mediaFoundation` gives when first needed.
// Throws ConvertFailure.
std::unique_ptr<PcmSource> OpenDecoder(const std::string &path,
                                       const std::function<const MediaFoundation &()> &mediaFoundation);

} // namespace sf
