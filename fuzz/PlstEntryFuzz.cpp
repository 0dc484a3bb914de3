// A ".plst" entry: the path taken is always a piece of the entry, and a failure is always the
// program's own error.
#include "playlist/SFException.h"
#include "playlist/SFPlayList.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view entry(reinterpret_cast<const char *>(data), size);
  try {
    const auto path = sf::ParsePlstEntry(entry, 1);
    if (path.size() >= entry.size() && !(path == entry && entry.front() != '"'))
      std::abort();
    if (entry.find(path) == std::string_view::npos)
      std::abort();
  } catch (const sf::ESFException &) {
  }
  return 0;
}
