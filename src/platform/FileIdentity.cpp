#include "platform/FileIdentity.h"

#include <algorithm>

namespace sf {
namespace {

bool IsReFS(const std::string &fileSystem) {
  std::string upper = fileSystem;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
  return upper == "REFS";
}

std::string Hex(std::uint64_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex(16, '0');
  for (auto digit = hex.rbegin(); digit != hex.rend(); ++digit, value >>= 4)
    *digit = kDigits[value & 0xF];
  return hex;
}

} // namespace

std::string IdentityFromNumbers(const FileNumbers &numbers) {
  if (IsReFS(numbers.fileSystem)) {
    // FILE_INVALID_FILE_ID (all bits set) and 0 name no file.
    const bool named = std::any_of(numbers.id.begin(), numbers.id.end(), [](std::uint8_t b) { return b != 0; }) &&
                       std::any_of(numbers.id.begin(), numbers.id.end(), [](std::uint8_t b) { return b != 0xFF; });
    if (!numbers.idAnswered || !named)
      return {};
    std::string identity = "id:" + Hex(numbers.idVolumeSerial) + ":";
    for (const std::uint8_t byte : numbers.id)
      identity += Hex(byte).substr(14);
    return identity;
  }
  if (!numbers.indexAnswered || numbers.index == 0)
    return {};
  return std::to_string(numbers.volumeSerial) + ":" + std::to_string(numbers.index);
}

} // namespace sf
