#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace sf {

// What the system answers when asked for a file's numbers.
struct FileNumbers {
  bool indexAnswered = false; // the volume's serial number and the file's 64-bit index
  std::uint32_t volumeSerial = 0;
  std::uint64_t index = 0;
  std::string fileSystem;  // the volume's file system ("NTFS", "ReFS"); empty when it did not say
  bool idAnswered = false; // the 128-bit identifier and its 64-bit volume serial number
  std::uint64_t idVolumeSerial = 0;
  std::array<std::uint8_t, 16> id{};
};

// The identity the numbers give a file; empty when they identify nothing, so that its path must
// stand in. Index 0 means "unknown" (some network servers and virtual drives answer it for every
// file). ReFS (Dev Drives too) does not keep the 64-bit index unique: there only the 128-bit
// identifier counts. Everywhere else the 64-bit form holds, so that one file reached through a
// share keeps one identity.
std::string IdentityFromNumbers(const FileNumbers &numbers);

} // namespace sf
