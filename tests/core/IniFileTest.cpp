#include "settings/IniFile.h"
#include "FakePlatform.h"
#include "settings/SFOption.h"

#include <gtest/gtest.h>

namespace sf {
namespace {

using testing::FakePlatform;

TEST(ConvertNumber, AcceptsDecimalAndHexadecimalForms) {
  const struct {
    const char *text;
    std::int32_t value;
  } converts[] = {
      {"12", 12},
      {" 12", 12},
      {"-3", -3},
      {"+7", 7},
      {"0x1F", 31},
      {"0X1f", 31},
      {"$1f", 31},
      {"x10", 16},
      {"X10", 16},
      {" 0x1F", 31},
      {"0x2", 2},
      {"$FFFFFFFF", -1},
      {"$80000000", INT32_MIN},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"007", 7},
      {"-0", 0},
      {"-$10", 16},
      {"+0x10", 16},
      {"0", 0},
  };
  for (const auto &c : converts) {
    SCOPED_TRACE(c.text);
    ASSERT_TRUE(ConvertNumber(c.text).has_value());
    EXPECT_EQ(*ConvertNumber(c.text), c.value);
  }
}

TEST(ConvertNumber, RefusesEverythingElse) {
  for (const char *text : {"", " ", "12a", "1 2", "12 ", "\t12", "-", "+", "$", "0x", "x", "$123456789", "2147483648",
                           "-2147483649", "99999999999999999999", "1e3", "１２", "0x-1", "--1"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(ConvertNumber(text).has_value());
  }
}

class IniFileTest : public ::testing::Test {
protected:
  IniFileTest() { fake.AddFolder("C:\\Lists"); }

  FakePlatform fake;
  const std::string path = "C:\\Lists\\a.plst";
};

TEST_F(IniFileTest, ReadsNumbersAndFlagsWithTheirDefaults) {
  fake.SetProfileValue(path, "S", "Two", "2");
  fake.SetProfileValue(path, "S", "MinusOne", "-1");
  fake.SetProfileValue(path, "S", "Zero", "0");
  fake.SetProfileValue(path, "S", "Word", "abc");
  fake.SetProfileValue(path, "S", "Empty", "");
  const TIniFile ini(fake, path);

  EXPECT_EQ(ini.ReadNumber("S", "Two", 9), 2);
  EXPECT_EQ(ini.ReadNumber("S", "Word", 9), 9);
  EXPECT_EQ(ini.ReadNumber("S", "Missing", -4), -4);
  EXPECT_TRUE(ini.ReadFlag("S", "Two", false));
  EXPECT_TRUE(ini.ReadFlag("S", "MinusOne", false));
  EXPECT_FALSE(ini.ReadFlag("S", "Zero", true));
  for (const bool fallback : {false, true}) {
    EXPECT_EQ(ini.ReadFlag("S", "Word", fallback), fallback);
    EXPECT_EQ(ini.ReadFlag("S", "Empty", fallback), fallback);
    EXPECT_EQ(ini.ReadFlag("S", "Missing", fallback), fallback);
  }
}

TEST_F(IniFileTest, ReadsAtMost2047BytesOfAValue) {
  fake.SetProfileValue(path, "S", "Long", std::string(3000, 'v'));
  const TIniFile ini(fake, path);
  EXPECT_EQ(ini.ReadText("S", "Long", ""), std::string(2047, 'v'));
  EXPECT_EQ(ini.ReadText("S", "Missing", "fallback"), "fallback");
}

TEST_F(IniFileTest, WritesFlagsAsOneAndZeroAndReportsAFailedWrite) {
  TIniFile ini(fake, path);
  ini.WriteFlag("S", "On", true);
  ini.WriteFlag("S", "Off", false);
  ini.UpdateFile();
  EXPECT_EQ(fake.ProfileValue(path, "S", "On"), "1");
  EXPECT_EQ(fake.ProfileValue(path, "S", "Off"), "0");

  fake.Fail("Write", path);
  ini.WriteText("S", "Key", "value");
  try {
    ini.UpdateFile();
    FAIL() << "a failed write must throw";
  } catch (const EIniFileException &error) {
    EXPECT_STREQ(error.what(), "C:\\Lists\\a.plst に書き込めません");
  }
}

TEST(SFOption, StartsWithTheDefaultsWhenThereIsNoSettingsFile) {
  FakePlatform fake;
  const TSFOption option(fake, "C:\\Tools\\Songferry.ini");
  EXPECT_EQ(option.ToDir, "");
  EXPECT_EQ(option.DefaultDir, ".");
  EXPECT_FALSE(option.AddMode);
  EXPECT_FALSE(option.Reverse);
  EXPECT_TRUE(option.StopAfterCopy);
  EXPECT_FALSE(option.ConvertTracks);
  EXPECT_EQ(option.ConvertQuality, 0);
  EXPECT_EQ(option.ConvertCacheMiB, 2048);
  EXPECT_EQ(option.ConvertProcesses, 0);
}

TEST(SFOption, ReadsTheConvertingSettingsAndTakesTheDefaultForAValueOutOfRange) {
  const struct {
    const char *text;
    bool convertTracks;
    int convertQuality;
    int convertCacheMiB;
    int convertProcesses;
  } cases[] = {
      {"0", false, 0, 2048, 0},
      {"1", true, 1, 1, 1},
      {"2", false, 2, 2, 2},
      {"3", false, 0, 3, 3},
      {"32", false, 0, 32, 32},
      {"33", false, 0, 33, 0},
      {"-1", false, 0, 2048, 0},
      {"0x1", true, 1, 1, 1},
      {"yes", false, 0, 2048, 0},
      {"", false, 0, 2048, 0},
      {"4096", false, 0, 4096, 0},
      {"1.5", false, 0, 2048, 0},
      {"99999999999", false, 0, 2048, 0},
      {"$FFFFFFFF", false, 0, 2048, 0},
  };
  FakePlatform fake;
  const std::string path = "C:\\Tools\\Songferry.ini";
  for (const auto &each : cases) {
    SCOPED_TRACE(each.text);
    for (const char *key : {"ConvertTracks", "ConvertQuality", "ConvertCacheMiB", "ConvertProcesses"})
      fake.SetProfileValue(path, "Songferry", key, each.text);
    const TSFOption option(fake, path);
    EXPECT_EQ(option.ConvertTracks, each.convertTracks);
    EXPECT_EQ(option.ConvertQuality, each.convertQuality);
    EXPECT_EQ(option.ConvertCacheMiB, each.convertCacheMiB);
    EXPECT_EQ(option.ConvertProcesses, each.convertProcesses);
  }
}

TEST(SFOption, ReadsTheSettingsFile) {
  FakePlatform fake;
  const std::string path = "C:\\Tools\\Songferry.ini";
  fake.SetProfileValue(path, "Songferry", "ToDir", "E:\\");
  fake.SetProfileValue(path, "Songferry", "DefaultDir", "D:\\表\\");
  fake.SetProfileValue(path, "Songferry", "AddMode", "yes");
  fake.SetProfileValue(path, "Songferry", "Reverse", "1");
  fake.SetProfileValue(path, "Songferry", "StopAfterCopy", "0");
  const TSFOption option(fake, path);
  EXPECT_EQ(option.ToDir, "E:\\");
  EXPECT_EQ(option.DefaultDir, "D:\\表\\");
  EXPECT_FALSE(option.AddMode);
  EXPECT_TRUE(option.Reverse);
  EXPECT_FALSE(option.StopAfterCopy);
}

TEST(SFOption, WritesNumberTracksSkipUnchangedAndWritePlayListOnlyWhereTheFileHasThemOrTheyAreOn) {
  FakePlatform fake;
  const std::string path = "C:\\Tools\\Songferry.ini";
  const std::string mine = "[Songferry]\r\nToDir=E:\\\r\nDefaultDir=.\r\nAddMode=0\r\nReverse=0\r\nStopAfterCopy=1\r\n";
  fake.AddFile(path, mine);
  TSFOption option(fake, path);
  EXPECT_FALSE(option.NumberTracks);
  EXPECT_FALSE(option.SkipUnchanged);
  EXPECT_FALSE(option.WritePlayList);
  option.Save();
  EXPECT_EQ(fake.ContentOf(path), mine);
  option.NumberTracks = true;
  option.Save();
  EXPECT_EQ(fake.ContentOf(path), mine + "NumberTracks=1\r\n");
  EXPECT_TRUE(TSFOption(fake, path).NumberTracks);
  option.NumberTracks = false;
  option.Save();
  EXPECT_EQ(fake.ContentOf(path), mine + "NumberTracks=0\r\n");
  option.SkipUnchanged = true;
  option.Save();
  EXPECT_EQ(fake.ContentOf(path), mine + "NumberTracks=0\r\nSkipUnchanged=1\r\n");
  EXPECT_TRUE(TSFOption(fake, path).SkipUnchanged);
  option.SkipUnchanged = false;
  option.Save();
  EXPECT_EQ(fake.ContentOf(path), mine + "NumberTracks=0\r\nSkipUnchanged=0\r\n");
  option.WritePlayList = true;
  option.Save();
  EXPECT_EQ(fake.ContentOf(path), mine + "NumberTracks=0\r\nSkipUnchanged=0\r\nWritePlayList=1\r\n");
  EXPECT_TRUE(TSFOption(fake, path).WritePlayList);
  option.WritePlayList = false;
  option.Save();
  EXPECT_EQ(fake.ContentOf(path), mine + "NumberTracks=0\r\nSkipUnchanged=0\r\nWritePlayList=0\r\n");
}

TEST(SFOption, WritesTheConvertingChoicesOnlyOnceUsedAndNeverTheCacheBoundNorTheProcesses) {
  FakePlatform fake;
  const std::string path = "C:\\Tools\\Songferry.ini";
  const std::string mine = "[Songferry]\r\nToDir=E:\\\r\nDefaultDir=.\r\nAddMode=0\r\nReverse=0\r\nStopAfterCopy=1\r\n";
  fake.AddFile(path, mine);
  TSFOption option(fake, path);
  option.ConvertCacheMiB = 100;
  option.ConvertProcesses = 2;
  option.Save();
  EXPECT_EQ(fake.ContentOf(path), mine) << "off, at the first quality and with no bound of the user's: as it was";

  option.ConvertQuality = 1;
  option.Save();
  EXPECT_EQ(fake.ContentOf(path), mine + "ConvertQuality=1\r\n");
  option.ConvertTracks = true;
  option.ConvertQuality = 0;
  option.Save();
  EXPECT_EQ(fake.ContentOf(path), mine + "ConvertQuality=0\r\nConvertTracks=1\r\n");
  option.ConvertTracks = false;
  option.ConvertQuality = 2;
  option.Save();
  EXPECT_EQ(fake.ContentOf(path), mine + "ConvertQuality=2\r\nConvertTracks=0\r\n");

  // The bound and the processes are the user's own lines, kept as written, even where they read as the
  // default.
  for (const char *bound : {"ConvertCacheMiB=512\r\n", "ConvertCacheMiB=lots\r\n", "ConvertProcesses=99\r\n"}) {
    fake.AddFile(path, mine + bound);
    TSFOption bounded(fake, path);
    bounded.ConvertCacheMiB = 4096;
    bounded.ConvertProcesses = 1;
    bounded.Save();
    EXPECT_EQ(fake.ContentOf(path), mine + bound);
  }
}

TEST(SFOption, SavesTheWholeFileAtOnceKeepingItsOtherLines) {
  FakePlatform fake;
  const std::string path = "C:\\Tools\\Songferry.ini";
  const std::string mine = "; mine\r\n[Songferry]\r\nAddMode=1\r\n[Other]\r\nx=1\r\n";
  fake.AddFile(path, mine);
  TSFOption option(fake, path);
  option.ToDir = "E:\\";
  option.Reverse = true;
  fake.Journal().clear();
  option.Save();
  EXPECT_EQ(fake.Journal(), (std::vector<std::string>{"ReadWhole " + path, "ReplaceWhole " + path}));
  const std::string saved = "; mine\r\n[Songferry]\r\nAddMode=1\r\nToDir=E:\\\r\nDefaultDir=.\r\nReverse=1\r\n"
                            "StopAfterCopy=1\r\n[Other]\r\nx=1\r\n";
  EXPECT_EQ(fake.ContentOf(path), saved);

  option.ToDir = "F:\\";
  fake.Fail("Write", path);
  try {
    option.Save();
    FAIL() << "a failed save must throw";
  } catch (const EIniFileException &error) {
    EXPECT_STREQ(error.what(), "C:\\Tools\\Songferry.ini に書き込めません");
  }
  EXPECT_EQ(fake.ContentOf(path), saved) << "a failed save writes nothing";
}

TEST(SFOption, NeverRebuildsAFileItCouldNotRead) {
  FakePlatform fake;
  const std::string path = "C:\\Tools\\Songferry.ini", mine = "[Songferry]\r\nToDir=E:\\\r\nmine=1\r\n";
  fake.AddFile(path, mine);
  TSFOption readable(fake, path);
  fake.Fail("Read", path); // another program holds it open now
  TSFOption unreadable(fake, path);
  EXPECT_EQ(unreadable.ToDir, "") << "read as the defaults";
  for (TSFOption *option : {&readable, &unreadable})
    EXPECT_THROW(option->Save(), EIniFileException);
  EXPECT_EQ(fake.ContentOf(path), mine);
}

TEST(SFOption, KeepsTheBytesOfValuesItWritesBackUnchanged) {
  // Shift-JIS has two codes for some characters (NEC's and IBM's): a value read and written back
  // keeps the code its file has, whichever the conversion would choose.
  FakePlatform fake;
  const std::string path = "C:\\Tools\\Songferry.ini";
  const std::string mine = "[Songferry]\r\nToDir=E:\\\xED\x40\\\r\nDefaultDir=D:\\\x87\x90\xFA\x5C\\\r\n";
  fake.AddFile(path, mine);
  TSFOption option(fake, path);
  ASSERT_EQ(option.ToDir, "E:\\纊\\");
  option.AddMode = true;
  option.Save();
  EXPECT_EQ(fake.ContentOf(path), mine + "AddMode=1\r\nReverse=0\r\nStopAfterCopy=1\r\n");
}

} // namespace
} // namespace sf
