#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <optional>
#include <set>
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

// What undoing a run's record does in the destination, found out without changing anything: the
// run's placeholders and unfinished entries go, its held files come back under their names (a held
// file whose replacement was written whole goes instead), and then its folders and the record.
class RecordedUndo {
public:
  // The records that interrupted runs left in `destination`, read; nothing when there are none.
  static std::optional<RecordedUndo> Find(Platform &platform, const std::string &destination);
  // The undo of this run's own record, after a cancel or an error.
  RecordedUndo(Platform &platform, const std::string &destination, const std::vector<RecordedStep> &steps,
               const std::string &recordPath);

  // Names in the destination, upper-cased, that the undo removes.
  const std::set<std::string> &Going() const { return going_; }
  // Files that come back: their name in the destination and where they wait now.
  const std::vector<std::pair<std::string, std::string>> &Returning() const { return returning_; }
  // The lines of kNotRestored for the files that cannot come back, their name being taken.
  std::vector<std::string> Stuck() const;

  // Carries the undo out. The lines of kNotRestored for the files that could not be put back, in
  // which case the record stays for a later run; empty when all is undone and the records are gone.
  std::vector<std::string> Run();

private:
  struct Record {
    std::string path;
    std::vector<RecordedStep> steps;
  };
  struct HeldFile {
    std::string name; // in the destination, before the run
    std::string path; // where it waits
    std::string also; // the name it was to take by a rename, or empty
    bool replaced;    // its replacement was written whole: it goes
  };
  RecordedUndo(Platform &platform, std::string destination, std::vector<Record> records);
  void Survey();
  std::string In(const std::string &name) const;
  std::string Upper(const std::string &name) const { return platform_.UpperCase(name); }
  std::string NotRestored(const std::string &name, const std::string &path) const;

  Platform &platform_;
  std::string destination_;
  std::vector<Record> records_;
  std::vector<std::string> unfinished_; // entries left unwritten
  std::vector<std::string> plugs_;
  std::vector<HeldFile> held_;
  std::vector<std::string> folders_;
  std::set<std::string> going_;
  std::vector<std::pair<std::string, std::string>> returning_;
  std::vector<std::pair<std::string, std::string>> stuck_;
};

} // namespace sf
