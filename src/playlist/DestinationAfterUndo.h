#pragma once

#include "platform/Platform.h"
#include "playlist/RecordedUndo.h"

#include <map>
#include <set>
#include <string>

namespace sf {

// The system as a run sees it while it decides, before the undo of an interrupted run: the
// destination answers as the undo will leave it. The placeholders and unfinished entries it removes
// are not there; a held file answers under the name it comes back to. Everything else is asked of
// the system itself; nothing is changed through it.
class DestinationAfterUndo final : public Platform {
public:
  DestinationAfterUndo(Platform &system, const std::string &destination, const RecordedUndo &undo);

  std::string UpperCase(std::string_view text) const override { return system_.UpperCase(text); }
  std::string FromShiftJis(std::string_view bytes) const override { return system_.FromShiftJis(bytes); }
  std::string ToShiftJis(std::string_view text) const override { return system_.ToShiftJis(text); }
  void ReadTextFile(const std::string &path, const ChunkConsumer &consume) override;
  std::optional<std::string> ReadWholeFile(const std::string &path) override;
  bool FileExists(const std::string &path) override;
  std::vector<std::string> ListFiles(const std::string &pattern) override;
  std::optional<std::vector<std::string>> ListNames(const std::string &folder) override;
  std::string FullPath(const std::string &path) override { return system_.FullPath(path); }
  FileFacts QueryFile(const std::string &path) override;
  std::string FileIdentity(const std::string &path) override;
  std::optional<DiskSpace> FreeSpace(const std::string &folder) override { return system_.FreeSpace(folder); }
  std::optional<std::vector<FolderEntry>> ListEntries(const std::string &folder) override;
  std::string FileSystemOf(const std::string &path) override { return system_.FileSystemOf(path); }
  std::optional<std::vector<XmlElement>> ReadXmlElements(const std::string &path) override {
    return system_.ReadXmlElements(Seen(path));
  }

  // Changes go to nobody: a run decides before it changes anything.
  bool ReplaceWholeFile(const std::string &, std::string_view) override { return false; }
  bool RemoveFile(const std::string &) override { return false; }
  CopyResult CopyFileOver(const std::string &, const std::string &, bool, const std::function<void()> &) override {
    return CopyResult::Failed;
  }
  MakeResult MakeEmptyFile(const std::string &) override { return MakeResult::Failed; }
  MakeResult MakeHiddenFile(const std::string &, std::string_view) override { return MakeResult::Failed; }
  bool AppendToFile(const std::string &, std::string_view) override { return false; }
  MakeResult MakeFolder(const std::string &, bool) override { return MakeResult::Failed; }
  MakeResult MoveEntry(const std::string &, const std::string &) override { return MakeResult::Failed; }
  bool RemoveFolder(const std::string &) override { return false; }

private:
  // Whether `path` is, or lies in, the destination; `name` then gets its name there, upper-cased.
  bool InDestination(const std::string &path, std::string *name);
  bool Gone(const std::string &path);
  // Whether the system's listing of the destination shows `name` where the undo leaves another file or none.
  bool Hidden(const std::string &name) const;
  // Where the file that `path` names lies now: a held file's place, or `path` itself.
  std::string Seen(const std::string &path);
  bool IsDestination(const std::string &folder);

  Platform &system_;
  std::string destination_; // full and upper-cased
  std::set<std::string> going_;
  std::map<std::string, std::pair<std::string, std::string>> returning_; // upper-cased name -> name, where it waits
};

} // namespace sf
