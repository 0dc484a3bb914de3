#include "settings/SFOption.h"

#include "platform/PathParts.h"
#include "resources/MessageTexts.h"

#include <cstdint>
#include <string>
#include <utility>

namespace sf {
namespace {

const std::string kSection = "Songferry";

// A setting of `count` choices numbered from 0 takes its default for any other value: a value the
// program does not know (a typo, a later version's) never stands for one of its choices.
int Choice(std::int32_t value, int count, int defaultValue) {
  return value >= 0 && value < count ? value : defaultValue;
}

// Whether the file holds `key`: no value reads as a line break, so the default tells a missing key.
bool Holds(const TIniFile &file, const std::string &key) { return file.ReadText(kSection, key, "\n") != "\n"; }

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
  ConvertTracks = Choice(file_.ReadNumber(kSection, "ConvertTracks", 0), 2, 0) == 1;
  ConvertQuality = Choice(file_.ReadNumber(kSection, "ConvertQuality", 0), kConvertQualities, 0);
  const std::int32_t cacheMiB = file_.ReadNumber(kSection, "ConvertCacheMiB", kDefaultConvertCacheMiB);
  ConvertCacheMiB = cacheMiB >= 1 ? cacheMiB : kDefaultConvertCacheMiB;
  ConvertProcesses = Choice(file_.ReadNumber(kSection, "ConvertProcesses", 0), kMostConvertProcesses + 1, 0);
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
                                std::pair<std::string, bool>("WritePlayList", WritePlayList),
                                std::pair<std::string, bool>("ConvertTracks", ConvertTracks)}) {
    if (on || Holds(file_, key))
      file_.WriteFlag(kSection, key, on);
  }
  if (ConvertQuality != 0 || Holds(file_, "ConvertQuality"))
    file_.WriteText(kSection, "ConvertQuality", std::to_string(ConvertQuality));
  file_.UpdateFile();
}

std::string SettingsFilePath(const std::string &programPath) {
  return FolderPartWithSeparator(programPath) + "Songferry.ini";
}

} // namespace sf
