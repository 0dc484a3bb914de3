#include "FatFolder.h"

#include "platform/PathParts.h"

#include <algorithm>
#include <cstring>

namespace sf::testing {
namespace {

constexpr std::size_t kEntryBytes = 32;
// The driver compacts only a fixed root of up to 256 KiB.
constexpr std::size_t kMostCompactedEntries = 0x40000 / kEntryBytes;
// Nor does it let a FAT folder grow beyond 65,536 entries, as Windows 95 did not.
constexpr std::size_t kMostFatEntries = 65536;

// A name that the short entry holds alone: 8.3 of characters short names allow, the base and the
// extension each in one case (the entry keeps a flag for either being all lower case). Anything
// beyond ASCII takes a long name, whatever the code page.
bool FitsShortEntry(std::string_view name) {
  const auto dot = name.find('.');
  const auto base = name.substr(0, dot);
  const auto extension = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
  const auto allowed = [](std::string_view part) {
    return std::all_of(part.begin(), part.end(),
                       [](char c) { return c > ' ' && c < 0x7F && std::strchr("\"*+,./:;<=>?[\\]|", c) == nullptr; });
  };
  const auto oneCase = [](std::string_view part) {
    return std::none_of(part.begin(), part.end(), [](char c) { return c >= 'a' && c <= 'z'; }) ||
           std::none_of(part.begin(), part.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
  };
  return !base.empty() && base.size() <= 8 && extension.size() <= 3 && allowed(base) && allowed(extension) &&
         oneCase(base) && oneCase(extension);
}

} // namespace

std::size_t EntriesForName(FatKind kind, std::string_view name) {
  std::size_t units = 0; // UTF-16: a character beyond U+FFFF (a 4-byte sequence) takes two
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80)
      units += byte >= 0xF0 ? 2 : 1;
  }
  if (kind == FatKind::ExFat)
    return 2 + (units + 14) / 15;
  return FitsShortEntry(name) ? 1 : 1 + (units + 12) / 13;
}

FatFolder::FatFolder(const FatFormat &format, bool root, bool hidden)
    : format_(format), fixedSize_(root && format.kind == FatKind::Fat16), hidden_(hidden),
      taken_(fixedSize_ ? format.rootEntries : format.clusterBytes / kEntryBytes) {
  // A FAT subfolder starts with "." and "..", an exFAT root with its allocation bitmap and up-case
  // table; a FAT root and an exFAT subfolder with nothing.
  const bool exFat = format.kind == FatKind::ExFat;
  neverUsed_ = root == exFat ? 2 : 0;
  Take(0, neverUsed_, true);
}

bool FatFolder::Put(const std::string &key, const std::string &name, std::mt19937 &random, double now) {
  if (runs_.count(key))
    return true;
  const auto [given, count] = Arriving(name, now);
  const auto first = Allocate(count, random);
  if (!first)
    return false;
  runs_[key] = {given, *first, count, ++runsMade_};
  return true;
}

void FatFolder::Release(const std::string &key, double now) {
  const auto run = runs_.find(key);
  if (run == runs_.end())
    return;
  Depart(run->second, now);
  Take(run->second.first, run->second.count, false);
  runs_.erase(run);
}

bool FatFolder::Rename(const std::string &from, const std::string &to, const std::string &name, std::mt19937 &random,
                       double now) {
  // The new name is looked up before the old one is remembered: a change of case alone stays one.
  const auto [given, count] = Arriving(name, now);
  auto first = runs_.at(from).first;
  auto born = runs_.at(from).born;
  if (runs_.at(from).count != count) {
    born = ++runsMade_;
    const auto found = Allocate(count, random);
    if (!found)
      return false;
    // Read again: compacting the root to find room moves every entry.
    Take(runs_.at(from).first, runs_.at(from).count, false);
    first = *found;
  }
  Depart(runs_.at(from), now);
  runs_.erase(from);
  runs_[to] = {given, first, count, born};
  return true;
}

