#include "playlist/SFPlayList.h"

#include "platform/InOutError.h"
#include "platform/PathParts.h"
#include "platform/Utf8.h"
#include "playlist/PlsReader.h"
#include "playlist/SFException.h"
#include "playlist/XmlPlayLists.h"
#include "resources/MessageTexts.h"
#include "settings/IniFile.h"

// Reading a playlist: the six formats, their tracks, and the names the copies will bear.
namespace sf {
namespace {

constexpr char kCtrlZ = 26;
const std::string kPlstSection = "PlayList";

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

// No player writes a playlist this large: a bigger file is some other file, and reading it whole
// would freeze the window.
constexpr std::uint64_t kLargestPlayList = 16 * 1024 * 1024;

} // namespace

TPlayList::TPlayList(Platform &platform, std::string path) : system_(platform), fileName_(std::move(path)) {
  const auto extension = system_.UpperCase(ExtensionPart(fileName_));
  if (extension == ".M3U")
    kind_ = PlayListKind::M3u;
  else if (extension == ".M3U8")
    kind_ = PlayListKind::M3u8;
  else if (extension == ".PLST")
    kind_ = PlayListKind::Plst;
  else if (extension == ".PLS")
    kind_ = PlayListKind::Pls;
  else if (extension == ".WPL")
    kind_ = PlayListKind::Wpl;
  else if (extension == ".XSPF")
    kind_ = PlayListKind::Xspf;
  else
    throw ESFException(FormatText(messages::kBadExtension, extension));
}

void TPlayList::Load() {
  const auto facts = system_.QueryFile(fileName_);
  if (facts.exists && facts.size > kLargestPlayList)
    throw ESFException(messages::kPlayListInvalid);
  if (kind_ == PlayListKind::Plst)
    return LoadPlst();
  if (kind_ == PlayListKind::M3u || kind_ == PlayListKind::M3u8)
    return LoadM3u();
  // The other formats are read whole; their tracks are then checked in order, as an ".m3u"'s lines.
  const auto tracks =
      kind_ == PlayListKind::Pls
          ? ReadPlsTracks(system_, fileName_)
          : ReadXmlTracks(system_, fileName_, kind_ == PlayListKind::Wpl ? XmlPlayList::Wpl : XmlPlayList::Xspf);
  if (tracks.empty())
    throw ESFException(messages::kPlayListEmpty);
  count_ = 0;
  for (const auto &track : tracks)
    AddTrack(track, kind_ == PlayListKind::Xspf ? TrackSyntax::UriReference : TrackSyntax::PathOrUri);
}

void TPlayList::LoadPlst() {
  const TIniFile file(system_, fileName_);
  const std::int32_t tracks = file.ReadNumber(kPlstSection, "Tracks", 0);
  if (tracks <= 0)
    throw ESFException(messages::kPlayListEmpty);
  count_ = 0;
  for (std::int32_t number = 1; number <= tracks; ++number)
    AddTrack(ParsePlstEntry(file.ReadText(kPlstSection, std::to_string(number), ""), number), TrackSyntax::PathOrUri);
}

void TPlayList::LoadM3u() {
  count_ = 0;
  // A byte-order mark makes the file UTF-8; it is looked for across the first chunks too.
  static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  std::size_t markMatched = 0;
  bool utf8 = kind_ == PlayListKind::M3u8, started = false;
  std::string line;
  bool inLine = false;
  const auto take = [&](char c) {
    if (!inLine) {
      if (c == kCtrlZ)
        return false;
      if (IsBlankOrControl(c))
        return true;
      inLine = true;
    }
    if (c == '\n') {
      AddM3uLine(std::move(line), utf8);
      line.clear();
      inLine = false;
    } else if (c != '\r') {
      // A CR ends a line only together with LF; on its own it is dropped.
      line += c;
    }
    return true;
  };
  system_.ReadTextFile(fileName_, [&](std::string_view chunk) {
    for (const char c : chunk) {
      if (!started) {
        if (c == kByteOrderMark[markMatched]) {
          if (++markMatched == kByteOrderMark.size()) {
            utf8 = true;
            started = true;
          }
          continue;
        }
        started = true;
        for (std::size_t i = 0; i < markMatched; ++i)
          take(kByteOrderMark[i]);
      }
      if (!take(c))
        return false;
    }
    return true;
  });
  if (!started) {
    for (std::size_t i = 0; i < markMatched; ++i)
      take(kByteOrderMark[i]);
  }
  if (inLine)
    AddM3uLine(std::move(line), utf8);
}

void TPlayList::AddM3uLine(std::string line, bool utf8) {
  if (utf8 && !IsValidUtf8(line))
    throw ESFException(messages::kPlayListInvalid);
  // Extended-M3U directives ("#EXTM3U", "#EXTINF:...") describe tracks but name none; in a ".m3u8"
  // every line that begins with "#" is a comment. Other lines of an ".m3u" that begin with "#" stay
  // tracks: a file may be named "#1 Hit.mp3".
  if (kind_ == PlayListKind::M3u8 ? line.front() == '#'
                                  : line.size() >= 4 && line[0] == '#' && UpperAscii(line.substr(1, 3)) == "EXT")
    return;
  AddTrack(utf8 ? line : system_.FromShiftJis(line), TrackSyntax::PathOrUri);
}

void TPlayList::AddTrack(std::string_view written, TrackSyntax syntax) {
  if (count_ == kMaxTracks)
    throw ESFException(messages::kTooManyTracks);
  auto path = TrackPathOf(written, syntax);
  // The copy is made under the track's file name in the destination: a name that the system would
  // take as a path, a device or another spelling would put it elsewhere.
  if (!path || !IsUsableFileName(FileNamePart(*path)))
    throw ESFException(FormatText(messages::kTrackNameInvalid, count_ + 1));
  trackPaths_[count_++] = std::move(*path);
}

std::string ParsePlstEntry(std::string_view value, std::int32_t number) {
  if (value.empty())
    throw ESFException(messages::kPlayListInvalid);
  if (value.front() == '"') {
    const auto closing = value.find("\",");
    if (closing == std::string_view::npos)
      throw ESFException(FormatText(messages::kTrackNameInvalid, number));
    return std::string(closing == 0 ? std::string_view() : value.substr(1, closing - 1));
  }
  return std::string(value.substr(0, value.find(',')));
}

} // namespace sf
