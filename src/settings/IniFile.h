#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace sf {

class EIniFileException : public std::runtime_error {
public:
  explicit EIniFileException(const std::string &message) : std::runtime_error(message) {}
};

// Reads a profile value as a number: decimal within the signed 32-bit range, or hexadecimal ("$",
// "x" or "0x" and at most 8 digits) as a 32-bit pattern. Empty when the text does not convert.
std::optional<std::int32_t> ConvertNumber(std::string_view text);

// A profile file, read once, whole, when created: reads and writes work on the bytes held, and
// UpdateFile puts them in the file's place at once. Values are Shift-JIS in the file, UTF-8 here;
// numbers and truth values are read and written as text.
class TIniFile {
public:
  TIniFile(Platform &platform, std::string fileName);

  // At most 2047 bytes of the value, as the system returns it into a 2048-byte buffer.
  std::string ReadText(const std::string &section, const std::string &key, const std::string &defaultValue) const;
  std::int32_t ReadNumber(const std::string &section, const std::string &key, std::int32_t defaultValue) const;
  bool ReadFlag(const std::string &section, const std::string &key, bool defaultValue) const;
  // Changes the bytes held. A value that reads as `value` already keeps its bytes: Shift-JIS has
  // two codes for some characters, and the file keeps the one it has.
  void WriteText(const std::string &section, const std::string &key, const std::string &value);
  void WriteFlag(const std::string &section, const std::string &key, bool value);
  // Writes the whole file, unless nothing changed. Throws EIniFileException
  // "<path> に書き込めません" when the system cannot, and, writing nothing, when the file could not
  // be read: a file rebuilt from nothing would lose its other lines.
  void UpdateFile();
  // Reads the file again, as it is now.
  void Reload();
  // Whether the file could be read when last read: a missing file can, and reads as empty.
  bool Readable() const { return bytes_.has_value(); }

  const std::string &FileName() const { return fileName_; }

private:
  Platform &platform_;
  std::string fileName_;
  std::optional<std::string> bytes_; // nothing when the file exists but could not be read
  bool changed_ = false;
};

} // namespace sf
