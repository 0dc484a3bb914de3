#include "playlist/Placement.h"

#include "platform/PathParts.h"

#include <algorithm>
#include <array>
#include <utility>

namespace sf {
namespace {

// Names of the program's own kind: a run that finds them knows an earlier one was interrupted.
constexpr std::string_view kLongPlugPrefix = "~SFPLUG ";
constexpr std::string_view kShortPlugPrefix = "~SFP", kShortPlugExtension = ".PLG";

// The most entries the never-used end of a folder's allocation holds: a cluster of 64 KiB.
constexpr std::size_t kLargestClusterEntries = 2048;

bool IsPlug(const std::string &name) {
  const std::string upper = UpperAscii(name);
  if (upper.rfind(kLongPlugPrefix, 0) == 0)
    return true;
  return upper.size() == 12 && upper.rfind(kShortPlugPrefix, 0) == 0 &&
         upper.compare(8, kShortPlugExtension.size(), kShortPlugExtension) == 0;
}

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

EntryOrderPlacement::EntryOrderPlacement(Platform &platform, std::string destination, bool addMode, std::int32_t tracks,
                                         std::function<void()> look)
    : platform_(platform), destination_(std::move(destination)), addMode_(addMode), tracks_(tracks),
      look_(std::move(look)) {}

bool EntryOrderPlacement::KeepsEntryOrder(const std::string &fileSystem) {
  const std::string upper = UpperAscii(fileSystem);
  return upper == "FAT" || upper == "FAT12" || upper == "FAT16" || upper == "FAT32" || upper == "EXFAT";
}

void EntryOrderPlacement::CleanUpAfterInterruptedRun(Platform &platform, const std::string &destination) {
  const auto listing = platform.ListEntries(destination);
  if (!listing)
    return;
  for (const auto &entry : *listing) {
    if (!entry.folder && IsPlug(entry.name)) {
      platform.RemoveFile(JoinPath(destination, entry.name));
    } else if (entry.folder && UpperAscii(entry.name) == UpperAscii(kHoldingFolder)) {
      const std::string holding = JoinPath(destination, entry.name);
      // A held file whose name another file took meanwhile stays held, and so does the folder.
      if (const auto held = platform.ListEntries(holding)) {
        for (const auto &file : *held)
          platform.MoveEntry(JoinPath(holding, file.name), JoinPath(destination, file.name));
      }
      platform.RemoveFolder(holding);
    }
  }
}

std::string EntryOrderPlacement::In(const std::string &name) const { return JoinPath(destination_, name); }

std::string EntryOrderPlacement::Held(const std::string &name) const {
  return JoinPath(JoinPath(destination_, kHoldingFolder), name);
}

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

void EntryOrderPlacement::Begin(bool cleared) {
  const auto listing = Entries();
  // Each failed try leaves a placeholder in a place that would not do, and a folder has only so
  // many. A system that lists by name can never be satisfied: past this many tries the run goes on
  // without keeping the order rather than trying for ever.
  budget_ = 2048 + 64 * static_cast<std::size_t>(tracks_) + 4 * listing.size();
  if (addMode_) {
    for (const auto &entry : listing)
      before_.insert(Folded(entry.name));
  } else if (cleared) {
    // Gaps lie before the end only where files were deleted; into a folder without any, the
    // tracks go in order at its end.
    FillNeverUsedEnd();
  }
}

bool EntryOrderPlacement::TryAgain() {
  if (++tries_ <= budget_)
    return true;
  LoseOrder();
  return false;
}

void EntryOrderPlacement::FillNeverUsedEnd() {
  // Largest first, to keep the calls few: a name of 255 characters takes 21 entries on FAT.
  std::size_t filled = 0;
  for (const std::size_t entries : {21, 8, 3, 2, 1}) {
    const std::string like = entries == 1 ? "A.MP3" : std::string(std::min<std::size_t>(13 * (entries - 1), 255), 'a');
    for (; filled < kLargestClusterEntries; filled += entries) {
      const std::string plug = NextPlug(like);
      const auto result = platform_.MakeEmptyFile(In(plug));
      if (result == Platform::MakeResult::FolderFull) {
        // A fixed root folder: the tracks need what room there is.
        RemovePlugs();
        return;
      }
      if (result != Platform::MakeResult::Made)
        return;
      // Known before the queue is looked at, so that a cancel removes it too.
      plugs_.push_back(plug);
      const auto listing = Entries();
      if (listing.empty() || Folded(listing.back().name) != Folded(plug)) {
        RemoveLastPlug();
        break;
      }
    }
  }
}

void EntryOrderPlacement::Put(const PlannedTrack &step, const WriteTrack &write) {
  const std::string &name = step.name;
  if (step.outsideOrder)
    return;
  if (step.liesThere || step.left) {
    if (!orderLost_ && !InPlace(Entries(), name)) {
      Hold(name);
      MoveInPlace(name);
    }
  } else {
    // A file that the run replaces goes aside until its replacement is in place.
    const bool replacing = platform_.QueryFile(In(name)).exists;
    look_();
    if (replacing)
      Hold(name);
    MakeInPlace(name);
    write(In(name), {}, true);
    unwritten_.reset();
    if (replacing) {
      platform_.RemoveFile(Held(name));
      held_.erase(std::find(held_.begin(), held_.end(), name));
    }
  }
  placed_.insert(Folded(name));
}

void EntryOrderPlacement::Settle(const std::string &name, const std::function<Platform::MakeResult()> &make,
                                 const std::function<void()> &outOfPlace) {
  for (;;) {
    const auto result = make();
    look_();
    if (result == Platform::MakeResult::FolderFull && !orderLost_) {
      LoseOrder();
      continue;
    }
    if (result != Platform::MakeResult::Made)
      throw PlacementFailed{};
    if (orderLost_ || InPlace(Entries(), name) || !TryAgain())
      return;
    outOfPlace();
  }
}

void EntryOrderPlacement::MakeInPlace(const std::string &name) {
  Settle(
      name,
      [&] {
        const auto result = platform_.MakeEmptyFile(In(name));
        if (result == Platform::MakeResult::Made)
          unwritten_ = name;
        return result;
      },
      [&] {
        // Renamed to a name of the same entry count, the entry keeps its place and holds it.
        const std::string plug = NextPlug(name);
        if (platform_.MoveEntry(In(name), In(plug)) != Platform::MakeResult::Made)
          throw PlacementFailed{};
        unwritten_.reset();
        plugs_.push_back(plug);
      });
}

void EntryOrderPlacement::MoveInPlace(const std::string &name) {
  Settle(
      name,
      [&] {
        const auto result = platform_.MoveEntry(Held(name), In(name));
        if (result == Platform::MakeResult::Made)
          held_.erase(std::find(held_.begin(), held_.end(), name));
        return result;
      },
      [&] {
        // A file with data cannot be a placeholder: it goes back, and an empty one takes its place.
        Hold(name);
        PlugUntilInPlace(name);
      });
}

void EntryOrderPlacement::PlugUntilInPlace(const std::string &name) {
  while (TryAgain()) {
    const std::string plug = NextPlug(name);
    const auto result = platform_.MakeEmptyFile(In(plug));
    if (result == Platform::MakeResult::Made)
      plugs_.push_back(plug);
    look_();
    if (result == Platform::MakeResult::FolderFull) {
      LoseOrder();
      return;
    }
    if (result != Platform::MakeResult::Made)
      throw PlacementFailed{};
    if (InPlace(Entries(), plug)) {
      RemoveLastPlug();
      return;
    }
  }
}

void EntryOrderPlacement::Hold(const std::string &name) {
  if (!holding_) {
    if (platform_.MakeFolder(In(kHoldingFolder), true) != Platform::MakeResult::Made)
      throw PlacementFailed{};
    holding_ = true;
  }
  if (platform_.MoveEntry(In(name), Held(name)) != Platform::MakeResult::Made)
    throw PlacementFailed{};
  held_.push_back(name);
  look_();
}

std::string EntryOrderPlacement::NextPlug(const std::string &like) {
  const std::string number = std::to_string(++plugNumber_);
  if (IsPlainShortName(like))
    return std::string(kShortPlugPrefix) + std::string(4 - std::min<std::size_t>(number.size(), 4), '0') +
           number.substr(number.size() > 4 ? number.size() - 4 : 0) + std::string(kShortPlugExtension);
  // Up to 13 characters take one long-name entry on FAT, up to 15 one on exFAT.
  const std::size_t length = std::max<std::size_t>(Utf16Length(like), 13);
  std::string plug = "~sfplug " + number;
  plug.resize(std::max(length, plug.size()), 'x');
  return plug;
}

void EntryOrderPlacement::RemoveLastPlug() {
  platform_.RemoveFile(In(plugs_.back()));
  plugs_.pop_back();
  look_();
}

void EntryOrderPlacement::RemovePlugs() noexcept {
  for (const auto &plug : plugs_) {
    try {
      platform_.RemoveFile(In(plug));
    } catch (...) {
      // One that stays is removed by the next run.
    }
  }
  plugs_.clear();
}

void EntryOrderPlacement::LoseOrder() {
  RemovePlugs();
  orderLost_ = true;
}

void EntryOrderPlacement::End() {
  RemovePlugs();
  if (holding_ && held_.empty())
    platform_.RemoveFolder(In(kHoldingFolder));
}

void EntryOrderPlacement::Abandon() noexcept {
  try {
    // An entry made for a track and never written: no player may be left holding an empty track.
    if (unwritten_)
      platform_.RemoveFile(In(*unwritten_));
    for (const auto &name : std::vector<std::string>(held_)) {
      if (platform_.MoveEntry(Held(name), In(name)) == Platform::MakeResult::Made)
        held_.erase(std::find(held_.begin(), held_.end(), name));
    }
  } catch (...) {
    // What stays held, the next run moves back.
  }
  RemovePlugs();
  try {
    if (holding_ && held_.empty())
      platform_.RemoveFolder(In(kHoldingFolder));
  } catch (...) {
  }
}

} // namespace sf
