#include "platform/win32/Win32Platform.h"

#include "platform/InOutError.h"

#include <windows.h>

#include <exception>
#include <memory>
#include <type_traits>
#include <vector>

namespace sf {
namespace {

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using FileHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

struct FindCloser {
  void operator()(HANDLE handle) const { FindClose(handle); }
};
using FindHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, FindCloser>;

FindHandle FindFirst(const std::string &pattern, WIN32_FIND_DATAA &entry) {
  HANDLE handle = FindFirstFileA(pattern.c_str(), &entry);
  return FindHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

int LastErrorCode() { return static_cast<int>(GetLastError()); }

// Volume labels carry this attribute on systems that still report them.
constexpr DWORD kVolumeLabel = 0x8;

// Wine's CopyFileEx (8.0) never calls its progress routine: a long track would keep the thread
// from its queue for the whole copy.
bool SystemCopyCallsBack() {
  static const bool callsBack = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") == nullptr;
  return callsBack;
}

bool SameFile(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION first, second;
  return GetFileInformationByHandle(a, &first) && GetFileInformationByHandle(b, &second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber && first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

// The copy as Wine's CopyFileEx makes it (the same sharing, chunks, attributes and last-write
// time; never onto the source itself), calling `whileCopying` after every chunk.
bool CopyInChunks(const std::string &source, const std::string &target, const std::function<void()> &whileCopying) {
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE opened = CreateFileA(source.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
  if (opened == INVALID_HANDLE_VALUE)
    return false;
  const FileHandle in(opened);
  FILE_BASIC_INFO info;
  if (!GetFileInformationByHandleEx(in.get(), FileBasicInfo, &info, sizeof info))
    return false;
  // Emptying the target must never empty the source through another name for it.
  opened = CreateFileA(target.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
  if (opened != INVALID_HANDLE_VALUE) {
    const FileHandle existing(opened);
    if (SameFile(in.get(), existing.get())) {
      SetLastError(ERROR_SHARING_VIOLATION);
      return false;
    }
  }
  opened = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, info.FileAttributes, nullptr);
  if (opened == INVALID_HANDLE_VALUE)
    return false;
  const FileHandle out(opened);
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    DWORD read = 0, written = 0;
    if (!ReadFile(in.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
      return false;
    if (read == 0)
      break;
    if (!WriteFile(out.get(), buffer.data(), read, &written, nullptr) || written != read)
      return false;
    whileCopying();
  }
  const FILETIME lastWrite{info.LastWriteTime.LowPart, static_cast<DWORD>(info.LastWriteTime.HighPart)};
  return SetFileTime(out.get(), nullptr, nullptr, &lastWrite) != FALSE;
}

} // namespace

bool Win32Platform::IsLeadByte(unsigned char byte) const { return IsDBCSLeadByte(byte) != FALSE; }

std::string Win32Platform::UpperCase(std::string_view text) const {
  std::string result(text);
  if (!result.empty())
    CharUpperBuffA(result.data(), static_cast<DWORD>(result.size()));
  return result;
}

void Win32Platform::ReadTextFile(const std::string &path, const ChunkConsumer &consume) {
  HANDLE opened = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (opened == INVALID_HANDLE_VALUE)
    throw EInOutError(LastErrorCode());
  const FileHandle file(opened);
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
  std::string value(bufferSize, '\0');
  const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), value.data(),
                                                static_cast<DWORD>(bufferSize), path.c_str());
  value.resize(length);
  return value;
}

bool Win32Platform::WriteProfileValue(const std::string &path, const std::string &section, const std::string &key,
                                      const std::string &value) {
  // Only the result counts: after a successful write the last-error code is often left at 87.
  return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()) != FALSE;
}

bool Win32Platform::FileExists(const std::string &path) {
  // A name without wildcards finds the same entry as the directory search, at a fraction of the
  // cost: under Wine each search reads the whole folder.
  if (path.find_first_of("*?<>\"") == std::string::npos) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }
  WIN32_FIND_DATAA entry;
  const auto found = FindFirst(path, entry);
  return found && (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::vector<std::string> Win32Platform::ListFiles(const std::string &pattern) {
  constexpr DWORD kLeftOut = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | kVolumeLabel | FILE_ATTRIBUTE_DIRECTORY;
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  const auto search = FindFirst(pattern, entry);
  if (!search)
    return names;
  do {
    if ((entry.dwFileAttributes & kLeftOut) == 0)
      names.emplace_back(entry.cFileName);
  } while (FindNextFileA(search.get(), &entry));
  return names;
}

bool Win32Platform::RemoveFile(const std::string &path) { return DeleteFileA(path.c_str()) != FALSE; }

bool Win32Platform::CopyFileOver(const std::string &source, const std::string &target,
                                 const std::function<void()> &whileCopying) {
  if (!SystemCopyCallsBack())
    return CopyInChunks(source, target, whileCopying);
  struct Context {
    const std::function<void()> &whileCopying;
    std::exception_ptr error;
  } context{whileCopying, nullptr};
  // The system calls back after every chunk it copies; an exception must not cross its frames, so
  // it cancels the copy and is thrown again here.
  const LPPROGRESS_ROUTINE progress = [](LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD,
                                         HANDLE, HANDLE, LPVOID data) -> DWORD {
    auto &context = *static_cast<Context *>(data);
    try {
      context.whileCopying();
      return PROGRESS_CONTINUE;
    } catch (...) {
      context.error = std::current_exception();
      return PROGRESS_CANCEL;
    }
  };
  const bool copied = CopyFileExA(source.c_str(), target.c_str(), progress, &context, nullptr, 0) != FALSE;
  if (context.error)
    std::rethrow_exception(context.error);
  return copied;
}

void Win32Platform::ChangeWorkingFolder(const std::string &path) {
  if (!SetCurrentDirectoryA(path.c_str()))
    throw EInOutError(LastErrorCode());
}

std::string Win32Platform::FullPath(const std::string &path) {
  const DWORD needed = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0)
    return path;
  std::string full(needed, '\0');
  const DWORD length = GetFullPathNameA(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed)
    return path;
  full.resize(length);
  return full;
}

std::string ProgramPath() {
  // The path can be longer than MAX_PATH: grow the buffer until the name fits.
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

} // namespace sf
