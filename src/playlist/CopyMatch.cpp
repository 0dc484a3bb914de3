#include "playlist/CopyMatch.h"

#include <cstdint>
#include <map>
#include <utility>

namespace sf {
namespace {

constexpr std::uint64_t kSecond = 10'000'000; // in FILETIME's 100 ns
// FAT keeps last-write times to 2 seconds; a copy's time may have been rounded either way.
constexpr std::uint64_t kSlack = 2 * kSecond;
constexpr std::uint64_t kHour = 3600 * kSecond;

bool SameTime(std::uint64_t a, std::uint64_t b, bool localTime) {
  const std::uint64_t apart = a > b ? a - b : b - a;
  return apart <= kSlack || (localTime && apart + kSlack >= kHour && apart <= kHour + kSlack);
}

} // namespace

std::optional<int> OwnTrackNumber(std::string_view name) {
  if (name.size() < 4 || name[3] != ' ')
    return std::nullopt;
  int number = 0;
  for (const char digit : name.substr(0, 3)) {
    if (digit < '0' || digit > '9')
      return std::nullopt;
    number = number * 10 + (digit - '0');
  }
  return number;
}

std::vector<std::optional<std::size_t>> MatchCopies(const std::vector<TrackToMatch> &tracks,
                                                    const std::vector<FileInDestination> &files, bool numbered,
                                                    const std::string &fileSystem, const UpperCaseFn &upperCase,
                                                    const MarkFn &markOf) {
  const bool localTime = fileSystem.rfind("FAT", 0) == 0;
  // The files that may be copies, by the track name they would answer to, upper-cased, with their numbers.
  std::multimap<std::string, std::pair<int, std::size_t>> candidates;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const auto &file = files[i];
    if (!file.facts.exists || file.facts.readOnly || file.facts.hidden || file.facts.system)
      continue;
    const auto number = numbered ? OwnTrackNumber(file.name) : std::optional<int>(0);
    if (number)
      candidates.emplace(upperCase(std::string_view(file.name).substr(numbered ? 4 : 0)), std::pair(*number, i));
  }

  std::vector<std::string> names;
  std::map<std::string, std::size_t> lastOfName;
  for (std::size_t t = 0; t < tracks.size(); ++t) {
    names.push_back(upperCase(tracks[t].name));
    lastOfName[names.back()] = t;
  }
  std::vector<std::optional<std::size_t>> copies(tracks.size());
  std::vector<bool> taken(files.size());
  for (std::size_t t = 0; t < tracks.size(); ++t) {
    if (!numbered && lastOfName[names[t]] != t)
      continue;
    const auto &track = tracks[t];
    const auto isCopy = [&](const Platform::FileFacts &file, std::size_t index) {
      if (track.converted)
        return markOf && markOf(index) == track.converted;
      return file.size == track.facts.size && SameTime(file.lastWrite, track.facts.lastWrite, localTime);
    };
    std::optional<std::pair<int, std::size_t>> best;
    const auto [from, to] = candidates.equal_range(names[t]);
    for (auto candidate = from; candidate != to; ++candidate) {
      const auto [number, index] = candidate->second;
      if (!taken[index] && (!best || number < best->first) && isCopy(files[index].facts, index))
        best = candidate->second;
    }
    if (best) {
      copies[t] = best->second;
      taken[best->second] = true;
    }
  }
  if (!numbered) {
    for (std::size_t t = 0; t < tracks.size(); ++t)
      copies[t] = copies[lastOfName[names[t]]];
  }
  return copies;
}

} // namespace sf
