#include "playlist/Placement.h"

#include "platform/PathParts.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

namespace sf {
namespace {

using Kind = RecordedStep::Kind;

// The bytes of a folder entry, and the most entries the never-used end of a folder's allocation
// holds where the system does not tell its cluster size: a cluster of 64 KiB.
constexpr std::size_t kEntryBytes = 32;
constexpr std::size_t kLargestClusterEntries = 2048;
// Placeholder numbers count down, so that each new placeholder's name sorts before the last one's:
// on a system that lists by name a new placeholder then never seems to land at the end.
constexpr std::uint32_t kPlugNumbers = 99999;

bool IsShortNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         std::string_view("!#$%&'()-@^_`{}~").find(c) != std::string_view::npos;
}

// All letters of `part` in one case.
bool OneCase(std::string_view part) {
  const bool lower = std::any_of(part.begin(), part.end(), [](char c) { return c >= 'a' && c <= 'z'; });
  const bool upper = std::any_of(part.begin(), part.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
  return !(lower && upper);
}

} // namespace

std::size_t Utf16Length(const std::string &name) {
  std::size_t units = 0;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80)
      units += byte >= 0xF0 ? 2 : 1;
  }
  return units;
}

bool IsPlainShortName(const std::string &name) {
  const auto dot = name.find('.');
  const std::string_view base = std::string_view(name).substr(0, dot);
  const std::string_view extension =
      dot == std::string::npos ? std::string_view() : std::string_view(name).substr(dot + 1);
  if (base.empty() || base.size() > 8 || extension.size() > 3 || (dot != std::string::npos && extension.empty()) ||
      extension.find('.') != std::string_view::npos)
    return false;
  const auto plain = [](std::string_view part) { return std::all_of(part.begin(), part.end(), IsShortNameCharacter); };
  return plain(base) && plain(extension) && OneCase(base) && OneCase(extension);
}

EntryOrderPlacement::EntryOrderPlacement(Platform &platform, std::string destination, std::string fileSystem,
                                         bool addMode, std::int32_t tracks, std::function<void()> look,
                                         RunRecord &record, HoldingFolder &holding, bool mayHold)
    : platform_(platform), destination_(std::move(destination)), fileSystem_(std::move(fileSystem)), addMode_(addMode),
      tracks_(tracks), look_(std::move(look)), record_(record), holding_(holding), mayHold_(mayHold) {}

std::string EntryOrderPlacement::In(const std::string &name) const { return JoinPath(destination_, name); }

EntryOrderPlacement::Listing EntryOrderPlacement::Entries() {
  auto listing = platform_.ListEntries(destination_);
  look_();
  if (!listing)
    throw PlacementFailed{};
  lastListing_ = *listing;
  listedNames_.reset();
  return std::move(*listing);
}

std::string EntryOrderPlacement::Folded(const std::string &name) const {
  // Most names are plain ASCII, which needs no question to the system's tables.
  return std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })
             ? UpperAscii(name)
             : platform_.UpperCase(name);
}

bool EntryOrderPlacement::InPlace(const Listing &listing, const std::string &name) const {
  // From the end, where a new entry mostly lands: what lies before it needs no look.
  const std::string upper = Folded(name);
  for (auto entry = listing.rbegin(); entry != listing.rend(); ++entry) {
    const std::string folded = Folded(entry->name);
    if (folded == upper)
      return true;
    if (placed_.count(folded) || before_.count(folded))
      return false;
  }
  return false;
}

std::string EntryOrderPlacement::ListedName(const Listing &listing, const std::string &name) const {
  const std::string upper = Folded(name);
  const auto found = std::find_if(listing.begin(), listing.end(),
                                  [&](const Platform::FolderEntry &entry) { return Folded(entry.name) == upper; });
  return found == listing.end() ? name : found->name;
}

bool EntryOrderPlacement::Announce(const std::vector<RecordedStep> &steps) {
  if (record_.Note(steps))
    return true;
  // Without a record nothing of the run's own may be made: a stop would leave it for good. The room
  // counted for the record holds the lines of the copies, not of every placeholder: a placeholder
  // whose line finds no room gives the order up.
  const bool onlyPlugs =
      std::all_of(steps.begin(), steps.end(), [](const RecordedStep &step) { return step.kind == Kind::Plug; });
  if (record_.Made() && !onlyPlugs)
    throw PlacementFailed{};
  LoseOrder();
  return false;
}

