#include "playlist/RunPlan.h"

#include "platform/PathParts.h"
#include "playlist/CopyMatch.h"
#include "playlist/PlayListFile.h"
#include "playlist/RunRecord.h"
#include "playlist/SFException.h"
#include "resources/MessageTexts.h"

#include <algorithm>
#include <map>
#include <set>

// How a run decides, before it changes anything: what it will delete, rename and copy, and every
// refusal. Every fact comes from RunFacts; nothing here asks the system or changes it.
namespace sf {
namespace {

// The extensions of the files a run clears from the destination unless in add mode.
constexpr std::string_view kClearedExtensions[] = {"wma", "mp3"};

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

// Whether `fileSystem` lists a folder in the order of its entries on the disk, which is the order
// many players and car stereos play.
bool KeepsEntryOrder(const std::string &fileSystem) {
  const std::string upper = UpperAscii(fileSystem);
  return upper == "FAT" || upper == "FAT12" || upper == "FAT16" || upper == "FAT32" || upper == "EXFAT";
}

// What lies in the destination under a target's name.
struct Target {
  Platform::FileFacts facts;
  std::string identity; // empty when there is no file or it cannot be asked
};
// By the name upper-cased.
using Targets = std::map<std::string, Target>;

// The targets, by name: a copy left as it is under its very name is neither written over nor a
// track, and needs no questions, which on some systems cost more than the rest of a re-sync.
Targets LookUpTargets(RunFacts &facts, const RunPlan &plan, const FolderNames &present) {
  Targets targets;
  for (const auto &step : plan.steps) {
    const auto [entry, added] = targets.try_emplace(facts.UpperCase(step.name));
    const auto &leftAs = plan.leftAs[step.track];
    if (!added || (leftAs && facts.UpperCase(*leftAs) == entry->first) || !present.MayHold(step.name))
      continue;
    auto &target = entry->second;
    target.facts = facts.File(step.name);
    if (target.facts.exists)
      target.identity = facts.Identity(step.name);
  }
  return targets;
}

// What one line of the record takes beside a copy's name: its word, the track's path in UTF-8 at
// the longest a path may be, and the track's size and time.
constexpr std::uint64_t kLongestRecordedPath = 3 * 260 + 64;

// Throws ESFException unless the copies fit into the destination once `clearing` is deleted. Whether
// a replaced file may also wait aside until its replacement is in place; where the system cannot
// tell the room, nothing is refused and nothing is known to stop it.
bool CheckRoom(const RunPlan &plan, RunFacts &facts, const std::vector<ClearedFile> &clearing, const Targets &targets) {
  const auto space = facts.Space();
  if (!space)
    return true;
  const std::uint64_t unit = std::max<std::uint64_t>(space->allocationUnit, 1);
  const auto onDisk = [unit](std::uint64_t bytes) { return (bytes + unit - 1) / unit * unit; };

  // One target per name: of several tracks with one name, the largest is what must fit.
  std::map<std::string, std::uint64_t> neededFor;
  for (const auto &step : plan.steps) {
    const std::string key = facts.UpperCase(step.name);
    auto &needed = neededFor[key];
    if (!plan.leftAs[step.track] && !facts.IsTrack(step.track, targets.at(key).identity, targets.at(key).facts))
      needed = std::max(needed, onDisk(facts.Track(step.track).size));
  }

  // The playlist file and the temporary file it is written through.
  std::uint64_t needed = plan.playList ? 2 * onDisk(PlayListFileBytes(plan.playList->copies).size()) : 0;
  // Placed in entry order, the run keeps a record: a line to announce each copy and one to mark it
  // whole (the track's path at most as long as the system allows), with a cluster to spare for the
  // other lines, and a cluster each for the holding folder and a folder grown by a placeholder.
  if (plan.keepsEntryOrder) {
    std::uint64_t recordBytes = 0;
    for (const auto &step : plan.steps)
      recordBytes += 2 * (step.name.size() + kLongestRecordedPath);
    needed += onDisk(recordBytes) + 3 * unit;
  }
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
  // Placed in entry order, a file that the run replaces waits aside until its replacement is in place.
  // Without that room the files are written over where they stand.
  return needed + replaced <= available;
}

class Planner {
public:
  Planner(const RunInput &input, const RunOptions &options, RunFacts &facts, bool sizesKnown)
      : input_(input), options_(options), facts_(facts), sizesKnown_(sizesKnown), count_(facts.TrackCount()) {
    for (std::int32_t k = 0; k < count_; ++k)
      order_.push_back(options.reverse ? count_ - 1 - k : k);
  }

