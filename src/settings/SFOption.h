#pragma once

#include "settings/IniFile.h"

#include <string>

namespace sf {

// The user's settings, kept in the settings file beside the program. Read once when created and
// written by Save; in between only the fields change.
class TSFOption {
public:
  TSFOption(Platform &platform, std::string fileName);

  // Writes the eight settings into the file as it is now, all at once, keeping its other lines. A
  // failed save throws EIniFileException and writes nothing; so does a save when the file could not
  // be read, at creation or now.
  void Save();

  std::string ToDir;
  std::string DefaultDir;
  bool AddMode;
  bool Reverse;
  bool StopAfterCopy;
  // The next three are written only into a file that has them or when on, so that the file of a user
  // who never turns them on stays as it was.
  // Copies named "NNN name" in copy order.
  bool NumberTracks;
  // A track whose copy the destination already holds is left there, not copied again.
  bool SkipUnchanged;
  // An ".m3u" or ".m3u8" of the copies goes beside them, for players that play a folder in an order
  // of their own.
  bool WritePlayList;

private:
  TIniFile file_;
  bool readAtCreation_;
};

// "Songferry.ini" in the folder of the program at `programPath`.
std::string SettingsFilePath(const std::string &programPath);

} // namespace sf
