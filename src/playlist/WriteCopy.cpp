#include "playlist/CopyRun.h"

#include "playlist/SFException.h"
#include "resources/MessageTexts.h"

#include <utility>

// Where a run writes a track's data, and takes away what a failed or cancelled copy left.
namespace sf {

void CopyRun::WriteCopy(const PlannedTrack &step, const std::string &target, const Platform::FileFacts &before,
                        bool madeByRun) {
  const std::string &source = input_.sources[step.track];
  Platform::CopyResult result;
  try {
    result = system_.CopyFileOver(source, target, !before.exists && !madeByRun, [&] { LookAtQueue(); });
  } catch (const Cancelled &) {
    // A player must not be left holding a track cut short by the cancel either.
    if (!RemovePartialCopy(target, before, madeByRun))
      throw Cancelled{FormatText(messages::kPartialCopyLeft, system_.FullPath(target))};
    throw;
  }
  if (result == Platform::CopyResult::TargetExists)
    throw ESFException(FormatText(messages::kCopyFailed, input_.tracks[step.track]));
  if (result == Platform::CopyResult::Failed || !system_.FileExists(target)) {
    std::string message = FormatText(messages::kCopyFailed, input_.tracks[step.track]);
    if (!RemovePartialCopy(target, before, madeByRun))
      message.append("\n").append(FormatText(messages::kPartialCopyLeft, system_.FullPath(target)));
    throw ESFException(message);
  }
}

bool CopyRun::RemovePartialCopy(const std::string &target, const Platform::FileFacts &before, bool madeByRun) {
  // A cancel meanwhile must not keep the partial copy: it takes effect after the removal.
  const bool stopping = std::exchange(stopping_, true);
  const auto after = system_.QueryFile(target);
  const bool untouched = before.exists && after.size == before.size && after.lastWrite == before.lastWrite;
  // A player must not be left holding a truncated track; an older file the copy never reached stays.
  // The run's own entry is removed whatever it holds: on FAT its identity may be a moved track's old one.
  const bool removed = !after.exists || untouched ||
                       (!madeByRun && facts_->IsAnyTrack(system_.FileIdentity(target), after)) ||
                       system_.RemoveFile(target) || !system_.QueryFile(target).exists;
  stopping_ = stopping;
  return removed;
}

} // namespace sf
