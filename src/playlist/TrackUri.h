#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sf {

// How a playlist format writes its tracks.
enum class TrackSyntax {
  PathOrUri,    // a path, or an absolute URI (".m3u", ".pls", ".wpl")
  UriReference, // a URI or a reference relative to the playlist (".xspf")
};

// The Windows path of a track as the playlist writes it: a path stays as it is, a file URI
// ("file:///C:/a%20b.mp3", "file://server/share/x.mp3") becomes "C:\a b.mp3" or
// "\\server\share\x.mp3". Nothing for an empty text, a URI of another scheme or a malformed one. A
// drive letter ("C:x") is never taken for a scheme.
std::optional<std::string> TrackPathOf(std::string_view written, TrackSyntax syntax);

} // namespace sf
