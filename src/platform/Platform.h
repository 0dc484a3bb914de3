#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sf {

// Everything the playlists, the copy run and the settings need of the operating system. Paths and
// texts are UTF-8, whatever the system's own code page; relative paths resolve against the working
// folder, which the program never changes. Paths of any length the file system allows work.
class Platform {
public:
  virtual ~Platform() = default;

  // Upper-cases the whole text as the system does.
  virtual std::string UpperCase(std::string_view text) const = 0;
  // Shift-JIS (code page 932) bytes as UTF-8; a byte that starts no character becomes the code
  // page's default character.
  virtual std::string FromShiftJis(std::string_view bytes) const = 0;
  // UTF-8 as Shift-JIS bytes; a character that Shift-JIS lacks becomes its default character.
  virtual std::string ToShiftJis(std::string_view text) const = 0;

  // Hands the file's bytes to `consume` in order, a chunk at a time, until the end of the file or
  // until `consume` returns false. Throws EInOutError with the system's code when the file cannot
  // be opened or read.
  using ChunkConsumer = std::function<bool(std::string_view chunk)>;
  virtual void ReadTextFile(const std::string &path, const ChunkConsumer &consume) = 0;

  // The whole file's bytes: empty for a file that does not exist, nothing for one that exists but
  // cannot be read (another program holds it, access is denied).
  virtual std::optional<std::string> ReadWholeFile(const std::string &path) = 0;
  // Puts `bytes` in the file's place at once, creating it where there is none: a crash, a power cut
  // or a full disk leaves the old file or the new one, never part of each. A file that another
  // program holds for a moment (a virus scanner, the search indexer, cloud sync) is tried again for
  // about a second. False when nothing was written; then no temporary file is left behind either,
  // unless the system moved the old file off its name and then let neither file take it: both
  // stay beside it then, as the only copies.
  virtual bool ReplaceWholeFile(const std::string &path, std::string_view bytes) = 0;

  // True when `path` names a file of any kind, not a folder.
  virtual bool FileExists(const std::string &path) = 0;
  // The names (without folder) of the files matching `pattern`; hidden and system files, folders
  // and volume labels are left out. The names are matched as the system matches them.
  virtual std::vector<std::string> ListFiles(const std::string &pattern) = 0;
  // Every name in `folder`, of files of every kind and of folders, short forms included where the
  // system keeps them. Nothing when the folder could not be listed to the end.
  virtual std::optional<std::vector<std::string>> ListNames(const std::string &folder) = 0;
  // Deletes a file; one that another program holds for a moment is tried again for about a second.
  virtual bool RemoveFile(const std::string &path) = 0;
  enum class CopyResult {
    Copied,
    Failed,       // the target may hold part of the copy
    TargetExists, // only when the copy was to make the target new: nothing was written
  };
  // Copies over an existing target, or, when `makeNew`, fails on one without touching it. Calls
  // `whileCopying` now and then during a long copy so that the caller can keep its windows answering.
  // The copy is left neither read-only, hidden nor system, whatever the source is, so that a later
  // run can clear or replace it; a partial target is left plain too (after a failure, or when
  // `whileCopying` throws, which ends the copy and goes on to the caller), so that it can be removed.
  virtual CopyResult CopyFileOver(const std::string &source, const std::string &target, bool makeNew,
                                  const std::function<void()> &whileCopying) = 0;
  // The absolute, normalised form of `path` (against the working folder, and for "D:x" against
  // that drive's current folder); the path itself when the system cannot form one.
  virtual std::string FullPath(const std::string &path) = 0;

  struct FileFacts {
    bool exists = false; // a file, not a folder, could be asked
    std::uint64_t size = 0;
    std::uint64_t lastWrite = 0;
    bool readOnly = false;
    bool hidden = false;
    bool system = false;
    // A cloud file (online-only, offline): its size is known, but the system must fetch its data
    // before it can be read, and that can fail.
    bool notOnDisk = false;
    // The last access (FILETIME, 100 ns), as the program set it (HeldFile::MarkUsed): the system
    // itself often leaves it as it was.
    std::uint64_t lastUse = 0;
  };
  virtual FileFacts QueryFile(const std::string &path) = 0;
  // Equal for two paths that reach the same file, whatever their spelling (links, short names,
  // other drives or shares onto the same folder); empty when the file cannot be asked. Some
  // systems take longer for this than for the facts.
  virtual std::string FileIdentity(const std::string &path) = 0;