  RunPlan Plan() {
    // Nothing is deleted before every track is known to be there, to be able to replace its target,
    // to overwrite none of the others and to fit.
    for (const auto track : order_) {
      if (!facts_.Track(track).exists)
        throw ESFException(FormatText(messages::kTrackMissing, input_.tracks[track]));
    }
    // Reading a cloud file through makes the system fetch it now, while nothing is deleted yet:
    // offline, or with syncing paused, the copy would fail only after the clearing.
    for (const auto track : order_) {
      if (facts_.Track(track).notOnDisk && !facts_.TrackReadable(track))
        throw ESFException(FormatText(messages::kTrackNotHere, input_.tracks[track]));
    }
    plan_.fileSystem = facts_.FileSystem();
    plan_.keepsEntryOrder = KeepsEntryOrder(plan_.fileSystem);
    plan_.leftAs.resize(count_);
    if (options_.skipUnchanged)
      FindUnchanged();
    const auto names = NameTargets();
    CheckTargetsInside(names);
    for (const auto track : order_)
      plan_.steps.push_back({track, names[track]});
    const auto targets = LookUpTargets(facts_, plan_, FolderNames(facts_.Names()));
    CheckTargets(targets);
    if (!options_.addMode)
      plan_.deletions = FilesToClear();
    if (options_.writePlayList)
      PlanPlayListFile();
    if (sizesKnown_)
      plan_.mayHold = CheckRoom(plan_, facts_, plan_.deletions, targets);
    DecideSteps(targets);
    // The identities of tracks that lie in the destination are taken now: on FAT a file's identity is
    // its entry's place, which the placement changes and reuses.
    const std::string destinationFolder = facts_.UpperCase(input_.destination);
    const bool tracksInDestination = std::any_of(input_.sources.begin(), input_.sources.end(), [&](const auto &source) {
      return facts_.UpperCase(FolderPart(source)) == destinationFolder;
    });
    if (plan_.keepsEntryOrder && tracksInDestination) {
      for (std::int32_t track = 0; track < count_; ++track)
        facts_.TrackIdentity(track);
    }
    return std::move(plan_);
  }

private:
  std::string FullPathOf(const std::string &name) { return facts_.FullPath(JoinPath(input_.destination, name)); }
  std::optional<sf::ConvertedMark> ConvertedMark(std::int32_t track) const {
    return static_cast<std::size_t>(track) < input_.converted.size() ? input_.converted[track] : std::nullopt;
  }

  // Finds the tracks whose copies the destination holds already.
  void FindUnchanged() {
    const auto &entries = facts_.Entries();
    if (!entries)
      return;
    std::vector<FileInDestination> files;
    for (const auto &entry : *entries) {
      if (!entry.folder)
        files.push_back({entry.name, facts_.File(entry.name)});
    }
    std::vector<TrackToMatch> tracks;
    for (const auto track : order_)
      tracks.push_back({CopyNameOf(input_, track), facts_.Track(track), ConvertedMark(track)});
    const auto copies = MatchCopies(
        tracks, files, options_.numberTracks, plan_.fileSystem,
        [&](std::string_view text) { return facts_.UpperCase(text); },
        [&](std::size_t file) { return facts_.Mark(files[file].name); });
    for (std::int32_t k = 0; k < count_; ++k) {
      if (copies[k]) {
        plan_.leftAs[order_[k]] = files[*copies[k]].name;
        ++plan_.left;
      }
    }
  }

