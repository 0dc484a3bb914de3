#include "playlist/RunRecord.h"

#include "platform/PathParts.h"

#include "platform/Utf8.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <set>

namespace sf {
namespace {

// The first line names the record's version. Version 1 knew no track in its entry lines and no
// lines of the undo; its records are still undone, under the same checks.
constexpr std::string_view kMark = "Songferry run record ";
constexpr std::string_view kFirstLine = "Songferry run record 2";
constexpr std::string_view kFirstLineBefore = "Songferry run record 1";
constexpr std::string_view kRecordStem = "~Songferry run record", kRecordEnding = ".txt";

constexpr std::array<std::pair<RecordedStep::Kind, std::string_view>, 9> kKindWords = {{
    {RecordedStep::Kind::Folder, "folder"},
    {RecordedStep::Kind::Plug, "plug"},
    {RecordedStep::Kind::Entry, "entry"},
    {RecordedStep::Kind::Over, "over"},
    {RecordedStep::Kind::Written, "written"},
    {RecordedStep::Kind::Hold, "hold"},
    {RecordedStep::Kind::NotMade, "notmade"},
    {RecordedStep::Kind::Back, "back"},
    {RecordedStep::Kind::Undone, "undone"},
}};

// Where a file of the user's bears one of the run's names, a number follows the stem.
std::string NumberedName(std::string_view stem, int number, std::string_view ending) {
  return std::string(stem) + (number == 1 ? "" : " " + std::to_string(number)) + std::string(ending);
}

constexpr std::string_view kHoldingStem = "~Songferry holding";
constexpr int kMostNamesTried = 16;

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const auto tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos)
      return fields;
    start = tab + 1;
  }
}

bool AllDigits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A number of up to 64 bits; nothing for any other text.
std::optional<std::uint64_t> Number(std::string_view text) {
  std::uint64_t value = 0;
  if (text.empty() || !AllDigits(text))
    return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size())
    return std::nullopt;
  return value;
}

// A name that the destination holds directly: no folder, drive, stream or device, nothing the
// system would change.
bool IsPlainName(std::string_view name) { return IsValidUtf8(name) && IsUsableFileName(name); }

// With `anyCase`, as a name of the destination compares with the program's own.
bool IsHoldingName(std::string_view name, bool anyCase = false) {
  const auto same = [&](std::string_view own) { return anyCase ? UpperAscii(name) == UpperAscii(own) : name == own; };
  for (int number = 1; number <= kMostNamesTried; ++number) {
    if (same(NumberedName(kHoldingStem, number, "")))
      return true;
  }
  return false;
}

// "~SF12345.PLG" for a short name; "~sfplug 12345" padded with "x" for a long one, or with "0" for
// "~" where a probe of the listing was renamed.
bool IsPlugName(std::string_view name, bool anyCase = false) {
  const std::string folded = anyCase ? UpperAscii(name) : std::string(name);
  const std::string_view plug = folded;
  const auto is = [&](std::string_view part, std::string_view own) {
    return anyCase ? part == UpperAscii(own) : part == own;
  };
  if (plug.size() == 12 && plug.substr(0, 3) == "~SF" && AllDigits(plug.substr(3, 5)) && plug.substr(8) == ".PLG")
    return true;
  if (plug.size() < 13 || (plug[0] != '~' && plug[0] != '0') || !is(plug.substr(1, 7), "sfplug ") ||
      !AllDigits(plug.substr(8, 5)))
    return false;
  return std::all_of(plug.begin() + 13, plug.end(), [&](char c) { return c == (anyCase ? 'X' : 'x'); });
}

// The track written into a file: its path, size and time, in three fields of their own.
bool ReadTrack(const std::vector<std::string_view> &fields, std::size_t at, RecordedStep &step) {
  const auto size = Number(fields[at + 1]), lastWrite = Number(fields[at + 2]);
  if (fields[at].empty() || !IsValidUtf8(fields[at]) || !size || !lastWrite)
    return false;
  step.track = fields[at];
  step.trackSize = *size;
  step.trackLastWrite = *lastWrite;
  return true;
}

