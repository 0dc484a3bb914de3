#include "playlist/TrackUri.h"

#include "platform/Utf8.h"

namespace sf {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (IsDigit(c))
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

bool SameAscii(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size())
    return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
    if (c != lower[i])
      return false;
  }
  return true;
}

// The length of the URI scheme that `text` begins with, or 0. One letter is a drive, not a scheme.
std::size_t SchemeLength(std::string_view text) {
  if (text.empty() || !IsAsciiLetter(text[0]))
    return 0;
  std::size_t at = 1;
  while (at < text.size() &&
         (IsAsciiLetter(text[at]) || IsDigit(text[at]) || text[at] == '+' || text[at] == '-' || text[at] == '.'))
    ++at;
  return at >= 2 && at < text.size() && text[at] == ':' ? at : 0;
}

// A URI's path as a Windows path: up to its query or fragment, "/" as "\", escapes as bytes of
// UTF-8. Nothing for a broken escape, an escaped "/" or "\\", a control character (no file name holds one, and a NUL
// would end the name) or bytes that are no UTF-8.
std::optional<std::string> DecodedPath(std::string_view path) {
  path = path.substr(0, path.find_first_of("?#"));
  std::string decoded;
  for (std::size_t at = 0; at < path.size(); ++at) {
    char c = path[at];
    if (c == '%') {
      if (at + 2 >= path.size())
        return std::nullopt;
      const int high = HexValue(path[at + 1]), low = HexValue(path[at + 2]);
      if (high < 0 || low < 0)
        return std::nullopt;
      c = static_cast<char>(high * 16 + low);
      at += 2;
      // An escaped separator is part of a name, and no file's name holds one.
      if (c == '/' || c == '\\')
        return std::nullopt;
    } else if (c == '/') {
      c = '\\';
    }
    if (static_cast<unsigned char>(c) < 0x20)
      return std::nullopt;
    decoded += c;
  }
  if (decoded.empty() || !IsValidUtf8(decoded))
    return std::nullopt;
  return decoded;
}

bool StartsWithDrive(std::string_view path) { return path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':'; }

// What follows "file:".
std::optional<std::string> FileUriPath(std::string_view rest) {
  std::string_view host;
  if (rest.substr(0, 2) == "//") {
    rest.remove_prefix(2);
    const std::size_t end = rest.find_first_of("/?#");
    host = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    if (SameAscii(host, "localhost"))
      host = {};
  }
  if (rest.empty() || rest.front() != '/')
    return std::nullopt;
  auto path = DecodedPath(rest);
  if (!path)
    return std::nullopt;
  if (!host.empty()) {
    for (const char c : host) {
      if (!IsAsciiLetter(c) && !IsDigit(c) && c != '-' && c != '.' && c != '_')
        return std::nullopt;
    }
    return "\\\\" + std::string(host) + *path;
  }
  // "/C:/x" is a drive's path; "////server/share/x" a share's.
  if (path->size() >= 4 && StartsWithDrive(std::string_view(*path).substr(1)) && (*path)[3] == '\\')
    return path->substr(1);
  if (path->size() > 2 && path->compare(0, 2, "\\\\") == 0 && (*path)[2] != '\\')
    return path;
  return std::nullopt;
}

} // namespace

std::optional<std::string> TrackPathOf(std::string_view written, TrackSyntax syntax) {
  if (written.empty())
    return std::nullopt;
  if (const std::size_t scheme = SchemeLength(written)) {
    if (!SameAscii(written.substr(0, scheme), "file"))
      return std::nullopt;
    return FileUriPath(written.substr(scheme + 1));
  }
  if (syntax == TrackSyntax::PathOrUri || StartsWithDrive(written))
    return std::string(written);
  if (written.substr(0, 2) == "//")
    return FileUriPath(written);
  return DecodedPath(written);
}

} // namespace sf
