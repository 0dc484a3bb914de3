#include "playlist/RecordedUndo.h"

#include "platform/InOutError.h"
#include "platform/PathParts.h"
#include "playlist/SFException.h"
#include "resources/MessageTexts.h"

#include <algorithm>
#include <cctype>
#include <map>

// The undo of a stopped run: what its record names goes, and what it held comes back.
namespace sf {
namespace {

// Larger than any record a run of 101 tracks writes, however many placeholders it needed.
constexpr std::size_t kLargestRecord = 16 * 1024 * 1024;
constexpr int kRemovalTries = 3;

// The file's first bytes, up to `most` and one more: enough to tell whether it is a record and too
// large to be one. Nothing when it cannot be read.
std::optional<std::string> ReadUpTo(Platform &platform, const std::string &path, std::size_t most) {
  std::string bytes;
  try {
    platform.ReadTextFile(path, [&](std::string_view chunk) {
      bytes.append(chunk.substr(0, most + 1 - bytes.size()));
      return bytes.size() <= most;
    });
  } catch (const EInOutError &) {
    return std::nullopt;
  }
  return bytes;
}

// A track on a drive of this computer, each part of its path a plain name: the undo reads it, and
// a crafted record must not make it reach a share, a device or a stream.
bool IsLocalTrack(std::string_view path) {
  if (path.size() < 4 || !std::isalpha(static_cast<unsigned char>(path[0])) || path.substr(1, 2) != ":\\")
    return false;
  for (std::size_t start = 3;;) {
    const auto end = path.find('\\', start);
    if (!IsUsableFileName(path.substr(start, end == std::string_view::npos ? end : end - start)))
      return false;
    if (end == std::string_view::npos)
      return true;
    start = end + 1;
  }
}

// Whether every entry and file written over that the steps announce was then written whole.
bool AllWritten(const std::vector<RecordedStep> &steps) {
  using Kind = RecordedStep::Kind;
  std::set<std::string> open;
  for (const auto &step : steps) {
    if (step.kind == Kind::Entry || step.kind == Kind::Over)
      open.insert(step.name);
    else if (step.kind == Kind::Written || step.kind == Kind::NotMade)
      open.erase(step.name);
  }
  return open.empty();
}

} // namespace

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
    if (!platform.QueryFile(path).exists)
      continue;
    const auto bytes = ReadUpTo(platform, path, kLargestRecord);
    if (!bytes)
      continue;
    auto reading = ReadRecord(*bytes);
    if (!reading.isRecord)
      continue;
    // The record of a run that is working there is open for writing, by that run alone.
    auto opened = platform.OpenForWriting(path);
    if (opened.inUse)
      throw ESFException(FormatText(messages::kRunningThere, platform.FullPath(destination)));
    if (!reading.steps || bytes->size() > kLargestRecord)
      throw ESFException(FormatText(messages::kRecordRefused, platform.FullPath(path)));
    records.push_back({path, std::move(*reading.steps), reading.wholeLength, bytes->size(), std::move(opened.file)});
  }
  if (records.empty())
    return std::nullopt;
  return RecordedUndo(platform, destination, std::move(records));
}

namespace {

std::vector<RecordedUndo::Record> OwnRecord(RunRecord &record) {
  std::vector<RecordedUndo::Record> records;
  records.push_back({record.Path(), record.Steps(), record.Length(), {}, record.TakeFile()});
  return records;
}

} // namespace

RecordedUndo::RecordedUndo(Platform &platform, const std::string &destination, RunRecord &record)
    : RecordedUndo(platform, destination, OwnRecord(record)) {}

RecordedUndo::RecordedUndo(Platform &platform, std::string destination, std::vector<Record> records)
    : platform_(platform), destination_(std::move(destination)), records_(std::move(records)) {
  Survey();
}

std::string RecordedUndo::In(const std::string &name) const { return JoinPath(destination_, name); }

