#include "settings/SFOption.h"

#include "platform/PathParts.h"
#include "resources/MessageTexts.h"

#include <utility>

namespace sf {
namespace {

const std::string kSection = "Songferry";

} // namespace

TSFOption::TSFOption(Platform &platform, std::string fileName)
    : file_(platform, std::move(fileName)), readAtCreation_(file_.Readable()) {
  ToDir = file_.ReadText(kSection, "ToDir", "");
  DefaultDir = file_.ReadText(kSection, "DefaultDir", ".");
  AddMode = file_.ReadFlag(kSection, "AddMode", false);
  Reverse = file_.ReadFlag(kSection, "Reverse", false);
  StopAfterCopy = file_.ReadFlag(kSection, "StopAfterCopy", true);
  NumberTracks = file_.ReadFlag(kSection, "NumberTracks", false);
  SkipUnchanged = file_.ReadFlag(kSection, "SkipUnchanged", false);
  WritePlayList = file_.ReadFlag(kSection, "WritePlayList", false);
}

void TSFOption::Save() {
  // Settings read as defaults from a file that could not be read would replace the user's own.
  if (!readAtCreation_)
    throw EIniFileException(FormatText(messages::kCannotWrite, file_.FileName()));
  file_.Reload();
  file_.WriteText(kSection, "ToDir", ToDir);
  file_.WriteText(kSection, "DefaultDir", DefaultDir);
  file_.WriteFlag(kSection, "AddMode", AddMode);
  file_.WriteFlag(kSection, "Reverse", Reverse);
  file_.WriteFlag(kSection, "StopAfterCopy", StopAfterCopy);
  for (const auto &[key, on] : {std::pair<std::string, bool>("NumberTracks", NumberTracks),
                                std::pair<std::string, bool>("SkipUnchanged", SkipUnchanged),
                                std::pair<std::string, bool>("WritePlayList", WritePlayList)}) {
    // No value reads as a line break: the default then tells a missing key.
    if (on || file_.ReadText(kSection, key, "\n") != "\n")
      file_.WriteFlag(kSection, key, on);
  }
  file_.UpdateFile();
}

std::string SettingsFilePath(const std::string &programPath) {
  return FolderPartWithSeparator(programPath) + "Songferry.ini";
}

} // namespace sf
