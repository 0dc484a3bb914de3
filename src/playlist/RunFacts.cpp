#include "playlist/RunFacts.h"

#include "convert/ConvertCache.h"

#include "platform/InOutError.h"
#include "platform/PathParts.h"

#include <algorithm>
#include <utility>

namespace sf {
namespace {

// Printable ASCII that the system takes as spelt: no path or pattern characters, no trailing dot
// or space.
bool IsPlainAsciiName(const std::string &name) {
  constexpr std::string_view kSpecial = "\\/:*?\"<>|";
  const auto plain = [&](char c) { return c >= ' ' && c <= '~' && kSpecial.find(c) == std::string_view::npos; };
  return !name.empty() && name.back() != '.' && name.back() != ' ' && std::all_of(name.begin(), name.end(), plain);
}

} // namespace

bool RunFacts::IsTrack(std::int32_t track, const std::string &identity, const Platform::FileFacts &facts) {
  const auto own = Track(track);
  return !identity.empty() && own.size == facts.size && own.lastWrite == facts.lastWrite &&
         TrackIdentity(track) == identity;
}

bool RunFacts::IsAnyTrack(const std::string &identity, const Platform::FileFacts &facts) {
  for (std::int32_t track = 0; track < TrackCount(); ++track) {
    if (IsTrack(track, identity, facts))
      return true;
  }
  return false;
}

FactsOnDisk::FactsOnDisk(Platform &platform, std::string destination, std::vector<std::string> tracks,
                         std::function<void()> look)
    : platform_(platform), destination_(std::move(destination)), tracks_(std::move(tracks)), look_(std::move(look)),
      trackFacts_(tracks_.size()), trackIdentities_(tracks_.size()) {}

void FactsOnDisk::ForgetDestination() {
  names_.reset();
  entries_.reset();
  files_.clear();
  identities_.clear();
  space_.reset();
}

template <typename Answer, typename Question>
const Answer &FactsOnDisk::Remembered(std::optional<Answer> &known, Question question) {
  if (!known) {
    known = question();
    look_();
  }
  return *known;
}

Platform::FileFacts FactsOnDisk::Track(std::int32_t track) {
  return Remembered(trackFacts_[static_cast<std::size_t>(track)],
                    [&] { return platform_.QueryFile(tracks_[static_cast<std::size_t>(track)]); });
}

bool FactsOnDisk::TrackReadable(std::int32_t track) {
  try {
    platform_.ReadTextFile(tracks_[static_cast<std::size_t>(track)], [&](std::string_view) {
      look_();
      return true;
    });
    return true;
  } catch (const EInOutError &) {
    return false;
  }
}

std::string FactsOnDisk::TrackIdentity(std::int32_t track) {
  return Remembered(trackIdentities_[static_cast<std::size_t>(track)],
                    [&] { return platform_.FileIdentity(tracks_[static_cast<std::size_t>(track)]); });
}

std::string FactsOnDisk::FileSystem() {
  return Remembered(fileSystem_, [&] { return platform_.FileSystemOf(destination_); });
}

const std::optional<std::vector<std::string>> &FactsOnDisk::Names() {
  return Remembered(names_, [&] { return platform_.ListNames(destination_); });
}

const std::optional<std::vector<Platform::FolderEntry>> &FactsOnDisk::Entries() {
  return Remembered(entries_, [&] { return platform_.ListEntries(destination_); });
}

std::vector<std::string> FactsOnDisk::FilesMatching(std::string_view extension) {
  auto names = platform_.ListFiles(JoinPath(destination_, "*." + std::string(extension)));
  look_();
  return names;
}

Platform::FileFacts FactsOnDisk::File(const std::string &name) {
  return Remembered(files_[name], [&] { return platform_.QueryFile(JoinPath(destination_, name)); });
}

std::string FactsOnDisk::Identity(const std::string &name) {
  return Remembered(identities_[name], [&] { return platform_.FileIdentity(JoinPath(destination_, name)); });
}

std::optional<std::string> FactsOnDisk::Contents(const std::string &name) {
  return platform_.ReadWholeFile(JoinPath(destination_, name));
}

std::optional<ConvertedMark> FactsOnDisk::Mark(const std::string &name) {
  auto mark = ReadMark(platform_, JoinPath(destination_, name));
  look_();
  return mark;
}

std::optional<Platform::DiskSpace> FactsOnDisk::Space() {
  return Remembered(space_, [&] { return platform_.FreeSpace(destination_); });
}

FolderNames::FolderNames(const std::optional<std::vector<std::string>> &listing) {
  if (!listing)
    return;
  spellingDecides_ = true;
  for (const auto &name : *listing)
    Add(name);
}

bool FolderNames::MayHold(const std::string &name) const {
  return !spellingDecides_ || !IsPlainAsciiName(name) || upperNames_.count(UpperAscii(name));
}

void FolderNames::Add(const std::string &name) {
  if (!IsPlainAsciiName(name))
    spellingDecides_ = false;
  upperNames_.insert(UpperAscii(name));
}

} // namespace sf
