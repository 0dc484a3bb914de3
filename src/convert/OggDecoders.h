#pragma once

#include "convert/InputFile.h"
#include "convert/PcmSource.h"

#include <memory>

namespace sf {

// An Ogg file's decoder, chosen by its first packet: Vorbis through vorbisfile, Opus through
// opusfile, FLAC through libFLAC. Speex and every other codec are NotSupported.
std::unique_ptr<PcmSource> OpenOgg(std::unique_ptr<InputFile> file);

} // namespace sf
