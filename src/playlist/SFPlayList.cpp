#include "playlist/SFPlayList.h"

#include "platform/PathParts.h"
#include "playlist/CopyRun.h"
#include "playlist/SFException.h"
#include "resources/MessageTexts.h"

namespace sf {

bool TPlayList::CopyTracks(TCopyProgress &progress, const std::string &toDir, bool addMode, bool reverse,
                           bool numberTracks, bool skipUnchanged, bool writePlayList, const Conversion *conversion) {
  if (toDir.empty())
    throw ESFException(messages::kNoDestination);
  // Relative tracks and a relative destination lie below the playlist's folder. They are resolved
  // here rather than by changing the working folder, which the system cannot set to a long path.
  const std::string listFolder = FolderPart(system_.FullPath(fileName_));
  RunInput input{fileName_, DestinationFrom(listFolder, toDir), {}, {}};
  for (std::int32_t i = 0; i < count_; ++i) {
    input.tracks.push_back(trackPaths_[i]);
    input.sources.push_back(PathFrom(listFolder, trackPaths_[i]));
  }
  return CopyRun(system_, progress, std::move(input), {addMode, reverse, numberTracks, skipUnchanged, writePlayList},
                 conversion)
      .Run();
}

} // namespace sf
