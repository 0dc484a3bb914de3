#include "platform/PathParts.h"

namespace sf {
namespace {

constexpr auto kNone = std::string_view::npos;

bool IsSlash(char c) { return c == '\\' || c == '/'; }

bool IsSeparator(char c) { return IsSlash(c) || c == ':'; }

std::size_t LastSeparator(std::string_view path) { return path.find_last_of("\\/:"); }

char UpperAsciiLetter(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsDriveRelative(std::string_view path) { return path.size() >= 2 && path[1] == ':'; }

// "D:" of "D:\Lists", "\\server\share" of "\\server\share\Lists" (also in the "\\?\" forms).
std::string_view Root(std::string_view folder) {
  std::size_t start = 0;
  if (folder.rfind("\\\\?\\UNC\\", 0) == 0)
    start = 8;
  else if (folder.rfind("\\\\?\\", 0) == 0)
    return folder.substr(0, 6);
  else if (folder.rfind("\\\\", 0) == 0)
    start = 2;
  else
    return folder.substr(0, 2);
  const auto server = folder.find('\\', start);
  const auto share = server == kNone ? kNone : folder.find('\\', server + 1);
  return folder.substr(0, share);
}

} // namespace

std::string FileNamePart(std::string_view path) {
  const auto separator = LastSeparator(path);
  return std::string(separator == kNone ? path : path.substr(separator + 1));
}

std::string FolderPartWithSeparator(std::string_view path) {
  const auto separator = LastSeparator(path);
  return std::string(separator == kNone ? std::string_view() : path.substr(0, separator + 1));
}

std::string FolderPart(std::string_view path) {
  const auto separator = LastSeparator(path);
  if (separator == kNone)
    return {};
  const bool keepsSeparator = !IsSlash(path[separator]) || separator == 0 || IsSeparator(path[separator - 1]);
  return std::string(path.substr(0, keepsSeparator ? separator + 1 : separator));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string joined(folder);
  if (!name.empty() && (joined.empty() || !IsSlash(joined.back())))
    joined += '\\';
  return joined.append(name);
}

std::string PathFrom(std::string_view folder, std::string_view path) {
  if (folder.empty() || path.empty())
    return std::string(path);
  if (IsSlash(path[0]) && path.size() > 1 && IsSlash(path[1]))
    return std::string(path);
  if (IsSlash(path[0]))
    return std::string(Root(folder)).append(path);
  if (!IsDriveRelative(path))
    return JoinPath(folder, path);
  if (path.size() > 2 && IsSlash(path[2]))
    return std::string(path);
  if (IsDriveRelative(folder) && UpperAsciiLetter(folder[0]) == UpperAsciiLetter(path[0]))
    return JoinPath(folder, path.substr(2));
  return std::string(path);
}

std::string DestinationFrom(std::string_view folder, std::string_view toDir) {
  const char letter = toDir.empty() ? '\0' : UpperAsciiLetter(toDir[0]);
  if (toDir.size() == 2 && toDir[1] == ':' && letter >= 'A' && letter <= 'Z')
    return std::string(toDir).append("\\");
  return PathFrom(folder, toDir);
}

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  for (auto &c : upper)
    c = UpperAsciiLetter(c);
  return upper;
}

bool IsUsableFileName(std::string_view name) {
  std::size_t utf16Units = 0;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || std::string_view("<>:\"/\\|?*").find(c) != kNone)
      return false;
    // A lead byte of UTF-8 starts one UTF-16 unit, or two for a character beyond the BMP.
    if ((byte & 0xC0) != 0x80)
      utf16Units += byte >= 0xF0 ? 2 : 1;
  }
  if (name.empty() || name.back() == '.' || name.back() == ' ' || utf16Units > kLongestFileName)
    return false;
  // A device's name is the device wherever it stands, with any extension: "CON.mp3" opens the console.
  std::string device;
  for (const char c : name.substr(0, name.find('.')))
    device += UpperAsciiLetter(c);
  while (!device.empty() && device.back() == ' ')
    device.pop_back();
  if (device == "CON" || device == "PRN" || device == "AUX" || device == "NUL")
    return false;
  return !(device.size() == 4 && (device.rfind("COM", 0) == 0 || device.rfind("LPT", 0) == 0) && device[3] >= '1' &&
           device[3] <= '9');
}

std::string ExtensionPart(std::string_view path) {
  const auto dot = path.find_last_of('.');
  const auto separator = LastSeparator(path);
  if (dot == kNone || (separator != kNone && dot < separator))
    return {};
  return std::string(path.substr(dot));
}

} // namespace sf
