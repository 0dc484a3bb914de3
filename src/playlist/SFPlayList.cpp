#include "playlist/SFPlayList.h"

#include "platform/PathParts.h"
#include "playlist/DestinationAfterUndo.h"
#include "playlist/Placement.h"
#include "playlist/PlayListFile.h"
#include "playlist/SFException.h"
#include "resources/MessageTexts.h"

#include <algorithm>
#include <map>
#include <utility>

// The copy run: it decides (PlanRun.cpp), undoes what a stopped run left, then acts: it deletes,
// renames, puts each copy in place and writes the playlist file.
namespace sf {
namespace {

// Adds the lines that are not empty to `text`, each on a line of its own.
void AddLines(std::string &text, const std::vector<std::string> &lines) {
  for (const auto &line : lines) {
    if (!line.empty())
      text += (text.empty() ? "" : "\n") + line;
  }
}

std::string JoinLines(const std::vector<std::string> &lines) {
  std::string text;
  AddLines(text, lines);
  return text;
}

// Shows the destination to the run's decisions as `seen` for as long as it lives.
class Seeing {
public:
  Seeing(Platform *&platform, Platform &seen) : platform_(platform), before_(std::exchange(platform, &seen)) {}
  ~Seeing() { platform_ = before_; }
  Seeing(const Seeing &) = delete;
  Seeing &operator=(const Seeing &) = delete;

private:
  Platform *&platform_;
  Platform *before_;
};

} // namespace

bool TPlayList::CopyTracks(TCopyProgress &progress, const std::string &toDir, bool addMode, bool reverse,
                           bool numberTracks, bool skipUnchanged, bool writePlayList) {
  stopping_ = false;
  writePlayList_ = writePlayList;
  std::int32_t copied = 0;
  try {
    RunCopy(progress, toDir, addMode, reverse, numberTracks, skipUnchanged, copied);
  } catch (const RunCancelled &cancelled) {
    std::string message = FormatText(messages::kCancelled, FileNamePart(fileName_), copied);
    if (!cancelled.note.empty())
      message.append("\n").append(cancelled.note);
    progress.ShowInfo(message);
    progress.Close();
    return false;
  }
  return true;
}

void TPlayList::LookAtQueue(TCopyProgress &progress) {
  progress.KeepResponsive();
  StopIfCancelled(progress);
}

void TPlayList::StopIfCancelled(const TCopyProgress &progress) {
  if (!stopping_ && progress.CancelRequested()) {
    stopping_ = true;
    throw RunCancelled{};
  }
}

void TPlayList::RunCopy(TCopyProgress &progress, const std::string &toDir, bool addMode, bool reverse,
                        bool numberTracks, bool skipUnchanged, std::int32_t &copied) {
  if (toDir.empty())
    throw ESFException(messages::kNoDestination);
  progress.SetMaximum(count_);
  progress.Show();
  std::optional<RunPlan> plan;
  const auto decide = [&] {
    plan.reset();
    PlanRun(plan.emplace(), progress, toDir, addMode, reverse, numberTracks, skipUnchanged);
  };
  const std::string destination = PathFrom(FolderPart(system_.FullPath(fileName_)), toDir);
  auto interrupted = RecordedUndo::Find(system_, destination);
  LookAtQueue(progress);
  if (interrupted) {
    // A run that was stopped left its record: this one decides on the destination as the undo will
    // leave it, undoes it as its first change, and decides again on what the undo really left (on
    // FAT a file's identity is its entry's place, which moves).
    if (const auto stuck = interrupted->Stuck(); !stuck.empty())
      throw ESFException(JoinLines(stuck));
    {
      DestinationAfterUndo afterUndo(system_, destination, *interrupted);
      const Seeing seeing(platform_, afterUndo);
      decide();
    }
    const auto notRestored = interrupted->Run();
    if (!notRestored.empty())
      throw ESFException(JoinLines(notRestored));
  }
  decide();
  RunRecord record(system_, plan->destination);
  HoldingFolder holding(system_, record, plan->destination);
  std::optional<EntryOrderPlacement> inEntryOrder;
  if (plan->keepsEntryOrder)
    inEntryOrder.emplace(
        system_, plan->destination, plan->fileSystem, addMode, count_, [&] { LookAtQueue(progress); }, record, holding,
        plan->mayHold);
  // A cancel or an error at any step undoes, from the record, what the run made or moved of its own.
  const auto undo = [&]() -> std::string {
    try {
      if (record.Made())
        return JoinLines(RecordedUndo(system_, plan->destination, record.Steps(), record.Path()).Run());
    } catch (...) {
      // What stays, the record names: the next run undoes it.
    }
    return {};
  };
  // The tracks counted as copied, by target: a later namesake's cancelled copy takes theirs with it.
  std::map<std::string, std::int32_t> copiedUnder;
  // After a stop, the playlist file lists what the destination then holds; where the run changed
  // nothing, the earlier file stays as it was. The text of a failed write, or empty.
  bool changed = !plan->deletions.empty() || !plan->renames.empty();
  const auto playListAfterStop = [&]() -> std::string {
    try {
      if (!plan->playList || !changed)
        return {};
      std::vector<std::string> copies;
      for (const auto &step : plan->steps) {
        if (system_.QueryFile(JoinPath(plan->destination, step.name)).exists)
          copies.push_back(step.name);
      }
      return WritePlayListFile(*plan, copies, true);
    } catch (...) {
      return {};
    }
  };
  try {
    // The tracks whose copies are left as they were are in the destination from the start.
    copied = plan->left;
    for (const auto &file : plan->deletions) {
      system_.RemoveFile(file.path); // A file that cannot be deleted (read-only) simply stays.
      LookAtQueue(progress);
    }
    FolderNames present(std::nullopt);
    if (!plan->deletions.empty()) {
      // A file that another program holds stays, or frees its space only once that program lets go:
      // what the clearing freed is known only now. Listed anew, the names it removed need no questions.
      present = FolderNames(system_.ListNames(plan->destination));
      LookAtQueue(progress);
      CheckRoom(*plan, {}, LookUpTargets(progress, *plan, present));
    } else {
      present = FolderNames(plan->listing);
    }

    Rename(progress, *plan, holding);
    if (inEntryOrder) {
      std::vector<std::string> cleared;
      for (const auto &file : plan->deletions)
        cleared.push_back(FileNamePart(file.path));
      try {
        inEntryOrder->Begin(cleared);
      } catch (const PlacementFailed &) {
        throw ESFException(FormatText(messages::kDestinationUnreadable, system_.FullPath(plan->destination)));
      }
    }
    for (std::int32_t k = 0; k < count_; ++k) {
      const PlannedTrack &step = plan->steps[static_cast<std::size_t>(k)];
      const std::string target = JoinPath(plan->destination, step.name);
      if (!system_.FileExists(plan->sourcePaths[step.track]))
        throw ESFException(FormatText(messages::kTrackMissing, trackPaths_[step.track]));
      progress.SetFileLabel(FileNamePart(plan->sourcePaths[step.track]));
      progress.SetPosition(k + 1);
      progress.Repaint();
      StopIfCancelled(progress);
      auto &copiesHere = copiedUnder[system_.UpperCase(step.name)];
      const auto write = [&](const std::string &to, const Platform::FileFacts &before, bool madeByRun) {
        try {
          changed = true;
          WriteCopy(progress, *plan, step, to, before, madeByRun);
        } catch (const RunCancelled &) {
          if (!system_.QueryFile(to).exists)
            copied -= copiesHere;
          throw;
        }
      };
      try {
        const bool placed = inEntryOrder && inEntryOrder->Put(step, write);
        if (!placed && !step.liesThere && !step.left) {
          // Where the run found no file, it makes one: a file that another program put there meanwhile
          // is neither overwritten nor, once the copy fails, deleted.
          write(target, present.MayHold(step.name) ? system_.QueryFile(target) : Platform::FileFacts{}, false);
          present.Add(step.name);
        }
      } catch (const PlacementFailed &) {
        throw ESFException(FormatText(messages::kCopyFailed, trackPaths_[step.track]));
      }
      // A track that already lies in the destination is its own copy; those left as they were are
      // counted from the start.
      if (!step.left)
        ++copied;
      ++copiesHere;
    }
    if (inEntryOrder)
      inEntryOrder->End();
  } catch (RunCancelled &cancelled) {
    AddLines(cancelled.note, {undo(), playListAfterStop()});
    throw;
  } catch (const ESFException &error) {
    std::string message = error.what();
    AddLines(message, {undo(), playListAfterStop()});
    throw ESFException(message);
  } catch (...) {
    undo();
    throw;
  }
  if (record.Made())
    system_.RemoveFile(record.Path());
  if (plan->playList) {
    // Written after the tracks are placed: it takes no place in their order.
    const std::string failure = WritePlayListFile(*plan, plan->playList->copies, false);
    if (!failure.empty())
      throw ESFException(failure);
  }
  const std::string playList = FileNamePart(fileName_);
  std::string message = plan->left == 0 ? FormatText(messages::kCopied, playList, count_)
                        : plan->left == count_
                            ? FormatText(messages::kAllUnchanged, playList, count_)
                            : FormatText(messages::kCopiedSomeUnchanged, playList, count_ - plan->left, plan->left);
  if (inEntryOrder && inEntryOrder->OrderLost())
    message.append("\n").append(messages::kOrderNotKept);
  progress.ShowInfo(message);
  progress.Close();
}

void TPlayList::WriteCopy(TCopyProgress &progress, RunPlan &plan, const PlannedTrack &step, const std::string &target,
                          const Platform::FileFacts &before, bool madeByRun) {
  const std::string &source = plan.sourcePaths[step.track];
  auto &tracks = *plan.tracks;
  Platform::CopyResult result;
  try {
    result = platform_->CopyFileOver(source, target, !before.exists && !madeByRun, [&] { LookAtQueue(progress); });
  } catch (const RunCancelled &) {
    // A player must not be left holding a track cut short by the cancel either.
    if (!RemovePartialCopy(target, before, madeByRun, tracks))
      throw RunCancelled{FormatText(messages::kPartialCopyLeft, platform_->FullPath(target))};
    throw;
  }
  if (result == Platform::CopyResult::TargetExists)
    throw ESFException(FormatText(messages::kCopyFailed, trackPaths_[step.track]));
  if (result == Platform::CopyResult::Failed || !platform_->FileExists(target)) {
    std::string message = FormatText(messages::kCopyFailed, trackPaths_[step.track]);
    if (!RemovePartialCopy(target, before, madeByRun, tracks))
      message.append("\n").append(FormatText(messages::kPartialCopyLeft, platform_->FullPath(target)));
    throw ESFException(message);
  }
}

std::string TPlayList::WritePlayListFile(const RunPlan &plan, const std::vector<std::string> &copies, bool stopped) {
  const auto &file = *plan.playList;
  const auto in = [&](const std::string &name) { return JoinPath(plan.destination, name); };
  const auto upperCase = [&](std::string_view text) { return system_.UpperCase(text); };
  const auto listed = stopped
                          ? CopiesToList(
                                file.earlier, copies,
                                [&](const std::string &name) { return system_.QueryFile(in(name)).exists; }, upperCase)
                          : copies;
  const std::string name = PlayListFileName(fileName_, listed), bytes = PlayListFileBytes(listed);
  const auto isOwn = [&](const std::string &candidate) {
    return std::any_of(file.ownNames.begin(), file.ownNames.end(),
                       [&](const std::string &own) { return upperCase(own) == upperCase(candidate); });
  };
  const auto facts = system_.QueryFile(in(name));
  // Decided before the run for the name it ends with; a stopped run may end with the other one.
  if (facts.exists && !isOwn(name))
    return {};
  if (!facts.exists || system_.ReadWholeFile(in(name)) != bytes) {
    if (!system_.ReplaceWholeFile(in(name), bytes))
      return FormatText(messages::kPlayListFileUnwritable, system_.FullPath(in(name)));
  }
  for (const auto &other : file.ownNames) {
    if (upperCase(other) != upperCase(name))
      system_.RemoveFile(in(other));
  }
  return {};
}

bool TPlayList::RemovePartialCopy(const std::string &target, const Platform::FileFacts &before, bool madeByRun,
                                  TrackIdentities &tracks) {
  // A cancel meanwhile must not keep the partial copy: it takes effect after the removal.
  const bool stopping = std::exchange(stopping_, true);
  const bool removed = RemovePartialCopyNow(target, before, madeByRun, tracks);
  stopping_ = stopping;
  return removed;
}

bool TPlayList::RemovePartialCopyNow(const std::string &target, const Platform::FileFacts &before, bool madeByRun,
                                     TrackIdentities &tracks) {
  const auto after = platform_->QueryFile(target);
  const bool untouched = before.exists && after.size == before.size && after.lastWrite == before.lastWrite;
  // A player must not be left holding a truncated track; an older file the copy never reached stays.
  // The run's own entry is removed whatever it holds: on FAT its identity may be a moved track's old one.
  if (!after.exists || untouched || (!madeByRun && tracks.AnyIs(platform_->FileIdentity(target), after)))
    return true;
  return platform_->RemoveFile(target) || !platform_->QueryFile(target).exists;
}

void TPlayList::Rename(TCopyProgress &progress, RunPlan &plan, HoldingFolder &holding) {
  const auto in = [&](const std::string &name) { return JoinPath(plan.destination, name); };
  auto pending = plan.renames;
  std::vector<std::string> aside;
  const auto fail = [&](const std::string &name) {
    for (const auto &step : plan.steps) {
      if (step.name == name)
        throw ESFException(FormatText(messages::kCopyFailed, trackPaths_[step.track]));
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
      if (system_.QueryFile(in(to)).exists)
        system_.RemoveFile(in(to));
      if (system_.MoveEntry(in(from), in(to)) != Platform::MakeResult::Made)
        fail(to);
      LookAtQueue(progress);
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
    LookAtQueue(progress);
    aside.push_back(to);
    pending.erase(pending.begin());
  }
  for (const auto &name : aside) {
    if (system_.MoveEntry(holding.PathOf(name), in(name)) != Platform::MakeResult::Made)
      fail(name);
    LookAtQueue(progress);
  }
  if (!aside.empty())
    holding.RemoveIfMade();
}

} // namespace sf
