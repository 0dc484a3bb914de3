#include "FakePlatform.h"
#include "ScratchFolder.h"
#include "platform/win32/Win32Platform.h"
#include "playlist/SFPlayList.h"
#include "settings/SFOption.h"

#include <gtest/gtest.h>

namespace sf {
namespace {

using testing::ReadWholeFile;
using testing::ScratchFolder;

class ProfileOnDisk : public ::testing::Test {
protected:
  Win32Platform platform;
  ScratchFolder scratch;
};

TEST_F(ProfileOnDisk, WritesTheDefaultSettingsByteForByte) {
  TSFOption option(platform, scratch / "Songferry.ini");
  option.Save();
  EXPECT_EQ(ReadWholeFile(scratch / "Songferry.ini"), "[Songferry]\r\n"
                                                      "ToDir=\r\n"
                                                      "DefaultDir=.\r\n"
                                                      "AddMode=0\r\n"
                                                      "Reverse=0\r\n"
                                                      "StopAfterCopy=1\r\n");
}

TEST_F(ProfileOnDisk, ReadsBackWhatItSaved) {
  {
    TSFOption option(platform, scratch / "Songferry.ini");
    option.ToDir = "E:\\";
    option.DefaultDir = "D:\\表\\ソ\\";
    option.AddMode = true;
    option.Reverse = true;
    option.StopAfterCopy = false;
    option.Save();
  }
  EXPECT_NE(ReadWholeFile(scratch / "Songferry.ini").find(testing::ShiftJisBytes("DefaultDir=D:\\表\\ソ\\\r\n")),
            std::string::npos)
      << "kept in Shift-JIS";
  const TSFOption option(platform, scratch / "Songferry.ini");
  EXPECT_EQ(option.ToDir, "E:\\");
  EXPECT_EQ(option.DefaultDir, "D:\\表\\ソ\\");
  EXPECT_TRUE(option.AddMode);
  EXPECT_TRUE(option.Reverse);
  EXPECT_FALSE(option.StopAfterCopy);
}

TEST_F(ProfileOnDisk, ReadsHandWrittenSettingsWithTheirDefaults) {
  scratch.Write("Songferry.ini", "[songferry]\r\nADDMODE = yes\r\nStopAfterCopy=0\r\nReverse=0x1\r\n");
  const TSFOption option(platform, scratch / "Songferry.ini");
  EXPECT_EQ(option.ToDir, "");
  EXPECT_EQ(option.DefaultDir, ".");
  EXPECT_FALSE(option.AddMode);
  EXPECT_TRUE(option.Reverse);
  EXPECT_FALSE(option.StopAfterCopy);
}

TEST_F(ProfileOnDisk, ReportsASettingsFileItCannotWrite) {
  const std::string path = scratch / "missing\\Songferry.ini";
  TSFOption option(platform, path);
  try {
    option.Save();
    FAIL() << "the write must fail";
  } catch (const EIniFileException &error) {
    EXPECT_EQ(error.what(), path + " に書き込めません");
  }
}

TEST_F(ProfileOnDisk, LoadsAPlstThroughTheSystemsProfileRules) {
  scratch.Write("表.plst", testing::ShiftJisBytes("[playlist]\r\n"
                                                  "TRACKS = 4\r\n"
                                                  "1=\"C:\\My Music\\a.mp3\",240\r\n"
                                                  "2=D:\\b.wma,180\r\n"
                                                  "3=\"C:\\quoted alone.mp3\"\r\n"
                                                  "4=  C:\\ソ\\表.mp3  \r\n"
                                                  "[Other]\r\n5=ignored\r\n"));
  TPlayList list(platform, scratch / "表.plst");
  list.Load();
  ASSERT_EQ(list.Count, 4);
  EXPECT_EQ(list.TrackPaths[0], "C:\\My Music\\a.mp3");
  EXPECT_EQ(list.TrackPaths[1], "D:\\b.wma");
  EXPECT_EQ(list.TrackPaths[2], "C:\\quoted alone.mp3");
  EXPECT_EQ(list.TrackPaths[3], "C:\\ソ\\表.mp3");
}

TEST_F(ProfileOnDisk, ReadsAtMost2047BytesOfAValue) {
  scratch.Write("long.ini", "[S]\r\nKey=" + std::string(3000, 'v') + "\r\n");
  const TIniFile ini(platform, scratch / "long.ini");
  EXPECT_EQ(ini.ReadText("S", "Key", ""), std::string(2047, 'v'));
}

} // namespace
} // namespace sf
