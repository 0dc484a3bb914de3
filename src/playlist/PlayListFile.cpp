#include "playlist/PlayListFile.h"

#include "platform/PathParts.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>

namespace sf {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kHeader = "#EXTM3U";
// Players and the program's own reader skip lines that begin with "#EXT", so the mark costs no track.
constexpr std::string_view kOwnMark = "#EXT-X-SONGFERRY:";
// Put before a name that a player would take for a comment or whose leading blank it would drop.
constexpr std::string_view kHere = ".\\";

bool IsPlainAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

bool HasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

// 64-bit FNV-1a: enough to tell an edit by hand, as no one forges the mark on purpose.
std::string Digest(std::string_view bytes) {
  std::uint64_t hash = 0xCBF29CE484222325;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001B3;
  }
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text(16, '0');
  for (auto at = text.rbegin(); at != text.rend(); ++at, hash >>= 4)
    *at = kHex[hash & 0xF];
  return text;
}

} // namespace

std::string PlayListFileName(std::string_view playListPath, const std::vector<std::string> &copies) {
  const auto name = FileNamePart(playListPath);
  const auto own = name.substr(0, name.size() - ExtensionPart(playListPath).size());
  return own + (std::all_of(copies.begin(), copies.end(), IsPlainAscii) ? ".m3u" : ".m3u8");
}

std::string PlayListFileBytes(const std::vector<std::string> &copies) {
  std::string tracks;
  for (const auto &copy : copies) {
    if (!copy.empty() && (copy.front() == '#' || copy.front() == ' '))
      tracks += kHere;
    tracks += copy;
    tracks += kLineEnd;
  }
  std::string bytes(kHeader);
  bytes += kLineEnd;
  bytes += kOwnMark;
  bytes += Digest(tracks);
  bytes += kLineEnd;
  return bytes + tracks;
}

std::optional<std::vector<std::string>> OwnPlayListCopies(std::string_view bytes) {
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at < bytes.size();) {
    const auto end = bytes.find(kLineEnd, at);
    if (end == std::string_view::npos)
      return std::nullopt;
    lines.push_back(bytes.substr(at, end - at));
    at = end + kLineEnd.size();
  }
  if (lines.size() < 2 || lines[0] != kHeader || lines[1].substr(0, kOwnMark.size()) != kOwnMark)
    return std::nullopt;
  std::vector<std::string> copies;
  for (auto line = lines.begin() + 2; line != lines.end(); ++line) {
    auto name = *line;
    if (name.substr(0, kHere.size()) == kHere)
      name.remove_prefix(kHere.size());
    if (name.empty() || HasControlCharacter(name) || !IsValidUtf8(name))
      return std::nullopt;
    copies.emplace_back(name);
  }
  // Whatever the lines say, only the bytes written for them are the program's: this checks the mark's
  // digest, and a ".\" that the program would not have written.
  if (PlayListFileBytes(copies) != bytes)
    return std::nullopt;
  return copies;
}

std::vector<std::string> CopiesToList(const std::vector<std::string> &earlier, const std::vector<std::string> &copies,
                                      const std::function<bool(const std::string &name)> &stillThere,
                                      const UpperCaseFn &upperCase) {
  std::map<std::string, std::size_t> lastCopy;
  for (std::size_t i = 0; i < copies.size(); ++i)
    lastCopy[upperCase(copies[i])] = i;
  std::vector<std::string> listed;
  std::set<std::string> earlierListed;
  for (const auto &name : earlier) {
    const auto upper = upperCase(name);
    if (!lastCopy.count(upper) && !earlierListed.count(upper) && stillThere(name)) {
      earlierListed.insert(upper);
      listed.push_back(name);
    }
  }
  for (std::size_t i = 0; i < copies.size(); ++i) {
    if (lastCopy[upperCase(copies[i])] == i)
      listed.push_back(copies[i]);
  }
  return listed;
}

} // namespace sf