  // The names the tracks are copied under, by track. Throws ESFException when a number would pass
  // 999, when a numbered name grows too long, and in add mode when the destination's names, after
  // which the numbers go on, cannot be read.
  std::vector<std::string> NameTargets() {
    std::vector<std::string> names;
    for (std::int32_t track = 0; track < count_; ++track)
      names.push_back(CopyNameOf(input_, track));
    if (!options_.numberTracks)
      return names;
    constexpr std::int32_t kHighest = 999;
    std::int32_t last = 0;
    if (options_.addMode) {
      // The numbers go on after those in the destination: without its names, they would start again.
      if (!facts_.Names())
        throw ESFException(FormatText(messages::kDestinationUnreadable, facts_.FullPath(input_.destination)));
      for (const auto &name : *facts_.Names()) {
        const auto number = OwnTrackNumber(name).value_or(0);
        // A folder's number does not count: only files are the player's tracks.
        if (number > last && facts_.File(name).exists)
          last = number;
      }
    }
    // In add mode a track whose copy is left keeps that copy's name, and takes no new number.
    const auto keepsItsName = [&](std::int32_t track) { return options_.addMode && plan_.leftAs[track]; };
    const auto numbered = std::count_if(order_.begin(), order_.end(), [&](auto track) { return !keepsItsName(track); });
    if (last + numbered > kHighest)
      throw ESFException(messages::kNumberBeyond999);
    for (const auto track : order_) {
      if (keepsItsName(track)) {
        names[track] = *plan_.leftAs[track];
        continue;
      }
      const std::string number = std::to_string(++last);
      names[track] = std::string(3 - number.size(), '0') + number + " " + names[track];
      if (!IsUsableFileName(names[track]))
        throw ESFException(FormatText(messages::kTrackNameInvalid, track + 1));
    }
    return names;
  }

  // Throws ESFException unless the system puts every track's copy directly into the destination
  // under its name. The names were checked as the playlist loaded; this asks the system itself.
  void CheckTargetsInside(const std::vector<std::string> &names) {
    const std::string inside = facts_.UpperCase(FolderPart(FullPathOf("x")));
    for (const auto track : order_) {
      const std::string target = FullPathOf(names[track]);
      // A copy under one of the run's own names would be taken for its record, its holding folder or
      // a placeholder by the next run.
      if (facts_.UpperCase(FolderPart(target)) != inside || FileNamePart(target) != names[track] ||
          IsProgramsOwnName(names[track]))
        throw ESFException(FormatText(messages::kTrackNameInvalid, track + 1));
    }
  }

  // Throws ESFException when a track's target is a read-only, hidden or system file that is no track
  // of the run (the system's copy refuses to replace such a file, and the clearing leaves it), or
  // when a track would overwrite another of the run's tracks that lies there under its name.
  void CheckTargets(const Targets &targets) {
    for (const auto &step : plan_.steps) {
      const auto &target = targets.at(facts_.UpperCase(step.name));
      if (target.facts.exists && (target.facts.readOnly || target.facts.hidden || target.facts.system) &&
          !facts_.IsAnyTrack(target.identity, target.facts))
        throw ESFException(FormatText(messages::kTargetProtected, FullPathOf(step.name)));
    }
    for (const auto &step : plan_.steps) {
      const auto &target = targets.at(facts_.UpperCase(step.name));
      // A track that lies there under its own name is its own copy; another track of that name
      // would destroy it.
      if (!target.identity.empty() && !facts_.IsTrack(step.track, target.identity, target.facts) &&
          facts_.IsAnyTrack(target.identity, target.facts))
        throw ESFException(
            FormatText(messages::kNamesakeInDestination, input_.tracks[step.track], FullPathOf(step.name)));
    }
  }

  // The files the clearing deletes: never a track, nor a copy left as it was.
  std::vector<ClearedFile> FilesToClear() {
    std::set<std::string> left;
    for (const auto &name : plan_.leftAs) {
      if (name)
        left.insert(facts_.UpperCase(*name));
    }
    std::vector<ClearedFile> files;
    for (const std::string_view cleared : kClearedExtensions) {
      const std::string extension = facts_.UpperCase("." + std::string(cleared));
      for (const auto &name : facts_.FilesMatching(cleared)) {
        // The system's pattern also matches long extensions through 8.3 names ("x.mp3x" as "X~1.MP3").
        if (facts_.UpperCase(ExtensionPart(name)) != extension || left.count(facts_.UpperCase(name)))
          continue;
        ClearedFile file{name, facts_.File(name), {}};
        if (!file.facts.exists)
          continue;
        file.identity = facts_.Identity(name);
        // Never delete a file this run copies from, under whatever name it reaches it, nor one that
        // cannot even be asked who it is.
        if (!file.identity.empty() && !facts_.IsAnyTrack(file.identity, file.facts))
          files.push_back(std::move(file));
      }
    }
    return files;
  }

