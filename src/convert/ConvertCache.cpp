#include "convert/ConvertCache.h"

#include "platform/InOutError.h"
#include "platform/PathParts.h"
#include "resources/MessageTexts.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace sf {
namespace {

// A tag holding more than this before the mark is not one the program wrote.
constexpr std::size_t kLongestHead = 1 << 20;
// Conversions of one track by several instances at once each take a temporary name of their own.
constexpr int kTemporaryNames = 16;

std::uint64_t Fnv1a(std::string_view text) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (const char byte : text) {
    hash ^= static_cast<unsigned char>(byte);
    hash *= 1099511628211ULL;
  }
  return hash;
}

} // namespace

std::optional<ConvertedMark> ReadMark(Platform &system, const std::string &path) {
  std::string head;
  std::optional<ConvertedMark> mark;
  try {
    system.ReadTextFile(path, [&](std::string_view chunk) {
      head.append(chunk);
      mark = FindMark(head);
      constexpr std::size_t kHeader = 10;
      const bool tagRead = head.size() >= kHeader && (head.compare(0, 3, "ID3") != 0 || mark);
      return !tagRead && head.size() < kLongestHead;
    });
  } catch (const EInOutError &) {
    return std::nullopt;
  }
  return mark;
}

ConvertCache::ConvertCache(Platform &system, std::string folder, std::uint64_t limitBytes)
    : system_(system), folder_(std::move(folder)), limitBytes_(limitBytes) {}

std::string ConvertCache::PathOf(const ConvertJob &job, std::string_view suffix) {
  // The same track reached by other spellings of its path is converted again: harmless.
  const std::string key = system_.UpperCase(job.source) + "|" + std::to_string(job.size) + "|" +
                          std::to_string(job.lastWrite) + "|" + std::to_string(static_cast<int>(job.quality));
  char name[17];
  std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(Fnv1a(key)));
  return JoinPath(folder_, std::string(name) + std::string(suffix));
}

std::optional<std::string> ConvertCache::Find(const ConvertJob &job) {
  const std::string path = PathFor(job);
  auto held = system_.HoldFile(path);
  if (!held)
    return std::nullopt;
  held->MarkUsed();
  held_.push_back(std::move(held));
  return path;
}

std::string ConvertCache::PathFor(const ConvertJob &job) { return PathOf(job, ".mp3"); }

ConvertCache::Made ConvertCache::NewPart(const ConvertJob &job) {
  grown_ = true;
  system_.MakeFolder(FolderPart(folder_), false);
  system_.MakeFolder(folder_, false);
  // A temporary file left by a stopped conversion goes; one that another instance writes stays, as
  // the system keeps it from removal.
  for (int n = 1; n <= kTemporaryNames; ++n) {
    const std::string candidate = PathOf(job, n == 1 ? ".part" : "-" + std::to_string(n) + ".part");
    if (!system_.FileExists(candidate) || system_.RemoveFile(candidate))
      return {candidate, {}};
  }
  return {{}, FormatText(messages::kCacheUnwritable, system_.FullPath(folder_))};
}

ConvertCache::Made ConvertCache::Keep(const ConvertJob &job, const std::string &part) {
  const std::string path = PathFor(job);
  // A file of that name that cannot be held is no use to anyone: the new one takes its place.
  if (system_.MoveEntry(part, path) == Platform::MakeResult::Exists && system_.RemoveFile(path))
    system_.MoveEntry(part, path);
  // Another instance may have finished the same conversion first: its file is as good.
  system_.RemoveFile(part);
  if (auto found = Find(job))
    return {*found, {}};
  return {{}, FormatText(messages::kCacheUnwritable, system_.FullPath(folder_))};
}

void ConvertCache::Drop(const std::string &part) { system_.RemoveFile(part); }

ConvertCache::Made ConvertCache::Make(const ConvertJob &job, Converter &converter, const std::function<void()> &look) {
  const Made part = NewPart(job);
  if (!part.reason.empty())
    return part;
  Converter::Reason reason;
  try {
    reason = converter.Convert(job, part.path, look);
  } catch (...) {
    Drop(part.path);
    throw;
  }
  if (!reason.empty()) {
    Drop(part.path);
    return {{}, reason};
  }
  return Keep(job, part.path);
}

void ConvertCache::Trim() {
  held_.clear();
  // A cache that took nothing new is as small as the last trim left it.
  if (!grown_)
    return;
  for (const auto &name : system_.ListFiles(JoinPath(folder_, "*.part")))
    system_.RemoveFile(JoinPath(folder_, name));
  struct Kept {
    std::string path;
    Platform::FileFacts facts;
  };
  std::vector<Kept> kept;
  std::uint64_t total = 0;
  for (const auto &name : system_.ListFiles(JoinPath(folder_, "*.mp3"))) {
    Kept file{JoinPath(folder_, name), system_.QueryFile(JoinPath(folder_, name))};
    total += file.facts.size;
    kept.push_back(std::move(file));
  }
  std::sort(kept.begin(), kept.end(), [](const Kept &a, const Kept &b) { return a.facts.lastUse < b.facts.lastUse; });
  for (const auto &file : kept) {
    if (total <= limitBytes_)
      break;
    if (system_.RemoveFile(file.path))
      total -= file.facts.size;
  }
}

} // namespace sf
