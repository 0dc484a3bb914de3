#include "playlist/CopyRun.h"

#include "platform/PathParts.h"
#include "playlist/Placement.h"
#include "playlist/RecordedUndo.h"
#include "playlist/SFException.h"
#include "resources/MessageTexts.h"

#include <algorithm>
#include <map>
#include <memory>
#include <utility>

// The copy run's course: it decides, undoes what a stopped run left, then acts, and reports. The
// actions themselves lie beside it: ClearDestination.cpp, RenameCopies.cpp, WriteCopy.cpp,
// WritePlayListFile.cpp, and the placement in entry order (Placement.cpp).
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

} // namespace

CopyRun::CopyRun(Platform &system, TCopyProgress &progress, RunInput input, RunOptions options,
                 const Conversion *conversion)
    : system_(system), progress_(progress), input_(std::move(input)), options_(options), conversion_(conversion) {
  if (conversion_)
    options_.convertTo = conversion_->quality;
}

bool CopyRun::Run() {
  // However the run ends, the cache lets go of its files and keeps to its size.
  struct TrimCache {
    const Conversion *conversion;
    ~TrimCache() {
      try {
        if (conversion)
          conversion->cache.Trim();
      } catch (...) {
        // A cache left too large is trimmed after the next run.
      }
    }
  } trim{conversion_};
  try {
    DecideAndAct();
  } catch (const Cancelled &cancelled) {
    std::string message = FormatText(messages::kCancelled, FileNamePart(input_.playList), copied_);
    AddLines(message, undoNotes_);
    AddLines(message, {cancelled.note});
    progress_.ShowInfo(message);
    progress_.Close();
    return false;
  }
  return true;
}

std::string CopyRun::In(const std::string &name) const { return JoinPath(input_.destination, name); }

void CopyRun::LookAtQueue() {
  progress_.KeepResponsive();
  StopIfCancelled();
}

void CopyRun::StopIfCancelled() {
  if (!stopping_ && progress_.CancelRequested()) {
    stopping_ = true;
    throw Cancelled{};
  }
}

void CopyRun::DecideAndAct() {
  progress_.SetMaximum(static_cast<std::int32_t>(input_.tracks.size()));
  progress_.Show();
  LearnFacts();
  // A run that was stopped left its record. Every record is checked before anything changes; the
  // undo then comes first, so that a run refused by its plan leaves nothing of the stopped one
  // behind, and the plan decides on what the undo really left (on FAT a file's identity is its
  // entry's place, which moves).
  auto interrupted = RecordedUndo::Find(system_, input_.destination, facts_->Names());
  LookAtQueue();
  if (interrupted) {
    if (const auto stuck = interrupted->Stuck(); !stuck.empty())
      throw ESFException(JoinLines(stuck));
    undoNotes_ = interrupted->Run();
    if (!interrupted->Complete())
      throw ESFException(JoinLines(undoNotes_));
    LearnFacts();
    try {
      plan_ = Decide();
    } catch (const ESFException &refused) {
      std::string message = refused.what();
      AddLines(message, undoNotes_);
      throw ESFException(message);
    }
  }
  if (!plan_)
    plan_ = Decide();
  Act();
}

void CopyRun::LearnFacts() {
  facts_ = std::make_unique<FactsOnDisk>(system_, input_.destination, input_.sources, [this] { LookAtQueue(); });
}

RunPlan CopyRun::Decide() {
  if (!conversion_)
    return PlanRun(input_, options_, *facts_);
  input_.converted = ConvertedMarks(input_, options_, *facts_);
  // The MP3s this PC made before stand in for their tracks at once.
  ConvertCache &cache = conversion_->cache;
  std::vector<bool> made(input_.tracks.size());
  for (std::size_t track = 0; track < made.size(); ++track) {
    if (!input_.converted[track])
      continue;
    if (const auto found = cache.Find(JobOf(static_cast<std::int32_t>(track)))) {
      input_.sources[track] = *found;
      made[track] = true;
    }
    LookAtQueue();
  }
  if (std::find(made.begin(), made.end(), true) != made.end())
    LearnFacts();
  // Every refusal but the room's comes before a conversion, which may take minutes; the room is
  // checked once the MP3s and their sizes are known. Which copies are left as they are, and so need no
  // MP3, only the plan knows.
  const auto allMade = [&] {
    for (std::size_t track = 0; track < made.size(); ++track) {
      if (input_.converted[track] && !made[track])
        return false;
    }
    return true;
  };
  for (bool sizesKnown = allMade();; sizesKnown = true) {
    RunPlan plan = PlanRun(input_, options_, *facts_, sizesKnown);
    std::vector<std::int32_t> pending;
    for (std::int32_t track = 0; track < static_cast<std::int32_t>(made.size()); ++track) {
      if (input_.converted[track] && !plan.leftAs[track] && !made[track])
        pending.push_back(track);
    }
    if (pending.empty() && sizesKnown)
      return plan;
    if (!pending.empty()) {
      Convert(pending);
      for (const auto track : pending)
        made[track] = true;
      LearnFacts();
    }
  }
}