void RecordedUndo::Survey() {
  using Kind = RecordedStep::Kind;
  std::set<std::string> claimed; // names that a file coming back takes
  for (std::size_t index = 0; index < records_.size(); ++index) {
    const auto &record = records_[index];
    going_.insert(Upper(FileNamePart(record.path)));
    const auto &steps = record.steps;
    // An undo that was complete left only the record to remove; a run that made and held nothing
    // of its own and wrote every copy whole, the same.
    const auto madeOrHeld = [](const RecordedStep &step) {
      return step.kind == Kind::Plug || step.kind == Kind::Folder || step.kind == Kind::Hold;
    };
    if ((!steps.empty() && steps.back().kind == Kind::Undone) ||
        (std::none_of(steps.begin(), steps.end(), madeOrHeld) && AllWritten(steps)))
      continue;
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
      case Kind::Back: // what comes back under the name is the user's
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
      // A copy written whole is the run's result, not a step to undo: nothing need be asked of it.
      if (step.kind != Kind::Plug && writtenAfter(step.name, at))
        continue;
      const auto facts = platform_.QueryFile(In(step.name));
      if (!facts.exists)
        continue;
      if (step.kind == Kind::Plug) {
        // Only while it is empty: whatever holds data is no placeholder of the run's.
        if (facts.size == 0) {
          plugs_.push_back(step.name);
          going_.insert(key);
        }
      } else {
        // An unfinished entry goes; a file written over in place goes only once the copy reached it.
        if (step.kind == Kind::Over && facts.size == step.size && facts.lastWrite == step.lastWrite)
          continue;
        // Whatever else lies under the name now (a file the user copied there after a stop) stays.
        if (facts.size == 0 || HoldsOnlyTheTrack(step.name, step, facts.size)) {
          unfinished_.push_back(step.name);
          going_.insert(key);
        } else {
          kept_.push_back(step.name);
        }
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
      HeldFile file{index, step.name, path, step.renamedTo, writtenAfter(step.name, at)};
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

bool RecordedUndo::HoldsOnlyTheTrack(const std::string &name, const RecordedStep &step, std::uint64_t size) {
  if (step.track.empty() || size > step.trackSize || !IsLocalTrack(step.track))
    return false;
  const auto partial = platform_.ReadWholeFile(In(name));
  if (!partial)
    return false;
  // The track's bytes from the start, then what a stop left unwritten: zeros.
  std::size_t same = 0;
  try {
    platform_.ReadTextFile(step.track, [&](std::string_view chunk) {
      const auto compared = std::min(chunk.size(), partial->size() - same);
      const auto differs = std::mismatch(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(compared),
                                         partial->begin() + static_cast<std::ptrdiff_t>(same));
      same += static_cast<std::size_t>(differs.first - chunk.begin());
      return differs.first == chunk.begin() + static_cast<std::ptrdiff_t>(compared) && same < partial->size();
    });
  } catch (const EInOutError &) {
    return false;
  }
  return std::all_of(partial->begin() + static_cast<std::ptrdiff_t>(same), partial->end(),
                     [](char c) { return c == '\0'; });
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

bool RecordedUndo::Note(Record &record, const RecordedStep &step) {
  if (!record.file)
    return false;
  // A line that a stop cut short is cut away first: the undo's lines never merge with it.
  if (record.length != record.wholeLength) {
    if (!record.file->Cut(record.wholeLength))
      return false;
    record.length = record.wholeLength;
  }
  const std::string line = RecordText({step}, false);
  if (!record.file->Append(line)) {
    record.length.reset(); // a part of the line may be there
    return false;
  }
  record.wholeLength += line.size();
  record.length = record.wholeLength;
  return true;
}

bool RecordedUndo::RemoveOwn(const std::string &path) {
  for (int tried = 0; tried < kRemovalTries; ++tried) {
    if (platform_.RemoveFile(path) || !platform_.QueryFile(path).exists)
      return true;
  }
  return false;
}

std::vector<std::string> RecordedUndo::Run() {
  using Kind = RecordedStep::Kind;
  std::vector<std::string> lines;
  bool complete = true;
  const auto remove = [&](const std::string &path) {
    if (!RemoveOwn(path)) {
      complete = false;
      lines.push_back(FormatText(messages::kOwnFileLeft, platform_.FullPath(path)));
    }
  };
  for (const auto &entry : unfinished_)
    remove(In(entry));
  for (const auto &plug : plugs_)
    remove(In(plug));
  for (const auto &file : held_) {
    if (file.replaced) {
      remove(file.path);
      continue;
    }
    const auto back = std::find_if(returning_.begin(), returning_.end(),
                                   [&](const auto &returning) { return returning.second == file.path; });
    // Noted first: once it is back, the name is the user's, and no later undo takes it for the run's.
    if (back == returning_.end() || !Note(records_[file.record], Announced(Kind::Back, back->first)) ||
        platform_.MoveEntry(file.path, In(back->first)) != Platform::MakeResult::Made) {
      complete = false;
      lines.push_back(NotRestored(file.name, file.path));
    }
  }
  // A folder that still holds a file named above is no leftover of its own.
  const bool heldStays = !complete;
  for (const auto &folder : folders_) {
    bool gone = false;
    for (int tried = 0; tried < kRemovalTries && !gone; ++tried)
      gone = platform_.RemoveFolder(In(folder)) || !platform_.ListNames(In(folder));
    if (!gone && !heldStays) {
      complete = false;
      lines.push_back(FormatText(messages::kOwnFileLeft, platform_.FullPath(In(folder))));
    }
  }
  for (const auto &name : kept_)
    lines.push_back(FormatText(messages::kAnnouncedNameKept, platform_.FullPath(In(name))));
  if (complete) {
    for (auto &record : records_) {
      // Closed first: a file open for writing cannot be removed. One that stays is marked complete,
      // and removed by the next run, which undoes nothing again.
      auto file = std::move(record.file);
      file.reset();
      if (RemoveOwn(record.path))
        continue;
      record.file = platform_.OpenForWriting(record.path).file;
      if (!Note(record, Announced(Kind::Undone, {})))
        lines.push_back(FormatText(messages::kRecordLeft, platform_.FullPath(record.path)));
    }
  }
  complete_ = complete;
  return lines;
}

} // namespace sf
