#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sf {

// Thrown by a run's placement when the file system refuses a step that would put a track in place;
// the run reports it as the track's failed copy.
struct PlacementFailed {};

// One change to the destination that a run announces in its record before it makes it. A name alone
// tells nothing: a file of the user's may bear any name, the program's own included. What the record
// names is the run's own, and nothing else is.
struct RecordedStep {
  enum class Kind {
    Folder,  // a holding folder is about to be made
    Plug,    // an empty placeholder is about to be made, or the entry being written renamed to it
    Entry,   // an empty entry is about to be made for a track, its data then written into it
    Over,    // a file is about to be written over where it lies; `size` and `lastWrite` are its own
    Written, // the data of the track in `name` is whole
    Hold,    // `name` is about to wait in `folder` as `held`; `renamedTo` is the name it is to take, if any
    NotMade, // the folder, placeholder or entry announced last under `name` was not made: its name was taken
  };
  Kind kind = Kind::Entry;
  std::string name;
  std::string folder;
  std::string held;
  std::string renamedTo;
  std::uint64_t size = 0;
  std::uint64_t lastWrite = 0;

  bool operator==(const RecordedStep &other) const;
};

inline RecordedStep Announced(RecordedStep::Kind kind, std::string name) {
  RecordedStep step;
  step.kind = kind;
  step.name = std::move(name);
  return step;
}

// The record's bytes: a first line that marks it, then a line for each step, each ended by "\n".
std::string RecordText(const std::vector<RecordedStep> &steps, bool withFirstLine);
// The steps of a record's bytes, up to the last whole line; nothing when the bytes are no record.
std::optional<std::vector<RecordedStep>> ParseRecord(std::string_view bytes);
// Whether a file of `name` may be a run's record, which only its bytes tell.
bool MayBeRecordName(std::string_view name);

// A run's record in the destination: a hidden file, made at the first step that needs it, each step
// appended and flushed to the disk before it is taken. Its entry is made once; appending keeps it.
class RunRecord {
public:
  RunRecord(Platform &platform, std::string destination);

  // Writes the steps down. False when the record cannot be made or written (a full root folder, a
  // drive that refuses): then they must not be taken.
  bool Note(const std::vector<RecordedStep> &steps);
  bool Note(const RecordedStep &step) { return Note(std::vector<RecordedStep>{step}); }
  const std::vector<RecordedStep> &Steps() const { return steps_; }
  bool Made() const { return !path_.empty(); }
  const std::string &Path() const { return path_; }
  // A name in the destination that nothing there bears, nor any step of this run: `stem` + `ending`,
  // or with a number between them.
  std::string UnusedName(const std::string &stem, const std::string &ending);

private:
  Platform &platform_;
  std::string destination_;
  std::string path_;
  std::vector<RecordedStep> steps_;
  std::uint32_t tried_ = 0;
};

// The hidden folder in the destination where a run keeps files aside, each announced in the record
// before it moves: a file that waits for its replacement, or a copy whose new name another still
// bears. Made at the first file held, under a name that nothing there bears.
class HoldingFolder {
public:
  HoldingFolder(Platform &platform, RunRecord &record, std::string destination);

  // Moves `name` aside as `heldAs`; `renamedTo`, the name it is to take, if any. False, with nothing
  // moved, where the record or the folder cannot be made (a full root folder). Throws PlacementFailed
  // when the system refuses the move or the record cannot be written.
  bool Hold(const std::string &name, const std::string &heldAs, const std::string &renamedTo = {});
  // Where the file held as `heldAs` waits.
  std::string PathOf(const std::string &heldAs) const;
  // Removes the folder, once empty.
  void RemoveIfMade();

private:
  Platform &platform_;
  RunRecord &record_;
  std::string destination_;
  std::string name_; // empty until made
};

} // namespace sf
