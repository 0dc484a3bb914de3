#include "playlist/RecordedUndo.h"

#include "platform/PathParts.h"
#include "resources/MessageTexts.h"

#include <algorithm>
#include <map>

// The undo of a stopped run: what its record names goes, and what it held comes back.
namespace sf {

std::optional<RecordedUndo> RecordedUndo::Find(Platform &platform, const std::string &destination,
                                               const std::optional<std::vector<std::string>> &names) {
  if (!names)
    return std::nullopt;
  std::vector<Record> records;
  for (const auto &name : *names) {
    if (!MayBeRecordName(name))
      continue;
    // Known by what it holds: a file of the user's under this name is no record.
    const std::string path = JoinPath(destination, name);
    const auto bytes = platform.ReadWholeFile(path);
    if (!bytes)
      continue;
    if (auto steps = ParseRecord(*bytes))
      records.push_back({path, std::move(*steps)});
  }
  if (records.empty())
    return std::nullopt;
  return RecordedUndo(platform, destination, std::move(records));
}

RecordedUndo::RecordedUndo(Platform &platform, const std::string &destination, const std::vector<RecordedStep> &steps,
                           const std::string &recordPath)
    : RecordedUndo(platform, destination, std::vector<Record>{{recordPath, steps}}) {}

RecordedUndo::RecordedUndo(Platform &platform, std::string destination, std::vector<Record> records)
    : platform_(platform), destination_(std::move(destination)), records_(std::move(records)) {
  Survey();
}

std::string RecordedUndo::In(const std::string &name) const { return JoinPath(destination_, name); }

void RecordedUndo::Survey() {
  using Kind = RecordedStep::Kind;
  std::set<std::string> claimed; // names that a file coming back takes
  for (const auto &record : records_) {
    const auto &steps = record.steps;
    if (!record.path.empty())
      going_.insert(Upper(FileNamePart(record.path)));
    // The last announcement under each name, and the last step that wrote each name whole.
    std::map<std::string, std::size_t> announced, written;
    std::map<std::string, std::size_t> lastHold; // by the held file's path
    for (std::size_t i = 0; i < steps.size(); ++i) {
      const auto &step = steps[i];
      const std::string key = Upper(step.name);
      switch (step.kind) {
      case Kind::Written:
        written[key] = i;
        break;
      case Kind::Hold:
        lastHold[Upper(JoinPath(step.folder, step.held))] = i;
        break;
      case Kind::NotMade:
        announced.erase(key);
        break;
      default:
        announced[key] = i;
      }
    }
    const auto writtenAfter = [&](const std::string &name, std::size_t at) {
      const auto found = written.find(Upper(name));
      return found != written.end() && found->second > at;
    };
    for (const auto &[key, at] : announced) {
      const auto &step = steps[at];
      if (step.kind == Kind::Folder) {
        folders_.push_back(step.name);
        going_.insert(key);
        continue;
      }
      const auto facts = platform_.QueryFile(In(step.name));
      if (!facts.exists)
        continue;
      if (step.kind == Kind::Plug) {
        // Only while it is empty: whatever holds data is no placeholder of the run's.
        if (facts.size == 0) {
          plugs_.push_back(step.name);
          going_.insert(key);
        }
      } else if (!writtenAfter(step.name, at)) {
        // An unfinished entry goes; a file written over in place goes only once the copy reached it.
        if (step.kind == Kind::Over && facts.size == step.size && facts.lastWrite == step.lastWrite)
          continue;
        unfinished_.push_back(step.name);
        going_.insert(key);
      }
    }
    std::vector<std::size_t> holds;
    for (const auto &[path, at] : lastHold)
      holds.push_back(at);
    std::sort(holds.begin(), holds.end());
    for (const std::size_t at : holds) {
      const auto &step = steps[at];
      const std::string path = In(JoinPath(step.folder, step.held));
      if (!platform_.QueryFile(path).exists)
        continue;
      HeldFile file{step.name, path, step.renamedTo, writtenAfter(step.name, at)};
      held_.push_back(file);
      if (file.replaced)
        continue;
      const auto free = [&](const std::string &name) {
        const std::string key = Upper(name);
        return !name.empty() && !claimed.count(key) && (going_.count(key) || !platform_.QueryFile(In(name)).exists);
      };
      const std::string to = free(file.name) ? file.name : free(file.also) ? file.also : "";
      if (to.empty()) {
        stuck_.emplace_back(file.name, path);
        continue;
      }
      claimed.insert(Upper(to));
      going_.erase(Upper(to));
      returning_.emplace_back(to, path);
    }
  }
}

std::string RecordedUndo::NotRestored(const std::string &name, const std::string &path) const {
  return FormatText(messages::kNotRestored, name, platform_.FullPath(path));
}

std::vector<std::string> RecordedUndo::Stuck() const {
  std::vector<std::string> lines;
  for (const auto &[name, path] : stuck_)
    lines.push_back(NotRestored(name, path));
  return lines;
}

std::vector<std::string> RecordedUndo::Run() {
  for (const auto &entry : unfinished_)
    platform_.RemoveFile(In(entry));
  for (const auto &plug : plugs_)
    platform_.RemoveFile(In(plug));
  std::vector<std::string> notRestored;
  for (const auto &file : held_) {
    if (file.replaced) {
      platform_.RemoveFile(file.path);
      continue;
    }
    const auto back = std::find_if(returning_.begin(), returning_.end(),
                                   [&](const auto &returning) { return returning.second == file.path; });
    if (back == returning_.end() || platform_.MoveEntry(file.path, In(back->first)) != Platform::MakeResult::Made)
      notRestored.push_back(NotRestored(file.name, file.path));
  }
  for (const auto &folder : folders_)
    platform_.RemoveFolder(In(folder));
  if (notRestored.empty()) {
    for (const auto &record : records_) {
      if (!record.path.empty())
        platform_.RemoveFile(record.path);
    }
  }
  return notRestored;
}

} // namespace sf
