#include "platform/PathParts.h"
#include "FakePlatform.h"
#include "platform/InOutError.h"

#include <gtest/gtest.h>

namespace sf {
namespace {

struct PathCase {
  const char *path;
  const char *fileName;
  const char *folderWithSeparator;
  const char *folder;
  const char *extension;
};

// "表" and "ソ" end in the byte 0x5C in Shift-JIS; read from a file they arrive whole, in UTF-8.
const PathCase kPathCases[] = {
    {"C:\\Lists\\mix.m3u", "mix.m3u", "C:\\Lists\\", "C:\\Lists", ".m3u"},
    {"C:\\mix.m3u", "mix.m3u", "C:\\", "C:\\", ".m3u"},
    {"\\mix.m3u", "mix.m3u", "\\", "\\", ".m3u"},
    {"C:mix.m3u", "mix.m3u", "C:", "C:", ".m3u"},
    {"mix.m3u", "mix.m3u", "", "", ".m3u"},
    {"", "", "", "", ""},
    {"\\\\server\\share\\a.mp3", "a.mp3", "\\\\server\\share\\", "\\\\server\\share", ".mp3"},
    {"\\\\a.mp3", "a.mp3", "\\\\", "\\\\", ".mp3"},
    {"C:\\dir.m3u\\mix", "mix", "C:\\dir.m3u\\", "C:\\dir.m3u", ""},
    {"a.tar.gz", "a.tar.gz", "", "", ".gz"},
    {"C:\\Lists\\", "", "C:\\Lists\\", "C:\\Lists", ""},
    {"表", "表", "", "", ""},
    {"C:\\表\\ソング.mp3", "ソング.mp3", "C:\\表\\", "C:\\表", ".mp3"},
    {"C:\\ソ\\表.m3u", "表.m3u", "C:\\ソ\\", "C:\\ソ", ".m3u"},
    {"表\\", "", "表\\", "表", ""},
    {"D:\\音楽\\表", "表", "D:\\音楽\\", "D:\\音楽", ""},
    {"..\\Music\\a.mp3", "a.mp3", "..\\Music\\", "..\\Music", ".mp3"},
};

TEST(PathParts, SplitPathsAtTheLastSeparatorOutsideDoubleByteCharacters) {
  for (const auto &c : kPathCases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(FileNamePart(c.path), c.fileName);
    EXPECT_EQ(FolderPartWithSeparator(c.path), c.folderWithSeparator);
    EXPECT_EQ(FolderPart(c.path), c.folder);
    EXPECT_EQ(ExtensionPart(c.path), c.extension);
  }
}

TEST(PathParts, ShiftJisNamesReadFromFilesSplitWhereTheirSeparatorsAre) {
  const testing::FakePlatform fake;
  // "C:\表\ソ.mp3" in Shift-JIS: both characters end in 0x5C.
  const std::string path = fake.FromShiftJis("C:\\\x95\x5C\\\x83\x5C.mp3");
  EXPECT_EQ(path, "C:\\表\\ソ.mp3");
  EXPECT_EQ(FileNamePart(path), "ソ.mp3");
  EXPECT_EQ(FolderPart(path), "C:\\表");
  // A lead byte with nothing after it starts no character.
  EXPECT_EQ(fake.FromShiftJis("a\\b\x81"), "a\\b・");
}

TEST(UpperCase, UpperCasesSingleAndFullWidthLetters) {
  const testing::FakePlatform fake;
  EXPECT_EQ(fake.UpperCase(".m3u"), ".M3U");
  EXPECT_EQ(fake.UpperCase(".ｍｐ３"), ".ＭＰ３");
  EXPECT_EQ(fake.UpperCase("ソ表ab"), "ソ表AB");
}

TEST(InOutError, CarriesTheCodeAndItsMessage) {
  const struct {
    int code;
    const char *message;
  } cases[] = {
      {2, "ファイルが見つかりません"},
      {3, "不正なファイル名です"},
      {4, "オープンしたファイルが多すぎます"},
      {5, "ファイルへのアクセスが拒否されました"},
      {100, "ファイルの末尾以降を読み込みました"},
      {101, "ディスクがいっぱいです"},
      {106, "入力値が数値ではありません"},
      {32, "I/O エラー (32)"},
      {206, "I/O エラー (206)"},
  };
  for (const auto &c : cases) {
    const EInOutError error(c.code);
    EXPECT_EQ(error.ErrorCode(), c.code);
    EXPECT_STREQ(error.what(), c.message);
  }
}

} // namespace
} // namespace sf
