#include "convert/Mp3Settings.h"

namespace sf {

Mp3Settings Mp3SettingsFor(ConvertQuality quality, int sourceRate) {
  constexpr int kCdRate = 44100;
  const bool kept = sourceRate == 32000 || sourceRate == 44100 || sourceRate == 48000;
  Mp3Settings settings;
  settings.sampleRate = kept ? sourceRate : kCdRate;
  switch (quality) {
  case ConvertQuality::Standard:
    settings.vbrQuality = 2; // LAME's recommended VBR, about 190 kbit/s
    break;
  case ConvertQuality::Compatible:
    settings.bitRate = 192;
    settings.sampleRate = kCdRate;
    break;
  case ConvertQuality::High:
    settings.bitRate = 320;
    break;
  }
  return settings;
}

} // namespace sf