  struct DiskSpace {
    std::uint64_t freeBytes;      // what the user may still write
    std::uint64_t allocationUnit; // every file takes a whole number of these
  };
  // Nothing when the system cannot tell (a missing folder, a share that does not say).
  virtual std::optional<DiskSpace> FreeSpace(const std::string &folder) = 0;

  // What a folder's listing tells of one of its entries.
  struct FolderEntry {
    std::string name;
    bool folder = false;
    bool hidden = false;
    bool system = false;
  };
  // The entries of `folder`, "." and ".." left out, in the order the system lists them: on FAT,
  // FAT32 and exFAT the order of the entries on the disk, which is the order many players play.
  // Nothing when the folder could not be listed to the end.
  virtual std::optional<std::vector<FolderEntry>> ListEntries(const std::string &folder) = 0;
  // The file system of the volume that holds `path`, as the system names it ("FAT", "FAT32",
  // "exFAT", "NTFS", ...); empty when it cannot tell.
  virtual std::string FileSystemOf(const std::string &path) = 0;

  enum class MakeResult {
    Made,
    Exists,     // an entry of that name is there: nothing was changed
    FolderFull, // the folder can take no further entry (the fixed root folder of FAT12 and FAT16)
    Failed,
  };
  // Makes a new, empty, plain file.
  virtual MakeResult MakeEmptyFile(const std::string &path) = 0;
  // A file kept open for writing: a run's record while the run works. No other program may write
  // to it or remove it meanwhile, though any may read it. What it writes is on the disk before the
  // call returns; the file keeps its entry (on FAT its place in the folder). Closing it keeps the
  // file; only once it is closed can it be removed.
  class WritingFile {
  public:
    virtual ~WritingFile() = default;
    // Appends `bytes`; false when nothing or only part was written.
    virtual bool Append(std::string_view bytes) = 0;
    // Cuts the file back to its first `size` bytes; false when it is as it was.
    virtual bool Cut(std::uint64_t size) = 0;
  };
  struct MadeFile {
    MakeResult result = MakeResult::Failed;
    std::unique_ptr<WritingFile> file; // while it is Made
  };
  // Makes a new hidden file holding `bytes`, and keeps it open for writing.
  virtual MadeFile MakeHiddenFile(const std::string &path, std::string_view bytes) = 0;
  struct OpenedFile {
    std::unique_ptr<WritingFile> file; // nothing when it cannot be opened
    bool inUse = false;                // another program keeps it open for writing
  };
  // Opens an existing file for writing, as no other program may meanwhile.
  virtual OpenedFile OpenForWriting(const std::string &path) = 0;
  // Makes a new folder, hidden when asked.
  virtual MakeResult MakeFolder(const std::string &path, bool hidden) = 0;
  // Renames a file or a folder, or moves it into another folder of the same volume; never over an
  // existing entry.
  virtual MakeResult MoveEntry(const std::string &from, const std::string &to) = 0;
  // Removes an empty folder.
  virtual bool RemoveFolder(const std::string &path) = 0;

  // A file kept open so that no program may remove, rename or write it meanwhile, though any may read
  // or copy it.
  class HeldFile {
  public:
    virtual ~HeldFile() = default;
    // Sets the file's last access (FileFacts::lastUse) to now; false when it cannot be set.
    virtual bool MarkUsed() = 0;
  };
  // Nothing when the file cannot be opened.
  virtual std::unique_ptr<HeldFile> HoldFile(const std::string &path) = 0;

  // One element of an XML file: what the playlists need of it.
  struct XmlElement {
    std::int32_t depth = 0; // 0 for the root
    std::string name;       // local name
    std::string namespaceUri;
    std::vector<std::pair<std::string, std::string>> attributes; // local names, namespace declarations left out
    std::string text;                                            // its own text and CDATA, joined, entities replaced
  };
  // The file's elements in document order. Nothing when it is not well-formed XML in UTF-8 or UTF-16,
  // holds a document type declaration, or goes beyond the system reader's limits (elements nested
  // more than 256 deep, a name, value or text of more than 65,536 characters, more than 1,048,576
  // elements). Throws EInOutError
  // as ReadTextFile does.
  virtual std::optional<std::vector<XmlElement>> ReadXmlElements(const std::string &path) = 0;
};

} // namespace sf
