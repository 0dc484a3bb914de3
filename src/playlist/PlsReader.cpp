#include "playlist/PlsReader.h"

#include "platform/Utf8.h"
#include "playlist/SFException.h"
#include "resources/MessageTexts.h"
#include "settings/ProfileText.h"

#include <map>
#include <utility>

namespace sf {
namespace {

constexpr std::size_t kValueBuffer = 2048; // the buffer the system's profile functions fill

// The profile rules are those of Shift-JIS, whose lead bytes would take a UTF-8 text's line ends or
// "=" for their second bytes. Each byte beyond ASCII goes through them as a whole double-byte
// character of its own, so that only ASCII shapes the lines, and comes back afterwards.
constexpr unsigned char kCarrier = 0x88;

unsigned char CarriedByte(unsigned char byte) {
  const unsigned index = byte - 0x80u; // 0..127 onto second bytes 0x40..0x7E, 0x80..0xC0
  return static_cast<unsigned char>(index < 63 ? 0x40 + index : 0x80 + index - 63);
}

std::string Carried(std::string_view utf8) {
  std::string carried;
  carried.reserve(utf8.size());
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      carried += c;
    } else {
      carried += static_cast<char>(kCarrier);
      carried += static_cast<char>(CarriedByte(byte));
    }
  }
  return carried;
}

std::string Uncarried(std::string_view carried) {
  std::string utf8;
  for (std::size_t at = 0; at < carried.size(); ++at) {
    if (static_cast<unsigned char>(carried[at]) != kCarrier || at + 1 == carried.size()) {
      utf8 += carried[at];
      continue;
    }
    const auto second = static_cast<unsigned char>(carried[++at]);
    const unsigned index = second < 0x80 ? second - 0x40u : second - 0x80u + 63;
    utf8 += static_cast<char>(0x80 + index);
  }
  return utf8;
}

// At most `size` bytes of `utf8`, whole characters only.
std::string_view CutUtf8(std::string_view utf8, std::size_t size) {
  if (utf8.size() <= size)
    return utf8;
  while (size > 0 && (static_cast<unsigned char>(utf8[size]) & 0xC0) == 0x80)
    --size;
  return utf8.substr(0, size);
}

// The number of a track key: "File" in any case, then a number without leading zeros. Numbers are
// kept as digits, shorter first, so that no length overflows.
std::optional<std::pair<std::size_t, std::string>> TrackNumber(std::string_view key) {
  constexpr std::string_view kFile = "file";
  if (key.size() <= kFile.size() || key[kFile.size()] < '1' || key[kFile.size()] > '9')
    return std::nullopt;
  for (std::size_t i = 0; i < kFile.size(); ++i) {
    if ((key[i] | 0x20) != kFile[i])
      return std::nullopt;
  }
  const std::string_view digits = key.substr(kFile.size());
  for (const char c : digits) {
    if (c < '0' || c > '9')
      return std::nullopt;
  }
  return std::pair(digits.size(), std::string(digits));
}

} // namespace

std::vector<std::string> PlsTracks(std::string_view bytes, const Platform &platform) {
  static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  const bool marked = bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark;
  if (marked)
    bytes.remove_prefix(kByteOrderMark.size());
  const bool utf8 = IsValidUtf8(bytes);
  if (marked && !utf8)
    throw ESFException(messages::kPlayListInvalid);
  const std::string carried = utf8 ? Carried(bytes) : std::string();
  const auto keys = utf8 ? ReadProfileSection(carried, "playlist", carried.size() + 1)
                         : ReadProfileSection(bytes, "playlist", kValueBuffer);
  if (!keys)
    throw ESFException(messages::kPlayListInvalid);
  std::map<std::pair<std::size_t, std::string>, std::string> byNumber;
  for (const auto &[key, value] : *keys) {
    // The first of keys that differ in case only counts, as with every profile key.
    if (const auto number = TrackNumber(key))
      byNumber.try_emplace(*number, utf8 ? std::string(CutUtf8(Uncarried(value), kValueBuffer - 1))
                                         : platform.FromShiftJis(value));
  }
  std::vector<std::string> tracks;
  tracks.reserve(byNumber.size());
  for (auto &entry : byNumber)
    tracks.push_back(std::move(entry.second));
  return tracks;
}

std::vector<std::string> ReadPlsTracks(Platform &platform, const std::string &path) {
  std::string bytes;
  platform.ReadTextFile(path, [&](std::string_view chunk) {
    bytes.append(chunk);
    return true;
  });
  return PlsTracks(bytes, platform);
}

} // namespace sf
