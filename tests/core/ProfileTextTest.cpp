#include "settings/ProfileText.h"
#include "FakePlatform.h"

#include <gtest/gtest.h>

namespace sf {
namespace {

TEST(ReadProfileText, KeepsDoubleByteCharactersWhole) {
  // "表" and "ソ" end in 0x5C, "ー" in 0x5B and "‐" in 0x5D: none of them is "\", "[" or "]".
  const auto S = [](std::string_view utf8) { return testing::ShiftJisBytes(utf8); };
  const std::string file =
      S("[表]\r\nソ=C:\\ソ\\表\\\r\n[") + "\x81\x5D" + S("]\r\nー=1\r\n[") + "\x81" + S("]\r\nー=2\r\n");
  EXPECT_EQ(ReadProfileText(file, S("表"), S("ソ"), "", 2048), S("C:\\ソ\\表\\"));
  EXPECT_EQ(ReadProfileText(file, "\x81\x5D", S("ー"), "", 2048), "1");
  // A lead byte takes the "]" after it: that line opens no section.
  EXPECT_EQ(ReadProfileText(file, "\x81", S("ー"), "none", 2048), "none");

  std::string kanji;
  for (int i = 0; i < 1500; ++i)
    kanji += S("表");
  EXPECT_EQ(ReadProfileText("[S]\r\nk=" + kanji + "\r\n", "S", "k", "", 2048), kanji.substr(0, 2046));
  EXPECT_EQ(ReadProfileText("[S]\r\nk=a" + kanji + "\r\n", "S", "k", "", 2048),
            std::string("a").append(kanji, 0, 2046));
  EXPECT_EQ(ReadProfileText("", "S", "k", S("\"表\""), 3), S("表"));
  EXPECT_EQ(ReadProfileText("", "S", "k", S("表"), 2), "");
}

TEST(ReadProfileText, FollowsTheSystemsGrammar) {
  const std::string file = "k=before any section\n"
                           "[ Songferry ]\r"
                           "  ToDir  =  \"C:\\My Music\\a.mp3\",240  \r\n"
                           "; comment=1\r\n"
                           "Bare\n"
                           "ToDir=second\r\n"
                           "Quoted='E:\\'\r\n"
                           "[songferry]\r\n"
                           "Other=in the second section\r\n";
  EXPECT_EQ(ReadProfileText(file, "songferry", "todir", "", 2048), "\"C:\\My Music\\a.mp3\",240");
  EXPECT_EQ(ReadProfileText(file, "SONGFERRY", "quoted", "", 2048), "E:\\");
  EXPECT_EQ(ReadProfileText(file, "Songferry", "; comment", "", 2048), "1");
  EXPECT_EQ(ReadProfileText(file, "Songferry", "Bare", "none", 2048), "none");
  EXPECT_EQ(ReadProfileText(file, "Songferry", "Other", "none", 2048), "none");
  EXPECT_EQ(ReadProfileText(file, "", "k", "", 2048), "before any section");
  EXPECT_EQ(ReadProfileText(file, "missing", "k", "none  ", 2048), "none");
  EXPECT_EQ(ReadProfileText(file, "Songferry", "ToDir", "", 4), "\"C:");
}

TEST(WriteProfileText, ChangesOnlyTheLineItWrites) {
  const std::string file = "; settings\n"
                           "\n"
                           "[Songferry]\n"
                           "  ToDir = E:\\   \n"
                           "AddMode=1\n"
                           "\n"
                           "[Other]\r\n"
                           "x=1";
  EXPECT_EQ(WriteProfileText(file, "songferry", "todir", testing::ShiftJisBytes("D:\\表\\")),
            testing::ShiftJisBytes("; settings\n\n[Songferry]\nToDir=D:\\表\\\nAddMode=1\n\n[Other]\r\nx=1"));
  EXPECT_EQ(WriteProfileText(file, "Songferry", "Reverse", "  0"),
            "; settings\n\n[Songferry]\n  ToDir = E:\\   \nAddMode=1\nReverse=0\r\n\n[Other]\r\nx=1");
  EXPECT_EQ(WriteProfileText(file, "Other", "y", "2"), file + "\r\ny=2\r\n");
  EXPECT_EQ(WriteProfileText(file, "New", "k", "v"), file + "\r\n[New]\r\nk=v\r\n");
  EXPECT_EQ(WriteProfileText(file, "Songferry", "AddMode", "1"), file);
  EXPECT_EQ(WriteProfileText("", "Songferry", "ToDir", ""), "[Songferry]\r\nToDir=\r\n");
  // A lead byte at the end takes the CR: the LF still ends its line.
  EXPECT_EQ(WriteProfileText("[S]\r\nk=\x81", "T", "k", "v"), "[S]\r\nk=\x81\r\n[T]\r\nk=v\r\n");
}

TEST(WriteProfileText, WritesANameThatReadsBackBeforeItsEquals) {
  using namespace std::string_literals;
  // The name of the line ends at its NUL, and the lead byte before it has no second byte: written
  // back in front of "=", that byte would take the "=" for its own.
  const std::string written = WriteProfileText("[so]\rir\0\x85"s, "So", "ir", "");
  EXPECT_EQ(written, "[so]\rir=");
  EXPECT_EQ(ReadProfileText(written, "So", "ir", "\x01", 2048), "");
  EXPECT_EQ(WriteProfileText("[S]\r\nkey\x81\0=w\r\n"s, "S", "key\x81\x45", "v"), "[S]\r\nkey\x81\x45=v\r\n");
  EXPECT_EQ(ReadProfileText("[S]\r\nk=\x81\x7F\x81\r\n", "S", "k", "", 2048), "\x81\x45\x81\x45");
}

} // namespace
} // namespace sf
