#include "settings/SFOption.h"

#include "platform/PathParts.h"

namespace sf {
namespace {

const std::string kSection = "Songferry";

} // namespace

TSFOption::TSFOption(Platform &platform, std::string fileName)
    : TIniFile(platform, std::move(fileName)), ToDir(ReadText(kSection, "ToDir", "")),
      DefaultDir(ReadText(kSection, "DefaultDir", ".")), AddMode(ReadFlag(kSection, "AddMode", false)),
      Reverse(ReadFlag(kSection, "Reverse", false)), StopAfterCopy(ReadFlag(kSection, "StopAfterCopy", true)) {}

void TSFOption::Save() {
  WriteText(kSection, "ToDir", ToDir);
  WriteText(kSection, "DefaultDir", DefaultDir);
  WriteFlag(kSection, "AddMode", AddMode);
  WriteFlag(kSection, "Reverse", Reverse);
  WriteFlag(kSection, "StopAfterCopy", StopAfterCopy);
}

std::string SettingsFilePath(const std::string &programPath) {
  return FolderPartWithSeparator(programPath) + "Songferry.ini";
}

} // namespace sf
