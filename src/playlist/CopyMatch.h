#pragma once

#include "convert/Converter.h"
#include "platform/Platform.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sf {

// A track whose copy is looked for: its copy's name, without folder or number, and its facts; for a
// track that arrives as an MP3, what that MP3 says it was made from.
struct TrackToMatch {
  std::string name;
  Platform::FileFacts facts;
  std::optional<ConvertedMark> converted;
};

// A file of the destination: its name there and its facts.
struct FileInDestination {
  std::string name;
  Platform::FileFacts facts;
};

// The number a name of the program's own numbering begins with: exactly three digits and a blank
// ("012 歌.mp3" gives 12); nothing for any other name ("1999 Party.mp3", "12 x.mp3", "001x.mp3").
std::optional<int> OwnTrackNumber(std::string_view name);

// Upper-cases a whole text as the system does (Platform::UpperCase).
using UpperCaseFn = std::function<std::string(std::string_view)>;
// What the file of `files` at an index says it was made from (RunFacts::Mark).
using MarkFn = std::function<std::optional<ConvertedMark>(std::size_t file)>;

// Which of `files` already is the copy of each of `tracks` (given in copy order), by its index in
// `files`; nothing for a track that must be copied. A file is a track's copy when
//  - its name is the track's, or, when `numbered`, three digits and a blank and then the track's,
//    whatever the number; names compare upper-cased by `upperCase`, as the system compares them;
//  - its size is the track's, and its last write (FILETIME, 100 ns) lies at most 2 seconds from the
//    track's; on a `fileSystem` of the FAT family ("FAT", "FAT32") also one hour and at most 2
//    seconds from it: FAT keeps local time, which a change to or from daylight-saving time moves;
//    for a track that arrives as an MP3, what the file says (`markOf`) is what the track's says;
//  - it is a file, neither read-only, hidden nor system: a run could not replace it.
// A file is the copy of one track at most: the tracks choose in order, each the file with the lowest
// number of those left. Without numbers, tracks of one name share what the last of them finds, as
// its copy is the one a run leaves under that name: when that file is its copy, none of them needs
// copying.
std::vector<std::optional<std::size_t>> MatchCopies(const std::vector<TrackToMatch> &tracks,
                                                    const std::vector<FileInDestination> &files, bool numbered,
                                                    const std::string &fileSystem, const UpperCaseFn &upperCase,
                                                    const MarkFn &markOf = nullptr);

} // namespace sf
