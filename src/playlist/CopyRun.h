#pragma once

#include "convert/ConvertCache.h"
#include "convert/Converter.h"
#include "convert/ConverterPool.h"
#include "platform/Platform.h"
#include "playlist/CopyProgress.h"
#include "playlist/RunFacts.h"
#include "playlist/RunPlan.h"
#include "playlist/RunRecord.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sf {

// How a run converts the tracks that the player cannot play: with what, keeping the MP3s where, and
// at which quality.
struct Conversion {
  Converter &converter; // in the run's own process
  ConvertCache &cache;
  ConvertQuality quality = ConvertQuality::Standard;
  // Converters beside the run's process, for more than one track at a time; without it, or where
  // ConvertersFor gives one, `converter` converts.
  ConverterPool *pool = nullptr;
  // ConvertProcesses as the settings give it: 0 where it is not set.
  int processes = 0;
};

// One run of a playlist's tracks into a folder. It decides first (PlanRun), undoing beforehand what
// a stopped run left, then carries the plan out: it clears, renames, puts each copy in place, writes
// the playlist file and reports. A cancel or an error at any step undoes, from the run's own record,
// what it made or moved of its own.
class CopyRun {
public:
  // Without `conversion` every track is copied as it is.
  CopyRun(Platform &system, TCopyProgress &progress, RunInput input, RunOptions options,
          const Conversion *conversion = nullptr);

  // False when the user cancelled the run: that too ends with the information box. Throws
  // ESFException for a refusal or a failure, whose message the caller shows.
  bool Run();

private:
  // How a cancelled run ends: `note` is a line to add to the box, or empty.
  struct Cancelled {
    std::string note;
  };

  void DecideAndAct();
  // Asks the system anew about the tracks' sources and the destination.
  void LearnFacts();
  // The plan, with the tracks that convert converted first where their copies are not left as they are.
  RunPlan Decide();
  // The conversion of a track that converts, as its mark says.
  ConvertJob JobOf(std::int32_t track);
  // Makes the MP3s of `tracks`, which become their sources. Throws ESFException for a track that
  // cannot be converted.
  void Convert(const std::vector<std::int32_t> &tracks);
  // Convert's work in the run's own process, one track after the other.
  void ConvertHere(const std::vector<std::int32_t> &tracks);
  // Convert's work on `converters` converters of the pool; false when none would start.
  bool ConvertInConverters(const std::vector<std::int32_t> &tracks, int converters);
  void Act();

  // Deletes what the plan clears, then checks anew that the copies fit.
  void Clear();
  // Gives the copies left as they were their new numbers; where two names cross, one waits in the
  // holding folder. Throws ESFException when the system refuses a rename.
  void RenameCopies(HoldingFolder &holding);
  // Copies a track into `target`; see WriteTrack.
  void WriteCopy(const PlannedTrack &step, const std::string &target, const Platform::FileFacts &before,
                 bool madeByRun);
  // Deletes what a failed copy left of itself; false when a part of it stays.
  bool RemovePartialCopy(const std::string &target, const Platform::FileFacts &before, bool madeByRun);
  // Writes the playlist file listing `copies` (and in add mode the earlier ones still there), unless
  // it holds those bytes already, then removes the program's own file under the other name. After a
  // stop (`stopped`) a file of that name that is not the program's own is left as it is. The
  // message of a failed write, or empty.
  std::string WritePlayListFile(const std::vector<std::string> &copies, bool stopped);

  std::string In(const std::string &name) const;
  // Looks at the queue, then stops the run with Cancelled once the user has cancelled it.
  void LookAtQueue();
  void StopIfCancelled();

  Platform &system_;
  TCopyProgress &progress_;
  RunInput input_;
  RunOptions options_;
  const Conversion *conversion_;
  std::unique_ptr<FactsOnDisk> facts_;
  std::optional<RunPlan> plan_;
  std::int32_t copied_ = 0; // the tracks in the destination so far
  bool stopping_ = false;   // the run is stopping for a cancel: looks no longer throw
  // What the undo of a stopped run left and says, added to the run's closing box.
  std::vector<std::string> undoNotes_;
};

} // namespace sf
