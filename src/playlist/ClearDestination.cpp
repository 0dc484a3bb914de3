#include "playlist/CopyRun.h"

#include "platform/PathParts.h"

// Where a run deletes: the "wma" and "mp3" files its plan clears from the destination.
namespace sf {

void CopyRun::Clear() {
  if (plan_->deletions.empty())
    return;
  for (const auto &file : plan_->deletions) {
    system_.RemoveFile(In(file.name)); // A file that cannot be deleted (read-only) simply stays.
    LookAtQueue();
  }
  // A file that another program holds stays, or frees its space only once that program lets go:
  // what the clearing freed is known only now. Listed anew, the names it removed need no questions.
  facts_->ForgetDestination();
  CheckRoomAfterClearing(*plan_, *facts_);
}

} // namespace sf
