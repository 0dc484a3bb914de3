#pragma once

#include "settings/IniFile.h"

#include <string>

namespace sf {

// The user's settings, kept in the settings file beside the program. Read once when created and
// written by Save; in between only the fields change.
class TSFOption : public TIniFile {
public:
  TSFOption(Platform &platform, std::string fileName);

  // Writes the five settings in order. A failed write throws EIniFileException and leaves the
  // settings after it unwritten.
  void Save();

  std::string ToDir;
  std::string DefaultDir;
  bool AddMode;
  bool Reverse;
  bool StopAfterCopy;
};

// "Songferry.ini" in the folder of the program at `programPath`.
std::string SettingsFilePath(const std::string &programPath);

} // namespace sf
