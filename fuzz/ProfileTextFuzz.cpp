// The profile reader on arbitrary files, and a value written into such a file read back as written.
// The input is "section \0 key \0 value \0 file".
#include "settings/ProfileText.h"

#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool IsLeadByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsSecondByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1A'; }

// Where the last character of `text` starts: a lead byte takes the byte after it.
std::size_t LastCharacter(std::string_view text) {
  std::size_t last = 0;
  for (std::size_t at = 0; at < text.size(); at += IsLeadByte(text[at]) ? 2 : 1)
    last = at;
  return last;
}

// Text that a profile line holds as it is: no line end, no NUL, no lead byte left without the byte
// after it.
bool Whole(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos &&
         (text.empty() || !IsLeadByte(text[LastCharacter(text)]) || LastCharacter(text) + 2 == text.size());
}

// Every lead byte is followed by a byte that can be its second byte: the system reads any other
// pair as "・".
bool NothingBroken(std::string_view text) {
  for (std::size_t at = 0; at < text.size(); ++at)
    if (IsLeadByte(text[at]) && (at + 1 == text.size() || !IsSecondByte(text[++at])))
      return false;
  return true;
}

// A name the reader finds again: something besides blanks, not a section header once the leading
// blanks are skipped (as the reader skips them), no "=".
bool Findable(std::string_view name) {
  const std::size_t first = name.find_first_not_of(" \t\v\f\x1A");
  return Whole(name) && first != std::string_view::npos && name[first] != '[' &&
         name.find('=') == std::string_view::npos;
}

// A value that reads back unchanged: no blank at either end and not enclosed in quotes.
bool KeptAsIs(std::string_view value) {
  if (!Whole(value) || !NothingBroken(value) || value.size() >= 2047)
    return false;
  if (value.empty())
    return true;
  const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                      LastCharacter(value) == value.size() - 1 && value.back() == value.front();
  return !IsBlank(value.front()) && !IsBlank(value.back()) && !quoted;
}

std::string_view Next(std::string_view &input) {
  const std::size_t end = input.find('\0');
  const std::string_view piece = input.substr(0, end);
  input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
  return piece;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char *>(data), size);
  const std::string_view section = Next(input);
  const std::string_view key = Next(input);
  const std::string_view value = Next(input);
  const std::string_view file = input;

  const std::string read = sf::ReadProfileText(file, section, key, value, size % 64 + 1);
  if (read.size() > size % 64)
    std::abort();
  if (!Findable(section) || !Findable(key) || !KeptAsIs(value))
    return 0;
  const std::string written = sf::WriteProfileText(file, section, key, value);
  if (sf::ReadProfileText(written, section, key, "\x01", 2048) != value)
    std::abort();
  return 0;
}
