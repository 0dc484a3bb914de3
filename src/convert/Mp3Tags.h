#pragma once

#include "convert/Converter.h"

#include <string>

namespace sf {

// The tags an MP3 made from a track carries around its audio.
struct Mp3TagBytes {
  std::string front; // an ID3v2.3 tag: the track's tags, its cover and the mark
  std::string back;  // an ID3v1 tag in Shift-JIS, for older units
};

// Reads the tags and the cover of the track at `source` and renders them for its MP3, with `mark`.
// A track without a title gets its file name's stem. Throws nothing: what cannot be read is left out.
Mp3TagBytes TagsFor(const std::string &source, const ConvertedMark &mark);

} // namespace sf