std::optional<RecordedStep> ParseStep(std::string_view line) {
  using Kind = RecordedStep::Kind;
  const auto fields = SplitFields(line);
  const auto kind = std::find_if(kKindWords.begin(), kKindWords.end(),
                                 [&](const auto &word) { return word.second == fields.front(); });
  if (kind == kKindWords.end())
    return std::nullopt;
  RecordedStep step;
  step.kind = kind->first;
  const std::size_t count = fields.size();
  if (step.kind == Kind::Undone)
    return count == 1 ? std::optional(step) : std::nullopt;
  if (count < 2)
    return std::nullopt;
  step.name = fields[1];
  switch (step.kind) {
  case Kind::Folder:
    return count == 2 && IsHoldingName(step.name) ? std::optional(step) : std::nullopt;
  case Kind::Plug:
    return count == 2 && IsPlugName(step.name) ? std::optional(step) : std::nullopt;
  case Kind::Entry:
    if (!IsPlainName(step.name) || (count != 2 && (count != 5 || !ReadTrack(fields, 2, step))))
      return std::nullopt;
    return step;
  case Kind::Over: {
    if (!IsPlainName(step.name) || (count != 4 && (count != 7 || !ReadTrack(fields, 4, step))))
      return std::nullopt;
    const auto size = Number(fields[2]), lastWrite = Number(fields[3]);
    if (!size || !lastWrite)
      return std::nullopt;
    step.size = *size;
    step.lastWrite = *lastWrite;
    return step;
  }
  case Kind::Hold:
    if (count != 5)
      return std::nullopt;
    step.folder = fields[2];
    step.held = fields[3];
    step.renamedTo = fields[4];
    // A held file waits under its own name or the one it is to take, nowhere else.
    if (!IsPlainName(step.name) || !IsHoldingName(step.folder) || step.held.empty() ||
        (!step.renamedTo.empty() && !IsPlainName(step.renamedTo)) ||
        (step.held != step.name && step.held != step.renamedTo))
      return std::nullopt;
    return step;
  case Kind::NotMade:
    return count == 2 && (IsPlainName(step.name) || IsHoldingName(step.name) || IsPlugName(step.name))
               ? std::optional(step)
               : std::nullopt;
  default: // Written, Back
    return count == 2 && IsPlainName(step.name) ? std::optional(step) : std::nullopt;
  }
}

void AppendTrack(std::string &text, const RecordedStep &step) {
  if (!step.track.empty())
    text += "\t" + step.track + "\t" + std::to_string(step.trackSize) + "\t" + std::to_string(step.trackLastWrite);
}

} // namespace

bool RecordedStep::operator==(const RecordedStep &other) const {
  return kind == other.kind && name == other.name && folder == other.folder && held == other.held &&
         renamedTo == other.renamedTo && size == other.size && lastWrite == other.lastWrite && track == other.track &&
         trackSize == other.trackSize && trackLastWrite == other.trackLastWrite;
}

std::string RecordText(const std::vector<RecordedStep> &steps, bool withFirstLine) {
  using Kind = RecordedStep::Kind;
  std::string text = withFirstLine ? std::string(kFirstLine) + "\n" : "";
  for (const auto &step : steps) {
    text += std::find_if(kKindWords.begin(), kKindWords.end(), [&](const auto &word) {
              return word.first == step.kind;
            })->second;
    if (step.kind != Kind::Undone)
      text += "\t" + step.name;
    if (step.kind == Kind::Hold)
      text += "\t" + step.folder + "\t" + step.held + "\t" + step.renamedTo;
    else if (step.kind == Kind::Over)
      text += "\t" + std::to_string(step.size) + "\t" + std::to_string(step.lastWrite);
    if (step.kind == Kind::Entry || step.kind == Kind::Over)
      AppendTrack(text, step);
    text += "\n";
  }
  return text;
}

