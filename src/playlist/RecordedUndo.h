#pragma once

#include "platform/Platform.h"
#include "playlist/RunRecord.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace sf {

// What undoing a run's record does in the destination, found out without changing anything: the
// run's placeholders and unfinished entries go, its held files come back under their names (a held
// file whose replacement was written whole goes instead), and then its folders and the record. The
// undo writes its own steps into the record as it goes, so that an undo stopped anywhere and run
// again ends where a whole one ends.
class RecordedUndo {
public:
  // The records that interrupted runs left in `destination`, whose `names` are listed, read; nothing
  // when there are none. Throws ESFException, before anything is changed, for a record that is not
  // one this program wrote or that names anything outside the destination, and for one that another
  // instance of the program keeps open: its run is working there.
  static std::optional<RecordedUndo> Find(Platform &platform, const std::string &destination,
                                          const std::optional<std::vector<std::string>> &names);
  // The undo of this run's own record, after a cancel or an error, or what a run that ended well
  // leaves of its own: it takes the record's file over.
  RecordedUndo(Platform &platform, const std::string &destination, RunRecord &record);

  // The lines of kNotRestored for the files that cannot come back, their name being taken.
  std::vector<std::string> Stuck() const;

  // Carries the undo out. Complete() tells whether all is undone and the record is gone or marked
  // complete; the lines name what stays: a held file that could not go back, a file of the run's
  // that could not be removed, a file under a name the run announced that may be the user's.
  std::vector<std::string> Run();
  bool Complete() const { return complete_; }

  struct Record {
    std::string path;
    std::vector<RecordedStep> steps;
    std::size_t wholeLength = 0;       // up to the end of its last whole line
    std::optional<std::size_t> length; // the file's, where known
    // Open for writing while the undo works; the undo's lines go nowhere else.
    std::unique_ptr<Platform::WritingFile> file;
  };

private:
  struct HeldFile {
    std::size_t record; // in records_
    std::string name;   // in the destination, before the run
    std::string path;   // where it waits
    std::string also;   // the name it was to take by a rename, or empty
    bool replaced;      // its replacement was written whole: it goes
  };
  RecordedUndo(Platform &platform, std::string destination, std::vector<Record> records);
  void Survey();
  // Whether the file `name` holds nothing but a beginning of `step`'s track: the run's own partial
  // copy, which the undo may remove.
  bool HoldsOnlyTheTrack(const std::string &name, const RecordedStep &step, std::uint64_t size);
  // Writes an undo's step into the record before it is taken; false where it cannot be written.
  bool Note(Record &record, const RecordedStep &step);
  // Removes a file of the run's own, tried again a few times; false while it is still there.
  bool RemoveOwn(const std::string &path);
  std::string In(const std::string &name) const;
  std::string Upper(const std::string &name) const { return platform_.UpperCase(name); }
  std::string NotRestored(const std::string &name, const std::string &path) const;

  Platform &platform_;
  std::string destination_;
  std::vector<Record> records_;
  std::vector<std::string> unfinished_; // entries left unwritten, and files written over in part
  std::vector<std::string> plugs_;
  std::vector<HeldFile> held_;
  std::vector<std::string> folders_;
  std::set<std::string> going_;
  std::vector<std::pair<std::string, std::string>> returning_;
  std::vector<std::pair<std::string, std::string>> stuck_;
  std::vector<std::string> kept_; // names announced by the run that hold what may be the user's
  bool complete_ = false;
};

} // namespace sf
