#include "settings/IniFile.h"

#include "resources/MessageTexts.h"
#include "settings/ProfileText.h"

namespace sf {
namespace {

constexpr std::size_t kValueBufferSize = 2048;

std::optional<std::uint32_t> HexDigitValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return std::nullopt;
}

std::optional<std::int32_t> ConvertHex(std::string_view digits) {
  if (digits.empty() || digits.size() > 8)
    return std::nullopt;
  std::uint32_t pattern = 0;
  for (const char c : digits) {
    const auto digit = HexDigitValue(c);
    if (!digit)
      return std::nullopt;
    pattern = pattern << 4 | *digit;
  }
  return static_cast<std::int32_t>(pattern);
}

std::optional<std::int32_t> ConvertDecimal(std::string_view digits, bool negative) {
  if (digits.empty())
    return std::nullopt;
  const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
  std::int64_t magnitude = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9')
      return std::nullopt;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > limit)
      return std::nullopt;
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

} // namespace

std::optional<std::int32_t> ConvertNumber(std::string_view text) {
  std::string prefixed;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    prefixed = "$";
    prefixed += text.substr(2);
    text = prefixed;
  }
  while (!text.empty() && text.front() == ' ')
    text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // The sign applies to decimal digits only: a hexadecimal value is read as a bit pattern.
  if (!text.empty() && (text.front() == '$' || text.front() == 'x' || text.front() == 'X'))
    return ConvertHex(text.substr(1));
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    return ConvertHex(text.substr(2));
  return ConvertDecimal(text, negative);
}

std::int32_t TIniFile::ReadNumber(const std::string &section, const std::string &key, std::int32_t defaultValue) const {
  return ConvertNumber(ReadText(section, key, "")).value_or(defaultValue);
}

bool TIniFile::ReadFlag(const std::string &section, const std::string &key, bool defaultValue) const {
  return ReadNumber(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteFlag(const std::string &section, const std::string &key, bool value) {
  WriteText(section, key, value ? "1" : "0");
}

TIniFile::TIniFile(Platform &platform, std::string fileName) : platform_(platform), fileName_(std::move(fileName)) {
  Reload();
}

void TIniFile::Reload() {
  bytes_ = platform_.ReadWholeFile(fileName_);
  changed_ = false;
}

std::string TIniFile::ReadText(const std::string &section, const std::string &key,
                               const std::string &defaultValue) const {
  return platform_.FromShiftJis(ReadProfileText(bytes_.value_or(""), platform_.ToShiftJis(section),
                                                platform_.ToShiftJis(key), platform_.ToShiftJis(defaultValue),
                                                kValueBufferSize));
}

void TIniFile::WriteText(const std::string &section, const std::string &key, const std::string &value) {
  if (!bytes_)
    return;
  const std::string sjisSection = platform_.ToShiftJis(section), sjisKey = platform_.ToShiftJis(key);
  const auto current = FindProfileText(*bytes_, sjisSection, sjisKey, kValueBufferSize);
  if (current && platform_.FromShiftJis(*current) == value)
    return;
  bytes_ = WriteProfileText(*bytes_, sjisSection, sjisKey, platform_.ToShiftJis(value));
  changed_ = true;
}

void TIniFile::UpdateFile() {
  if (!bytes_ || (changed_ && !platform_.ReplaceWholeFile(fileName_, *bytes_)))
    throw EIniFileException(FormatText(messages::kCannotWrite, fileName_));
}

} // namespace sf