void EntryOrderPlacement::Begin(const std::vector<std::string> &cleared) {
  const auto listing = Entries();
  // Each failed try leaves a placeholder in a place that would not do, and a folder has only so
  // many. Past this many tries the run goes on without keeping the order rather than trying for ever.
  budget_ = 2048 + 64 * static_cast<std::size_t>(tracks_) + 4 * listing.size();
  if (addMode_) {
    for (const auto &entry : listing)
      before_.insert(Folded(entry.name));
  }
  if (orderLost_ || addMode_ || cleared.empty())
    return;
  // Gaps lie before the end only where files were deleted; into a folder without any, the tracks go
  // in order at its end.
  ProbeListing();
  if (!orderLost_)
    FillNeverUsedEnd();
}

std::size_t EntryOrderPlacement::EntriesOf(const std::string &name) const {
  if (fileSystem_ == "exFAT")
    return 2 + (Utf16Length(name) + 14) / 15;
  return IsPlainShortName(name) ? 1 : 1 + (Utf16Length(name) + 12) / 13;
}

void EntryOrderPlacement::ProbeListing() {
  if (std::exchange(probed_, true) || Entries().empty())
    return;
  // Two names of one entry count that sort far apart, by code and by dictionary alike.
  const std::string probe = NextPlug("a probe"), renamed = "0" + probe.substr(1);
  if (!Announce({Announced(Kind::Plug, probe), Announced(Kind::Plug, renamed)}))
    return;
  const auto made = platform_.MakeEmptyFile(In(probe));
  if (made != Platform::MakeResult::Made) {
    Announce({Announced(Kind::NotMade, probe)});
    if (made == Platform::MakeResult::FolderFull || made == Platform::MakeResult::Exists)
      return;
    throw PlacementFailed{};
  }
  plugs_.push_back(probe);
  look_();
  RenameKeepsPlace(Entries(), probe, renamed);
  if (!orderLost_)
    RemoveLastPlug();
}

bool EntryOrderPlacement::RenameKeepsPlace(const Listing &listing, const std::string &from, const std::string &to) {
  const auto namesBefore = [&](const Listing &listing, const std::string &name) {
    std::vector<std::string> names;
    for (const auto &entry : listing) {
      if (Folded(entry.name) == Folded(name))
        return names;
      names.push_back(Folded(entry.name));
    }
    return names;
  };
  const auto before = namesBefore(listing, from);
  const auto moved = platform_.MoveEntry(In(from), In(to));
  if (moved != Platform::MakeResult::Made) {
    Announce({Announced(Kind::NotMade, to)});
    if (moved == Platform::MakeResult::Exists)
      return true;
    throw PlacementFailed{};
  }
  *std::find(plugs_.begin(), plugs_.end(), from) = to;
  look_();
  // On FAT a rename to a name of as many entries keeps the entry where it is (fileinfo.c); a listing
  // that shows it elsewhere does not follow the entries, and no try would ever satisfy it.
  if (namesBefore(Entries(), to) == before)
    return true;
  LoseOrder();
  return false;
}

bool EntryOrderPlacement::TryAgain() {
  if (++tries_ <= budget_)
    return true;
  LoseOrder();
  return false;
}

struct EntryOrderPlacement::Fill {
  // Where the system tells its free space, a folder that grew shows in it: an empty file takes no
  // cluster, and the space is read again after each note in the record, which may take one.
  std::optional<Platform::DiskSpace> space;
  // Announced together, made one by one: a name announced and never made is passed over.
  std::vector<std::string> announced;
  std::string announcedLike;
  // The entries the fill took of the end, its placeholders' and those it freed again.
  std::size_t taken = 0;
};

