#pragma once

#include "platform/CodePage.h"

#include <string>
#include <string_view>

// The parts of a path. Separators are "\" and ":"; a 0x5C that is the second byte of a double-byte
// character (as in "表" or "ソ") is part of that character, not a separator.
namespace sf {

// Everything after the last separator; the whole path when there is none.
std::string FileNamePart(const CodePage &codePage, std::string_view path);
// Everything up to and including the last separator; empty when there is none.
std::string FolderPartWithSeparator(const CodePage &codePage, std::string_view path);
// The folder part less its final "\", which stays where it marks a root ("C:\", "\", "\\").
std::string FolderPart(const CodePage &codePage, std::string_view path);
// From the last "." after the last separator to the end, dot included; empty when there is none.
std::string ExtensionPart(const CodePage &codePage, std::string_view path);

} // namespace sf
