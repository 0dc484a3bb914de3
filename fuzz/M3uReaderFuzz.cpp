// The ".m3u" reader on arbitrary file contents: it either refuses the list or yields at most 101
// tracks, each a non-empty line that starts with a visible byte and holds no line end.
#include "FakePlatform.h"
#include "playlist/SFException.h"
#include "playlist/SFPlayList.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  sf::testing::FakePlatform fake;
  fake.AddFile("C:\\Lists\\fuzz.m3u", std::string(reinterpret_cast<const char *>(data), size));
  fake.SetChunkSize(size % 7 + 1);
  sf::TPlayList list(fake, "C:\\Lists\\fuzz.m3u");
  try {
    list.Load();
  } catch (const sf::ESFException &) {
    return 0;
  }
  if (list.Count < 0 || list.Count > sf::kMaxTracks)
    std::abort();
  for (std::int32_t i = 0; i < list.Count; ++i) {
    const auto &track = list.TrackPaths[i];
    if (track.empty() || static_cast<unsigned char>(track.front()) <= 32 ||
        track.find_first_of("\r\n") != std::string::npos)
      std::abort();
  }
  return 0;
}
