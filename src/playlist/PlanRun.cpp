#include "playlist/SFPlayList.h"

#include "platform/InOutError.h"
#include "platform/PathParts.h"
#include "playlist/CopyMatch.h"
#include "playlist/PlayListFile.h"
#include "playlist/SFException.h"
#include "resources/MessageTexts.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

// How a run decides, before it changes anything: the facts it gathers about the tracks and the
// destination, what it will delete, rename and copy, and every refusal.
namespace sf {
namespace {

// Printable ASCII that the system takes as spelt: no path or pattern characters, no trailing dot
// or space.
bool IsPlainAsciiName(const std::string &name) {
  constexpr std::string_view kSpecial = "\\/:*?\"<>|";
  const auto plain = [&](char c) { return c >= ' ' && c <= '~' && kSpecial.find(c) == std::string_view::npos; };
  return !name.empty() && name.back() != '.' && name.back() != ' ' && std::all_of(name.begin(), name.end(), plain);
}

// `bytes` in MB of 1,048,576 bytes with one decimal, rounded up or down.
std::string Megabytes(std::uint64_t bytes, bool roundUp) {
  constexpr std::uint64_t kMegabyte = 1024 * 1024;
  std::uint64_t whole = bytes / kMegabyte, tenths = bytes % kMegabyte * 10 / kMegabyte;
  if (roundUp && tenths * kMegabyte != bytes % kMegabyte * 10)
    ++tenths;
  if (tenths == 10) {
    ++whole;
    tenths = 0;
  }
  return std::to_string(whole) + "." + std::to_string(tenths);
}

} // namespace

void TPlayList::PlanRun(RunPlan &plan, TCopyProgress &progress, const std::string &toDir, bool addMode, bool reverse,
                        bool numberTracks, bool skipUnchanged) {
  // Relative tracks and a relative destination lie below the playlist's folder. They are resolved
  // here rather than by changing the working folder, which the system cannot set to a long path.
  const std::string listFolder = FolderPart(platform_->FullPath(fileName_));
  plan.destination = PathFrom(listFolder, toDir);
  for (std::int32_t i = 0; i < count_; ++i)
    plan.sourcePaths[i] = PathFrom(listFolder, trackPaths_[i]);

  std::array<std::int32_t, kMaxTracks> order;
  for (std::int32_t k = 0; k < count_; ++k)
    order[k] = reverse ? count_ - 1 - k : k;

  // Nothing is deleted before every track is known to be there, to be able to replace its target, to
  // overwrite none of the others and to fit. Any file-system call may block (a drive spinning up, a
  // share): between them the queue is looked at, as during the copies.
  for (std::int32_t k = 0; k < count_; ++k) {
    plan.sources[order[k]] = platform_->QueryFile(plan.sourcePaths[order[k]]);
    LookAtQueue(progress);
    if (!plan.sources[order[k]].exists)
      throw ESFException(FormatText(messages::kTrackMissing, trackPaths_[order[k]]));
  }
  FetchCloudTracks(progress, plan.sourcePaths, plan.sources, order);
  const std::string fileSystem = platform_->FileSystemOf(plan.destination);
  plan.fileSystem = fileSystem;
  plan.keepsEntryOrder = EntryOrderPlacement::KeepsEntryOrder(fileSystem);
  LookAtQueue(progress);
  plan.tracks.emplace(*platform_, plan.sourcePaths, plan.sources, count_, [&] { LookAtQueue(progress); });
  auto &tracks = *plan.tracks;
  plan.listing = platform_->ListNames(plan.destination);
  LookAtQueue(progress);
  if (skipUnchanged)
    FindUnchanged(progress, plan, order, numberTracks, fileSystem);
  NameTargets(progress, plan, order, addMode, numberTracks);
  CheckTargetsInside(plan.destination, order);
  FolderNames present(plan.listing);
  const auto targets = LookUpTargets(progress, plan, present);
  CheckTargetsReplaceable(plan.destination, order, targets, tracks);
  CheckNamesakes(plan.destination, order, targets, tracks);
  if (!addMode)
    plan.deletions = FilesToClear(progress, plan, tracks);
  if (writePlayList_)
    PlanPlayListFile(plan, order, addMode);
  CheckRoom(plan, plan.deletions, targets);
  for (std::int32_t k = 0; k < count_; ++k) {
    const std::int32_t track = order[k];
    const std::string &name = targetNames_[track];
    const auto &target = targets.at(platform_->UpperCase(name));
    PlannedTrack step{track, name, tracks.Is(track, target.identity, target.facts)};
    step.left = plan.leftAs[track].has_value();
    // In add mode what is there stays where it is; only what the run copies joins the order.
    step.outsideOrder = addMode && (step.left || step.liesThere);
    // With numbers, a copy left as it was takes its new number by a rename.
    if (step.left && !addMode && platform_->UpperCase(*plan.leftAs[track]) != platform_->UpperCase(name) &&
        std::none_of(plan.renames.begin(), plan.renames.end(),
                     [&](const auto &rename) { return rename.second == name; }))
      plan.renames.emplace_back(*plan.leftAs[track], name);
    plan.steps.push_back(step);
  }
  std::set<std::string> namesLater;
  for (auto step = plan.steps.rbegin(); step != plan.steps.rend(); ++step)
    step->laterNamesake = !namesLater.insert(platform_->UpperCase(step->name)).second;
  // The identities of tracks that lie in the destination are taken now: on FAT a file's identity is
  // its entry's place, which the placement changes and reuses.
  const std::string destinationFolder = platform_->UpperCase(plan.destination);
  const bool tracksInDestination =
      std::any_of(plan.sourcePaths.begin(), plan.sourcePaths.begin() + count_, [&](const std::string &source) {
        return platform_->UpperCase(FolderPart(source)) == destinationFolder;
      });
  if (plan.keepsEntryOrder && tracksInDestination)
    tracks.TakeAll();
}

void TPlayList::NameTargets(TCopyProgress &progress, const RunPlan &plan,
                            const std::array<std::int32_t, kMaxTracks> &order, bool addMode, bool numberTracks) {
  const std::string &destination = plan.destination;
  const auto &listing = plan.listing;
  for (std::int32_t i = 0; i < count_; ++i)
    targetNames_[i] = FileNamePart(trackPaths_[i]);
  if (!numberTracks)
    return;
  constexpr std::int32_t kHighest = 999;
  std::int32_t last = 0;
  // The numbers go on after those in the destination: without its names, they would start again.
  if (addMode && !listing)
    throw ESFException(FormatText(messages::kDestinationUnreadable, platform_->FullPath(destination)));
  if (addMode) {
    for (const auto &name : *listing) {
      const auto number = OwnTrackNumber(name).value_or(0);
      if (number <= last)
        continue;
      // A folder's number does not count: only files are the player's tracks.
      const bool file = platform_->QueryFile(JoinPath(destination, name)).exists;
      LookAtQueue(progress);
      if (file)
        last = number;
    }
  }
  // In add mode a track whose copy is left keeps that copy's name, and takes no new number.
  const auto keepsItsName = [&](std::int32_t track) { return addMode && plan.leftAs[track].has_value(); };
  const auto numbered =
      std::count_if(order.begin(), order.begin() + count_, [&](auto track) { return !keepsItsName(track); });
  if (last + numbered > kHighest)
    throw ESFException(messages::kNumberBeyond999);
  for (std::int32_t k = 0; k < count_; ++k) {
    if (keepsItsName(order[k])) {
      targetNames_[order[k]] = *plan.leftAs[order[k]];
      continue;
    }
    const std::string number = std::to_string(++last);
    targetNames_[order[k]] = std::string(3 - number.size(), '0') + number + " " + targetNames_[order[k]];
    if (!IsUsableFileName(targetNames_[order[k]]))
      throw ESFException(FormatText(messages::kTrackNameInvalid, order[k] + 1));
  }
}

void TPlayList::CheckTargetsInside(const std::string &destination, const std::array<std::int32_t, kMaxTracks> &order) {
  // The names were checked as the playlist loaded; this asks the system itself where each copy lands.
  const std::string inside = platform_->UpperCase(FolderPart(platform_->FullPath(JoinPath(destination, "x"))));
  for (std::int32_t k = 0; k < count_; ++k) {
    const std::string target = platform_->FullPath(JoinPath(destination, targetNames_[order[k]]));
    if (platform_->UpperCase(FolderPart(target)) != inside || FileNamePart(target) != targetNames_[order[k]])
      throw ESFException(FormatText(messages::kTrackNameInvalid, order[k] + 1));
  }
}

void TPlayList::FetchCloudTracks(TCopyProgress &progress, const std::array<std::string, kMaxTracks> &sourcePaths,
                                 const std::array<Platform::FileFacts, kMaxTracks> &sources,
                                 const std::array<std::int32_t, kMaxTracks> &order) {
  for (std::int32_t k = 0; k < count_; ++k) {
    if (!sources[order[k]].notOnDisk)
      continue;
    // Reading a cloud file through makes the system fetch it now, while nothing is deleted yet:
    // offline, or with syncing paused, the copy would fail only after the clearing.
    try {
      platform_->ReadTextFile(sourcePaths[order[k]], [&](std::string_view) {
        LookAtQueue(progress);
        return true;
      });
    } catch (const EInOutError &) {
      throw ESFException(FormatText(messages::kTrackNotHere, trackPaths_[order[k]]));
    }
  }
}

const std::string &TPlayList::TrackIdentities::Of(std::int32_t track) {
  auto &known = known_[static_cast<std::size_t>(track)];
  if (!known) {
    known = platform_.FileIdentity(paths_[static_cast<std::size_t>(track)]);
    look_();
  }
  return *known;
}

bool TPlayList::TrackIdentities::Is(std::int32_t track, const std::string &identity, const Platform::FileFacts &facts) {
  const auto &own = facts_[static_cast<std::size_t>(track)];
  return !identity.empty() && own.size == facts.size && own.lastWrite == facts.lastWrite && Of(track) == identity;
}

void TPlayList::TrackIdentities::TakeAll() {
  for (std::int32_t i = 0; i < count_; ++i)
    Of(i);
}

bool TPlayList::TrackIdentities::AnyIs(const std::string &identity, const Platform::FileFacts &facts) {
  for (std::int32_t i = 0; i < count_; ++i) {
    if (Is(i, identity, facts))
      return true;
  }
  return false;
}

std::vector<TPlayList::ClearedFile> TPlayList::FilesToClear(TCopyProgress &progress, const RunPlan &plan,
                                                            TrackIdentities &tracks) {
  const std::string &destination = plan.destination;
  std::set<std::string> left;
  for (std::int32_t i = 0; i < count_; ++i) {
    if (plan.leftAs[i])
      left.insert(platform_->UpperCase(*plan.leftAs[i]));
  }
  std::vector<ClearedFile> files;
  for (const std::string_view cleared : kClearedExtensions) {
    const std::string extension = platform_->UpperCase("." + std::string(cleared));
    const auto names = platform_->ListFiles(JoinPath(destination, "*." + std::string(cleared)));
    LookAtQueue(progress);
    for (const auto &name : names) {
      // The system's pattern also matches long extensions through 8.3 names ("x.mp3x" as "X~1.MP3").
      if (platform_->UpperCase(ExtensionPart(name)) != extension || left.count(platform_->UpperCase(name)))
        continue;
      ClearedFile file{JoinPath(destination, name), {}, {}};
      file.facts = platform_->QueryFile(file.path);
      if (!file.facts.exists)
        continue;
      file.identity = platform_->FileIdentity(file.path);
      LookAtQueue(progress);
      // Never delete a file this run copies from, under whatever name it reaches it, nor one that
      // cannot even be asked who it is.
      if (!file.identity.empty() && !tracks.AnyIs(file.identity, file.facts))
        files.push_back(std::move(file));
    }
  }
  return files;
}

TPlayList::Targets TPlayList::LookUpTargets(TCopyProgress &progress, const RunPlan &plan, const FolderNames &present) {
  const std::string &destination = plan.destination;
  Targets targets;
  for (std::int32_t i = 0; i < count_; ++i) {
    const std::string &name = targetNames_[i];
    const auto [entry, added] = targets.try_emplace(platform_->UpperCase(name));
    // A copy left as it is under this very name is neither written over nor a track: it needs no
    // questions, which on some systems cost more than the rest of a re-sync.
    const bool leftHere = plan.leftAs[i] && platform_->UpperCase(*plan.leftAs[i]) == entry->first;
    if (!added || leftHere || !present.MayHold(name))
      continue;
    auto &target = entry->second;
    target.facts = platform_->QueryFile(JoinPath(destination, name));
    if (target.facts.exists)
      target.identity = platform_->FileIdentity(JoinPath(destination, name));
    LookAtQueue(progress);
  }
  return targets;
}

void TPlayList::CheckTargetsReplaceable(const std::string &destination,
                                        const std::array<std::int32_t, kMaxTracks> &order, const Targets &targets,
                                        TrackIdentities &tracks) {
  for (std::int32_t k = 0; k < count_; ++k) {
    const std::string &name = targetNames_[order[k]];
    const auto &target = targets.at(platform_->UpperCase(name));
    if (target.facts.exists && (target.facts.readOnly || target.facts.hidden || target.facts.system) &&
        !tracks.AnyIs(target.identity, target.facts))
      throw ESFException(FormatText(messages::kTargetProtected, platform_->FullPath(JoinPath(destination, name))));
  }
}

void TPlayList::CheckNamesakes(const std::string &destination, const std::array<std::int32_t, kMaxTracks> &order,
                               const Targets &targets, TrackIdentities &tracks) {
  for (std::int32_t k = 0; k < count_; ++k) {
    const std::string &track = trackPaths_[order[k]];
    const std::string &name = targetNames_[order[k]];
    const auto &target = targets.at(platform_->UpperCase(name));
    // A track that lies there under its own name is its own copy; another track of that name
    // would destroy it.
    if (!target.identity.empty() && !tracks.Is(order[k], target.identity, target.facts) &&
        tracks.AnyIs(target.identity, target.facts))
      throw ESFException(
          FormatText(messages::kNamesakeInDestination, track, platform_->FullPath(JoinPath(destination, name))));
  }
}

void TPlayList::CheckRoom(RunPlan &plan, const std::vector<ClearedFile> &clearing, const Targets &targets) {
  const std::string &destination = plan.destination;
  const auto &sources = plan.sources;
  auto &tracks = *plan.tracks;
  const auto space = platform_->FreeSpace(destination);
  if (!space)
    return;
  const std::uint64_t unit = std::max<std::uint64_t>(space->allocationUnit, 1);
  const auto onDisk = [unit](std::uint64_t bytes) { return (bytes + unit - 1) / unit * unit; };

  // One target per name: of several tracks with one name, the largest is what must fit.
  std::map<std::string, std::uint64_t> neededFor;
  for (std::int32_t i = 0; i < count_; ++i) {
    const std::string key = platform_->UpperCase(targetNames_[i]);
    auto &needed = neededFor[key];
    if (!plan.leftAs[i] && !tracks.Is(i, targets.at(key).identity, targets.at(key).facts))
      needed = std::max(needed, onDisk(sources[i].size));
  }

  // The playlist file and the temporary file it is written through.
  std::uint64_t needed = plan.playList ? 2 * onDisk(PlayListFileBytes(plan.playList->copies).size()) : 0;
  std::uint64_t available = space->freeBytes;
  std::set<std::string> freed;
  for (const auto &file : clearing) {
    if (!file.facts.readOnly && freed.insert(file.identity).second)
      available += onDisk(file.facts.size);
  }
  std::uint64_t replaced = 0;
  for (const auto &[key, bytes] : neededFor) {
    const auto &target = targets.at(key);
    needed += bytes;
    if (bytes > 0 && !target.identity.empty() && freed.insert(target.identity).second)
      replaced += onDisk(target.facts.size);
  }
  available += replaced;
  if (needed > available)
    throw ESFException(FormatText(messages::kNoRoom, Megabytes(needed, true), Megabytes(available, false)));
  // Placed in entry order, a file that the run replaces waits aside until its replacement is in place,
  // and the run's record, its holding folder and the folder's growth take a cluster each. Without that
  // room the files are written over where they stand.
  plan.mayHold = needed + replaced + 3 * unit <= available;
}

void TPlayList::PlanPlayListFile(RunPlan &plan, const std::array<std::int32_t, kMaxTracks> &order, bool addMode) {
  const auto in = [&](const std::string &name) { return JoinPath(plan.destination, name); };
  const auto upperCase = [&](std::string_view text) { return platform_->UpperCase(text); };
  RunPlan::PlayListFile file;
  // The program's own file may be under either name: its extension follows the names it lists.
  std::map<std::string, bool> own;
  for (const std::string &name : {PlayListFileName(fileName_, {"a"}), PlayListFileName(fileName_, {"\xE3\x81\x82"})}) {
    const auto facts = platform_->QueryFile(in(name));
    if (!facts.exists)
      continue;
    const auto bytes = platform_->ReadWholeFile(in(name));
    const auto listed = bytes ? OwnPlayListCopies(*bytes) : std::nullopt;
    own[platform_->UpperCase(name)] = listed && !facts.readOnly && !facts.hidden && !facts.system;
    if (!listed)
      continue;
    file.ownNames.push_back(name);
    if (addMode && file.earlier.empty())
      file.earlier = *listed;
  }
  std::vector<std::string> copies;
  for (std::int32_t k = 0; k < count_; ++k)
    copies.push_back(targetNames_[order[k]]);
  file.copies = CopiesToList(
      file.earlier, copies, [&](const std::string &name) { return platform_->QueryFile(in(name)).exists; }, upperCase);
  file.name = PlayListFileName(fileName_, file.copies);
  const auto there = own.find(platform_->UpperCase(file.name));
  if (there != own.end() && !there->second)
    throw ESFException(FormatText(messages::kPlayListFileNotOwn, platform_->FullPath(in(file.name))));
  plan.playList = std::move(file);
}

TPlayList::FolderNames::FolderNames(const std::optional<std::vector<std::string>> &listing) {
  if (!listing)
    return;
  spellingDecides_ = true;
  for (const auto &name : *listing)
    Add(name);
}

bool TPlayList::FolderNames::MayHold(const std::string &name) const {
  return !spellingDecides_ || !IsPlainAsciiName(name) || upperNames_.count(UpperAscii(name));
}

void TPlayList::FolderNames::Add(const std::string &name) {
  if (!IsPlainAsciiName(name))
    spellingDecides_ = false;
  upperNames_.insert(UpperAscii(name));
}

void TPlayList::FindUnchanged(TCopyProgress &progress, RunPlan &plan, const std::array<std::int32_t, kMaxTracks> &order,
                              bool numberTracks, const std::string &fileSystem) {
  const auto listing = platform_->ListEntries(plan.destination);
  LookAtQueue(progress);
  if (!listing)
    return;
  std::vector<FileInDestination> files;
  for (const auto &entry : *listing) {
    if (entry.folder)
      continue;
    files.push_back({entry.name, platform_->QueryFile(JoinPath(plan.destination, entry.name))});
    LookAtQueue(progress);
  }
  std::vector<TrackToMatch> tracks;
  for (std::int32_t k = 0; k < count_; ++k)
    tracks.push_back({FileNamePart(trackPaths_[order[k]]), plan.sources[order[k]]});
  const auto copies = MatchCopies(tracks, files, numberTracks, fileSystem,
                                  [&](std::string_view text) { return platform_->UpperCase(text); });
  for (std::int32_t k = 0; k < count_; ++k) {
    if (copies[k]) {
      plan.leftAs[order[k]] = files[*copies[k]].name;
      ++plan.left;
    }
  }
}

} // namespace sf