void EntryOrderPlacement::FillNeverUsedEnd() {
  // Fewest entries first: 1, 2, 4, 9 and 21 on FAT, 3, 5, 9 and 19 on exFAT.
  std::vector<std::string> likes;
  for (const std::string &like : {std::string("A.MP3"), std::string(13, 'a'), std::string(39, 'a'),
                                  std::string(104, 'a'), std::string(255, 'a')}) {
    if (likes.empty() || PlugEntries(like) > PlugEntries(likes.back()))
      likes.push_back(like);
  }
  const std::string &fewest = likes.front();
  Fill fill;
  const auto placeOf = [&](const Listing &listing, const std::string &name) {
    const std::string upper = Folded(name);
    return std::find_if(listing.begin(), listing.end(),
                        [&](const Platform::FolderEntry &entry) { return Folded(entry.name) == upper; }) -
           listing.begin();
  };

  // The end, which no listing shows: the system puts a new entry there while it has room, even where
  // a gap before it would hold the entry, and into the first gap that holds it only once the end is
  // full. Two placeholders of the fewest entries: where the second lands before the first, the end
  // held the first alone, which stays. Otherwise the first makes way for a third, which lands after
  // the second only in the end (in a gap, it would take the first's entries or others before them),
  // and then the second lies there too.
  if (!MakeFillPlug(fill, fewest, 3))
    return;
  const std::string first = plugs_.back();
  if (!MakeFillPlug(fill, fewest, 3)) {
    RemovePlug(first);
    return;
  }
  const std::string second = plugs_.back();
  if (const auto listing = Entries(); placeOf(listing, second) < placeOf(listing, first)) {
    RemovePlug(second);
    return;
  }
  RemovePlug(first);
  if (PlaceInTheEnd(fill, fewest, 3) != Landed::InTheEnd) {
    RemovePlug(second);
    return;
  }
  fill.taken = 3 * PlugEntries(fewest);

  // Entries freed in the end, before the placeholder last made: one of no more entries that finds
  // the end full lands there or before, where the listing shows it, and never makes the folder grow.
  // Each round frees two more placeholders next to them, which makes room for larger ones.
  RemovePlug(second);
  std::size_t freed = 2 * PlugEntries(fewest), fitting = 1;
  const auto countFitting = [&] {
    while (fitting < likes.size() && PlugEntries(likes[fitting]) <= freed)
      ++fitting;
  };
  countFitting();
  // The sizes the end may still take.
  std::size_t sizesLeft = likes.size();
  while (fitting < likes.size()) {
    const std::string &like = likes[fitting - 1];
    const std::string last = plugs_.back();
    const auto placed = PlaceInTheEnd(fill, like, 3);
    if (placed == Landed::FillEnds)
      return;
    const auto next = placed == Landed::InTheEnd ? PlaceInTheEnd(fill, like, 3) : Landed::Elsewhere;
    if (next == Landed::FillEnds)
      return;
    if (next == Landed::Elsewhere) {
      sizesLeft = fitting - 1;
      break;
    }
    const std::string between = plugs_[plugs_.size() - 2];
    freed += PlugEntries(like) + EntriesOf(last);
    RemovePlug(last);
    RemovePlug(between);
    countFitting();
  }

  // Largest first, to keep the calls few.
  for (std::size_t size = std::min(sizesLeft, fitting); size-- > 0;) {
    auto placed = Landed::InTheEnd;
    while (placed == Landed::InTheEnd)
      placed = PlaceInTheEnd(fill, likes[size], 32);
    if (placed == Landed::FillEnds)
      return;
  }
}

std::size_t EntryOrderPlacement::PlugEntries(const std::string &like) const {
  return EntriesOf(IsPlainShortName(like) ? std::string("~SF00000.PLG") : like);
}

bool EntryOrderPlacement::MakeFillPlug(Fill &fill, const std::string &like, std::size_t ahead) {
  for (;;) {
    if (fill.announced.empty() || fill.announcedLike != like) {
      std::vector<RecordedStep> batch;
      for (std::size_t i = 0; i < ahead; ++i)
        batch.push_back(Announced(Kind::Plug, NextPlug(like)));
      if (!Announce(batch))
        return false;
      fill.announced.clear();
      for (auto step = batch.rbegin(); step != batch.rend(); ++step)
        fill.announced.push_back(step->name);
      fill.announcedLike = like;
      fill.space = platform_.FreeSpace(destination_);
    }
    const std::string plug = fill.announced.back();
    fill.announced.pop_back();
    const auto made = platform_.MakeEmptyFile(In(plug));
    if (made == Platform::MakeResult::Exists) {
      Announce({Announced(Kind::NotMade, plug)});
      fill.space = platform_.FreeSpace(destination_);
      continue;
    }
    if (made == Platform::MakeResult::FolderFull) {
      // A fixed root folder: the tracks need what room there is.
      RemovePlugs();
      return false;
    }
    if (made != Platform::MakeResult::Made)
      throw PlacementFailed{};
    plugs_.push_back(plug);
    look_();
    if (fill.space) {
      const auto now = platform_.FreeSpace(destination_);
      if (now && now->freeBytes < fill.space->freeBytes) {
        RemoveLastPlug();
        return false;
      }
    }
    return true;
  }
}

