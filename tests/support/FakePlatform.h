#pragma once

#include "FatFolder.h"
#include "platform/Platform.h"
#include "playlist/SFPlayList.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace sf::testing {

// What the fake throws in place of a call's return when the process is stopped there (killed, or its
// drive pulled). No std::exception, so that no handler of the program's takes it for an error of its own.
struct SimulatedCrash {};

// An in-memory file system with Windows' rules where the core relies on them: paths (UTF-8) ignore case,
// "\" and ":" separate, relative paths resolve against the working folder, patterns match names
// with "*" and "?". Every call is logged ("Copy C:\a.mp3 -> D:\a.mp3"), any call can be made to
// fail, and the process can be stopped at any call (CrashAt). A drive can be mounted as FAT, FAT32
// or exFAT, whose folders list their entries in the order of a modelled entry table; elsewhere
// folders list folders first, then files, by name.
class FakePlatform final : public Platform {
public:
  // kNotOnDisk: a cloud file whose data the system must fetch (make its reading fail with Fail("Read")).
  enum Attributes : unsigned { kNormal = 0, kHidden = 1, kReadOnly = 2, kSystem = 4, kNotOnDisk = 8 };
  // Where in a call the process stops: before the call has any effect, or once its effect is complete.
  enum class CrashPoint { BeforeEffect, AfterEffect };

  FakePlatform();

  // ASCII and full-width Latin letters, the letters a file extension can hold.
  std::string UpperCase(std::string_view text) const override;
  std::string FromShiftJis(std::string_view bytes) const override;
  std::string ToShiftJis(std::string_view text) const override;

  void ReadTextFile(const std::string &path, const ChunkConsumer &consume) override;
  std::optional<std::string> ReadWholeFile(const std::string &path) override;
  bool ReplaceWholeFile(const std::string &path, std::string_view bytes) override;
  bool FileExists(const std::string &path) override;
  std::vector<std::string> ListFiles(const std::string &pattern) override;
  std::optional<std::vector<std::string>> ListNames(const std::string &folder) override;
  bool RemoveFile(const std::string &path) override;
  CopyResult CopyFileOver(const std::string &source, const std::string &target, bool makeNew,
                          const std::function<void()> &whileCopying) override;
  std::string FullPath(const std::string &path) override;
  FileFacts QueryFile(const std::string &path) override;
  std::string FileIdentity(const std::string &path) override;
  std::optional<DiskSpace> FreeSpace(const std::string &folder) override;
  std::optional<std::vector<FolderEntry>> ListEntries(const std::string &folder) override;
  // "FAT", "FAT32" or "exFAT" on a mounted drive, what SetFileSystem gave the drive, "NTFS" otherwise.
  std::string FileSystemOf(const std::string &path) override;
  MakeResult MakeEmptyFile(const std::string &path) override;
  MadeFile MakeHiddenFile(const std::string &path, std::string_view bytes) override;
  OpenedFile OpenForWriting(const std::string &path) override;
  MakeResult MakeFolder(const std::string &path, bool hidden) override;
  MakeResult MoveEntry(const std::string &from, const std::string &to) override;
  bool RemoveFolder(const std::string &path) override;
  // A held file is neither removed, moved nor written over, though it is read and copied. Its uses are
  // counted: the later use has the greater time.
  std::unique_ptr<HeldFile> HoldFile(const std::string &path) override;
  // The elements given by AddXmlFile; for any other file, no XML.
  std::optional<std::vector<XmlElement>> ReadXmlElements(const std::string &path) override;

