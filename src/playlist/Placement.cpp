#include "playlist/Placement.h"

#include "platform/PathParts.h"

#include <algorithm>
#include <array>
#include <utility>

namespace sf {
namespace {

using Kind = RecordedStep::Kind;

// The most entries the never-used end of a folder's allocation holds: a cluster of 64 KiB.
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

// The entries a name takes in a FAT folder, for counting how far placeholders fill it.
std::size_t FatEntries(const std::string &name) {
  return IsPlainShortName(name) ? 1 : 1 + (Utf16Length(name) + 12) / 13;
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
  return std::move(*listing);
}

std::string EntryOrderPlacement::Folded(const std::string &name) const {
  // Most names are plain ASCII, which needs no question to the system's tables.
  return std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })
             ? UpperAscii(name)
             : platform_.UpperCase(name);
}

bool EntryOrderPlacement::InPlace(const Listing &listing, const std::string &name) const {
  const std::string upper = Folded(name);
  std::ptrdiff_t at = -1, after = -1;
  for (std::size_t i = 0; i < listing.size(); ++i) {
    const std::string entry = Folded(listing[i].name);
    if (entry == upper)
      at = static_cast<std::ptrdiff_t>(i);
    else if (placed_.count(entry) || before_.count(entry))
      after = static_cast<std::ptrdiff_t>(i);
  }
  return at > after;
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
  // Without a record nothing of the run's own may be made: a stop would leave it for good.
  if (record_.Made())
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
  std::size_t longest = 0, freed = 0;
  bool shortFreed = false;
  for (const auto &name : cleared) {
    freed += FatEntries(name);
    if (IsPlainShortName(name))
      shortFreed = true;
    else
      longest = std::max(longest, Utf16Length(name));
  }
  ProbeListing();
  if (!orderLost_)
    FillNeverUsedEnd(longest, shortFreed, freed);
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

void EntryOrderPlacement::FillNeverUsedEnd(std::size_t longest, bool shortFreed, std::size_t freed) {
  // Largest first, to keep the calls few; none longer than a cleared name, whose entries are free
  // somewhere before the end: a placeholder that finds no room at the end then lands in such a gap
  // rather than in a new cluster of the folder.
  std::vector<std::string> likes;
  for (const std::size_t length :
       {std::min<std::size_t>(longest, 255), std::size_t{104}, std::size_t{39}, std::size_t{13}}) {
    if (length >= 13 && length <= longest && (likes.empty() || likes.back().size() > length))
      likes.emplace_back(length, 'a');
  }
  if (shortFreed || !likes.empty())
    likes.emplace_back("A.MP3");
  // No more than the clearing freed: a folder whose never-used end is gone lists deleted entries and
  // the end alike, and placeholders beyond that would take the very room the tracks need.
  const std::size_t most = std::min(kLargestClusterEntries, freed);
  std::size_t filled = 0;
  for (const auto &like : likes) {
    bool landedInAGap = false;
    while (!landedInAGap && filled < most) {
      // Announced together, made one by one: a name announced and never made is passed over.
      std::vector<RecordedStep> batch;
      for (int i = 0; i < 32; ++i)
        batch.push_back(Announced(Kind::Plug, NextPlug(like)));
      if (!Announce(batch))
        return;
      // Where the system tells its free space, a folder that grew shows in it: an empty file takes
      // no cluster, nor does anything else between these two looks. The fill stops there.
      auto space = platform_.FreeSpace(destination_);
      for (const auto &step : batch) {
        const auto made = platform_.MakeEmptyFile(In(step.name));
        if (made == Platform::MakeResult::Exists) {
          Announce({Announced(Kind::NotMade, step.name)});
          space = platform_.FreeSpace(destination_);
          continue;
        }
        if (made == Platform::MakeResult::FolderFull) {
          // A fixed root folder: the tracks need what room there is.
          RemovePlugs();
          return;
        }
        if (made != Platform::MakeResult::Made)
          throw PlacementFailed{};
        plugs_.push_back(step.name);
        look_();
        filled += FatEntries(like);
        const auto listing = Entries();
        if (listing.empty() || Folded(listing.back().name) != Folded(step.name)) {
          RemoveLastPlug();
          landedInAGap = true;
          break;
        }
        if (space) {
          const auto now = platform_.FreeSpace(destination_);
          if (now && now->freeBytes < space->freeBytes) {
            RemoveLastPlug();
            return;
          }
        }
        if (filled >= most)
          break;
      }
    }
  }
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
  const std::string number = std::to_string(kPlugNumbers - ++plugNumber_ % kPlugNumbers);
  const std::string digits = std::string(5 - number.size(), '0') + number;
  if (IsPlainShortName(like))
    return "~SF" + digits + ".PLG";
  // Up to 13 characters take one long-name entry on FAT, up to 15 one on exFAT.
  std::string plug = "~sfplug " + digits;
  plug.resize(std::max(Utf16Length(like), plug.size()), 'x');
  return plug;
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

void EntryOrderPlacement::RemoveLastPlug() {
  platform_.RemoveFile(In(plugs_.back()));
  plugs_.pop_back();
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
