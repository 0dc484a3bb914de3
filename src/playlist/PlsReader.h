#pragma once

#include "platform/Platform.h"

#include <string>
#include <string_view>
#include <vector>

namespace sf {

// The tracks of a ".pls" file as written, in UTF-8: the values of "File1", "File2", ... of its
// "[playlist]" section in the order of their numbers, read by the profile rules. The file is UTF-8
// after a byte-order mark or when its bytes are UTF-8, Shift-JIS otherwise. Throws ESFException
// "PlayListが不正です" without a "[playlist]" section, or after a byte-order mark with bytes that are
// no UTF-8.
std::vector<std::string> PlsTracks(std::string_view bytes, const Platform &platform);

// PlsTracks of the file at `path`; throws EInOutError when it cannot be read.
std::vector<std::string> ReadPlsTracks(Platform &platform, const std::string &path);

} // namespace sf