std::pair<std::string, std::size_t> FatFolder::Arriving(const std::string &name, double now) const {
  const auto count = EntriesForName(format_.kind, name);
  if (format_.kind == FatKind::ExFat || count != 1)
    return {name, count};
  const auto departed = departed_.find(UpperAscii(name));
  if (departed == departed_.end() || now - departed->second.when >= format_.tunnelSeconds)
    return {name, count};
  return {departed->second.name, departed->second.count};
}

// The driver remembers the short name with the long one. A short name it generated ("TRACKO~1.MP3")
// is not modelled: no long name that needs one is remembered. A name without a long one replaces
// what its short name held.
void FatFolder::Depart(const Run &run, double now) {
  const auto shortName = UpperAscii(run.name);
  if (format_.kind == FatKind::ExFat || EntriesForName(format_.kind, shortName) != 1)
    return;
  if (run.count == 1)
    departed_.erase(shortName);
  else
    departed_[shortName] = {run.name, run.count, now};
}

std::vector<FatFolder::Entry> FatFolder::InOrder() const {
  std::vector<const std::pair<const std::string, Run> *> order;
  order.reserve(runs_.size());
  for (const auto &run : runs_)
    order.push_back(&run);
  std::sort(order.begin(), order.end(), [&](const auto *a, const auto *b) {
    return format_.listsNewestFirst ? a->second.born > b->second.born : a->second.first < b->second.first;
  });
  std::vector<Entry> entries;
  entries.reserve(order.size());
  for (const auto *run : order)
    entries.push_back({run->first, run->second.name, run->second.first + run->second.count - 1});
  return entries;
}

std::optional<std::size_t> FatFolder::PlaceOf(const std::string &key) const {
  const auto run = runs_.find(key);
  return run == runs_.end() ? std::nullopt : std::optional(run->second.first + run->second.count - 1);
}

std::string FatFolder::NameOf(const std::string &key) const {
  const auto run = runs_.find(key);
  return run == runs_.end() ? std::string() : run->second.name;
}

std::size_t FatFolder::Clusters() const { return fixedSize_ ? 0 : taken_.size() * kEntryBytes / format_.clusterBytes; }

std::optional<std::size_t> FatFolder::Allocate(std::size_t count, std::mt19937 &random) {
  std::optional<std::size_t> first;
  switch (format_.placement) {
  case FatPlacement::Published:
    if (neverUsed_ + count <= taken_.size()) {
      first = neverUsed_;
      break;
    }
    // The driver searches from its deleted-entry hint, wrapping round to the start. The hint is the
    // lowest deleted entry, or lies past entries all in use: nothing below it is ever free, so the
    // search finds the first free run from the start.
    first = FreeRunFrom(count, 0);
    // A fixed root is compacted only when that makes room.
    if (!first && fixedSize_ && taken_.size() <= kMostCompactedEntries &&
        std::count(taken_.begin(), taken_.end(), false) >= static_cast<std::ptrdiff_t>(count))
      first = Compact();
    // Growing, it takes the never-used end, across the old end, and makes room for one entry more.
    if (!first && Grow(neverUsed_ + count + 1))
      first = neverUsed_;
    break;
  case FatPlacement::FirstFitFromStart:
    first = FreeRunFrom(count, 0);
    if (!first)
      first = GrowFromFreeEnd(count);
    break;
  case FatPlacement::Random: {
    // The start of a free run that fits, drawn from every such run.
    std::vector<std::size_t> fits;
    for (std::size_t at = 0, run = 0; at <= taken_.size(); ++at) {
      if (at < taken_.size() && !taken_[at]) {
        ++run;
      } else {
        if (run >= count)
          fits.push_back(at - run);
        run = 0;
      }
    }
    if (fits.empty())
      first = GrowFromFreeEnd(count);
    else
      first = fits[std::uniform_int_distribution<std::size_t>(0, fits.size() - 1)(random)];
    break;
  }
  }
  if (!first)
    return std::nullopt;
  Take(*first, count, true);
  // Free entries below a used one read as deleted: a listing stops at the first never-used entry.
  neverUsed_ = std::max(neverUsed_, *first + count);
  return first;
}