EntryOrderPlacement::Landed EntryOrderPlacement::PlaceInTheEnd(Fill &fill, const std::string &like, std::size_t ahead) {
  // The end holds at most a cluster: a folder grows by one where a new entry finds no room, and its
  // end only shrinks after that.
  const std::size_t most = fill.space && fill.space->allocationUnit >= kEntryBytes
                               ? static_cast<std::size_t>(fill.space->allocationUnit / kEntryBytes)
                               : kLargestClusterEntries;
  if (fill.taken >= most || !MakeFillPlug(fill, like, ahead))
    return Landed::FillEnds;
  if (const auto listing = Entries(); Folded(listing.back().name) != Folded(plugs_.back())) {
    RemoveLastPlug();
    return Landed::Elsewhere;
  }
  fill.taken += PlugEntries(like);
  return Landed::InTheEnd;
}

bool EntryOrderPlacement::Put(const PlannedTrack &step, const WriteTrack &write) {
  if (orderLost_ || step.laterNamesake)
    return false;
  const std::string &name = step.name;
  if (step.outsideOrder)
    return true;
  if (step.liesThere || step.left) {
    if (!InPlace(Entries(), name)) {
      ProbeListing();
      if (orderLost_)
        return true;
      if (!holding_.Hold(name, name)) {
        LoseOrder();
        return true;
      }
      look_();
      MoveInPlace(name);
    }
    placed_.insert(Folded(name));
    return true;
  }
  ProbeListing();
  if (orderLost_)
    return false;
  const auto there = platform_.QueryFile(In(name));
  look_();
  bool held = false;
  if (there.exists) {
    // Written over where it stands, a file keeps its entry: it needs no room beside its replacement.
    const bool inPlace = InPlace(Entries(), name);
    held = !inPlace && mayHold_ && holding_.Hold(name, name);
    if (!held) {
      if (!inPlace)
        LoseOrder();
      RecordedStep over = Announced(Kind::Over, name);
      over.size = there.size;
      over.lastWrite = there.lastWrite;
      record_.Note(over);
      write(In(name), there, false);
      if (record_.Made() && !record_.Note(Announced(Kind::Written, name)))
        throw PlacementFailed{};
      placed_.insert(Folded(name));
      return true;
    }
    look_();
  }
  const bool madeHere = MakeInPlace(name);
  // Where the order was given up before the entry was made, a stop must still find the held file's
  // replacement unfinished, and take it away before the held file comes back.
  if (!madeHere && record_.Made() && !record_.Note(Announced(Kind::Entry, name)))
    throw PlacementFailed{};
  write(In(name), {}, madeHere);
  if (record_.Made() && !record_.Note(Announced(Kind::Written, name)))
    throw PlacementFailed{};
  if (held)
    platform_.RemoveFile(holding_.PathOf(name));
  placed_.insert(Folded(name));
  return true;
}

bool EntryOrderPlacement::MakeInPlace(const std::string &name) {
  for (;;) {
    if (!Announce({Announced(Kind::Entry, name)}))
      return false;
    const auto made = platform_.MakeEmptyFile(In(name));
    if (made != Platform::MakeResult::Made) {
      Announce({Announced(Kind::NotMade, name)});
      // A root folder that takes no further entry: the placeholders make way for the track.
      if (made == Platform::MakeResult::FolderFull && !orderLost_) {
        LoseOrder();
        return false;
      }
      throw PlacementFailed{};
    }
    look_();
    if (orderLost_)
      return true;
    const auto listing = Entries();
    if (InPlace(listing, name) || !TryAgain())
      return true;
    // Renamed to a name of the same entry count, the entry keeps its place and holds it. The count is
    // that of the name the entry got, which may be a long name the system remembered for it.
    const std::string listed = ListedName(listing, name);
    for (;;) {
      const std::string plug = NextPlug(listed);
      if (!Announce({Announced(Kind::Plug, plug)}))
        return false;
      plugs_.push_back(name);
      if (RenameKeepsPlace(listing, name, plug) && plugs_.back() == plug)
        break;
      if (orderLost_) {
        // The entry, renamed, went with the placeholders: the track's is made again, where it lands.
        break;
      }
      // The name was taken: the entry is still the track's.
      plugs_.pop_back();
    }
  }
}

