#include "platform/PathParts.h"

namespace sf {
namespace {

constexpr auto kNone = std::string_view::npos;

bool IsSeparator(char c) { return c == '\\' || c == ':'; }

struct SeparatorScan {
  std::size_t lastSeparator = kNone;
  std::size_t charBeforeLastSeparator = kNone;
  std::size_t lastDot = kNone;
};

SeparatorScan Scan(const CodePage &codePage, std::string_view path) {
  SeparatorScan scan;
  std::size_t previous = kNone;
  for (std::size_t i = 0; i < path.size(); i += codePage.CharLength(path, i)) {
    if (codePage.CharLength(path, i) == 1) {
      if (IsSeparator(path[i])) {
        scan.lastSeparator = i;
        scan.charBeforeLastSeparator = previous;
      } else if (path[i] == '.') {
        scan.lastDot = i;
      }
    }
    previous = i;
  }
  return scan;
}

} // namespace

std::string FileNamePart(const CodePage &codePage, std::string_view path) {
  const auto scan = Scan(codePage, path);
  return std::string(scan.lastSeparator == kNone ? path : path.substr(scan.lastSeparator + 1));
}

std::string FolderPartWithSeparator(const CodePage &codePage, std::string_view path) {
  const auto scan = Scan(codePage, path);
  return std::string(scan.lastSeparator == kNone ? std::string_view() : path.substr(0, scan.lastSeparator + 1));
}

std::string FolderPart(const CodePage &codePage, std::string_view path) {
  const auto scan = Scan(codePage, path);
  if (scan.lastSeparator == kNone)
    return {};
  const bool keepsSeparator =
      path[scan.lastSeparator] != '\\' || scan.charBeforeLastSeparator == kNone ||
      (codePage.CharLength(path, scan.charBeforeLastSeparator) == 1 && IsSeparator(path[scan.charBeforeLastSeparator]));
  return std::string(path.substr(0, keepsSeparator ? scan.lastSeparator + 1 : scan.lastSeparator));
}

std::string ExtensionPart(const CodePage &codePage, std::string_view path) {
  const auto scan = Scan(codePage, path);
  if (scan.lastDot == kNone || (scan.lastSeparator != kNone && scan.lastDot < scan.lastSeparator))
    return {};
  return std::string(path.substr(scan.lastDot));
}

} // namespace sf
