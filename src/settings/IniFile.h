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

// A profile file read and written through the system's private-profile functions, one call per
// value: nothing is cached and no handle is kept.
class TIniFile : public TCustomIniFile {
public:
  TIniFile(Platform &platform, std::string fileName) : TCustomIniFile(std::move(fileName)), platform_(platform) {}

  // At most 2047 bytes of the value, as the system returns it into a 2048-byte buffer.
  std::string ReadText(const std::string &section, const std::string &key,
                       const std::string &defaultValue) const override;
  // Throws EIniFileException "<path> に書き込めません" when the system cannot write the value.
  void WriteText(const std::string &section, const std::string &key, const std::string &value) override;

private:
  Platform &platform_;
};

} // namespace sf
