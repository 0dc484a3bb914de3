#include "playlist/CopyRun.h"

#include "platform/PathParts.h"
#include "playlist/PlayListFile.h"
#include "resources/MessageTexts.h"

#include <algorithm>

// Where a run writes the playlist file of its copies into the destination.
namespace sf {

std::string CopyRun::WritePlayListFile(const std::vector<std::string> &copies, bool stopped) {
  const auto &file = *plan_->playList;
  const auto upperCase = [&](std::string_view text) { return system_.UpperCase(text); };
  const auto listed = stopped
                          ? CopiesToList(
                                file.earlier, copies,
                                [&](const std::string &name) { return system_.QueryFile(In(name)).exists; }, upperCase)
                          : copies;
  const std::string name = PlayListFileName(input_.playList, listed), bytes = PlayListFileBytes(listed);
  const auto isOwn = [&](const std::string &candidate) {
    return std::any_of(file.ownNames.begin(), file.ownNames.end(),
                       [&](const std::string &own) { return upperCase(own) == upperCase(candidate); });
  };
  const auto facts = system_.QueryFile(In(name));
  // Decided before the run for the name it ends with; a stopped run may end with the other one.
  if (facts.exists && !isOwn(name))
    return {};
  if (!facts.exists || system_.ReadWholeFile(In(name)) != bytes) {
    if (!system_.ReplaceWholeFile(In(name), bytes))
      return FormatText(messages::kPlayListFileUnwritable, system_.FullPath(In(name)));
  }
  for (const auto &other : file.ownNames) {
    if (upperCase(other) != upperCase(name))
      system_.RemoveFile(In(other));
  }
  return {};
}

} // namespace sf
