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
  FakePlatform fake;
  TIniFile ini{fake, "C:\\Lists\\a.plst"};
};

TEST_F(IniFileTest, ReadsNumbersAndFlagsWithTheirDefaults) {
  fake.SetProfileValue("C:\\Lists\\a.plst", "S", "Two", "2");
  fake.SetProfileValue("C:\\Lists\\a.plst", "S", "MinusOne", "-1");
  fake.SetProfileValue("C:\\Lists\\a.plst", "S", "Zero", "0");
  fake.SetProfileValue("C:\\Lists\\a.plst", "S", "Word", "abc");
  fake.SetProfileValue("C:\\Lists\\a.plst", "S", "Empty", "");

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
  fake.SetProfileValue("C:\\Lists\\a.plst", "S", "Long", std::string(3000, 'v'));
  EXPECT_EQ(ini.ReadText("S", "Long", ""), std::string(2047, 'v'));
  EXPECT_EQ(ini.ReadText("S", "Missing", "fallback"), "fallback");
}

TEST_F(IniFileTest, WritesFlagsAsOneAndZeroAndReportsAFailedWrite) {
  ini.WriteFlag("S", "On", true);
  ini.WriteFlag("S", "Off", false);
  EXPECT_EQ(fake.ProfileValue("C:\\Lists\\a.plst", "S", "On"), "1");
  EXPECT_EQ(fake.ProfileValue("C:\\Lists\\a.plst", "S", "Off"), "0");

  fake.Fail("Write", "C:\\Lists\\a.plst");
  try {
    ini.WriteText("S", "Key", "value");
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

TEST(SFOption, SavesInOrderAndStopsAtTheFirstFailedWrite) {
  FakePlatform fake;
  const std::string path = "C:\\Tools\\Songferry.ini";
  TSFOption option(fake, path);
  option.ToDir = "E:\\";
  option.Reverse = true;
  option.Save();
  EXPECT_EQ(fake.Journal(), (std::vector<std::string>{
                                "WriteProfile C:\\Tools\\Songferry.ini [Songferry] ToDir=E:\\",
                                "WriteProfile C:\\Tools\\Songferry.ini [Songferry] DefaultDir=.",
                                "WriteProfile C:\\Tools\\Songferry.ini [Songferry] AddMode=0",
                                "WriteProfile C:\\Tools\\Songferry.ini [Songferry] Reverse=1",
                                "WriteProfile C:\\Tools\\Songferry.ini [Songferry] StopAfterCopy=1",
                            }));

  fake.Journal().clear();
  fake.Fail("Write", path);
  EXPECT_THROW(option.Save(), EIniFileException);
  EXPECT_EQ(fake.Journal().size(), 1u);
}

TEST(SFOption, KeepsTheSettingsFileBesideTheProgram) {
  FakePlatform fake;
  EXPECT_EQ(SettingsFilePath("C:\\Tools\\Songferry.exe"), "C:\\Tools\\Songferry.ini");
  EXPECT_EQ(SettingsFilePath("C:\\ソフト\\表\\Songferry.exe"), "C:\\ソフト\\表\\Songferry.ini");
  EXPECT_EQ(SettingsFilePath("E:\\Songferry.exe"), "E:\\Songferry.ini");
}

} // namespace
} // namespace sf