  // Setting up the fake file system.
  void AddFolder(const std::string &path);
  void AddFile(const std::string &path, std::string content = {}, unsigned attributes = kNormal);
  // A file that the system's XML reader reads as these elements.
  void AddXmlFile(const std::string &path, std::vector<XmlElement> elements);
  // Gives the file a last-write time of the system's kind (FILETIME, 100 ns), which its copies keep,
  // as the system's copies do; other files count their writes instead.
  void SetLastWrite(const std::string &path, std::uint64_t fileTime);
  // The working folder the program started in ("C:\" unless set).
  void SetWorkingFolder(const std::string &path) {
    workingFolder_ = Absolute(path);
    keys_.clear();
  }
  // Writes the value into the profile file's content, as the program's own writer does.
  void SetProfileValue(const std::string &path, const std::string &section, const std::string &key,
                       const std::string &value);
  // Makes every path below `link` reach the same files as the same path below `target`, as a
  // symbolic link, another drive or a share onto that folder would.
  void LinkFolder(const std::string &link, const std::string &target);
  // The free space that the drive ("E:") reports from now on, less what copies, made and appended
  // files and the growth of FAT folders take there, and more what deletions free; without it the
  // system cannot tell.
  void SetFreeSpace(const std::string &drive, std::uint64_t freeBytes, std::uint64_t allocationUnit);
  // Makes the drive ("E:") a FAT, FAT32 or exFAT volume, before anything is added to it: each of its
  // folders keeps its files and folders in an entry table (FatFolder), which places them by
  // `format.placement` and lists them in its order. A file's identity there is its entry's place.
  // Adding to a folder that can take no further entry throws std::length_error; making a file or
  // folder there is MakeResult::FolderFull. It has 4 GiB free in clusters of the format's size
  // until SetFreeSpace says otherwise.
  void MountFat(const std::string &drive, const FatFormat &format);
  // The file system that the drive ("E:") reports.
  void SetFileSystem(const std::string &drive, std::string name) { fileSystems_[UpperCase(drive)] = std::move(name); }
  // Makes the named operation ("Read", "Write", "Exists", "List", "Delete", "Copy") fail for `path`
  // (for Copy: the source). Read fails with `errorCode`; a failed ReadWholeFile reads nothing.
  // "CopyPartly" makes the copy fail after writing half of the file.
  void Fail(const std::string &operation, const std::string &path, int errorCode = 5);
  // Makes FullPath resolve `path` to `elsewhere`, as a system that takes a name otherwise than the
  // program expects would.
  void ResolveElsewhere(const std::string &path, std::string elsewhere) {
    resolvedElsewhere_[UpperCase(Absolute(path))] = std::move(elsewhere);
  }
  // Lets every operation succeed again.
  void ClearFailures() { failures_.clear(); }
  // Makes ReadTextFile hand the content over in chunks of this size.
  void SetChunkSize(std::size_t size) { chunkSize_ = size; }
  // Stops the process at the `call`-th call from now on (1-based) of those that reach the file system
  // (all but UpperCase, FromShiftJis and ToShiftJis): it throws SimulatedCrash at `point`, and so does
  // every such call after it, without effect, until Restart. A copy stopped before its effect leaves
  // the first half of the source in the target, as a copy in chunks does that is stopped halfway.
  void CrashAt(std::size_t call, CrashPoint point);
  // The program started again after a crash: its calls reach the file system again.
  void Restart();
  // The calls that reached the file system so far, as CrashAt counts them: a test runs once, counts,
  // then stops the run at each of them in turn.
  std::size_t CallCount() const { return calls_; }
  // Moves the clock that FAT tunnelling is timed by. It otherwise stands still, so that every call of
  // a test falls within the driver's window.
  void AdvanceClock(double seconds) { clock_ += seconds; }

  // Inspecting it.
  bool HasFile(const std::string &path);
  std::optional<std::string> ContentOf(const std::string &path);
  std::optional<std::string> ProfileValue(const std::string &path, const std::string &section, const std::string &key);
  std::vector<std::string> FilesIn(const std::string &folder);
  // The entries a folder on a mounted drive has on the disk, in use, deleted or never used.
  std::size_t FolderEntryCount(const std::string &folder);
  // Every call in order; a RecordingProgress can write into it too.
  std::vector<std::string> &Journal() { return journal_; }
  const std::string &WorkingFolder() const { return workingFolder_; }

private:
  // Every call that reaches the file system runs `body` through here: counted, refused once the
  // process is dead, and stopped where CrashAt says; `cutShort` is what a stop before its effect leaves.
  template <typename Body> decltype(auto) Call(Body &&body, const std::function<void()> &cutShort = nullptr);
  // What FullPath gives, for the fake's own use, which no crash stops.
  std::string Absolute(const std::string &path) const;
  void ReadText(const std::string &path, const ChunkConsumer &consume);
  Platform::CopyResult Copy(const std::string &source, const std::string &target, bool makeNew,
                            const std::function<void()> &whileCopying);
  // Whether a copy would write into the target at all.
  bool CopyStarts(const std::string &source, const std::string &target, bool makeNew);
  // What a copy in chunks leaves when it stops halfway: the first half of the source in the target,
  // plain, made where there was none.
  void WriteHalf(const std::string &source, const std::string &target);
  // The path of a file as its folder lists it: on a mounted drive, with the name its entry got.
  std::string Listed(const std::string &key, const std::string &path);
  std::string Key(const std::string &path);
  // A new file of `bytes`, where no entry of that name is; what MakeEmptyFile and MakeHiddenFile answer.
  MakeResult MakeNewFile(const std::string &path, std::string_view bytes, unsigned attributes);
  class FakeWritingFile;
  class FakeHeldFile;
  // Whether a file open for writing or held keeps its name and its content.
  bool Locked(const std::string &path) { return writing_.count(Key(path)) || held_.count(Key(path)); }
  bool AppendToFile(const std::string &path, std::string_view bytes);
  bool CutFile(const std::string &path, std::uint64_t size);
  std::optional<int> FailureFor(const std::string &operation, const std::string &path);
  // Counts a file of `bytes` (under the key) as gone from, or with `taken` as come to, its drive.
  void Account(const std::string &key, std::uint64_t bytes, bool taken);
  void Log(std::string call) { journal_.push_back(std::move(call)); }
  FatVolume *FatOf(const std::string &key);
  // Gives a new file or folder (under its key) its entries on a mounted drive; false when its folder
  // can take no further entry. Anywhere else, and for one that has its entries, true.
  bool TakeEntry(const std::string &key, const std::string &path, bool folder, bool hidden = false);
  // Counts what the folders of the drive (of the key) took or gave back since they took `before`
  // bytes against its free space.
  void AccountFolders(const FatVolume &fat, const std::string &key, std::uint64_t before);

