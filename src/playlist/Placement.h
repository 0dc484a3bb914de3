#pragma once

#include "platform/Platform.h"
#include "playlist/RunPlan.h"
#include "playlist/RunRecord.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace sf {

// Writes a track's data into `target`: a new file where `before` says none was, over the file there
// otherwise; `madeByRun` when that file is an empty entry the run made for it. Throws as the copy
// fails or the user cancels, with nothing of a failed copy left unless the message says so.
using WriteTrack = std::function<void(const std::string &target, const Platform::FileFacts &before, bool madeByRun)>;

// A folder on FAT, FAT32 or exFAT, which lists its entries in their order on the disk: the order
// many players and car stereos play. A new entry need not land after the last one (Windows puts it
// into a gap that a deleted file left), so each copy is placed and checked against the listing read
// back: an entry that lands before the track placed before it is kept as a placeholder ("plug"),
// renamed to a name of the same entry count, which keeps its place, and the track's entry is made
// again. A track that already lies in the destination out of place waits in the holding folder and
// comes back in its turn. Every placeholder, held file and entry is announced in the run's record
// before it is made; after a cancel, an error or a crash the record's undo takes them away again.
class EntryOrderPlacement final {
public:
  // `look` looks at the queue between file-system calls, and may throw to cancel. With `mayHold` false
  // a file that the run replaces is written over where it lies: there is no room for it and its
  // replacement at once.
  EntryOrderPlacement(Platform &platform, std::string destination, std::string fileSystem, bool addMode,
                      std::int32_t tracks, std::function<void()> look, RunRecord &record, HoldingFolder &holding,
                      bool mayHold);

  // Before the first track; `cleared`: the names the run deleted in the destination.
  void Begin(const std::vector<std::string> &cleared);
  // Puts the track in place, and writes its data where it is to be copied. False once the order is
  // given up: then the run copies it as on any other file system.
  bool Put(const PlannedTrack &step, const WriteTrack &write);
  // After the last track: the placeholders go.
  void End();
  // Whether the tracks could not all be put in copy order.
  bool OrderLost() const { return orderLost_; }

private:
  using Listing = std::vector<Platform::FolderEntry>;

  std::string In(const std::string &name) const;
  Listing Entries();
  // The name as the system compares names: upper-cased.
  std::string Folded(const std::string &name) const;
  // Whether `name`'s entry stands after every track placed so far (and in add mode after every
  // entry that was there before), in `listing`.
  bool InPlace(const Listing &listing, const std::string &name) const;
  // The name the listing shows for `name`: the system may give an entry another spelling than the
  // one asked for (a long name it remembered), and its entry count with it.
  std::string ListedName(const Listing &listing, const std::string &name) const;
  // Announces steps in the record; false, with the order given up, where the record cannot be made.
  bool Announce(const std::vector<RecordedStep> &steps);
  // Renames a placeholder or a probe that `listing` shows, and checks that it kept its place: on a
  // system whose listing does not follow the entries (one that lists by name) the order is given up
  // at once. True where the name was taken, with nothing renamed.
  bool RenameKeepsPlace(const Listing &listing, const std::string &from, const std::string &to);
  // Whether the listing follows the entries as the FAT driver keeps them, tried with a probe before
  // the run's first entry is made or moved (a re-sync that leaves everything makes none).
  void ProbeListing();
  // Fills the never-used end of the folder's allocation with placeholders, so that the tracks fill
  // the gaps from the front. A folder without such an end gets none: they would take the gaps the
  // tracks need, and make the folder grow.
  void FillNeverUsedEnd();
  // What the fill keeps between its placeholders.
  struct Fill;
  enum class Landed { InTheEnd, Elsewhere, FillEnds };
  // Makes a placeholder like `like` for the fill, announcing `ahead` at a time; false where the fill
  // ends: the record cannot be made, a fixed root takes no further entry (the tracks need what room
  // there is), or the folder grew for it, which it then no longer holds.
  bool MakeFillPlug(Fill &fill, const std::string &like, std::size_t ahead);
  // Makes a placeholder like `like`, which stays where it lands in the end, listed after every
  // entry; one that lands elsewhere goes at once.
  Landed PlaceInTheEnd(Fill &fill, const std::string &like, std::size_t ahead);
  // The entries a placeholder like `like` takes.
  std::size_t PlugEntries(const std::string &like) const;
  // The entries `name` takes in the folder.
  std::size_t EntriesOf(const std::string &name) const;
  // Counts a try that failed; false, with the order given up, once there were too many.
  bool TryAgain();
  // Makes an empty entry for the track where it belongs; false once the order is given up, with no
  // entry made.
  bool MakeInPlace(const std::string &name);
  // Moves a held file back under `name` at its place.
  void MoveInPlace(const std::string &name);
  // Makes placeholders like `like` until one lands in place, which is removed, so that the next entry
  // of that count lands there.
  void PlugUntilInPlace(const std::string &like);
  // A new placeholder's name, of the entry count of `like`; its number never comes again in the run,
  // and each new one sorts before the last.
  std::string NextPlug(const std::string &like);
  // Makes an empty placeholder like `like`; its name, or empty once the order is given up.
  std::string MakePlug(const std::string &like);
  void RemoveLastPlug();
  void RemovePlug(const std::string &plug);
  void RemovePlugs();
  // The order cannot be kept (a full FAT12/16 root, a listing by name): the rest goes where the
  // system puts it.
  void LoseOrder();

  Platform &platform_;
  std::string destination_;
  std::string fileSystem_;
  bool addMode_;
  std::int32_t tracks_;
  std::function<void()> look_;
  RunRecord &record_;
  HoldingFolder &holding_;
  bool mayHold_;
  std::set<std::string> before_;   // add mode: the upper-cased names there before the run
  std::set<std::string> placed_;   // upper-cased names of the tracks placed
  std::vector<std::string> plugs_; // names of the placeholders made
  bool orderLost_ = false;
  bool probed_ = false;
  std::uint32_t plugNumber_ = 0;
  Listing lastListing_;                              // the latest listing of the destination
  std::optional<std::set<std::string>> listedNames_; // its names, folded, once asked for
  std::size_t tries_ = 0, budget_ = 0;
};

// The UTF-16 length of a name, and whether FAT keeps it in a single 8.3 entry (no long-name
// entries: plain ASCII, base of 1-8 and extension of 0-3 characters, each all upper or all lower
// case). A placeholder takes the same number of entries as the name it stands for.
std::size_t Utf16Length(const std::string &name);
bool IsPlainShortName(const std::string &name);

} // namespace sf
