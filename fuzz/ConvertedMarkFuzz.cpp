// The mark of a converted copy, read from the first bytes of any file of the destination: any bytes
// at all are read without a fault, a mark found says again what it says when written anew, and a
// mark found in a head is found the same in every longer head of the same file.
#include "convert/Converter.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char *>(data), size);
  const auto mark = sf::FindMark(bytes);
  if (mark && sf::ReadMarkText(sf::MarkText(*mark)) != mark)
    std::abort();
  for (std::size_t head = 0; head < bytes.size(); head += 1 + head / 2) {
    if (const auto early = sf::FindMark(bytes.substr(0, head)); early && early != mark)
      std::abort();
  }
  return 0;
}
