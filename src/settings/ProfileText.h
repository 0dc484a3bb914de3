#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sf {

// The private-profile grammar over the raw Shift-JIS bytes of a file, for systems whose code page
// is not 932: there the system's own functions would decode the file with the wrong code page.
// A double-byte character is never split, and its second byte never taken for "\", "[", "]" or "=".
//
// The rules, as measured against the system's functions under code page 932: lines end at CR LF, LF
// or a lone CR; blanks are ASCII white space and ^Z (not the ideographic space); a header is "[" up to
// the last "]" on its line, its name trimmed; a key runs to the first "=", and a line without "="
// is a key without a value (the default is read). Names match regardless of ASCII case only. Only
// the first section of a name counts, and in it the first key of a name; the lines before the first
// header form a section named "". Comments are not special and nothing is an inline comment.

// The value of `key` in `section`, as the system's GetPrivateProfileStringA places it into a buffer
// of `bufferSize` bytes (so at most bufferSize - 1 bytes), or `defaultValue` when there is none.
std::string ReadProfileText(std::string_view file, std::string_view section, std::string_view key,
                            std::string_view defaultValue, std::size_t bufferSize);

// The file after WritePrivateProfileStringA(section, key, value) on a file holding `file` (empty for
// a missing file). Every other line stays as it was, byte for byte.
std::string WriteProfileText(std::string_view file, std::string_view section, std::string_view key,
                             std::string_view value);

} // namespace sf
