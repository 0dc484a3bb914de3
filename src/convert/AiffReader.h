#pragma once

#include "convert/PcmSource.h"

#include <cstdint>
#include <memory>
#include <vector>

// AIFF and AIFF-C, read by the program itself: Media Foundation has no AIFF source on Windows.
namespace sf {

// Uncompressed AIFF, and AIFF-C with "NONE" (big-endian integers), "sowt" (little-endian integers),
// "fl32" or "fl64" (big-endian floating point). Any other AIFF-C compression is NotSupported; a file
// whose chunks contradict each other or end early is Broken.
class AiffSource final : public PcmSource {
public:
  // Reads the header at once; throws ConvertFailure.
  explicit AiffSource(std::unique_ptr<ByteSource> file);
  const PcmFormat &Format() const override { return format_; }
  std::size_t Read(float *samples, std::size_t frames) override;

  enum class Encoding { BigEndianInteger, LittleEndianInteger, Float32, Float64 };

private:
  std::unique_ptr<ByteSource> file_;
  PcmFormat format_;
  Encoding encoding_ = Encoding::BigEndianInteger;
  int bytesPerSample_ = 0;
  std::uint64_t framesLeft_ = 0;
  std::uint64_t next_ = 0; // the offset of the next frame to read
  std::vector<unsigned char> bytes_;
};

// Whether `head`, a file's first bytes (12 at least), starts an AIFF or AIFF-C file.
bool IsAiff(const unsigned char *head, std::size_t size);

} // namespace sf
