#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sf {

// The private-profile grammar over the raw Shift-JIS bytes of a file, whatever the system's code
// page: the program reads and writes its profile files itself, so that they need no short names and
// no code page of their own. A double-byte character is never split, and its second byte never
// taken for "\", "[", "]" or "=".
//
// The rules, as measured against the system's functions under code page 932: lines end at CR LF, LF
// or a lone CR; blanks are ASCII white space and ^Z (not the ideographic space); a header is "[" up to
// the last "]" on its line, its name trimmed; a key runs to the first "=", and a line without "="
// is a key without a value (the default is read). Names match regardless of ASCII case only. Only
// the first section of a name counts, and in it the first key of a name; the lines before the first
// header form a section named "". Comments are not special and nothing is an inline comment. A lead
// byte takes the byte after it unless that is a NUL; one without a byte that can be its second reads
// as "・" (0x81 0x45). A name or value ends at its first NUL.

// The value of `key` in `section`, as the system's GetPrivateProfileStringA places it into a buffer
// of `bufferSize` bytes (so at most bufferSize - 1 bytes), or `defaultValue` when there is none.
std::string ReadProfileText(std::string_view file, std::string_view section, std::string_view key,
                            std::string_view defaultValue, std::size_t bufferSize);

// The value of `key` in `section` as ReadProfileText gives it; nothing when the file has no line
// "key=..." for it.
std::optional<std::string> FindProfileText(std::string_view file, std::string_view section, std::string_view key,
                                           std::size_t bufferSize);

// Every key of the first section named `section`, in file order, duplicates included, each with its
// value as ReadProfileText gives it with an empty default; nothing when there is no such section.
// `section` is a name: the lines before the first header are not listed.
std::optional<std::vector<std::pair<std::string, std::string>>>
ReadProfileSection(std::string_view file, std::string_view section, std::size_t bufferSize);

// The file after WritePrivateProfileStringA(section, key, value) on a file holding `file` (empty for
// a missing file). Every other line stays as it was, byte for byte.
std::string WriteProfileText(std::string_view file, std::string_view section, std::string_view key,
                             std::string_view value);

} // namespace sf
