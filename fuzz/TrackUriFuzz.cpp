// A track's text as a path, for arbitrary texts: a file URI becomes a drive's or a share's path in
// well-formed UTF-8 without "/" or control characters (an escaped "?" or "#" belongs to the name); and any such path
// written as a file URI, every byte beyond the unreserved ones escaped, comes back as itself. ("/" separates in a
// Windows path, and escaped it would be part of a name, which no name can hold.)
#include "platform/Utf8.h"
#include "playlist/TrackUri.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool IsDrivePath(const std::string &path) {
  return path.size() >= 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':' && path[2] == '\\';
}

std::string AsFileUri(const std::string &path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file:///";
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\')
      uri += '/';
    else if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') || c == ':' ||
             c == '-' || c == '.' || c == '_' || c == '~')
      uri += c;
    else
      uri.append({'%', kHex[byte >> 4], kHex[byte & 15]});
  }
  return uri;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  // The first byte chooses the syntax, the rest is the text.
  const auto syntax = size > 0 && data[0] % 2 ? sf::TrackSyntax::UriReference : sf::TrackSyntax::PathOrUri;
  const std::string text = size > 0 ? std::string(reinterpret_cast<const char *>(data) + 1, size - 1) : "";
  const auto path = sf::TrackPathOf(text, syntax);
  const bool fileUri = text.size() >= 5 && (text[0] | 0x20) == 'f' && (text[1] | 0x20) == 'i' &&
                       (text[2] | 0x20) == 'l' && (text[3] | 0x20) == 'e' && text[4] == ':';
  if (path && fileUri &&
      ((!IsDrivePath(*path) && path->compare(0, 2, "\\\\") != 0) ||
       std::any_of(path->begin(), path->end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }) ||
       path->find('/') != std::string::npos || !sf::IsValidUtf8(*path)))
    std::abort();
  const bool plain =
      std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '/'; });
  if (IsDrivePath(text) && plain && sf::IsValidUtf8(text) && sf::TrackPathOf(AsFileUri(text), syntax) != text)
    std::abort();
  return 0;
}
