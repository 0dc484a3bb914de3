#include "settings/ProfileText.h"

#include <optional>
#include <vector>

namespace sf {
namespace {

using Characters = std::vector<std::string_view>;

bool IsLeadByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool IsSecondByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

// A lead byte takes the byte after it whatever that is, as the system's conversion does, except a
// NUL, which stays a character of its own.
Characters Split(std::string_view text) {
  Characters characters;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = IsLeadByte(text[at]) && at + 1 < text.size() && text[at + 1] != '\0' ? 2 : 1;
    characters.push_back(text.substr(at, length));
    at += length;
  }
  return characters;
}

// The system takes a lead byte at the very end of a name or a default for the end of the text.
std::string_view WholeCharacters(std::string_view text) {
  const Characters characters = Split(text);
  if (!characters.empty() && characters.back().size() == 1 && IsLeadByte(characters.back()[0]))
    text.remove_suffix(1);
  return text;
}

std::string_view Join(const Characters &characters, std::size_t first, std::size_t last) {
  if (first >= last)
    return {};
  return {characters[first].data(), static_cast<std::size_t>(characters[last - 1].data() + characters[last - 1].size() -
                                                             characters[first].data())};
}

// The system reads a lead byte without a second byte, or with one that cannot be a second byte, as
// its default character "・" (0x81 0x45).
constexpr std::string_view kDefaultCharacter = "\x81\x45";

bool IsBroken(std::string_view c) { return IsLeadByte(c[0]) && (c.size() == 1 || !IsSecondByte(c[1])); }

std::string_view AsRead(std::string_view c) { return IsBroken(c) ? kDefaultCharacter : c; }

// ASCII white space and ^Z, an old end-of-file mark; not the ideographic space.
bool IsBlank(std::string_view c) {
  return c == " " || c == "\t" || c == "\n" || c == "\v" || c == "\f" || c == "\r" || c == "\x1A";
}

std::string_view TrimBlanks(std::string_view text, bool front = true, bool back = true) {
  const Characters characters = Split(text);
  std::size_t first = 0;
  std::size_t last = characters.size();
  while (front && first < last && IsBlank(characters[first]))
    ++first;
  while (back && last > first && IsBlank(characters[last - 1]))
    --last;
  return Join(characters, first, last);
}

// Names and values end at a NUL, as the system's strings do.
std::string_view UpToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

// Names compare regardless of the case of ASCII letters only, as the system's comparison does.
bool SameName(std::string_view a, std::string_view b) {
  const Characters left = Split(UpToNul(a));
  const Characters right = Split(UpToNul(b));
  if (left.size() != right.size())
    return false;
  const auto folded = [](std::string_view c) {
    return c.size() == 1 && c[0] >= 'A' && c[0] <= 'Z' ? std::string(1, static_cast<char>(c[0] + 0x20))
                                                       : std::string(AsRead(c));
  };
  for (std::size_t i = 0; i < left.size(); ++i)
    if (folded(left[i]) != folded(right[i]))
      return false;
  return true;
}

struct Line {
  std::size_t begin = 0;
  std::size_t end = 0;  // where the line end starts
  std::size_t next = 0; // where the next line starts
  bool blank = true;
  bool section = false;
  std::string_view name;                 // of the section or the key
  std::optional<std::string_view> value; // none on a line without "="
};

// `characters` are one line with its line end, if any.
Line ParseLine(std::size_t begin, const Characters &characters, std::size_t lineEnd) {
  Line line;
  line.begin = begin;
  line.next = begin + Join(characters, 0, characters.size()).size();
  line.end = line.next - lineEnd;
  std::size_t first = 0;
  std::size_t count = characters.size();
  while (first < count && IsBlank(characters[first]))
    ++first;
  while (count > first && IsBlank(characters[count - 1]))
    --count;
  if (first == count)
    return line;
  line.blank = false;
  if (characters[first] == "[") {
    for (std::size_t close = count - 1; close > first; --close)
      if (characters[close] == "]") {
        line.section = true;
        line.name = TrimBlanks(Join(characters, first + 1, close));
        return line;
      }
  }
  for (std::size_t equals = first; equals < count; ++equals)
    if (characters[equals] == "=") {
      line.name = TrimBlanks(Join(characters, first, equals), false, true);
      line.value = TrimBlanks(Join(characters, equals + 1, count), true, false);
      return line;
    }
  line.name = Join(characters, first, count);
  return line;
}

// Lines end at CR LF, LF or a CR alone.
std::vector<Line> ParseLines(std::string_view file) {
  std::vector<Line> lines;
  const Characters characters = Split(file);
  Characters pending;
  std::size_t begin = 0;
  for (std::size_t i = 0; i < characters.size(); ++i) {
    pending.push_back(characters[i]);
    std::size_t lineEnd = 0;
    if (characters[i] == "\n") {
      lineEnd = 1;
    } else if (characters[i] == "\r") {
      lineEnd = 1;
      if (i + 1 < characters.size() && characters[i + 1] == "\n") {
        pending.push_back(characters[++i]);
        lineEnd = 2;
      }
    }
    if (lineEnd > 0) {
      lines.push_back(ParseLine(begin, pending, lineEnd));
      begin = lines.back().next;
      pending.clear();
    }
  }
  if (!pending.empty())
    lines.push_back(ParseLine(begin, pending, 0));
  return lines;
}

// Where a key is, or would go: the first section of that name and, in it, the first key of that
// name. The lines before the first section header make a section without a name.
struct Place {
  bool section = false;
  std::optional<std::size_t> key;       // index of the key's line
  std::optional<std::size_t> lastEntry; // index of the section's last line that is not blank
};

Place Find(const std::vector<Line> &lines, std::string_view section, std::string_view key) {
  Place place;
  place.section = UpToNul(section).empty();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Line &line = lines[i];
    if (place.section) {
      if (line.section)
        break;
      if (line.blank)
        continue;
      place.lastEntry = i;
      if (!place.key && SameName(line.name, key))
        place.key = i;
    } else if (line.section && SameName(line.name, section)) {
      place.section = true;
      place.lastEntry = i;
    }
  }
  return place;
}

