#pragma once

#include "playlist/CopyMatch.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The playlist file a run writes beside the copies, for players that play a playlist rather than
// the folder's entries in order. It lists the copies by their names in the destination, one a line,
// after "#EXTM3U" and a line of the program's own that marks the file as made by it and unedited
// since; a file that fails that mark counts as the user's.
namespace sf {

// The file's name for the playlist at `playListPath` listing `copies`: the playlist's own name less
// its extension, with ".m3u" when every line is plain ASCII (the same bytes in every code page) and
// ".m3u8" otherwise. "C:\Lists\mix.xspf" gives "mix.m3u" or "mix.m3u8".
std::string PlayListFileName(std::string_view playListPath, const std::vector<std::string> &copies);

// The file's bytes for the copies' names (without folder), in the order they are to be played: UTF-8
// without a byte-order mark, lines ending in CR LF. A name that begins with "#" or a blank is written
// as ".\name", so that no player takes it for a comment or drops the blank.
std::string PlayListFileBytes(const std::vector<std::string> &copies);

// The copies listed by a file of exactly the bytes PlayListFileBytes writes, in order and with ".\"
// taken off again; nothing for any other bytes (another playlist, one edited since, no text).
std::optional<std::vector<std::string>> OwnPlayListCopies(std::string_view bytes);

inline bool IsOwnPlayListFile(std::string_view bytes) { return OwnPlayListCopies(bytes).has_value(); }

// What the file lists after a run that copied `copies` (in copy order): first the copies the earlier
// file listed (`earlier`, from OwnPlayListCopies; empty when there is none or the run is not adding)
// that `stillThere` finds in the destination, in their order, then this run's. A name is listed
// once, at the place of this run's last copy under it, which is the one the destination keeps;
// names compare upper-cased by `upperCase` (Platform::UpperCase), as the system compares them.
// `stillThere` is asked only of names that this run did not copy.
std::vector<std::string> CopiesToList(const std::vector<std::string> &earlier, const std::vector<std::string> &copies,
                                      const std::function<bool(const std::string &name)> &stillThere,
                                      const UpperCaseFn &upperCase);

} // namespace sf
