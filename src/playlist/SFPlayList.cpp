#include "playlist/SFPlayList.h"

#include "platform/PathParts.h"
#include "playlist/SFException.h"
#include "resources/MessageTexts.h"
#include "settings/IniFile.h"

#include <set>

namespace sf {
namespace {

constexpr char kCtrlZ = 26;
const std::string kPlstSection = "PlayList";

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

} // namespace

TPlayList::TPlayList(Platform &platform, std::string path) : FileName(std::move(path)), platform_(platform) {
  const auto extension = platform_.UpperCase(ExtensionPart(platform_, FileName));
  if (extension == ".M3U")
    Kind = kM3u;
  else if (extension == ".PLST")
    Kind = kPlst;
  else
    throw ESFException(FormatText(messages::kBadExtension, extension));
  ExtCount = 2;
  Exts[0] = "wma";
  Exts[1] = "mp3";
}

void TPlayList::Load() {
  if (Kind == kPlst)
    LoadPlst();
  else
    LoadM3u();
}

void TPlayList::LoadPlst() {
  const TIniFile file(platform_, FileName);
  const std::int32_t tracks = file.ReadNumber(kPlstSection, "Tracks", 0);
  if (tracks <= 0)
    throw ESFException(messages::kPlayListEmpty);
  if (tracks > kMaxTracks)
    throw ESFException(messages::kTooManyTracks);
  Count = tracks;
  for (std::int32_t number = 1; number <= tracks; ++number)
    TrackPaths[number - 1] = ParsePlstEntry(platform_, file.ReadText(kPlstSection, std::to_string(number), ""), number);
}

void TPlayList::LoadM3u() {
  Count = 0;
  std::string line;
  bool inLine = false;
  platform_.ReadTextFile(FileName, [&](std::string_view chunk) {
    for (const char c : chunk) {
      if (!inLine) {
        if (c == kCtrlZ)
          return false;
        if (IsBlankOrControl(c))
          continue;
        inLine = true;
      }
      if (c == '\n') {
        AddM3uLine(std::move(line));
        line.clear();
        inLine = false;
      } else if (c != '\r') {
        // A CR ends a line only together with LF; on its own it is dropped.
        line += c;
      }
    }
    return true;
  });
  if (inLine)
    AddM3uLine(std::move(line));
}

void TPlayList::AddM3uLine(std::string line) {
  if (Count == kMaxTracks)
    throw ESFException(messages::kTooManyTracks);
  TrackPaths[Count++] = std::move(line);
}

void TPlayList::CopyTracks(TCopyProgress &progress, const std::string &destination, bool addMode, bool reverse) {
  if (destination.empty())
    throw ESFException(messages::kNoDestination);
  progress.SetMaximum(Count);
  progress.Show();
  // The working folder changes before the clearing so that a relative destination names the same
  // folder for the clearing and the copies, and so that a failed change deletes nothing.
  platform_.ChangeWorkingFolder(FolderPart(platform_, FileName));
  if (!addMode)
    ClearDestination(destination);

  std::array<std::int32_t, kMaxTracks> order;
  for (std::int32_t k = 0; k < Count; ++k)
    order[k] = reverse ? Count - 1 - k : k;

  for (std::int32_t k = 0; k < Count; ++k) {
    const std::string &source = TrackPaths[order[k]];
    const std::string name = FileNamePart(platform_, source);
    const std::string target = destination + "\\" + name;
    if (!platform_.FileExists(source))
      throw ESFException(FormatText(messages::kTrackMissing, source));
    progress.SetFileLabel(name);
    progress.SetPosition(k + 1);
    progress.Repaint();
    // A track that already lies in the destination is its own copy.
    const bool sameFile =
        platform_.UpperCase(platform_.FullPath(source)) == platform_.UpperCase(platform_.FullPath(target));
    if (!sameFile &&
        (!platform_.CopyFileOver(source, target, [&] { progress.KeepResponsive(); }) || !platform_.FileExists(target)))
      throw ESFException(FormatText(messages::kCopyFailed, source));
  }
  progress.ShowInfo(FormatText(messages::kCopied, FileNamePart(platform_, FileName), Count));
  progress.Close();
}

void TPlayList::ClearDestination(const std::string &destination) {
  // Never delete a file this run is about to copy from.
  std::set<std::string> ownTracks;
  for (std::int32_t i = 0; i < Count; ++i)
    ownTracks.insert(platform_.UpperCase(platform_.FullPath(TrackPaths[i])));

  for (std::int32_t e = 0; e < ExtCount; ++e) {
    const std::string extension = platform_.UpperCase("." + Exts[e]);
    for (const auto &name : platform_.ListFiles(destination + "\\*." + Exts[e])) {
      // The system's pattern also matches long extensions through 8.3 names ("x.mp3x" as "X~1.MP3").
      if (platform_.UpperCase(ExtensionPart(platform_, name)) != extension)
        continue;
      const std::string path = destination + "\\" + name;
      if (ownTracks.count(platform_.UpperCase(platform_.FullPath(path))) == 0)
        platform_.RemoveFile(path); // A file that cannot be deleted (read-only) simply stays.
    }
  }
}

std::string ParsePlstEntry(const CodePage &codePage, std::string_view value, std::int32_t number) {
  if (value.empty())
    throw ESFException(messages::kPlayListInvalid);
  if (value.front() == '"') {
    for (std::size_t i = 0; i < value.size(); i += codePage.CharLength(value, i)) {
      if (value[i] == '"' && i + 1 < value.size() && value[i + 1] == ',')
        return std::string(i == 0 ? std::string_view() : value.substr(1, i - 1));
    }
    throw ESFException(FormatText(messages::kTrackNameInvalid, number));
  }
  for (std::size_t i = 0; i < value.size(); i += codePage.CharLength(value, i)) {
    if (value[i] == ',')
      return std::string(value.substr(0, i));
  }
  return std::string(value);
}

} // namespace sf
