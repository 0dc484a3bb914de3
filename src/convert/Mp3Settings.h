#pragma once

#include "convert/Converter.h"

// What LAME is asked for, by quality and by the source's sample rate.
namespace sf {

struct Mp3Settings {
  int sampleRate = 0;  // of the MP3; LAME resamples when the source's differs
  int vbrQuality = -1; // LAME's -V, for VBR; -1 for CBR
  int bitRate = 0;     // kbit/s, for CBR
};

// 32, 44.1 and 48 kHz, the rates of MPEG-1 that every player takes, are kept; any other rate becomes
// 44.1 kHz. 互換性重視 is always 44.1 kHz, for units that play nothing else.
Mp3Settings Mp3SettingsFor(ConvertQuality quality, int sourceRate);

} // namespace sf