std::string_view Unquoted(std::string_view text) {
  const Characters characters = Split(text);
  if (characters.size() >= 2 && (characters.front() == "\"" || characters.front() == "'") &&
      characters.back() == characters.front())
    return Join(characters, 1, characters.size() - 1);
  return text;
}

// The longest run of whole characters from the start of `text` within `size` bytes, each as the
// system reads it.
std::string Prefix(std::string_view text, std::size_t size) {
  std::string prefix;
  for (const std::string_view c : Split(text)) {
    if (prefix.size() + AsRead(c).size() > size)
      break;
    prefix += AsRead(c);
  }
  return prefix;
}

// A name as it is written back in front of "=": up to its NUL, and a lead byte left at its end
// written as the character the system reads, so that it cannot take the "=" for its second byte.
std::string WrittenName(std::string_view name) {
  const Characters characters = Split(UpToNul(name));
  std::string written(Join(characters, 0, characters.size()));
  if (!characters.empty() && IsBroken(characters.back()))
    written.replace(written.size() - characters.back().size(), std::string::npos, kDefaultCharacter);
  return written;
}

} // namespace

std::optional<std::string> FindProfileText(std::string_view file, std::string_view section, std::string_view key,
                                           std::size_t bufferSize) {
  const std::vector<Line> lines = ParseLines(file);
  const Place place = Find(lines, TrimBlanks(WholeCharacters(section)), TrimBlanks(WholeCharacters(key)));
  if (!place.key || !lines[*place.key].value || bufferSize == 0)
    return std::nullopt;
  return Prefix(Unquoted(UpToNul(*lines[*place.key].value)), bufferSize - 1);
}

std::string ReadProfileText(std::string_view file, std::string_view section, std::string_view key,
                            std::string_view defaultValue, std::size_t bufferSize) {
  if (bufferSize == 0)
    return {};
  if (auto value = FindProfileText(file, section, key, bufferSize))
    return std::move(*value);
  defaultValue = WholeCharacters(defaultValue);
  // The system drops the trailing spaces of a default, but not its first character.
  while (defaultValue.size() > 1 && defaultValue.back() == ' ')
    defaultValue.remove_suffix(1);
  return Prefix(Unquoted(UpToNul(defaultValue)), bufferSize - 1);
}

std::optional<std::vector<std::pair<std::string, std::string>>>
ReadProfileSection(std::string_view file, std::string_view section, std::size_t bufferSize) {
  section = TrimBlanks(WholeCharacters(section));
  const std::vector<Line> lines = ParseLines(file);
  std::optional<std::vector<std::pair<std::string, std::string>>> keys;
  for (const Line &line : lines) {
    if (keys) {
      if (line.section)
        break;
      if (!line.blank && bufferSize > 0)
        keys->emplace_back(UpToNul(line.name),
                           line.value ? Prefix(Unquoted(UpToNul(*line.value)), bufferSize - 1) : "");
    } else if (line.section && SameName(line.name, section)) {
      keys.emplace();
    }
  }
  return keys;
}

std::string WriteProfileText(std::string_view file, std::string_view section, std::string_view key,
                             std::string_view value) {
  // Names are looked up without their blanks, but a new one is written with those after it, as the
  // system does; the value loses the blanks before it.
  section = TrimBlanks(WholeCharacters(section), true, false);
  key = TrimBlanks(WholeCharacters(key), true, false);
  value = TrimBlanks(WholeCharacters(value), true, false);
  const std::vector<Line> lines = ParseLines(file);
  const Place place = Find(lines, TrimBlanks(section), TrimBlanks(key));
  std::string result(file);
  if (place.key) {
    const Line &line = lines[*place.key];
    if (line.value && UpToNul(*line.value) == value)
      return result;
    std::string entry = WrittenName(line.name);
    entry += '=';
    entry += value;
    return result.replace(line.begin, line.end - line.begin, entry);
  }
  std::string entry;
  std::size_t at = file.size();
  const Line *before = lines.empty() ? nullptr : &lines.back();
  if (place.section) {
    before = place.lastEntry ? &lines[*place.lastEntry] : nullptr;
    at = before ? before->next : 0;
  } else {
    entry = "[";
    entry += section;
    entry += "]\r\n";
  }
  // A last line without its line end gets one before the new line.
  if (before && before->end == before->next)
    entry.insert(0, "\r\n");
  entry += key;
  entry += '=';
  entry += value;
  entry += "\r\n";
  return result.insert(at, entry);
}

} // namespace sf
