#include "platform/win32/Win32Platform.h"

#include "platform/FileIdentity.h"
#include "platform/InOutError.h"
#include "platform/PathParts.h"
#include "platform/win32/KernelHandle.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/XmlReader.h"

#include <windows.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <type_traits>
#include <vector>

namespace sf {
namespace {

struct FindCloser {
  void operator()(HANDLE handle) const { FindClose(handle); }
};
using FindHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, FindCloser>;

FindHandle FindFirst(const std::string &pattern, WIN32_FIND_DATAW &entry) {
  HANDLE handle = FindFirstFileW(SystemPath(pattern).c_str(), &entry);
  return FindHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

int LastErrorCode() { return static_cast<int>(GetLastError()); }

// Hands every entry of `folder` but "." and ".." to `take`, in the order the system lists them;
// false when the folder could not be listed to the end. The root of an empty drive has no entry at
// all, not even those two: there the search finds nothing.
template <typename Take> bool ForEachEntry(const std::string &folder, Take take) {
  WIN32_FIND_DATAW entry;
  const auto search = FindFirst(JoinPath(folder, "*"), entry);
  if (!search)
    return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    if (std::wstring_view(entry.cFileName) != L"." && std::wstring_view(entry.cFileName) != L"..")
      take(entry);
  } while (FindNextFileW(search.get(), &entry));
  return GetLastError() == ERROR_NO_MORE_FILES;
}

// The root of the volume that holds `path`, a full path, with its final "\"; empty when the system
// cannot tell. The system wants room for the whole path, and for a "\" after a root named without.
std::wstring VolumeRoot(const std::wstring &path) {
  std::wstring root(path.size() + 2, L'\0');
  if (!GetVolumePathNameW(path.c_str(), root.data(), static_cast<DWORD>(root.size())))
    return {};
  root.resize(root.find(L'\0'));
  return root;
}

// Volume labels carry this attribute on systems that still report them.
constexpr DWORD kVolumeLabel = 0x8;
// A cloud file whose data lies elsewhere until it is read (OneDrive's "online-only" files): the
// offline, recall-on-open (0x40000) and recall-on-data-access (0x400000) attributes, the last two
// missing from MinGW's headers.
constexpr DWORD kNotOnDisk = FILE_ATTRIBUTE_OFFLINE | 0x40000 | 0x400000;

// Wine's CopyFileEx (8.0) never calls its progress routine: a long track would keep the thread
// from its queue for the whole copy.
bool SystemCopyCallsBack() {
  static const bool callsBack = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr;
  return callsBack;
}

// No access asked and every sharing allowed: this opens files that others hold open, too.
KernelHandle OpenToAsk(const std::string &path) {
  const HANDLE opened = CreateFileW(SystemPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return KernelHandle(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
}

// The file's number on its volume; empty where the file system gives none that can be trusted.
std::string NumberedIdentity(HANDLE file) {
  FileNumbers numbers;
  BY_HANDLE_FILE_INFORMATION information;
  if (GetFileInformationByHandle(file, &information)) {
    numbers.indexAnswered = true;
    numbers.volumeSerial = information.dwVolumeSerialNumber;
    numbers.index = (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
  }
  wchar_t fileSystem[MAX_PATH + 1] = L"";
  if (GetVolumeInformationByHandleW(file, nullptr, 0, nullptr, nullptr, nullptr, fileSystem, MAX_PATH + 1))
    numbers.fileSystem = Narrow(fileSystem);
  FILE_ID_INFO id;
  // Asked only where it decides: elsewhere the 64-bit form stands for every file.
  if (_wcsicmp(fileSystem, L"ReFS") == 0 && GetFileInformationByHandleEx(file, FileIdInfo, &id, sizeof id)) {
    numbers.idAnswered = true;
    numbers.idVolumeSerial = id.VolumeSerialNumber;
    std::copy(std::begin(id.FileId.Identifier), std::end(id.FileId.Identifier), numbers.id.begin());
  }
  return IdentityFromNumbers(numbers);
}

// Whether `target` names the file open as `source`, under whatever name: emptying the one would
// empty the other.
bool IsSameFile(HANDLE source, const std::string &target) {
  const KernelHandle existing = OpenToAsk(target);
  if (!existing)
    return false;
  const std::string identity = NumberedIdentity(existing.get());
  return !identity.empty() && identity == NumberedIdentity(source);
}

// The copy as Wine's CopyFileEx makes it (the same sharing, chunks and last-write time; never onto
// the source itself; with `makeNew`, never over an existing file), calling `whileCopying` after
// every chunk. The target is plain from its creation, whatever the source is: a part left by a
// failure or a cancel can be removed.
Platform::CopyResult CopyInChunks(const std::string &source, const std::string &target, bool makeNew,
                                  const std::function<void()> &whileCopying) {
  using Result = Platform::CopyResult;
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE opened = CreateFileW(SystemPath(source).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
  if (opened == INVALID_HANDLE_VALUE)
    return Result::Failed;
  const KernelHandle in(opened);
  FILE_BASIC_INFO info;
  if (!GetFileInformationByHandleEx(in.get(), FileBasicInfo, &info, sizeof info))
    return Result::Failed;
  if (!makeNew && IsSameFile(in.get(), target)) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return Result::Failed;
  }
  opened = CreateFileW(SystemPath(target).c_str(), GENERIC_WRITE, 0, nullptr, makeNew ? CREATE_NEW : CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE)
    return makeNew && GetLastError() == ERROR_FILE_EXISTS ? Result::TargetExists : Result::Failed;
  const KernelHandle out(opened);
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    DWORD read = 0, written = 0;
    if (!ReadFile(in.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
      return Result::Failed;
    if (read == 0)
      break;
    if (!WriteFile(out.get(), buffer.data(), read, &written, nullptr) || written != read)
      return Result::Failed;
    whileCopying();
  }
  const FILETIME lastWrite{info.LastWriteTime.LowPart, static_cast<DWORD>(info.LastWriteTime.HighPart)};
  return SetFileTime(out.get(), nullptr, nullptr, &lastWrite) ? Result::Copied : Result::Failed;
}

// The system's copy gives the copy the source's attributes from its creation on, and refuses to
// replace a read-only, hidden or system file: a copy left so could never be cleared or replaced by
// a later run, nor a part of one removed.
bool LeavePlain(const std::string &target) {
  constexpr DWORD kKeepsFromReplacing = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  const std::wstring wide = SystemPath(target);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return false;
  const DWORD plain = attributes & ~kKeepsFromReplacing;
  return plain == attributes || SetFileAttributesW(wide.c_str(), plain ? plain : FILE_ATTRIBUTE_NORMAL);
}

// A name beside `path` for its next content or its last while the one replaces the other:
// `path`, the process's number, `serial` and `extension`.
std::string NameBeside(const std::string &path, unsigned serial, const char *extension) {
  return path + "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(serial) + extension;
}

// A new file beside `path` for its next content, never one that exists already.
std::pair<std::string, KernelHandle> CreateBeside(const std::string &path) {
  for (unsigned serial = 0; serial < 100; ++serial) {
    const std::string name = NameBeside(path, serial, ".tmp");
    const HANDLE created =
        CreateFileW(SystemPath(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created != INVALID_HANDLE_VALUE)
      return {name, KernelHandle(created)};
    if (GetLastError() != ERROR_FILE_EXISTS)
      break;
  }
  return {};
}

// A name beside `path` that no file has, for its old content while the new takes its place.
std::wstring FreeNameBeside(const std::string &path) {
  for (unsigned serial = 0; serial < 100; ++serial) {
    std::wstring name = SystemPath(NameBeside(path, serial, ".old"));
    if (GetFileAttributesW(name.c_str()) == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND)
      return name;
  }
  return {};
}

// Antivirus, the search indexer and cloud sync open a file just after it is closed: until they let
// go, replacing, moving or deleting it fails with one of these. ReplaceFile's "could not remove the
// replaced file" and, given a backup name, "could not move the replacement" leave both files under
// their names, the old one whole, so that it can be tried again too.
bool BrieflyHeld(DWORD error) {
  switch (error) {
  case ERROR_SHARING_VIOLATION:
  case ERROR_ACCESS_DENIED:
  case ERROR_LOCK_VIOLATION:
  case ERROR_UNABLE_TO_REMOVE_REPLACED:
  case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
    return true;
  default:
    return false;
  }
}

// Runs `attempt` until it succeeds, or fails otherwise than while another program briefly holds
// the file, or has been tried again five times over about a second; the system's error stays.
template <typename Attempt> bool TriedAgainWhileHeld(Attempt attempt) {
  for (int again = 5;; --again) {
    if (attempt())
      return true;
    if (again == 0 || !BrieflyHeld(GetLastError()))
      return false;
    Sleep(200);
  }
}

bool MoveIntoPlace(const std::wstring &from, const std::wstring &to) {
  return TriedAgainWhileHeld([&] { return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE; });
}

bool Delete(const std::wstring &path) {
  return TriedAgainWhileHeld([&] { return DeleteFileW(path.c_str()) != FALSE; });
}

// Puts the file `replacement` in the place of `target`, which exists. Where that fails, `target`
// keeps its old content and `replacement` is deleted; only where the old file could not be put
// back under its name do both stay beside it, as the only copies of either content.
bool ReplaceExisting(const std::string &target, const std::wstring &replacement) {
  const std::wstring wideTarget = SystemPath(target), backup = FreeNameBeside(target);
  // Without a backup name, ReplaceFile may leave the old file nowhere and the new one under its
  // own name; Wine's moves the old one to a file of its own, left behind when that fails.
  bool replaced = !backup.empty() && TriedAgainWhileHeld([&] {
    return ReplaceFileW(wideTarget.c_str(), replacement.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS,
                        nullptr, nullptr) != FALSE;
  });
  if (!replaced && !backup.empty() && GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
    // The old file has the backup's name, and the new one still its own: the name is free for the
    // new one, or else for the old one again.
    replaced = MoveIntoPlace(replacement, wideTarget);
    if (!replaced && !MoveIntoPlace(backup, wideTarget))
      return false;
  }
  // The backup goes only once the new file has the name.
  Delete(replaced ? backup : replacement);
  return replaced;
}

// What a failed creation or move means to the caller.
Platform::MakeResult MakeFailure() {
  switch (GetLastError()) {
  case ERROR_FILE_EXISTS:
  case ERROR_ALREADY_EXISTS:
    return Platform::MakeResult::Exists;
  case ERROR_CANNOT_MAKE:
    return Platform::MakeResult::FolderFull;
  default:
    return Platform::MakeResult::Failed;
  }
}

} // namespace

std::string Win32Platform::UpperCase(std::string_view text) const {
  std::wstring wide = Widen(text);
  if (!wide.empty())
    CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  return Narrow(wide);
}

std::string Win32Platform::FromShiftJis(std::string_view bytes) const { return FromCodePage(kShiftJis, bytes); }

std::string Win32Platform::ToShiftJis(std::string_view text) const { return ToCodePage(kShiftJis, text); }

void Win32Platform::ReadTextFile(const std::string &path, const ChunkConsumer &consume) {
  HANDLE opened = CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (opened == INVALID_HANDLE_VALUE)
    throw EInOutError(LastErrorCode());
  const KernelHandle file(opened);
  char buffer[64 * 1024];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr))
      throw EInOutError(LastErrorCode());
    if (read == 0 || !consume(std::string_view(buffer, read)))
      return;
  }
}

std::string Win32Platform::AllBytes(const std::string &path) {
  std::string bytes;
  ReadTextFile(path, [&](std::string_view chunk) {
    bytes += chunk;
    return true;
  });
  return bytes;
}

std::optional<std::vector<Platform::XmlElement>> Win32Platform::ReadXmlElements(const std::string &path) {
  return ReadXmlDocument(AllBytes(path));
}

std::optional<std::string> Win32Platform::ReadWholeFile(const std::string &path) {
  try {
    return AllBytes(path);
  } catch (const EInOutError &error) {
    if (error.ErrorCode() == ERROR_FILE_NOT_FOUND || error.ErrorCode() == ERROR_PATH_NOT_FOUND)
      return std::string();
    return std::nullopt;
  }
}

bool Win32Platform::ReplaceWholeFile(const std::string &path, std::string_view bytes) {
  auto [temporary, file] = CreateBeside(path);
  if (!file)
    return false;
  DWORD written = 0;
  const bool whole = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                     written == bytes.size() && FlushFileBuffers(file.get());
  file.reset();
  const std::wstring replacement = SystemPath(temporary), target = SystemPath(path);
  const DWORD attributes = GetFileAttributesW(target.c_str());
  const bool absent = attributes == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND;
  // ReplaceFile keeps the old file's attributes, security and creation time; a file that is not
  // there yet is simply renamed into place, never over one that appeared meanwhile. A folder in
  // the file's place stays there (Wine's ReplaceFile would move it aside).
  if (whole && !absent && (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0))
    return ReplaceExisting(path, replacement);
  if (whole && absent && MoveIntoPlace(replacement, target))
    return true;
  Delete(replacement);
  return false;
}

bool Win32Platform::FileExists(const std::string &path) {
  // The attributes rather than a directory search: under Wine each search reads the whole folder.
  const DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::vector<std::string> Win32Platform::ListFiles(const std::string &pattern) {
  constexpr DWORD kLeftOut = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | kVolumeLabel | FILE_ATTRIBUTE_DIRECTORY;
  std::vector<std::string> names;
  WIN32_FIND_DATAW entry;
  const auto search = FindFirst(pattern, entry);
  if (!search)
    return names;
  do {
    if ((entry.dwFileAttributes & kLeftOut) == 0)
      names.push_back(Narrow(entry.cFileName));
  } while (FindNextFileW(search.get(), &entry));
  return names;
}

std::optional<std::vector<std::string>> Win32Platform::ListNames(const std::string &folder) {
  std::vector<std::string> names;
  if (!ForEachEntry(folder, [&](const WIN32_FIND_DATAW &entry) {
        names.push_back(Narrow(entry.cFileName));
        if (entry.cAlternateFileName[0] != L'\0')
          names.push_back(Narrow(entry.cAlternateFileName));
      }))
    return std::nullopt;
  return names;
}

bool Win32Platform::RemoveFile(const std::string &path) {
  // A read-only file is refused at once (access denied); only a file that another program holds
  // open is worth the wait.
  const std::wstring wide = SystemPath(path);
  for (int again = 5;; --again) {
    if (DeleteFileW(wide.c_str()))
      return true;
    const DWORD error = GetLastError();
    if (again == 0 || (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION))
      return false;
    Sleep(200);
  }
}

Platform::CopyResult Win32Platform::CopyFileOver(const std::string &source, const std::string &target, bool makeNew,
                                                 const std::function<void()> &whileCopying) {
  if (systemCopy_ == SystemCopy::WhereItCallsBack && !SystemCopyCallsBack())
    return CopyInChunks(source, target, makeNew, whileCopying);
  // Whatever is left under the target's name after the copy is made plain: it must not be the source.
  if (const KernelHandle in = makeNew ? KernelHandle() : OpenToAsk(source); in && IsSameFile(in.get(), target)) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return CopyResult::Failed;
  }
  CopyCallback callback{whileCopying, nullptr};
  const bool copied = CopyFileExW(SystemPath(source).c_str(), SystemPath(target).c_str(), CopyProgressRoutine,
                                  &callback, nullptr, makeNew ? COPY_FILE_FAIL_IF_EXISTS : 0) != FALSE;
  const bool existed = !copied && makeNew && GetLastError() == ERROR_FILE_EXISTS;
  // A copy that failed or was cancelled may leave a part of the target, read-only like its source,
  // which the system's own cleaning up cannot delete either.
  const bool plain = !existed && LeavePlain(target);
  if (callback.thrown)
    std::rethrow_exception(callback.thrown);
  return copied && plain ? CopyResult::Copied : existed ? CopyResult::TargetExists : CopyResult::Failed;
}

DWORD CALLBACK CopyProgressRoutine(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE,
                                   HANDLE, LPVOID callback) {
  auto &context = *static_cast<CopyCallback *>(callback);
  try {
    context.whileCopying();
    return PROGRESS_CONTINUE;
  } catch (...) {
    context.thrown = std::current_exception();
    return PROGRESS_CANCEL;
  }
}

std::string Win32Platform::FullPath(const std::string &path) {
  const std::wstring wide = Widen(path);
  const std::wstring full =
      GrowingText([&](wchar_t *buffer, DWORD size) { return GetFullPathNameW(wide.c_str(), size, buffer, nullptr); });
  return full.empty() ? path : Narrow(full);
}

Platform::FileFacts Win32Platform::QueryFile(const std::string &path) {
  // From the folder's entry: the file need not be opened, so one that others hold does not stop it.
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return {};
  return {true,
          (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow,
          (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime,
          (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0,
          (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0,
          (data.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM) != 0,
          (data.dwFileAttributes & kNotOnDisk) != 0,
          (std::uint64_t{data.ftLastAccessTime.dwHighDateTime} << 32) | data.ftLastAccessTime.dwLowDateTime};
}

std::string Win32Platform::FileIdentity(const std::string &path) {
  const KernelHandle file = OpenToAsk(path);
  if (!file)
    return {};
  const std::string numbered = NumberedIdentity(file.get());
  if (!numbered.empty())
    return numbered;
  // Where the file system numbers no files, the long spelling of the full path stands in.
  const std::wstring full = SystemPath(path);
  const std::wstring longPath =
      GrowingText([&](wchar_t *buffer, DWORD size) { return GetLongPathNameW(full.c_str(), buffer, size); });
  return "path:" + UpperCase(Narrow(longPath.empty() ? full : longPath));
}

std::optional<Platform::DiskSpace> Win32Platform::FreeSpace(const std::string &folder) {
  const std::wstring directory = SystemPath(FileNamePart(folder).empty() ? folder : folder + "\\");
  ULARGE_INTEGER freeForUser;
  if (!GetDiskFreeSpaceExW(directory.c_str(), &freeForUser, nullptr, nullptr))
    return std::nullopt;
  DiskSpace space{freeForUser.QuadPart, 1};
  // The cluster size is asked of the volume's root, which is what the older call expects.
  const std::wstring root = VolumeRoot(directory);
  DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
  if (!root.empty() && GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
    space.allocationUnit = std::uint64_t{sectorsPerCluster} * bytesPerSector;
  return space;
}

std::optional<std::vector<Platform::FolderEntry>> Win32Platform::ListEntries(const std::string &folder) {
  std::vector<FolderEntry> entries;
  if (!ForEachEntry(folder, [&](const WIN32_FIND_DATAW &entry) {
        entries.push_back({Narrow(entry.cFileName), (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                           (entry.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0,
                           (entry.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM) != 0});
      }))
    return std::nullopt;
  return entries;
}

std::string Win32Platform::FileSystemOf(const std::string &path) {
  const std::wstring root = VolumeRoot(SystemPath(path));
  wchar_t fileSystem[MAX_PATH + 1] = L"";
  if (root.empty() ||
      !GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, fileSystem, MAX_PATH + 1))
    return {};
  return Narrow(fileSystem);
}

Platform::MakeResult Win32Platform::MakeEmptyFile(const std::string &path) {
  const HANDLE made =
      CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (made == INVALID_HANDLE_VALUE)
    return MakeFailure();
  const KernelHandle file(made);
  return MakeResult::Made;
}

namespace {

// A file open for writing with others allowed only to read it: written through to the disk, so that a
// record is there before the step it announces.
class OpenWritingFile final : public Platform::WritingFile {
public:
  explicit OpenWritingFile(HANDLE file) : file_(file) {}

  bool Append(std::string_view bytes) override {
    LARGE_INTEGER end{};
    DWORD written = 0;
    return SetFilePointerEx(file_.get(), end, nullptr, FILE_END) &&
           WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size() && FlushFileBuffers(file_.get());
  }

  bool Cut(std::uint64_t size) override {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(size);
    return SetFilePointerEx(file_.get(), at, nullptr, FILE_BEGIN) && SetEndOfFile(file_.get()) &&
           FlushFileBuffers(file_.get());
  }

private:
  KernelHandle file_;
};

} // namespace

Platform::MadeFile Win32Platform::MakeHiddenFile(const std::string &path, std::string_view bytes) {
  const std::wstring wide = SystemPath(path);
  const HANDLE made = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_WRITE_THROUGH, nullptr);
  if (made == INVALID_HANDLE_VALUE)
    return {MakeFailure(), nullptr};
  auto file = std::make_unique<OpenWritingFile>(made);
  if (file->Append(bytes))
    return {MakeResult::Made, std::move(file)};
  // A record cut short would read as one that names less than was done; and the next try would find
  // its name taken.
  file.reset();
  DeleteFileW(wide.c_str());
  return {MakeResult::Failed, nullptr};
}

Platform::OpenedFile Win32Platform::OpenForWriting(const std::string &path) {
  const HANDLE opened = CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_WRITE_THROUGH, nullptr);
  if (opened == INVALID_HANDLE_VALUE)
    return {nullptr, GetLastError() == ERROR_SHARING_VIOLATION};
  auto file = std::make_unique<OpenWritingFile>(opened);
  // Windows opens no read-only file for writing, but Wine run by root does: such a file stays as it is.
  BY_HANDLE_FILE_INFORMATION facts;
  if (!GetFileInformationByHandle(opened, &facts) || (facts.dwFileAttributes & FILE_ATTRIBUTE_READONLY))
    return {nullptr, false};
  return {std::move(file), false};
}

Platform::MakeResult Win32Platform::MakeFolder(const std::string &path, bool hidden) {
  const std::wstring wide = SystemPath(path);
  if (!CreateDirectoryW(wide.c_str(), nullptr))
    return MakeFailure();
  // A folder asked for hidden is never left visible.
  if (hidden && !SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_HIDDEN)) {
    RemoveDirectoryW(wide.c_str());
    return MakeResult::Failed;
  }
  return MakeResult::Made;
}

Platform::MakeResult Win32Platform::MoveEntry(const std::string &from, const std::string &to) {
  return MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(), 0) ? MakeResult::Made : MakeFailure();
}

bool Win32Platform::RemoveFolder(const std::string &path) {
  return RemoveDirectoryW(SystemPath(path).c_str()) != FALSE;
}

namespace {

class OpenHeldFile final : public Platform::HeldFile {
public:
  explicit OpenHeldFile(HANDLE file) : file_(file) {}

  bool MarkUsed() override {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return SetFileTime(file_.get(), nullptr, &now, nullptr) != FALSE;
  }

private:
  KernelHandle file_;
};

} // namespace

std::unique_ptr<Platform::HeldFile> Win32Platform::HoldFile(const std::string &path) {
  // Without delete sharing, nobody removes or renames it; with read sharing, the copy reads it. Writing
  // the attributes is no access that sharing governs.
  const HANDLE held = CreateFileW(SystemPath(path).c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (held == INVALID_HANDLE_VALUE)
    return nullptr;
  return std::make_unique<OpenHeldFile>(held);
}

void ExposeCloudFiles() {
  using SetMode = CHAR(NTAPI *)(CHAR);
  constexpr CHAR kExposePlaceholders = 2; // PHCM_EXPOSE_PLACEHOLDERS
  const FARPROC found = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlSetProcessPlaceholderCompatibilityMode");
  if (found)
    reinterpret_cast<SetMode>(reinterpret_cast<void (*)()>(found))(kExposePlaceholders);
}

std::wstring SystemPath(const std::string &path) {
  const std::wstring wide = Widen(path);
  if (wide.empty() || wide.rfind(L"\\\\?\\", 0) == 0)
    return wide;
  std::wstring full =
      GrowingText([&](wchar_t *buffer, DWORD size) { return GetFullPathNameW(wide.c_str(), size, buffer, nullptr); });
  if (full.empty())
    return wide;
  if (full.size() < MAX_PATH || full.rfind(L"\\\\.\\", 0) == 0)
    return full;
  if (full.rfind(L"\\\\", 0) == 0)
    return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

} // namespace sf