  struct File {
    std::string content;
    unsigned attributes;
    std::uint64_t written;  // when it was last written, counted in writes unless `timeSet`
    bool timeSet = false;   // a time given by SetLastWrite
    std::uint64_t used = 0; // the count of uses marked when it was last marked
  };

  std::map<std::string, File> files_;                    // by upper-cased full path
  std::map<std::string, std::string> names_;             // upper-cased full path -> path as created
  std::set<std::string> folders_;                        // upper-cased full paths
  std::map<std::string, std::string> resolvedElsewhere_; // upper-cased full path -> what FullPath gives
  std::map<std::string, int> failures_;                  // "Operation|PATH" -> code
  std::map<std::string, std::string> links_;             // upper-cased full path -> key of its target
  std::map<std::string, DiskSpace> freeSpace_;           // "E:" -> space
  std::map<std::string, std::string> fileSystems_;       // "E:" -> name
  std::map<std::string, FatVolume> fatVolumes_;          // "E:" -> its folders
  std::set<std::string> writing_;                        // upper-cased full paths of the files open for writing
  std::multiset<std::string> held_;                      // upper-cased full paths of the files held

  std::map<std::string, std::vector<XmlElement>> xml_; // by upper-cased full path
  // Key's answers by path, which a call asks for several times over: until the working folder or
  // a link changes.
  std::map<std::string, std::string> keys_;
  std::uint64_t writes_ = 0;
  std::uint64_t uses_ = 0;
  std::vector<std::string> journal_;
  std::string workingFolder_ = "C:\\";
  std::size_t chunkSize_ = 4096;
  double clock_ = 0; // seconds
  std::size_t calls_ = 0;
  std::size_t crashAt_ = 0; // the number of the call to stop at; 0 for none
  CrashPoint crashPoint_ = CrashPoint::BeforeEffect;
  bool dead_ = false;
};

// `utf8` as Shift-JIS bytes, as a Japanese program would have written them into its files.
std::string ShiftJisBytes(std::string_view utf8);

// A progress window and information box that write down what they were asked to do.
class RecordingProgress final : public TCopyProgress {
public:
  explicit RecordingProgress(std::vector<std::string> &journal) : journal_(journal) {}

  void SetMaximum(std::int32_t maximum) override { journal_.push_back("Maximum " + std::to_string(maximum)); }
  void SetStage(RunStage stage) override {
    journal_.push_back(stage == RunStage::Converting ? "Stage converting" : "Stage copying");
  }
  void Show() override { journal_.push_back("Show"); }
  void SetFileLabel(const std::string &text) override { journal_.push_back("Label " + text); }
  void SetPosition(std::int32_t position) override { journal_.push_back("Position " + std::to_string(position)); }
  void Repaint() override { journal_.push_back("Repaint"); }
  void Close() override { journal_.push_back("Close"); }
  void KeepResponsive() override {
    journal_.push_back("Look");
    if (whileCopying)
      whileCopying();
  }
  void ShowInfo(const std::string &text) override { journal_.push_back("Info " + text); }
  bool CancelRequested() const override { return cancelled; }

  // What else happens while a copy works (another program deleting a track, say).
  std::function<void()> whileCopying;
  // Set to cancel the run as the user does, by whileCopying say.
  bool cancelled = false;

private:
  std::vector<std::string> &journal_;
};

} // namespace sf::testing
