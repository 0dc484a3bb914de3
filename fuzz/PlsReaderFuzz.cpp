// The ".pls" reader on arbitrary file contents, UTF-8 or Shift-JIS, with or without a byte-order
// mark: it either refuses the file or yields its tracks, each well-formed UTF-8 without a line end,
// a UTF-8 one within the profile value's 2047 bytes; and each track either becomes a path or is
// refused as a name.
#include "FakePlatform.h"
#include "platform/Utf8.h"
#include "playlist/PlsReader.h"
#include "playlist/SFException.h"
#include "playlist/TrackUri.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static const sf::testing::FakePlatform fake; // only its code page conversion is used
  const std::string_view bytes(reinterpret_cast<const char *>(data), size);
  std::vector<std::string> tracks;
  try {
    tracks = sf::PlsTracks(bytes, fake);
  } catch (const sf::ESFException &) {
    return 0;
  }
  const bool utf8 = sf::IsValidUtf8(bytes);
  for (const auto &track : tracks) {
    if (track.find_first_of("\r\n") != std::string::npos || !sf::IsValidUtf8(track) || (utf8 && track.size() > 2047))
      std::abort();
    const auto path = sf::TrackPathOf(track, sf::TrackSyntax::PathOrUri);
    if (path && (path->empty() || !sf::IsValidUtf8(*path)))
      std::abort();
  }
  return 0;
}
