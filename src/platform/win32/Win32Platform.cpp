#include "platform/win32/Win32Platform.h"

#include "platform/InOutError.h"
#include "platform/PathParts.h"
#include "platform/win32/KernelHandle.h"
#include "platform/win32/Utf16.h"
#include "settings/ProfileText.h"

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
  HANDLE handle = FindFirstFileW(Widen(pattern).c_str(), &entry);
  return FindHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

int LastErrorCode() { return static_cast<int>(GetLastError()); }

// Volume labels carry this attribute on systems that still report them.
constexpr DWORD kVolumeLabel = 0x8;

// Wine's CopyFileEx (8.0) never calls its progress routine: a long track would keep the thread
// from its queue for the whole copy.
bool SystemCopyCallsBack() {
  static const bool callsBack = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr;
  return callsBack;
}

// No access asked and every sharing allowed: this opens files that others hold open, too.
KernelHandle OpenToAsk(const std::string &path) {
  const HANDLE opened = CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return KernelHandle(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
}

// The volume's serial number and the file's index on it; empty where the file system numbers no
// files. One form for every file, so that two names of one file always compare equal.
std::string NumberedIdentity(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(file, &information))
    return {};
  const std::uint64_t index = (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
  if (information.dwVolumeSerialNumber == 0 && index == 0)
    return {};
  return std::to_string(information.dwVolumeSerialNumber) + ":" + std::to_string(index);
}

// The copy as Wine's CopyFileEx makes it (the same sharing, chunks, attributes and last-write
// time; never onto the source itself; with `makeNew`, never over an existing file), calling
// `whileCopying` after every chunk.
Platform::CopyResult CopyInChunks(const std::string &source, const std::string &target, bool makeNew,
                                  const std::function<void()> &whileCopying) {
  using Result = Platform::CopyResult;
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE opened = CreateFileW(Widen(source).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
  if (opened == INVALID_HANDLE_VALUE)
    return Result::Failed;
  const KernelHandle in(opened);
  FILE_BASIC_INFO info;
  if (!GetFileInformationByHandleEx(in.get(), FileBasicInfo, &info, sizeof info))
    return Result::Failed;
  // Emptying the target must never empty the source through another name for it.
  if (const KernelHandle existing = makeNew ? KernelHandle() : OpenToAsk(target)) {
    const std::string identity = NumberedIdentity(existing.get());
    if (!identity.empty() && identity == NumberedIdentity(in.get())) {
      SetLastError(ERROR_SHARING_VIOLATION);
      return Result::Failed;
    }
  }
  opened = CreateFileW(Widen(target).c_str(), GENERIC_WRITE, 0, nullptr, makeNew ? CREATE_NEW : CREATE_ALWAYS,
                       info.FileAttributes, nullptr);
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

// The system's copy gives the copy the source's attributes, and refuses to replace a read-only,
// hidden or system file: a copy left so could never be cleared or replaced by a later run.
bool LeavePlain(const std::string &target) {
  constexpr DWORD kKeepsFromReplacing = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  const std::wstring wide = Widen(target);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return false;
  const DWORD plain = attributes & ~kKeepsFromReplacing;
  return plain == attributes || SetFileAttributesW(wide.c_str(), plain ? plain : FILE_ATTRIBUTE_NORMAL);
}

// Asks a function that fills a buffer of wide characters for its text, growing the buffer until
// the text fits. `fill` returns the length it wrote, or the size it needs when the buffer is too
// small, or 0 on failure.
template <typename Fill> std::wstring GrowingText(Fill fill) {
  std::wstring text(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = fill(text.data(), static_cast<DWORD>(text.size()));
    if (length == 0)
      return {};
    if (length < text.size()) {
      text.resize(length);
      return text;
    }
    text.resize(std::max<std::size_t>(length, text.size() * 2));
  }
}

// The profile functions take the path in the system code page: where it cannot hold the name, the
// short form, which it always can, stands in.
std::string ProfilePath(const std::string &path) {
  bool complete = false;
  const std::string ansi = ToCodePage(CP_ACP, path, &complete);
  if (complete)
    return ansi;
  const std::wstring wide = Widen(path);
  const std::wstring shortPath =
      GrowingText([&](wchar_t *buffer, DWORD size) { return GetShortPathNameW(wide.c_str(), buffer, size); });
  return shortPath.empty() ? ansi : ToCodePage(CP_ACP, Narrow(shortPath));
}

// The system's profile functions decode a file with the system's code page: they read Shift-JIS
// only where that is 932. Elsewhere (an English Windows, the UTF-8 option) the program reads and
// writes the bytes itself, with the same rules.
bool SystemReadsShiftJis() { return GetACP() == kShiftJis; }

// The file's bytes; nothing for a file that cannot be read, as the profile functions see it.
std::string WholeFile(const std::string &path) {
  std::string bytes;
  try {
    Win32Platform().ReadTextFile(path, [&](std::string_view chunk) {
      bytes += chunk;
      return true;
    });
  } catch (const EInOutError &) {
    bytes.clear();
  }
  return bytes;
}

bool ReplaceWholeFile(const std::string &path, const std::string &bytes) {
  HANDLE opened =
      CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE)
    return false;
  const KernelHandle file(opened);
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

} // namespace

std::string Win32Platform::UpperCase(std::string_view text) const {
  std::wstring wide = Widen(text);
  if (!wide.empty())
    CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  return Narrow(wide);
}

std::string Win32Platform::FromShiftJis(std::string_view bytes) const { return FromCodePage(kShiftJis, bytes); }

void Win32Platform::ReadTextFile(const std::string &path, const ChunkConsumer &consume) {
  HANDLE opened = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
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

std::string Win32Platform::ReadProfileValue(const std::string &path, const std::string &section, const std::string &key,
                                            const std::string &defaultValue, std::size_t bufferSize) {
  const std::string sjisSection = ToCodePage(kShiftJis, section), sjisKey = ToCodePage(kShiftJis, key),
                    sjisDefault = ToCodePage(kShiftJis, defaultValue);
  if (!SystemReadsShiftJis())
    return FromShiftJis(ReadProfileText(WholeFile(path), sjisSection, sjisKey, sjisDefault, bufferSize));
  std::string value(bufferSize, '\0');
  const DWORD length = GetPrivateProfileStringA(sjisSection.c_str(), sjisKey.c_str(), sjisDefault.c_str(), value.data(),
                                                static_cast<DWORD>(bufferSize), ProfilePath(path).c_str());
  // A value cut inside a double-byte character comes back one byte short of the length it claims.
  value.resize(std::min<std::size_t>(length, value.find('\0')));
  return FromShiftJis(value);
}

bool Win32Platform::WriteProfileValue(const std::string &path, const std::string &section, const std::string &key,
                                      const std::string &value) {
  const std::string sjisSection = ToCodePage(kShiftJis, section), sjisKey = ToCodePage(kShiftJis, key),
                    sjisValue = ToCodePage(kShiftJis, value);
  if (!SystemReadsShiftJis()) {
    const auto file = WholeFile(path);
    const auto written = WriteProfileText(file, sjisSection, sjisKey, sjisValue);
    return written == file || ReplaceWholeFile(path, written);
  }
  // Only the result counts: after a successful write the last-error code is often left at 87.
  return WritePrivateProfileStringA(sjisSection.c_str(), sjisKey.c_str(), sjisValue.c_str(),
                                    ProfilePath(path).c_str()) != FALSE;
}

bool Win32Platform::FileExists(const std::string &path) {
  // A name without wildcards finds the same entry as the directory search, at a fraction of the
  // cost: under Wine each search reads the whole folder.
  if (path.find_first_of("*?<>\"") == std::string::npos) {
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }
  WIN32_FIND_DATAW entry;
  const auto found = FindFirst(path, entry);
  return found && (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
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
  WIN32_FIND_DATAW entry;
  const auto search = FindFirst(folder + "\\*", entry);
  if (!search)
    return std::nullopt;
  do {
    if (std::wstring_view(entry.cFileName) == L"." || std::wstring_view(entry.cFileName) == L"..")
      continue;
    names.push_back(Narrow(entry.cFileName));
    if (entry.cAlternateFileName[0] != L'\0')
      names.push_back(Narrow(entry.cAlternateFileName));
  } while (FindNextFileW(search.get(), &entry));
  if (GetLastError() != ERROR_NO_MORE_FILES)
    return std::nullopt;
  return names;
}

bool Win32Platform::RemoveFile(const std::string &path) { return DeleteFileW(Widen(path).c_str()) != FALSE; }

Platform::CopyResult Win32Platform::CopyFileOver(const std::string &source, const std::string &target, bool makeNew,
                                                 const std::function<void()> &whileCopying) {
  const auto plain = [&](CopyResult result) {
    return result == CopyResult::Copied && !LeavePlain(target) ? CopyResult::Failed : result;
  };
  if (systemCopy_ == SystemCopy::WhereItCallsBack && !SystemCopyCallsBack())
    return plain(CopyInChunks(source, target, makeNew, whileCopying));
  CopyCallback callback{whileCopying, nullptr};
  const bool copied = CopyFileExW(Widen(source).c_str(), Widen(target).c_str(), CopyProgressRoutine, &callback, nullptr,
                                  makeNew ? COPY_FILE_FAIL_IF_EXISTS : 0) != FALSE;
  const bool existed = !copied && makeNew && GetLastError() == ERROR_FILE_EXISTS;
  if (callback.thrown)
    std::rethrow_exception(callback.thrown);
  return plain(copied ? CopyResult::Copied : existed ? CopyResult::TargetExists : CopyResult::Failed);
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

void Win32Platform::ChangeWorkingFolder(const std::string &path) {
  if (!SetCurrentDirectoryW(Widen(path).c_str()))
    throw EInOutError(LastErrorCode());
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
  if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return {};
  return {true,
          (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow,
          (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime,
          (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0,
          (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0,
          (data.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM) != 0};
}

std::string Win32Platform::FileIdentity(const std::string &path) {
  const KernelHandle file = OpenToAsk(path);
  if (!file)
    return {};
  const std::string numbered = NumberedIdentity(file.get());
  if (!numbered.empty())
    return numbered;
  // Where the file system numbers no files, the long spelling of the full path stands in.
  const std::wstring full = Widen(FullPath(path));
  const std::wstring longPath =
      GrowingText([&](wchar_t *buffer, DWORD size) { return GetLongPathNameW(full.c_str(), buffer, size); });
  return "path:" + UpperCase(Narrow(longPath.empty() ? full : longPath));
}

std::optional<Platform::DiskSpace> Win32Platform::FreeSpace(const std::string &folder) {
  const std::wstring directory = Widen(FileNamePart(folder).empty() ? folder : folder + "\\");
  ULARGE_INTEGER freeForUser;
  if (!GetDiskFreeSpaceExW(directory.c_str(), &freeForUser, nullptr, nullptr))
    return std::nullopt;
  DiskSpace space{freeForUser.QuadPart, 1};
  // The cluster size is asked of the volume's root, which is what the older call expects.
  std::wstring root(MAX_PATH + 1, L'\0');
  DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
  if (GetVolumePathNameW(directory.c_str(), root.data(), static_cast<DWORD>(root.size())) &&
      GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
    space.allocationUnit = std::uint64_t{sectorsPerCluster} * bytesPerSector;
  return space;
}

std::string ProgramPath() {
  // The path can be longer than MAX_PATH: grow the buffer until the name fits.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return Narrow(path);
    }
    path.resize(path.size() * 2);
  }
}

} // namespace sf
