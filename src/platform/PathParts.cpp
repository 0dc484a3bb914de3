#include "platform/PathParts.h"

namespace sf {
namespace {

constexpr auto kNone = std::string_view::npos;

bool IsSeparator(char c) { return c == '\\' || c == ':'; }

std::size_t LastSeparator(std::string_view path) { return path.find_last_of("\\:"); }

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
  const bool keepsSeparator = path[separator] != '\\' || separator == 0 || IsSeparator(path[separator - 1]);
  return std::string(path.substr(0, keepsSeparator ? separator + 1 : separator));
}

std::string ExtensionPart(std::string_view path) {
  const auto dot = path.find_last_of('.');
  const auto separator = LastSeparator(path);
  if (dot == kNone || (separator != kNone && dot < separator))
    return {};
  return std::string(path.substr(dot));
}

} // namespace sf
