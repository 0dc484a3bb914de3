#include "convert/Mp3Output.h"

#include "convert/PcmSource.h"
#include "platform/win32/Utf16.h"

#include <algorithm>

namespace sf {
namespace {

constexpr std::size_t kBlock = 256 * 1024;

[[noreturn]] void CannotWrite() { throw ConvertFailure{ConvertProblem::CannotWrite}; }

} // namespace

Mp3Output::Mp3Output(const std::string &path) {
  const HANDLE handle = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    CannotWrite();
  handle_.reset(handle);
  buffer_.reserve(kBlock);
}

Mp3Output::~Mp3Output() = default;

void Mp3Output::WriteAt(std::uint64_t offset, std::string_view bytes) {
  while (!bytes.empty()) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD size = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD done = 0;
    if (!WriteFile(handle_.get(), bytes.data(), size, &done, &at) || done == 0)
      CannotWrite();
    bytes.remove_prefix(done);
    offset += done;
  }
}

void Mp3Output::Flush() {
  WriteAt(written_, buffer_);
  written_ += buffer_.size();
  buffer_.clear();
}

void Mp3Output::Append(std::string_view bytes) {
  buffer_.append(bytes);
  if (buffer_.size() >= kBlock)
    Flush();
}

void Mp3Output::Overwrite(std::uint64_t offset, std::string_view bytes) {
  Flush();
  if (offset + bytes.size() > written_)
    CannotWrite();
  WriteAt(offset, bytes);
}

void Mp3Output::Finish(std::uint64_t lastWrite) {
  Flush();
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(lastWrite);
  time.dwHighDateTime = static_cast<DWORD>(lastWrite >> 32);
  if (!SetFileTime(handle_.get(), nullptr, nullptr, &time))
    CannotWrite();
  // Closing is where a network drive or a full disk may report the failure of a write.
  if (!CloseHandle(handle_.release()))
    CannotWrite();
}

} // namespace sf