RecordReading ReadRecord(std::string_view bytes) {
  RecordReading reading;
  const auto firstEnd = bytes.find('\n');
  if (firstEnd == std::string_view::npos || bytes.substr(0, kMark.size()) != kMark)
    return reading;
  reading.isRecord = true;
  const auto firstLine = bytes.substr(0, firstEnd);
  // A line that a stop cut short is a step that was never taken: the record ends before it. That
  // includes a tail of zeros, which some file systems leave where a write did not finish.
  reading.wholeLength = bytes.rfind('\n') + 1;
  if (firstLine != kFirstLine && firstLine != kFirstLineBefore)
    return reading;
  std::vector<RecordedStep> steps;
  for (std::size_t start = firstEnd + 1; start < reading.wholeLength;) {
    const std::size_t end = bytes.find('\n', start);
    auto step = ParseStep(bytes.substr(start, end - start));
    // Nothing may follow the mark of a complete undo.
    if (!step || (!steps.empty() && steps.back().kind == RecordedStep::Kind::Undone))
      return reading;
    steps.push_back(std::move(*step));
    start = end + 1;
  }
  reading.steps = std::move(steps);
  return reading;
}

bool IsProgramsOwnName(std::string_view name) {
  return MayBeRecordName(name) || IsHoldingName(name, true) || IsPlugName(name, true);
}

RunRecord::RunRecord(Platform &platform, std::string destination)
    : platform_(platform), destination_(std::move(destination)) {}

void RunRecord::WritingTrack(std::string path, std::uint64_t size, std::uint64_t lastWrite) {
  track_.track = std::move(path);
  track_.trackSize = size;
  track_.trackLastWrite = lastWrite;
}

bool RunRecord::Note(const std::vector<RecordedStep> &announced) {
  std::vector<RecordedStep> steps = announced;
  for (auto &step : steps) {
    if ((step.kind == RecordedStep::Kind::Entry || step.kind == RecordedStep::Kind::Over) && step.track.empty()) {
      step.track = track_.track;
      step.trackSize = track_.trackSize;
      step.trackLastWrite = track_.trackLastWrite;
    }
  }
  if (!Made()) {
    for (int number = 1; number <= kMostNamesTried; ++number) {
      const std::string path = JoinPath(destination_, NumberedName(kRecordStem, number, kRecordEnding));
      const std::string text = RecordText(steps, true);
      auto made = platform_.MakeHiddenFile(path, text);
      if (made.result == Platform::MakeResult::Exists)
        continue;
      if (made.result != Platform::MakeResult::Made)
        return false;
      path_ = path;
      file_ = std::move(made.file);
      length_ = text.size();
      steps_ = steps;
      return true;
    }
    return false;
  }
  const std::string text = RecordText(steps, false);
  if (!file_ || !file_->Append(text)) {
    // A part of the lines may be there (a full drive): cut away, so that no later line merges with it.
    if (file_)
      file_->Cut(length_);
    return false;
  }
  length_ += text.size();
  steps_.insert(steps_.end(), steps.begin(), steps.end());
  return true;
}

HoldingFolder::HoldingFolder(Platform &platform, RunRecord &record, std::string destination)
    : platform_(platform), record_(record), destination_(std::move(destination)) {}

bool HoldingFolder::Hold(const std::string &name, const std::string &heldAs, const std::string &renamedTo) {
  using Kind = RecordedStep::Kind;
  // Only a name that the listing shows free is announced: whatever the undo finds under it is the run's.
  std::set<std::string> taken;
  if (name_.empty()) {
    const auto names = platform_.ListNames(destination_);
    if (!names)
      throw PlacementFailed{};
    for (const auto &name : *names)
      taken.insert(platform_.UpperCase(name));
  }
  for (int number = 1; name_.empty(); ++number) {
    if (number > kMostNamesTried)
      throw PlacementFailed{};
    const std::string folder = NumberedName(kHoldingStem, number, "");
    if (taken.count(platform_.UpperCase(folder)))
      continue;
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