ConvertJob CopyRun::JobOf(std::int32_t track) {
  const auto &mark = *input_.converted[track];
  return {system_.FullPath(input_.sources[track]), mark.size, mark.lastWrite, mark.quality};
}

void CopyRun::Convert(const std::vector<std::int32_t> &tracks) {
  progress_.SetStage(RunStage::Converting);
  progress_.SetMaximum(static_cast<std::int32_t>(tracks.size()));
  ConverterPool *pool = conversion_->pool;
  const int converters = pool ? ConvertersFor(conversion_->processes, pool->Processors(), tracks.size()) : 1;
  if (converters <= 1 || !ConvertInConverters(tracks, converters))
    ConvertHere(tracks);
  progress_.SetStage(RunStage::Copying);
  progress_.SetMaximum(static_cast<std::int32_t>(input_.tracks.size()));
  progress_.SetFileLabel({});
  progress_.SetPosition(0);
  progress_.Repaint();
}

void CopyRun::ConvertHere(const std::vector<std::int32_t> &tracks) {
  ConvertCache &cache = conversion_->cache;
  for (std::size_t k = 0; k < tracks.size(); ++k) {
    const std::int32_t track = tracks[k];
    const ConvertJob job = JobOf(track);
    progress_.SetFileLabel(FormatText(messages::kConvertingTrack, FileNamePart(job.source)));
    progress_.SetPosition(static_cast<std::int32_t>(k + 1));
    progress_.Repaint();
    StopIfCancelled();
    const auto made = cache.Make(job, conversion_->converter, [this] { LookAtQueue(); });
    if (!made.reason.empty())
      throw ESFException(FormatText(messages::kCannotConvert, job.source) + "\n" + made.reason);
    input_.sources[track] = made.path;
  }
}

bool CopyRun::ConvertInConverters(const std::vector<std::int32_t> &tracks, int converters) {
  std::vector<ConvertJob> jobs;
  for (const auto track : tracks)
    jobs.push_back(JobOf(track));
  PoolWatch watch;
  // The wait ends for the queue only when something is there: it is answered at once.
  watch.look = [this] {
    progress_.KeepResponsiveNow();
    StopIfCancelled();
  };
  watch.progress = [&](std::size_t job, std::size_t finished) {
    progress_.SetFileLabel(FormatText(messages::kConvertingTrack, FileNamePart(jobs[job].source)));
    progress_.SetPosition(static_cast<std::int32_t>(finished));
    progress_.Repaint();
  };
  StopIfCancelled();
  const auto result = ConvertInPool(conversion_->cache, *conversion_->pool, converters, jobs, watch);
  if (!result)
    return false;
  if (result->failed)
    throw ESFException(FormatText(messages::kCannotConvert, jobs[*result->failed].source) + "\n" + result->reason);
  for (std::size_t k = 0; k < tracks.size(); ++k)
    input_.sources[tracks[k]] = result->made[k];
  return true;
}

