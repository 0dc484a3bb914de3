#include "convert/InputFile.h"

#include "platform/win32/Utf16.h"

#include <algorithm>
#include <cstdio>

namespace sf {

InputFile::InputFile(const std::string &path) {
  const HANDLE handle = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    throw ConvertFailure{ConvertProblem::Unreadable};
  handle_.reset(handle);
  LARGE_INTEGER size;
  if (!GetFileSizeEx(handle, &size))
    throw ConvertFailure{ConvertProblem::Unreadable};
  size_ = static_cast<std::uint64_t>(size.QuadPart);
}

std::size_t InputFile::ReadAt(std::uint64_t offset, void *bytes, std::size_t size) {
  std::size_t done = 0;
  while (done < size && offset + done < size_) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset + done);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(handle_.get(), static_cast<char *>(bytes) + done, ask, &got, &at)) {
      if (GetLastError() == ERROR_HANDLE_EOF)
        break;
      throw ConvertFailure{ConvertProblem::Unreadable};
    }
    if (got == 0)
      break;
    done += got;
  }
  return done;
}

std::size_t InputFile::Read(void *bytes, std::size_t size) {
  const std::size_t got = ReadAt(position_, bytes, size);
  position_ += got;
  return got;
}

} // namespace sf

namespace sf {

bool InputFile::Seek(std::int64_t offset, int whence) {
  const std::int64_t base = whence == SEEK_CUR   ? static_cast<std::int64_t>(position_)
                            : whence == SEEK_END ? static_cast<std::int64_t>(size_)
                                                 : 0;
  if (offset < -base)
    return false;
  position_ = static_cast<std::uint64_t>(base + offset);
  return true;
}

} // namespace sf
