#include "playlist/RunRecord.h"

#include "platform/PathParts.h"
#include "resources/MessageTexts.h"

#include <algorithm>
#include <array>
#include <map>

namespace sf {
namespace {

constexpr std::string_view kFirstLine = "Songferry run record 1";
constexpr std::string_view kRecordStem = "~Songferry run record", kRecordEnding = ".txt";

constexpr std::array<std::pair<RecordedStep::Kind, std::string_view>, 7> kKindWords = {{
    {RecordedStep::Kind::Folder, "folder"},
    {RecordedStep::Kind::Plug, "plug"},
    {RecordedStep::Kind::Entry, "entry"},
    {RecordedStep::Kind::Over, "over"},
    {RecordedStep::Kind::Written, "written"},
    {RecordedStep::Kind::Hold, "hold"},
    {RecordedStep::Kind::NotMade, "notmade"},
}};

// Where a file of the user's bears one of the run's names, a number follows the stem.
std::string NumberedName(std::string_view stem, int number, std::string_view ending) {
  return std::string(stem) + (number == 1 ? "" : " " + std::to_string(number)) + std::string(ending);
}

constexpr std::string_view kHoldingStem = "~Songferry holding";
constexpr int kMostNamesTried = 16;

std::vector<std::string> SplitFields(std::string_view line) {
  std::vector<std::string> fields;
  for (std::size_t start = 0;;) {
    const auto tab = line.find('\t', start);
    fields.emplace_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos)
      return fields;
    start = tab + 1;
  }
}

std::optional<std::uint64_t> Number(const std::string &text) {
  if (text.empty() || text.size() > 20 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return std::stoull(text);
}

std::optional<RecordedStep> ParseStep(std::string_view line) {
  const auto fields = SplitFields(line);
  const auto kind = std::find_if(kKindWords.begin(), kKindWords.end(),
                                 [&](const auto &word) { return word.second == fields.front(); });
  if (kind == kKindWords.end())
    return std::nullopt;
  RecordedStep step;
  step.kind = kind->first;
  const std::size_t expected = step.kind == RecordedStep::Kind::Hold   ? 5
                               : step.kind == RecordedStep::Kind::Over ? 4
                                                                       : 2;
  if (fields.size() != expected || fields[1].empty())
    return std::nullopt;
  step.name = fields[1];
  if (step.kind == RecordedStep::Kind::Hold) {
    step.folder = fields[2];
    step.held = fields[3];
    step.renamedTo = fields[4];
    if (step.folder.empty() || step.held.empty())
      return std::nullopt;
  } else if (step.kind == RecordedStep::Kind::Over) {
    const auto size = Number(fields[2]), lastWrite = Number(fields[3]);
    if (!size || !lastWrite)
      return std::nullopt;
    step.size = *size;
    step.lastWrite = *lastWrite;
  }
  return step;
}

} // namespace

bool RecordedStep::operator==(const RecordedStep &other) const {
  return kind == other.kind && name == other.name && folder == other.folder && held == other.held &&
         renamedTo == other.renamedTo && size == other.size && lastWrite == other.lastWrite;
}

std::string RecordText(const std::vector<RecordedStep> &steps, bool withFirstLine) {
  std::string text = withFirstLine ? std::string(kFirstLine) + "\n" : "";
  for (const auto &step : steps) {
    text += std::find_if(kKindWords.begin(), kKindWords.end(), [&](const auto &word) {
              return word.first == step.kind;
            })->second;
    text += "\t" + step.name;
    if (step.kind == RecordedStep::Kind::Hold)
      text += "\t" + step.folder + "\t" + step.held + "\t" + step.renamedTo;
    else if (step.kind == RecordedStep::Kind::Over)
      text += "\t" + std::to_string(step.size) + "\t" + std::to_string(step.lastWrite);
    text += "\n";
  }
  return text;
}

std::optional<std::vector<RecordedStep>> ParseRecord(std::string_view bytes) {
  if (bytes.substr(0, kFirstLine.size() + 1) != std::string(kFirstLine) + "\n")
    return std::nullopt;
  std::vector<RecordedStep> steps;
  // A line that a stop cut short is a step that was never taken: the record stops before it.
  for (std::size_t start = kFirstLine.size() + 1, end; (end = bytes.find('\n', start)) != std::string_view::npos;
       start = end + 1) {
    auto step = ParseStep(bytes.substr(start, end - start));
    if (!step)
      return std::nullopt;
    steps.push_back(std::move(*step));
  }
  return steps;
}

RunRecord::RunRecord(Platform &platform, std::string destination)
    : platform_(platform), destination_(std::move(destination)) {}

bool RunRecord::Note(const std::vector<RecordedStep> &steps) {
  if (!Made()) {
    for (int number = 1; number <= kMostNamesTried; ++number) {
      const std::string path = JoinPath(destination_, NumberedName(kRecordStem, number, kRecordEnding));
      const auto made = platform_.MakeHiddenFile(path, RecordText(steps, true));
      if (made == Platform::MakeResult::Exists)
        continue;
      if (made != Platform::MakeResult::Made)
        return false;
      path_ = path;
      steps_ = steps;
      return true;
    }
    return false;
  }
  if (!platform_.AppendToFile(path_, RecordText(steps, false)))
    return false;
  steps_.insert(steps_.end(), steps.begin(), steps.end());
  return true;
}

HoldingFolder::HoldingFolder(Platform &platform, RunRecord &record, std::string destination)
    : platform_(platform), record_(record), destination_(std::move(destination)) {}

bool HoldingFolder::Hold(const std::string &name, const std::string &heldAs, const std::string &renamedTo) {
  using Kind = RecordedStep::Kind;
  for (int number = 1; name_.empty(); ++number) {
    if (number > kMostNamesTried)
      throw PlacementFailed{};
    const std::string folder = NumberedName(kHoldingStem, number, "");
    if (!record_.Note(Announced(Kind::Folder, folder))) {
      if (record_.Made())
        throw PlacementFailed{};
      return false;
    }
    const auto made = platform_.MakeFolder(JoinPath(destination_, folder), true);
    if (made == Platform::MakeResult::Made) {
      name_ = folder;
      break;
    }
    if (!record_.Note(Announced(Kind::NotMade, folder)))
      throw PlacementFailed{};
    if (made == Platform::MakeResult::FolderFull)
      return false;
    if (made != Platform::MakeResult::Exists)
      throw PlacementFailed{};
  }
  RecordedStep hold = Announced(Kind::Hold, name);
  hold.folder = name_;
  hold.held = heldAs;
  hold.renamedTo = renamedTo;
  if (!record_.Note(hold) ||
      platform_.MoveEntry(JoinPath(destination_, name), PathOf(heldAs)) != Platform::MakeResult::Made)
    throw PlacementFailed{};
  return true;
}

std::string HoldingFolder::PathOf(const std::string &heldAs) const {
  return JoinPath(JoinPath(destination_, name_), heldAs);
}

void HoldingFolder::RemoveIfMade() {
  if (!name_.empty() && platform_.RemoveFolder(JoinPath(destination_, name_)))
    name_.clear();
}

std::optional<RecordedUndo> RecordedUndo::Find(Platform &platform, const std::string &destination) {
  const auto names = platform.ListNames(destination);
  if (!names)
    return std::nullopt;
  const std::string stem = UpperAscii(kRecordStem), ending = UpperAscii(kRecordEnding);
  std::vector<Record> records;
  for (const auto &name : *names) {
    const std::string upper = UpperAscii(name);
    if (upper.size() < stem.size() + ending.size() || upper.compare(0, stem.size(), stem) != 0 ||
        upper.compare(upper.size() - ending.size(), ending.size(), ending) != 0)
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
