#include "playlist/RunRecord.h"

#include "platform/PathParts.h"

#include <algorithm>
#include <array>

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

bool MayBeRecordName(std::string_view name) {
  const std::string upper = UpperAscii(name), stem = UpperAscii(kRecordStem), ending = UpperAscii(kRecordEnding);
  return upper.size() >= stem.size() + ending.size() && upper.compare(0, stem.size(), stem) == 0 &&
         upper.compare(upper.size() - ending.size(), ending.size(), ending) == 0;
}

} // namespace sf
