#pragma once

#include "platform/Platform.h"

#include <string>
#include <vector>

namespace sf {

enum class XmlPlayList {
  Wpl,  // Windows Media Player: the "src" of every "media" under smil/body/seq
  Xspf, // the first "location" of every "track" under playlist/trackList, in the XSPF namespace
};

// The tracks as the playlist writes them, in document order; an empty text for a track that names
// none. Throws ESFException "PlayListが不正です" when the root element is not the format's.
std::vector<std::string> XmlTracks(const std::vector<Platform::XmlElement> &elements, XmlPlayList format);

// XmlTracks of the file at `path`; "PlayListが不正です" also when it is no XML the platform reads.
std::vector<std::string> ReadXmlTracks(Platform &platform, const std::string &path, XmlPlayList format);

} // namespace sf
