#pragma once

#include "convert/PcmSource.h"
#include "platform/win32/KernelHandle.h"

#include <string>

// A track's file, read by the decoders through the system's wide calls (the C runtime's fopen would
// take the path in the ANSI code page, and the libraries' own opening of files lacks Unicode).
namespace sf {

class InputFile final : public ByteSource {
public:
  // Opens `path` (UTF-8) for reading, letting others read and write it; throws ConvertFailure
  // (Unreadable).
  explicit InputFile(const std::string &path);

  std::uint64_t Size() const override { return size_; }
  std::size_t ReadAt(std::uint64_t offset, void *bytes, std::size_t size) override;

  // The sequential reading the libraries' callbacks ask for.
  std::size_t Read(void *bytes, std::size_t size);
  // As fseek: from the start, the position or the end (SEEK_SET, SEEK_CUR, SEEK_END); false, and the
  // position unchanged, for a place before the start.
  bool Seek(std::int64_t offset, int whence);
  std::uint64_t Tell() const { return position_; }

private:
  KernelHandle handle_;
  std::uint64_t size_ = 0;
  std::uint64_t position_ = 0;
};

} // namespace sf
