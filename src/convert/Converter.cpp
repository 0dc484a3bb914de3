#include "convert/Converter.h"

#include <algorithm>
#include <charconv>

namespace sf {
namespace {

constexpr std::string_view kConvertedExtensions[] = {"flac", "m4a",  "mp4", "m4b", "aac", "ogg",
                                                     "oga",  "opus", "wav", "aif", "aiff"};

std::uint32_t BigEndian(std::string_view bytes, bool syncSafe) {
  std::uint32_t value = 0;
  for (const char byte : bytes.substr(0, 4))
    value = syncSafe ? value << 7 | (static_cast<unsigned char>(byte) & 0x7F)
                     : value << 8 | static_cast<unsigned char>(byte);
  return value;
}

// A text of a frame in one of ID3v2's encodings, as ASCII; nothing when it holds anything else. The
// mark is ASCII, whatever encoding the tag writer chose.
std::optional<std::string> AsciiOf(std::string_view bytes, char encoding) {
  std::string text;
  const bool wide = encoding == 1 || encoding == 2;
  std::size_t at = 0;
  bool bigEndian = encoding == 2;
  if (encoding == 1 && bytes.size() >= 2) {
    bigEndian = bytes[0] == '\xFE' && bytes[1] == '\xFF';
    at = 2;
  }
  for (; at + (wide ? 1 : 0) < bytes.size(); at += wide ? 2 : 1) {
    char low = bytes[at], high = 0;
    if (wide) {
      low = bytes[at + (bigEndian ? 1 : 0)];
      high = bytes[at + (bigEndian ? 0 : 1)];
    }
    if (low == 0 && high == 0)
      break;
    if (high != 0 || (low & 0x80) != 0)
      return std::nullopt;
    text += low;
  }
  return text;
}

// The description and the value of a TXXX frame's body.
std::optional<std::pair<std::string, std::string>> UserText(std::string_view body) {
  if (body.empty())
    return std::nullopt;
  const char encoding = body[0];
  body.remove_prefix(1);
  const bool wide = encoding == 1 || encoding == 2;
  std::size_t end = 0;
  for (; end + (wide ? 1 : 0) < body.size(); end += wide ? 2 : 1) {
    if (body[end] == 0 && (!wide || body[end + 1] == 0))
      break;
  }
  const auto description = AsciiOf(body.substr(0, end), encoding);
  const auto value = AsciiOf(body.substr(std::min(body.size(), end + (wide ? 2 : 1))), encoding);
  if (!description || !value)
    return std::nullopt;
  return std::pair(*description, *value);
}

template <typename Number> bool ReadField(std::string_view &text, std::string_view key, Number &value) {
  if (text.substr(0, key.size()) != key)
    return false;
  text.remove_prefix(key.size());
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end == text.data())
    return false;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return true;
}

} // namespace

std::string MarkText(const ConvertedMark &mark) {
  return "size=" + std::to_string(mark.size) + " time=" + std::to_string(mark.lastWrite) +
         " quality=" + std::to_string(static_cast<int>(mark.quality));
}

std::optional<ConvertedMark> ReadMarkText(std::string_view text) {
  ConvertedMark mark;
  int quality = -1;
  if (!ReadField(text, "size=", mark.size) || !ReadField(text, " time=", mark.lastWrite) ||
      !ReadField(text, " quality=", quality) || !text.empty() || quality < 0 || quality > 2)
    return std::nullopt;
  mark.quality = static_cast<ConvertQuality>(quality);
  return mark;
}

std::optional<ConvertedMark> FindMark(std::string_view head) {
  constexpr std::size_t kHeader = 10;
  if (head.size() < kHeader || head.substr(0, 3) != "ID3")
    return std::nullopt;
  const int version = head[3];
  const auto flags = static_cast<unsigned char>(head[5]);
  // An unsynchronised tag is not what the program writes; its frames would need undoing first.
  if ((version != 3 && version != 4) || (flags & 0x80) != 0)
    return std::nullopt;
  const std::size_t tagEnd = kHeader + BigEndian(head.substr(6, 4), true);
  std::size_t at = kHeader;
  if ((flags & 0x40) != 0 && head.size() >= at + 4)
    at += version == 3 ? 4 + BigEndian(head.substr(at, 4), false) : BigEndian(head.substr(at, 4), true);
  while (at + kHeader <= std::min(tagEnd, head.size()) && head[at] != 0) {
    const std::string_view id = head.substr(at, 4);
    const std::size_t size = BigEndian(head.substr(at + 4, 4), version == 4);
    const std::size_t bodyAt = at + kHeader;
    if (size > tagEnd - bodyAt)
      return std::nullopt;
    if (id == "TXXX" && head.size() >= bodyAt + size && head[at + 9] == 0) {
      const auto text = UserText(head.substr(bodyAt, size));
      if (text && text->first == kMarkDescription)
        return ReadMarkText(text->second);
    }
    at = bodyAt + size;
  }
  return std::nullopt;
}

bool IsConvertedExtension(std::string_view extension) {
  for (const auto converted : kConvertedExtensions) {
    if (extension.size() == converted.size() &&
        std::equal(extension.begin(), extension.end(), converted.begin(),
                   [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; }))
      return true;
  }
  return false;
}

} // namespace sf
