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

// A profile file: numbers and truth values on top of the plain text values.
class TCustomIniFile {
public:
  explicit TCustomIniFile(std::string fileName) : FileName(std::move(fileName)) {}
  virtual ~TCustomIniFile() = default;

  virtual std::string ReadText(const std::string &section, const std::string &key,
                               const std::string &defaultValue) const = 0;
  virtual void WriteText(const std::string &section, const std::string &key, const std::string &value) = 0;

  std::int32_t ReadNumber(const std::string &section, const std::string &key, std::int32_t defaultValue) const;
  bool ReadFlag(const std::string &section, const std::string &key, bool defaultValue) const;
  void WriteFlag(const std::string &section, const std::string &key, bool value);

  const std::string FileName;
};

// A profile file, read once, whole, when created: reads and writes work on the bytes held, and
// UpdateFile puts them in the file's place at once. Values are Shift-JIS in the file, UTF-8 here.
class TIniFile : public TCustomIniFile {
public:
  TIniFile(Platform &platform, std::string fileName);

  // At most 2047 bytes of the value, as the system returns it into a 2048-byte buffer.
  std::string ReadText(const std::string &section, const std::string &key,
                       const std::string &defaultValue) const override;
  // Changes the bytes held. A value that reads as `value` already keeps its bytes: Shift-JIS has
  // two codes for some characters, and the file keeps the one it has.
  void WriteText(const std::string &section, const std::string &key, const std::string &value) override;
  // Writes the whole file, unless nothing changed. Throws EIniFileException
  // "<path> に書き込めません" when the system cannot, and, writing nothing, when the file could not
  // be read: a file rebuilt from nothing would lose its other lines.
  void UpdateFile();

protected:
  // Reads the file again, as it is now.
  void Reload();
  bool Readable() const { return bytes_.has_value(); }

private:
  Platform &platform_;
  std::optional<std::string> bytes_; // nothing when the file exists but could not be read
  bool changed_ = false;
};

} // namespace sf
