#pragma once

#include "platform/Platform.h"
#include "playlist/CopyProgress.h"
#include "playlist/CopyRun.h"
#include "playlist/TrackUri.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace sf {

inline constexpr std::int32_t kMaxTracks = 101;

// The kinds of playlist file, by extension.
enum class PlayListKind {
  Plst, // a profile file
  M3u,  // Shift-JIS, or UTF-8 after a byte-order mark
  M3u8, // UTF-8
  Pls,  // a profile file in UTF-8 or Shift-JIS
  Wpl,  // Windows Media Player's XML
  Xspf, // XML Shareable Playlist Format
};

// The tracks of one playlist file (".m3u", ".m3u8", ".pls", ".plst", ".wpl" or ".xspf") and the run
// that copies them into a folder.
class TPlayList {
public:
  // Throws ESFException "拡張子<EXT>が不正です" unless the path ends in ".m3u", ".m3u8", ".pls",
  // ".plst", ".wpl" or ".xspf" (any case).
  TPlayList(Platform &platform, std::string path);

  void Load();
  void LoadPlst();
  void LoadM3u();

  // Clears the destination folder `toDir`'s "wma" and "mp3" files unless `addMode`, then copies
  // every track into it, flat, in playlist order or backwards, and reports the count with ShowInfo.
  // Relative tracks and a relative `toDir` lie below the playlist's folder; a drive letter alone
  // ("E:") is that drive's root, wherever the playlist lies. With `numberTracks` each copy is named
  // "NNN name", numbered in copy order from 001, in add mode after the highest number in the
  // destination. With `skipUnchanged` a track whose copy in the destination has its
  // name (any number), size and last-write time is left as it is (see MatchCopies). With
  // `writePlayList` the run leaves a playlist file of its copies in the destination, in the order
  // they were copied (see PlayListFile.h). With `conversion` the tracks the player cannot play arrive
  // as MP3s. False when the user cancelled the run: that too ends with ShowInfo.
  bool CopyTracks(TCopyProgress &progress, const std::string &toDir, bool addMode, bool reverse,
                  bool numberTracks = false, bool skipUnchanged = false, bool writePlayList = false,
                  const Conversion *conversion = nullptr);

  PlayListKind Kind() const { return kind_; }
  const std::string &FileName() const { return fileName_; }
  // The tracks loaded, as the playlist names them.
  std::int32_t Count() const { return count_; }
  const std::string &TrackPath(std::int32_t track) const { return trackPaths_[static_cast<std::size_t>(track)]; }

private:
  void AddM3uLine(std::string line, bool utf8);
  // Adds the next track as the playlist writes it (UTF-8). Throws ESFException past the 101st track
  // and for a name that is no path of a file (a URI of another scheme, a malformed file URI).
  void AddTrack(std::string_view written, TrackSyntax syntax);

  Platform &system_;
  std::string fileName_;
  PlayListKind kind_;
  std::int32_t count_ = 0;
  std::array<std::string, kMaxTracks> trackPaths_;
};

// The track path of ".plst" entry number `number`: a path, optionally quoted, optionally followed
// by a comma and further data. Throws ESFException when the entry is empty or its quote is open.
std::string ParsePlstEntry(std::string_view value, std::int32_t number);

} // namespace sf