void EntryOrderPlacement::MoveInPlace(const std::string &name) {
  for (;;) {
    const auto result = platform_.MoveEntry(holding_.PathOf(name), In(name));
    if (result == Platform::MakeResult::FolderFull && !orderLost_) {
      LoseOrder();
      continue;
    }
    if (result != Platform::MakeResult::Made)
      throw PlacementFailed{};
    look_();
    if (orderLost_)
      return;
    const auto listing = Entries();
    if (InPlace(listing, name) || !TryAgain())
      return;
    // A file with data cannot be a placeholder: it goes back, and empty ones of its entry count take
    // the place it landed in.
    const std::string listed = ListedName(listing, name);
    if (!holding_.Hold(name, name))
      throw PlacementFailed{};
    look_();
    PlugUntilInPlace(listed);
  }
}

void EntryOrderPlacement::PlugUntilInPlace(const std::string &like) {
  while (TryAgain()) {
    const auto plug = MakePlug(like);
    if (orderLost_)
      return;
    if (plug.empty()) {
      LoseOrder();
      return;
    }
    if (InPlace(Entries(), plug)) {
      RemoveLastPlug();
      return;
    }
  }
}

std::string EntryOrderPlacement::NextPlug(const std::string &like) {
  // Only a name that the latest listing shows free is announced, nor the name a probe is renamed to:
  // what the undo finds under it is the run's own.
  if (!listedNames_) {
    listedNames_.emplace();
    for (const auto &entry : lastListing_)
      listedNames_->insert(Folded(entry.name));
  }
  for (std::uint32_t tried = 0;; ++tried) {
    const std::string number = std::to_string(kPlugNumbers - ++plugNumber_ % kPlugNumbers);
    const std::string digits = std::string(5 - number.size(), '0') + number;
    std::string plug = "~SF" + digits + ".PLG";
    if (!IsPlainShortName(like)) {
      // Up to 13 characters take one long-name entry on FAT, up to 15 one on exFAT.
      plug = "~sfplug " + digits;
      plug.resize(std::max(Utf16Length(like), plug.size()), 'x');
    }
    if (tried >= kPlugNumbers ||
        (!listedNames_->count(Folded(plug)) && !listedNames_->count(Folded("0" + plug.substr(1)))))
      return plug;
  }
}

std::string EntryOrderPlacement::MakePlug(const std::string &like) {
  for (;;) {
    const std::string plug = NextPlug(like);
    if (!Announce({Announced(Kind::Plug, plug)}))
      return {};
    const auto made = platform_.MakeEmptyFile(In(plug));
    if (made == Platform::MakeResult::Made) {
      // Known before the queue is looked at, so that a cancel removes it too.
      plugs_.push_back(plug);
      look_();
      return plug;
    }
    Announce({Announced(Kind::NotMade, plug)});
    if (made == Platform::MakeResult::FolderFull)
      return {};
    if (made != Platform::MakeResult::Exists)
      throw PlacementFailed{};
  }
}

void EntryOrderPlacement::RemoveLastPlug() { RemovePlug(plugs_.back()); }

void EntryOrderPlacement::RemovePlug(const std::string &plug) {
  const auto found = std::find(plugs_.begin(), plugs_.end(), plug);
  if (found == plugs_.end())
    return;
  platform_.RemoveFile(In(plug));
  plugs_.erase(found);
  look_();
}

void EntryOrderPlacement::RemovePlugs() {
  for (const auto &plug : plugs_)
    platform_.RemoveFile(In(plug));
  plugs_.clear();
}

void EntryOrderPlacement::LoseOrder() {
  RemovePlugs();
  orderLost_ = true;
}

void EntryOrderPlacement::End() {
  RemovePlugs();
  holding_.RemoveIfMade();
}

} // namespace sf
