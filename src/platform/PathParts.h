#pragma once

#include <string>
#include <string_view>

// The parts of a path in UTF-8. Separators are "\" and ":"; no byte of a character beyond ASCII
// can be taken for one.
namespace sf {

// Everything after the last separator; the whole path when there is none.
std::string FileNamePart(std::string_view path);
// Everything up to and including the last separator; empty when there is none.
std::string FolderPartWithSeparator(std::string_view path);
// The folder part less its final "\", which stays where it marks a root ("C:\", "\", "\\").
std::string FolderPart(std::string_view path);
// From the last "." after the last separator to the end, dot included; empty when there is none.
std::string ExtensionPart(std::string_view path);

} // namespace sf
