#pragma once

#include "platform/Platform.h"
#include "playlist/RunRecord.h"

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace sf {

// What undoing a run's record does in the destination, found out without changing anything: the
// run's placeholders and unfinished entries go, its held files come back under their names (a held
// file whose replacement was written whole goes instead), and then its folders and the record.
class RecordedUndo {
public:
  // The records that interrupted runs left in `destination`, whose `names` are listed, read; nothing
  // when there are none.
  static std::optional<RecordedUndo> Find(Platform &platform, const std::string &destination,
                                          const std::optional<std::vector<std::string>> &names);
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