  // Decides the playlist file: what it lists, under which name. Throws ESFException where a file of
  // that name is not the program's own, or is read-only, hidden or system.
  void PlanPlayListFile() {
    const auto upperCase = [&](std::string_view text) { return facts_.UpperCase(text); };
    RunPlan::PlayListFile file;
    // The program's own file may be under either name: its extension follows the names it lists.
    std::map<std::string, bool> own;
    for (const std::string &name :
         {PlayListFileName(input_.playList, {"a"}), PlayListFileName(input_.playList, {"\xE3\x81\x82"})}) {
      const auto facts = facts_.File(name);
      if (!facts.exists)
        continue;
      const auto bytes = facts_.Contents(name);
      const auto listed = bytes ? OwnPlayListCopies(*bytes) : std::nullopt;
      own[upperCase(name)] = listed && !facts.readOnly && !facts.hidden && !facts.system;
      if (!listed)
        continue;
      file.ownNames.push_back(name);
      if (options_.addMode && file.earlier.empty())
        file.earlier = *listed;
    }
    std::vector<std::string> copies;
    for (const auto &step : plan_.steps)
      copies.push_back(step.name);
    file.copies = CopiesToList(
        file.earlier, copies, [&](const std::string &name) { return facts_.File(name).exists; }, upperCase);
    file.name = PlayListFileName(input_.playList, file.copies);
    const auto there = own.find(upperCase(file.name));
    if (there != own.end() && !there->second)
      throw ESFException(FormatText(messages::kPlayListFileNotOwn, FullPathOf(file.name)));
    plan_.playList = std::move(file);
  }

  // What each step finds in its place, and the renames that give copies left their new numbers.
  void DecideSteps(const Targets &targets) {
    for (auto &step : plan_.steps) {
      const std::int32_t track = step.track;
      const auto &target = targets.at(facts_.UpperCase(step.name));
      step.liesThere = facts_.IsTrack(track, target.identity, target.facts);
      step.left = plan_.leftAs[track].has_value();
      // In add mode what is there stays where it is; only what the run copies joins the order.
      step.outsideOrder = options_.addMode && (step.left || step.liesThere);
      // With numbers, a copy left as it was takes its new number by a rename.
      if (step.left && !options_.addMode && facts_.UpperCase(*plan_.leftAs[track]) != facts_.UpperCase(step.name) &&
          std::none_of(plan_.renames.begin(), plan_.renames.end(),
                       [&](const auto &rename) { return rename.second == step.name; }))
        plan_.renames.emplace_back(*plan_.leftAs[track], step.name);
    }
    std::set<std::string> namesLater;
    for (auto step = plan_.steps.rbegin(); step != plan_.steps.rend(); ++step)
      step->laterNamesake = !namesLater.insert(facts_.UpperCase(step->name)).second;
  }

  const RunInput &input_;
  const RunOptions &options_;
  RunFacts &facts_;
  bool sizesKnown_;
  std::int32_t count_;
  std::vector<std::int32_t> order_; // the tracks in copy order
  RunPlan plan_;
};

} // namespace

RunPlan PlanRun(const RunInput &input, const RunOptions &options, RunFacts &facts, bool sizesKnown) {
  return Planner(input, options, facts, sizesKnown).Plan();
}

std::vector<std::optional<ConvertedMark>> ConvertedMarks(const RunInput &input, const RunOptions &options,
                                                         RunFacts &facts) {
  std::vector<std::optional<ConvertedMark>> marks(input.tracks.size());
  if (!options.convertTo)
    return marks;
  for (std::int32_t track = 0; track < facts.TrackCount(); ++track) {
    const auto trackFacts = facts.Track(track);
    const std::string extension = ExtensionPart(FileNamePart(input.tracks[track]));
    if (trackFacts.exists && !extension.empty() && IsConvertedExtension(extension.substr(1)))
      marks[track] = ConvertedMark{trackFacts.size, trackFacts.lastWrite, *options.convertTo};
  }
  return marks;
}

std::string CopyNameOf(const RunInput &input, std::int32_t track) {
  const std::string name = FileNamePart(input.tracks[track]);
  if (static_cast<std::size_t>(track) >= input.converted.size() || !input.converted[track])
    return name;
  return name.substr(0, name.size() - ExtensionPart(name).size()) + ".mp3";
}

void CheckRoomAfterClearing(const RunPlan &plan, RunFacts &facts) {
  CheckRoom(plan, facts, {}, LookUpTargets(facts, plan, FolderNames(facts.Names())));
}

} // namespace sf
