#pragma once

#include "platform/win32/KernelHandle.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sf {

// The MP3 being written: made new (or emptied), written in large blocks, and closed when its owner
// goes, finished or not, so that whoever made it can delete a partial one.
class Mp3Output {
public:
  // Throws ConvertFailure (CannotWrite).
  explicit Mp3Output(const std::string &path);
  ~Mp3Output();
  Mp3Output(const Mp3Output &) = delete;
  Mp3Output &operator=(const Mp3Output &) = delete;

  void Append(std::string_view bytes);
  void Append(const unsigned char *bytes, std::size_t size) {
    Append(std::string_view(reinterpret_cast<const char *>(bytes), size));
  }
  // Writes `bytes` over what was appended at `offset`.
  void Overwrite(std::uint64_t offset, std::string_view bytes);
  // Writes what is left, gives the file `lastWrite` (a FILETIME) and closes it.
  void Finish(std::uint64_t lastWrite);

private:
  void WriteAt(std::uint64_t offset, std::string_view bytes);
  void Flush();

  KernelHandle handle_;
  std::uint64_t written_ = 0; // bytes in the file, the buffer aside
  std::string buffer_;
};

} // namespace sf