std::optional<std::size_t> FatFolder::FreeRunFrom(std::size_t count, std::size_t from) const {
  std::size_t run = 0;
  for (std::size_t at = from; at < taken_.size(); ++at) {
    run = taken_[at] ? 0 : run + 1;
    if (run == count)
      return at + 1 - count;
  }
  return std::nullopt;
}

std::optional<std::size_t> FatFolder::GrowFromFreeEnd(std::size_t count) {
  auto end = taken_.size();
  while (end > 0 && !taken_[end - 1])
    --end;
  return Grow(end + count) ? std::optional(end) : std::nullopt;
}

bool FatFolder::Grow(std::size_t entries) {
  if (fixedSize_ || (format_.kind != FatKind::ExFat && taken_.size() >= kMostFatEntries))
    return false;
  const auto perCluster = format_.clusterBytes / kEntryBytes;
  taken_.resize((entries + perCluster - 1) / perCluster * perCluster, false);
  return true;
}

// As the driver compacts a fixed root: every name's entries moved to the front, in their order. The
// first free entry after them.
std::size_t FatFolder::Compact() {
  std::vector<Run *> order;
  for (auto &[key, run] : runs_)
    order.push_back(&run);
  std::sort(order.begin(), order.end(), [](const Run *a, const Run *b) { return a->first < b->first; });
  std::fill(taken_.begin(), taken_.end(), false);
  std::size_t next = 0;
  for (auto *run : order) {
    run->first = next;
    next += run->count;
  }
  Take(0, next, true);
  return next;
}

void FatFolder::Take(std::size_t first, std::size_t count, bool taken) {
  std::fill(taken_.begin() + static_cast<std::ptrdiff_t>(first),
            taken_.begin() + static_cast<std::ptrdiff_t>(first + count), taken);
}

FatVolume::FatVolume(const FatFormat &format, const std::string &root) : format_(format), random_(format.seed) {
  folders_.try_emplace(root, format, true, false);
}

std::string FatVolume::FileSystem() const {
  switch (format_.kind) {
  case FatKind::Fat16:
    return "FAT";
  case FatKind::Fat32:
    return "FAT32";
  case FatKind::ExFat:
    break;
  }
  return "exFAT";
}

bool FatVolume::Add(const std::string &key, const std::string &name, bool folder, bool hidden, double now) {
  if (!folders_.at(FolderPart(key)).Put(key, name, random_, now))
    return false;
  if (folder)
    folders_.try_emplace(key, format_, false, hidden);
  return true;
}

void FatVolume::Remove(const std::string &key, double now) {
  folders_.at(FolderPart(key)).Release(key, now);
  folders_.erase(key);
}

bool FatVolume::Move(const std::string &from, const std::string &to, const std::string &name, double now) {
  auto &source = folders_.at(FolderPart(from));
  auto &target = folders_.at(FolderPart(to));
  if (&source == &target)
    return source.Rename(from, to, name, random_, now);
  if (!target.Put(to, name, random_, now))
    return false;
  source.Release(from, now);
  return true;
}

std::string FatVolume::NameOf(const std::string &key) const { return folders_.at(FolderPart(key)).NameOf(key); }

std::uint64_t FatVolume::FolderBytes() const {
  std::uint64_t clusters = 0;
  for (const auto &[key, folder] : folders_)
    clusters += folder.Clusters();
  return clusters * format_.clusterBytes;
}

std::string FatVolume::PlaceOf(const std::string &key) const {
  const auto &folder = folders_.at(FolderPart(key));
  return FolderPart(key) + "|" + std::to_string(folder.PlaceOf(key).value());
}

} // namespace sf::testing
