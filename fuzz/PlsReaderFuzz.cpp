// The ".pls" reader on arbitrary file contents, UTF-8 or Shift-JIS, with or without a byte-order
// mark: it either refuses the list or yields at most 101 tracks, each a non-empty path in
// well-formed UTF-8 that holds no line end and, from a file URI, no "/".
#include "FakePlatform.h"
#include "platform/Utf8.h"
#include "playlist/SFException.h"
#include "playlist/SFPlayList.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  sf::testing::FakePlatform fake;
  const std::string path = "C:\\Lists\\fuzz.pls";
  fake.AddFile(path, std::string(reinterpret_cast<const char *>(data), size));
  fake.SetChunkSize(size % 7 + 1);
  sf::TPlayList list(fake, path);
  try {
    list.Load();
  } catch (const sf::ESFException &) {
    return 0;
  }
  if (list.Count < 1 || list.Count > sf::kMaxTracks)
    std::abort();
  for (std::int32_t i = 0; i < list.Count; ++i) {
    const auto &track = list.TrackPaths[i];
    if (track.empty() || track.find_first_of("\r\n") != std::string::npos || !sf::IsValidUtf8(track))
      std::abort();
  }
  return 0;
}
