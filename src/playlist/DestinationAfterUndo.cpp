#include "playlist/DestinationAfterUndo.h"

#include "platform/PathParts.h"

#include <algorithm>

namespace sf {
namespace {

// "*" and "?" as the system's listing takes them, on upper-cased texts.
bool MatchesPattern(std::string_view pattern, std::string_view name) {
  if (pattern.empty())
    return name.empty();
  if (pattern.front() == '*')
    return MatchesPattern(pattern.substr(1), name) || (!name.empty() && MatchesPattern(pattern, name.substr(1)));
  return !name.empty() && (pattern.front() == '?' || pattern.front() == name.front()) &&
         MatchesPattern(pattern.substr(1), name.substr(1));
}

} // namespace

DestinationAfterUndo::DestinationAfterUndo(Platform &system, const std::string &destination, const RecordedUndo &undo)
    : system_(system), destination_(system.UpperCase(system.FullPath(destination))), going_(undo.Going()) {
  for (const auto &[name, path] : undo.Returning())
    returning_[system_.UpperCase(name)] = {name, path};
}

bool DestinationAfterUndo::IsDestination(const std::string &folder) {
  return system_.UpperCase(system_.FullPath(folder)) == destination_;
}

bool DestinationAfterUndo::InDestination(const std::string &path, std::string *name) {
  const std::string folder = FolderPart(path);
  if (folder.empty() || !IsDestination(folder))
    return false;
  *name = system_.UpperCase(FileNamePart(path));
  return true;
}

bool DestinationAfterUndo::Hidden(const std::string &name) const {
  // A file that comes back is listed once, as what comes back.
  const std::string upper = system_.UpperCase(name);
  return going_.count(upper) || returning_.count(upper);
}

bool DestinationAfterUndo::Gone(const std::string &path) {
  std::string name;
  return InDestination(path, &name) && going_.count(name) && !returning_.count(name);
}

std::string DestinationAfterUndo::Seen(const std::string &path) {
  std::string name;
  if (InDestination(path, &name)) {
    const auto back = returning_.find(name);
    if (back != returning_.end())
      return back->second.second;
  }
  return path;
}

void DestinationAfterUndo::ReadTextFile(const std::string &path, const ChunkConsumer &consume) {
  system_.ReadTextFile(Seen(path), consume);
}

std::optional<std::string> DestinationAfterUndo::ReadWholeFile(const std::string &path) {
  if (Gone(path))
    return std::string();
  return system_.ReadWholeFile(Seen(path));
}

bool DestinationAfterUndo::FileExists(const std::string &path) { return !Gone(path) && system_.FileExists(Seen(path)); }

Platform::FileFacts DestinationAfterUndo::QueryFile(const std::string &path) {
  if (Gone(path))
    return {};
  return system_.QueryFile(Seen(path));
}

std::string DestinationAfterUndo::FileIdentity(const std::string &path) {
  if (Gone(path))
    return {};
  return system_.FileIdentity(Seen(path));
}

std::vector<std::string> DestinationAfterUndo::ListFiles(const std::string &pattern) {
  auto names = system_.ListFiles(pattern);
  if (!IsDestination(FolderPart(pattern)))
    return names;
  names.erase(std::remove_if(names.begin(), names.end(), [&](const std::string &name) { return Hidden(name); }),
              names.end());
  const std::string upperPattern = system_.UpperCase(FileNamePart(pattern));
  for (const auto &[upper, back] : returning_) {
    if (MatchesPattern(upperPattern, upper))
      names.push_back(back.first);
  }
  return names;
}

std::optional<std::vector<std::string>> DestinationAfterUndo::ListNames(const std::string &folder) {
  auto names = system_.ListNames(folder);
  if (!names || !IsDestination(folder))
    return names;
  names->erase(std::remove_if(names->begin(), names->end(), [&](const std::string &name) { return Hidden(name); }),
               names->end());
  for (const auto &[upper, back] : returning_)
    names->push_back(back.first);
  return names;
}

std::optional<std::vector<Platform::FolderEntry>> DestinationAfterUndo::ListEntries(const std::string &folder) {
  auto entries = system_.ListEntries(folder);
  if (!entries || !IsDestination(folder))
    return entries;
  entries->erase(
      std::remove_if(entries->begin(), entries->end(), [&](const FolderEntry &entry) { return Hidden(entry.name); }),
      entries->end());
  for (const auto &[upper, back] : returning_) {
    const auto facts = system_.QueryFile(back.second);
    entries->push_back({back.first, false, facts.hidden, facts.system});
  }
  return entries;
}

} // namespace sf
