#include "playlist/XmlPlayLists.h"

#include "playlist/SFException.h"
#include "resources/MessageTexts.h"

#include <array>
#include <string_view>

namespace sf {
namespace {

constexpr std::string_view kXspfNamespace = "http://xspf.org/ns/0/";

// Where a track's text is, below the root: the names of the elements down to it.
struct Shape {
  std::array<std::string_view, 4> path; // root, then down to the track's element
  std::string_view nameSpace;
  bool anyNamespace;
};

constexpr Shape kWpl{{"smil", "body", "seq", "media"}, {}, true};
constexpr Shape kXspf{{"playlist", "trackList", "track", "location"}, kXspfNamespace, false};

bool Fits(const Platform::XmlElement &element, const Shape &shape, std::size_t level) {
  return element.name == shape.path[level] && (shape.anyNamespace || element.namespaceUri == shape.nameSpace);
}

std::string_view TrimmedXmlSpace(std::string_view text) {
  constexpr std::string_view kSpace = " \t\r\n";
  const auto first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos)
    return {};
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

} // namespace

std::vector<std::string> XmlTracks(const std::vector<Platform::XmlElement> &elements, XmlPlayList format) {
  const Shape &shape = format == XmlPlayList::Wpl ? kWpl : kXspf;
  if (elements.empty() || !Fits(elements.front(), shape, 0))
    throw ESFException(messages::kPlayListInvalid);
  std::vector<std::string> tracks;
  // How many levels from the root down lie on the track's path; deeper elements never count.
  std::size_t onPath = 1;
  bool located = false; // whether the current ".xspf" track has its location
  for (std::size_t i = 1; i < elements.size(); ++i) {
    const auto &element = elements[i];
    const auto depth = static_cast<std::size_t>(element.depth);
    if (depth > onPath || depth == 0)
      continue;
    onPath = depth;
    if (!Fits(element, shape, depth))
      continue;
    if (format == XmlPlayList::Wpl) {
      if (depth == 3) {
        std::string src;
        for (const auto &[name, value] : element.attributes) {
          if (name == "src") {
            src = value;
            break;
          }
        }
        tracks.push_back(std::move(src));
        continue;
      }
    } else if (depth == 2) {
      tracks.emplace_back();
      located = false;
    } else if (depth == 3) {
      if (!located)
        tracks.back() = TrimmedXmlSpace(element.text);
      located = true;
      continue;
    }
    onPath = depth + 1;
  }
  return tracks;
}

std::vector<std::string> ReadXmlTracks(Platform &platform, const std::string &path, XmlPlayList format) {
  const auto elements = platform.ReadXmlElements(path);
  if (!elements)
    throw ESFException(messages::kPlayListInvalid);
  return XmlTracks(*elements, format);
}

} // namespace sf
