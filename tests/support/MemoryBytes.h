#pragma once

#include "convert/PcmSource.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace sf::testing {

// A file's bytes held in memory, for the readers that take a ByteSource.
class MemoryBytes final : public ByteSource {
public:
  explicit MemoryBytes(std::string bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  std::size_t ReadAt(std::uint64_t offset, void *bytes, std::size_t size) override {
    if (offset >= bytes_.size() || size == 0)
      return 0;
    const std::size_t count = std::min<std::size_t>(size, bytes_.size() - offset);
    std::memcpy(bytes, bytes_.data() + offset, count);
    return count;
  }

private:
  std::string bytes_;
};

} // namespace sf::testing
