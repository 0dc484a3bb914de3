#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace sf {

// One track of a run's plan, in copy order.
struct PlannedTrack {
  std::int32_t track = 0; // its place in the playlist, from 0
  std::string name;       // the name of its copy in the destination
  // The track itself lies in the destination under that name: it is its own copy.
  bool liesThere = false;
  // Its copy lies in the destination under that name already, left as it was.
  bool left = false;
  // In add mode what lies there stays where it is: it takes no place in the order.
  bool outsideOrder = false;
};

// The hidden folder in the destination where a run keeps files aside while it puts others in place,
// each under its own name.
inline constexpr char kHoldingFolder[] = "~Songferry holding";

// Writes a track's data into `target`: a new file where `before` says none was, over the file there
// otherwise; `madeByRun` when that file is an empty entry the run made for it. Throws as the copy
// fails or the user cancels, with nothing of a failed copy left unless the message says so.
using WriteTrack = std::function<void(const std::string &target, const Platform::FileFacts &before, bool madeByRun)>;

// Thrown by a placement when the file system refuses a step that would put a track in place; the
// run reports it as the track's failed copy.
struct PlacementFailed {};

// How a run puts its copies into the destination, once everything is decided and the clearing done.
class Placement {
public:
  virtual ~Placement() = default;

  virtual void Put(const PlannedTrack &step, const WriteTrack &write) = 0;
  // After the last track.
  virtual void End() {}
  // After an error or a cancel, at any step: every file of the user's stays under its own name.
  virtual void Abandon() noexcept {}
  // Whether the tracks could not all be put in copy order.
  virtual bool OrderLost() const { return false; }
};

// A folder on FAT, FAT32 or exFAT, which lists its entries in their order on the disk: the order
// many players and car stereos play. A new entry need not land after the last one (Windows puts it
// into a gap that a deleted file left), so each copy is placed and checked against the listing read
// back: an entry that lands before the track placed before it is kept as a placeholder ("plug"),
// renamed to a name of the same entry count, which keeps its place, and the track's entry is made
// again. A track that already lies in the destination out of place goes into a hidden holding
// folder and comes back in its turn. Placeholders and the holding folder are removed at the end;
// what an interrupted run left of them, the next run clears first (CleanUpAfterInterruptedRun).
class EntryOrderPlacement final : public Placement {
public:
  // `look` looks at the queue between file-system calls, and may throw to cancel.
  EntryOrderPlacement(Platform &platform, std::string destination, bool addMode, std::int32_t tracks,
                      std::function<void()> look);

  // Whether `fileSystem` lists a folder in the order of its entries on the disk.
  static bool KeepsEntryOrder(const std::string &fileSystem);
  // Moves back the tracks that an interrupted run held and removes its placeholders.
  static void CleanUpAfterInterruptedRun(Platform &platform, const std::string &destination);

  // `cleared`: the run deleted files in the destination.
  void Begin(bool cleared);
  void Put(const PlannedTrack &step, const WriteTrack &write) override;
  void End() override;
  void Abandon() noexcept override;
  bool OrderLost() const override { return orderLost_; }

private:
  using Listing = std::vector<Platform::FolderEntry>;

  std::string In(const std::string &name) const;
  std::string Held(const std::string &name) const;
  Listing Entries();
  // The name as the system compares names: upper-cased.
  std::string Folded(const std::string &name) const;
  // Whether `name`'s entry stands after every track placed so far (and in add mode after every
  // entry that was there before), in `listing`.
  bool InPlace(const Listing &listing, const std::string &name) const;
  // Fills the never-used end of the folder's allocation with placeholders, so that the tracks fill
  // the gaps from the front and the folder stops growing from run to run.
  void FillNeverUsedEnd();
  // Makes `name`'s entry by `make` (a new empty file, or a held file moved back) until it lands in
  // place, with `outOfPlace` between the tries; where the order is given up, wherever it lands.
  void Settle(const std::string &name, const std::function<Platform::MakeResult()> &make,
              const std::function<void()> &outOfPlace);
  // Counts a try that failed; false, with the order given up, once there were too many.
  bool TryAgain();
  // Makes an empty file for the track at its place, or where the system puts it once the order is
  // given up.
  void MakeInPlace(const std::string &name);
  // Moves a held file back under `name` at its place.
  void MoveInPlace(const std::string &name);
  // Makes placeholders of the entry count of `name` until one lands in place, which is removed,
  // so that the next entry of that count lands there.
  void PlugUntilInPlace(const std::string &name);
  void Hold(const std::string &name);
  void Unhold(const std::string &name);
  std::string NextPlug(const std::string &like);
  void RemoveLastPlug();
  void RemovePlugs() noexcept;
  // The order cannot be kept (a full FAT12/16 root): the rest goes where the system puts it.
  void LoseOrder();

  Platform &platform_;
  std::string destination_;
  bool addMode_;
  std::int32_t tracks_;
  std::function<void()> look_;
  std::set<std::string> before_;         // add mode: the upper-cased names there before the run
  std::set<std::string> placed_;         // upper-cased names of the tracks placed
  std::vector<std::string> plugs_;       // names of the placeholders made
  std::vector<std::string> held_;        // names of the files in the holding folder
  std::optional<std::string> unwritten_; // the entry made for a track whose data is not written yet
  bool holding_ = false;                 // the holding folder was made
  bool orderLost_ = false;
  std::uint32_t plugNumber_ = 0;
  std::size_t tries_ = 0, budget_ = 0;
};

// The UTF-16 length of a name, and whether FAT keeps it in a single 8.3 entry (no long-name
// entries: plain ASCII, base of 1-8 and extension of 0-3 characters, each all upper or all lower
// case). A placeholder takes the same number of entries as the name it stands for.
std::size_t Utf16Length(const std::string &name);
bool IsPlainShortName(const std::string &name);

} // namespace sf
