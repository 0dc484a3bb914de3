#include "playlist/CopyRun.h"

#include "playlist/SFException.h"
#include "resources/MessageTexts.h"

#include <algorithm>

// Where a run renames: the copies left as they were take the numbers of this run.
namespace sf {

void CopyRun::RenameCopies(HoldingFolder &holding) {
  auto pending = plan_->renames;
  std::vector<std::string> aside;
  const auto fail = [&](const std::string &name) {
    for (const auto &step : plan_->steps) {
      if (step.name == name)
        throw ESFException(FormatText(messages::kCopyFailed, input_.tracks[step.track]));
    }
  };
  while (!pending.empty()) {
    bool renamed = false;
    for (auto rename = pending.begin(); rename != pending.end();) {
      const std::string &from = rename->first, &to = rename->second;
      const bool taken = std::any_of(pending.begin(), pending.end(), [&](const auto &other) {
        return system_.UpperCase(other.first) == system_.UpperCase(to);
      });
      if (taken) {
        ++rename;
        continue;
      }
      // A file that the run replaces under the new name goes, as a copy over it would replace it.
      if (system_.QueryFile(In(to)).exists)
        system_.RemoveFile(In(to));
      if (system_.MoveEntry(In(from), In(to)) != Platform::MakeResult::Made)
        fail(to);
      LookAtQueue();
      rename = pending.erase(rename);
      renamed = true;
    }
    if (renamed)
      continue;
    // The names cross (two tracks swapped): one copy waits in the holding folder under its new name.
    const std::string from = pending.front().first, to = pending.front().second;
    try {
      if (!holding.Hold(from, to, to))
        fail(to);
    } catch (const PlacementFailed &) {
      fail(to);
    }
    LookAtQueue();
    aside.push_back(to);
    pending.erase(pending.begin());
  }
  for (const auto &name : aside) {
    if (system_.MoveEntry(holding.PathOf(name), In(name)) != Platform::MakeResult::Made)
      fail(name);
    LookAtQueue();
  }
  if (!aside.empty())
    holding.RemoveIfMade();
}

} // namespace sf
