#pragma once

#include "platform/Platform.h"

#include <windows.h>

#include <exception>
#include <functional>

namespace sf {

// The platform as Windows provides it, through the system's wide-character functions.
class Win32Platform final : public Platform {
public:
  // The system's CopyFileEx is used where it calls back during a copy, as Windows does; Always
  // uses it wherever the program runs, so that it can be tried where it does not.
  enum class SystemCopy { WhereItCallsBack, Always };
  explicit Win32Platform(SystemCopy systemCopy = SystemCopy::WhereItCallsBack) : systemCopy_(systemCopy) {}

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
  std::optional<std::vector<XmlElement>> ReadXmlElements(const std::string &path) override;
  std::optional<std::vector<FolderEntry>> ListEntries(const std::string &folder) override;
  std::string FileSystemOf(const std::string &path) override;
  MakeResult MakeEmptyFile(const std::string &path) override;
  MadeFile MakeHiddenFile(const std::string &path, std::string_view bytes) override;
  OpenedFile OpenForWriting(const std::string &path) override;
  MakeResult MakeFolder(const std::string &path, bool hidden) override;
  MakeResult MoveEntry(const std::string &from, const std::string &to) override;
  bool RemoveFolder(const std::string &path) override;
  std::unique_ptr<HeldFile> HoldFile(const std::string &path) override;

private:
  // The file's bytes; throws EInOutError as ReadTextFile does.
  std::string AllBytes(const std::string &path);

  SystemCopy systemCopy_;
};

// What CopyFileEx's progress routine is handed: the caller's work between chunks, and what it threw.
struct CopyCallback {
  const std::function<void()> &whileCopying;
  std::exception_ptr thrown;
};
// CopyFileEx's progress routine, with a CopyCallback as its data: runs `whileCopying`. No exception
// may cross the system's frames: one that it throws cancels the copy and waits in `thrown`.
DWORD CALLBACK CopyProgressRoutine(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE,
                                   HANDLE, LPVOID callback);

// From here on the process sees cloud files as they are, their data elsewhere (FileFacts::notOnDisk),
// where Windows might disguise them as ordinary files. Nothing happens where the system has no
// such files (before Windows 10 1803, Wine).
void ExposeCloudFiles();

// `path` as the system's wide file functions take it at any length: made full, and from MAX_PATH
// (260) characters on in the "\\?\" or "\\?\UNC\" form, which takes a path as it is spelt (so
// it is made full first, with its "." and ".." and trailing dots and blanks resolved).
std::wstring SystemPath(const std::string &path);

} // namespace sf
