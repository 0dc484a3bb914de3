#pragma once

#include "settings/IniFile.h"

#include <string>

namespace sf {

// The user's settings, kept in the settings file beside the program. Read once when created and
// written by Save; in between only the fields change.
class TSFOption {
public:
  TSFOption(Platform &platform, std::string fileName);

  // Writes the settings the program edits into the file as it is now, all at once, keeping its other
  // lines. A failed save throws EIniFileException and writes nothing; so does a save when the file
  // could not be read, at creation or now.
  void Save();

  std::string ToDir;
  std::string DefaultDir;
  bool AddMode;
  bool Reverse;
  bool StopAfterCopy;
  // The next five are written only into a file that has them or when not at their defaults, so that
  // the file of a user who never uses them stays as it was.
  // Copies named "NNN name" in copy order.
  bool NumberTracks;
  // A track whose copy the destination already holds is left there, not copied again.
  bool SkipUnchanged;
  // An ".m3u" or ".m3u8" of the copies goes beside them, for players that play a folder in an order
  // of their own.
  bool WritePlayList;
  // Tracks in formats the players cannot play (FLAC, AAC, Ogg, WAV...) arrive as MP3s.
  bool ConvertTracks;
  // The MP3s' quality, 0 to kConvertQualities - 1: 0 VBR about 190 kbps, 1 CBR 192 kbps at 44.1 kHz
  // for units that fail on VBR or 48 kHz, 2 CBR 320 kbps; the order of the options dialog's list.
  int ConvertQuality;
  // The bound of the cache of converted tracks on this PC, in MiB. Only ever set by hand in the file,
  // and never written: the program has no control for it, and leaves the user's line as it is.
  int ConvertCacheMiB;
  // How many converter processes a run starts, 1 to kMostConvertProcesses; 0 where the file sets none
  // or a value out of that range: as many as the PC has logical processors. Set by hand and never
  // written, as ConvertCacheMiB.
  int ConvertProcesses;

  static constexpr int kConvertQualities = 3;
  static constexpr int kDefaultConvertCacheMiB = 2048;
  static constexpr int kMostConvertProcesses = 32;

private:
  TIniFile file_;
  bool readAtCreation_;
};

// "Songferry.ini" in the folder of the program at `programPath`.
std::string SettingsFilePath(const std::string &programPath);

} // namespace sf
