#include "settings/SFOption.h"

#include "platform/PathParts.h"
#include "resources/MessageTexts.h"

namespace sf {
namespace {

const std::string kSection = "Songferry";

} // namespace

TSFOption::TSFOption(Platform &platform, std::string fileName)
    : TIniFile(platform, std::move(fileName)), ToDir(ReadText(kSection, "ToDir", "")),
      DefaultDir(ReadText(kSection, "DefaultDir", ".")), AddMode(ReadFlag(kSection, "AddMode", false)),
      Reverse(ReadFlag(kSection, "Reverse", false)), StopAfterCopy(ReadFlag(kSection, "StopAfterCopy", true)),
      NumberTracks(ReadFlag(kSection, "NumberTracks", false)), readAtCreation_(Readable()) {}

void TSFOption::Save() {
  // Settings read as defaults from a file that could not be read would replace the user's own.
  if (!readAtCreation_)
    throw EIniFileException(FormatText(messages::kCannotWrite, FileName));
  Reload();
  WriteText(kSection, "ToDir", ToDir);
  WriteText(kSection, "DefaultDir", DefaultDir);
  WriteFlag(kSection, "AddMode", AddMode);
  WriteFlag(kSection, "Reverse", Reverse);
  WriteFlag(kSection, "StopAfterCopy", StopAfterCopy);
  // No value reads as a line break: the default then tells a missing key.
  if (NumberTracks || ReadText(kSection, "NumberTracks", "\n") != "\n")
    WriteFlag(kSection, "NumberTracks", NumberTracks);
  UpdateFile();
}

std::string SettingsFilePath(const std::string &programPath) {
  return FolderPartWithSeparator(programPath) + "Songferry.ini";
}

} // namespace sf
