// The ".m3u" and ".m3u8" readers on arbitrary file contents, Shift-JIS or UTF-8, with or without a
// byte-order mark: each either refuses the list or yields at most 101 tracks, each well-formed
// UTF-8, a non-empty line that starts with a visible character and holds no line end.
#include "FakePlatform.h"
#include "platform/Utf8.h"
#include "playlist/SFException.h"
#include "playlist/SFPlayList.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  sf::testing::FakePlatform fake;
  // The first byte chooses the format, the rest is the file.
  const std::string path = size > 0 && data[0] % 2 ? "C:\\Lists\\fuzz.m3u8" : "C:\\Lists\\fuzz.m3u";
  if (size > 0)
    ++data, --size;
  fake.AddFile(path, std::string(reinterpret_cast<const char *>(data), size));
  fake.SetChunkSize(size % 7 + 1);
  sf::TPlayList list(fake, path);
  try {
    list.Load();
  } catch (const sf::ESFException &) {
    return 0;
  }
  if (list.Count() < 0 || list.Count() > sf::kMaxTracks)
    std::abort();
  for (std::int32_t i = 0; i < list.Count(); ++i) {
    const auto &track = list.TrackPath(i);
    if (track.empty() || static_cast<unsigned char>(track.front()) <= 32 ||
        track.find_first_of("\r\n") != std::string::npos || !sf::IsValidUtf8(track) ||
        (list.Kind() == sf::PlayListKind::M3u8 && track.front() == '#'))
      std::abort();
  }
  return 0;
}
