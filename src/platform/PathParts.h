#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The parts of a path in UTF-8. Separators are "\", "/" (which Windows takes as "\") and ":"; no
// byte of a character beyond ASCII can be taken for one.
namespace sf {

// Everything after the last separator; the whole path when there is none.
std::string FileNamePart(std::string_view path);
// Everything up to and including the last separator; empty when there is none.
std::string FolderPartWithSeparator(std::string_view path);
// The folder part less its final "\", which stays where it marks a root ("C:\", "\", "\\").
std::string FolderPart(std::string_view path);
// From the last "." after the last separator to the end, dot included; empty when there is none.
std::string ExtensionPart(std::string_view path);

// The text with its ASCII letters upper-cased, as the system folds them in every name.
std::string UpperAscii(std::string_view text);

// The most UTF-16 units that a file name may have on Windows' file systems.
inline constexpr std::size_t kLongestFileName = 255;

// Whether Windows keeps a file under `name` as it is spelt, in a folder and nowhere else: not empty,
// no character that names may not hold (control characters, <>:"/\|?*), no trailing dot or blank
// (which the system drops), no device ("CON", "NUL.mp3", "COM1", ...), at most 255 UTF-16 units.
bool IsUsableFileName(std::string_view name);

// `name` in `folder`, with one "\" between them: none is added after a folder that ends in one, as
// a drive's root ("E:\") does.
std::string JoinPath(std::string_view folder, std::string_view name);

// The path that `path` names when the full path `folder` is the working folder: a relative path
// below it, a rooted one ("\x") on its drive or share, "D:x" below it when it is on drive D:.
// Full paths, and "E:x" for another drive (whose current folder only the system knows), stay as
// they are.
std::string PathFrom(std::string_view folder, std::string_view path);

// The folder that the destination setting `toDir` names when the playlist lies in the full path
// `folder`: as PathFrom, except that a drive letter alone ("E:") is that drive's root ("E:\"). Whoever
// types a drive letter means the drive; its current folder, or the playlist's folder on it, would
// have the run clear the user's own files there.
std::string DestinationFrom(std::string_view folder, std::string_view toDir);

} // namespace sf
