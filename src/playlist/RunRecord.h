#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <memory>
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
// names is the run's own, and nothing else is. The folders and placeholders it announces bear names
// that the run's latest listing showed free.
struct RecordedStep {
  enum class Kind {
    Folder,  // a holding folder is about to be made
    Plug,    // an empty placeholder is about to be made, or the entry being written renamed to it
    Entry,   // an empty entry is about to be made for a track, its data then written into it
    Over,    // a file is about to be written over where it lies; `size` and `lastWrite` are its own
    Written, // the data of the track in `name` is whole
    Hold,    // `name` is about to wait in `folder` as `held`; `renamedTo` is the name it is to take, if any
    NotMade, // the folder, placeholder or entry announced last under `name` was not made: its name was taken
    Back,    // the undo is about to put a held file back under `name`: from here on that name is the user's
    Undone,  // the undo is complete; only the record itself is left to remove
  };
  Kind kind = Kind::Entry;
  std::string name;
  std::string folder;
  std::string held;
  std::string renamedTo;
  std::uint64_t size = 0;
  std::uint64_t lastWrite = 0;
  // Entry and Over: the track whose data goes into the file, so that the undo removes only the
  // track's own bytes; empty in the records of runs that did not say.
  std::string track;
  std::uint64_t trackSize = 0;
  std::uint64_t trackLastWrite = 0;

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

// What a file's bytes are to the program. A file is a run's record by its first line alone, whatever
// its name; of a record, every whole line must be a step this program writes, naming only what a run
// makes in its destination, or the record is refused.
struct RecordReading {
  bool isRecord = false;
  // The steps, up to the last whole line; nothing when the record is refused.
  std::optional<std::vector<RecordedStep>> steps;
  // The bytes up to the end of the last whole line: what follows was cut short by a stop.
  std::size_t wholeLength = 0;
};
RecordReading ReadRecord(std::string_view bytes);
// Whether a file of `name` may be a run's record, which only its bytes tell.
bool MayBeRecordName(std::string_view name);
// Whether a track's copy bearing `name` could be taken for the run's own files: the record, the
// holding folder or a placeholder.
bool IsProgramsOwnName(std::string_view name);

// A run's record in the destination: a hidden file, made at the first step that needs it, each step
// appended and flushed to the disk before it is taken. Its entry is made once; appending keeps it.
class RunRecord {
public:
  RunRecord(Platform &platform, std::string destination);

  // Writes the steps down. False when the record cannot be made or written (a full root folder, a
  // drive that refuses): then they must not be taken.
  bool Note(const std::vector<RecordedStep> &steps);
  bool Note(const RecordedStep &step) { return Note(std::vector<RecordedStep>{step}); }
  // The track whose data the run writes next: its entries and files written over name it, so that
  // an undo removes only what holds the track's own bytes.
  void WritingTrack(std::string path, std::uint64_t size, std::uint64_t lastWrite);
  const std::vector<RecordedStep> &Steps() const { return steps_; }
  bool Made() const { return !path_.empty(); }
  const std::string &Path() const { return path_; }
  // The bytes of the whole lines written.
  std::size_t Length() const { return length_; }
  // The record, open for writing since it was made: while it is, no other instance of the program
  // takes it for a stopped run's. Nothing once taken.
  std::unique_ptr<Platform::WritingFile> TakeFile() { return std::move(file_); }

private:
  Platform &platform_;
  std::string destination_;
  std::string path_;
  std::vector<RecordedStep> steps_;
  std::size_t length_ = 0;
  std::unique_ptr<Platform::WritingFile> file_;
  RecordedStep track_; // its track fields: the track being written
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
