#pragma once

#include "convert/Converter.h"
#include "platform/Platform.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace sf {

// What a run knows of its tracks and of its destination before it changes anything. A question is
// put to the system only when a rule needs its answer, and the answer is remembered: on some systems
// a file's identity, or a missing name, costs more than the rest of a track's checks.
class RunFacts {
public:
  virtual ~RunFacts() = default;

  // As Platform::UpperCase and Platform::FullPath.
  virtual std::string UpperCase(std::string_view text) const = 0;
  virtual std::string FullPath(const std::string &path) = 0;

  // The tracks, by their place in the playlist from 0.
  virtual std::int32_t TrackCount() const = 0;
  virtual Platform::FileFacts Track(std::int32_t track) = 0;
  // Whether the track's data can be read through: a cloud file is fetched by that.
  virtual bool TrackReadable(std::int32_t track) = 0;
  virtual std::string TrackIdentity(std::int32_t track) = 0;

  // The destination, and its files by their names there.
  virtual std::string FileSystem() = 0;
  // Every name it holds (Platform::ListNames); nothing when it could not be listed.
  virtual const std::optional<std::vector<std::string>> &Names() = 0;
  // Its entries in the order the system lists them; nothing when it could not be listed.
  virtual const std::optional<std::vector<Platform::FolderEntry>> &Entries() = 0;
  // The plain files whose names the system matches to "*.`extension`" (Platform::ListFiles).
  virtual std::vector<std::string> FilesMatching(std::string_view extension) = 0;
  virtual Platform::FileFacts File(const std::string &name) = 0;
  virtual std::string Identity(const std::string &name) = 0;
  // As Platform::ReadWholeFile.
  virtual std::optional<std::string> Contents(const std::string &name) = 0;
  // What the MP3 under `name` says it was made from (FindMark); nothing when it says nothing.
  virtual std::optional<ConvertedMark> Mark(const std::string &name) = 0;
  virtual std::optional<Platform::DiskSpace> Space() = 0;

  // Whether `identity`, of a file with `facts`, is that of track `track`, or of any track; never for
  // an empty one. One file has one size and time: a track of others needs no question.
  bool IsTrack(std::int32_t track, const std::string &identity, const Platform::FileFacts &facts);
  bool IsAnyTrack(const std::string &identity, const Platform::FileFacts &facts);
};

// The facts as the system answers them, for a destination and tracks given by their paths. `look`
// is called after each question, so that the caller can keep its windows answering (and stop).
class FactsOnDisk final : public RunFacts {
public:
  FactsOnDisk(Platform &platform, std::string destination, std::vector<std::string> tracks, std::function<void()> look);

  // Forgets what it knows of the destination's files: they have changed.
  void ForgetDestination();

  std::string UpperCase(std::string_view text) const override { return platform_.UpperCase(text); }
  std::string FullPath(const std::string &path) override { return platform_.FullPath(path); }
  std::int32_t TrackCount() const override { return static_cast<std::int32_t>(tracks_.size()); }
  Platform::FileFacts Track(std::int32_t track) override;
  bool TrackReadable(std::int32_t track) override;
  std::string TrackIdentity(std::int32_t track) override;
  std::string FileSystem() override;
  const std::optional<std::vector<std::string>> &Names() override;
  const std::optional<std::vector<Platform::FolderEntry>> &Entries() override;
  std::vector<std::string> FilesMatching(std::string_view extension) override;
  Platform::FileFacts File(const std::string &name) override;
  std::string Identity(const std::string &name) override;
  std::optional<std::string> Contents(const std::string &name) override;
  std::optional<ConvertedMark> Mark(const std::string &name) override;
  std::optional<Platform::DiskSpace> Space() override;

private:
  // Asks `question` once, looking at the queue after it.
  template <typename Answer, typename Question>
  const Answer &Remembered(std::optional<Answer> &known, Question question);

  Platform &platform_;
  std::string destination_;
  std::vector<std::string> tracks_;
  std::function<void()> look_;
  std::vector<std::optional<Platform::FileFacts>> trackFacts_;
  std::vector<std::optional<std::string>> trackIdentities_;
  std::optional<std::string> fileSystem_;
  std::optional<std::optional<std::vector<std::string>>> names_;
  std::optional<std::optional<std::vector<Platform::FolderEntry>>> entries_;
  std::map<std::string, std::optional<Platform::FileFacts>> files_;
  std::map<std::string, std::optional<std::string>> identities_;
  std::optional<std::optional<Platform::DiskSpace>> space_;
};

// The names a folder held, so that a name which cannot be there needs no question to the system: on
// some systems asking for a missing name searches the whole folder. Only plain ASCII names are told
// apart by their spelling; the system folds other characters by tables of its own and drops a name's
// trailing dots and spaces.
class FolderNames {
public:
  explicit FolderNames(const std::optional<std::vector<std::string>> &listing);
  // False only when no file of the folder can answer to `name`.
  bool MayHold(const std::string &name) const;
  void Add(const std::string &name);

private:
  bool spellingDecides_ = false;
  std::set<std::string> upperNames_;
};

} // namespace sf