void CopyRun::Act() {
  using Kind = RecordedStep::Kind;
  const RunPlan &plan = *plan_;
  RunRecord record(system_, input_.destination);
  HoldingFolder holding(system_, record, input_.destination);
  std::optional<EntryOrderPlacement> inEntryOrder;
  if (plan.keepsEntryOrder)
    inEntryOrder.emplace(
        system_, input_.destination, plan.fileSystem, options_.addMode, static_cast<std::int32_t>(input_.tracks.size()),
        [&] { LookAtQueue(); }, record, holding, plan.mayHold);
  // A cancel or an error at any step undoes, from the record, what the run made or moved of its own.
  const auto undo = [&]() -> std::string {
    try {
      if (record.Made())
        return JoinLines(RecordedUndo(system_, input_.destination, record).Run());
    } catch (const std::exception &) {
      // What stays, the record names: the next run undoes it.
    }
    return {};
  };
  // The tracks counted as copied, by target: a later namesake's cancelled copy takes theirs with it.
  std::map<std::string, std::int32_t> copiedUnder;
  // After a stop, the playlist file lists what the destination then holds; where the run changed
  // nothing, the earlier file stays as it was. The text of a failed write, or empty.
  bool changed = !plan.deletions.empty() || !plan.renames.empty();
  const auto playListAfterStop = [&]() -> std::string {
    try {
      if (!plan.playList || !changed)
        return {};
      std::vector<std::string> copies;
      for (const auto &step : plan.steps) {
        if (system_.QueryFile(In(step.name)).exists)
          copies.push_back(step.name);
      }
      return WritePlayListFile(copies, true);
    } catch (const std::exception &) {
      return {};
    }
  };
  try {
    // The tracks whose copies are left as they were are in the destination from the start.
    copied_ = plan.left;
    Clear();
    // Names the destination cannot hold need no questions.
    FolderNames present(facts_->Names());
    RenameCopies(holding);
    if (inEntryOrder) {
      std::vector<std::string> cleared;
      for (const auto &file : plan.deletions)
        cleared.push_back(file.name);
      try {
        inEntryOrder->Begin(cleared);
      } catch (const PlacementFailed &) {
        throw ESFException(FormatText(messages::kDestinationUnreadable, system_.FullPath(input_.destination)));
      }
    }
    for (std::size_t k = 0; k < plan.steps.size(); ++k) {
      const PlannedTrack &step = plan.steps[k];
      const std::string &source = input_.sources[step.track];
      // A copy left as it was needs no track.
      if (!step.left && !system_.FileExists(source))
        throw ESFException(FormatText(messages::kTrackMissing, input_.tracks[step.track]));
      progress_.SetFileLabel(FileNamePart(source));
      progress_.SetPosition(static_cast<std::int32_t>(k + 1));
      progress_.Repaint();
      StopIfCancelled();
      const auto trackFacts = facts_->Track(step.track);
      record.WritingTrack(source, trackFacts.size, trackFacts.lastWrite);
      auto &copiesHere = copiedUnder[system_.UpperCase(step.name)];
      const auto write = [&](const std::string &to, const Platform::FileFacts &before, bool madeByRun) {
        try {
          changed = true;
          WriteCopy(step, to, before, madeByRun);
        } catch (const Cancelled &) {
          if (!system_.QueryFile(to).exists)
            copied_ -= copiesHere;
          throw;
        }
      };
      try {
        const bool placed = inEntryOrder && inEntryOrder->Put(step, write);
        if (!placed && !step.liesThere && !step.left) {
          // Where the run found no file, it makes one: a file that another program put there meanwhile
          // is neither overwritten nor, once the copy fails, deleted.
          const std::string target = In(step.name);
          const auto before = present.MayHold(step.name) ? system_.QueryFile(target) : Platform::FileFacts{};
          // Where the run keeps a record, a stop here is undone by the next run too.
          RecordedStep announced = Announced(before.exists ? Kind::Over : Kind::Entry, step.name);
          announced.size = before.size;
          announced.lastWrite = before.lastWrite;
          if (record.Made() && !record.Note(announced))
            throw PlacementFailed{};
          write(target, before, false);
          if (record.Made() && !record.Note(Announced(Kind::Written, step.name)))
            throw PlacementFailed{};
          present.Add(step.name);
        }
      } catch (const PlacementFailed &) {
        throw ESFException(FormatText(messages::kCopyFailed, input_.tracks[step.track]));
      }
      // A track that already lies in the destination is its own copy; those left as they were are
      // counted from the start.
      if (!step.left)
        ++copied_;
      ++copiesHere;
    }
    if (inEntryOrder)
      inEntryOrder->End();
  } catch (Cancelled &cancelled) {
    AddLines(cancelled.note, {undo(), playListAfterStop()});
    throw;
  } catch (const ESFException &error) {
    std::string message = error.what();
    AddLines(message, {undo(), playListAfterStop()});
    AddLines(message, undoNotes_);
    throw ESFException(message);
  } catch (...) {
    undo();
    throw;
  }
  // What the run leaves of its own (a held old copy that would not go, the record) is removed as an
  // undo removes it; what stays, the record keeps for the next run, and the box names.
  std::vector<std::string> leftOfOwn;
  if (record.Made())
    leftOfOwn = RecordedUndo(system_, input_.destination, record).Run();

  if (plan.playList) {
    // Written after the tracks are placed: it takes no place in their order.
    const std::string failure = WritePlayListFile(plan.playList->copies, false);
    if (!failure.empty())
      throw ESFException(failure);
  }
  const std::string playList = FileNamePart(input_.playList);
  const auto count = static_cast<std::int32_t>(input_.tracks.size());
  std::string message = plan.left == 0 ? FormatText(messages::kCopied, playList, count)
                        : plan.left == count
                            ? FormatText(messages::kAllUnchanged, playList, count)
                            : FormatText(messages::kCopiedSomeUnchanged, playList, count - plan.left, plan.left);
  if (inEntryOrder && inEntryOrder->OrderLost())
    message.append("\n").append(messages::kOrderNotKept);
  AddLines(message, undoNotes_);
  AddLines(message, leftOfOwn);
  progress_.ShowInfo(message);
  progress_.Close();
}

} // namespace sf
