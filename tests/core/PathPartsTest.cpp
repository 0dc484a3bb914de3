#include "platform/PathParts.h"
#include "platform/InOutError.h"
#include "platform/ShiftJisCodePage.h"

#include <gtest/gtest.h>

namespace sf {
namespace {

const ShiftJisCodePage kShiftJis;

struct PathCase {
  const char *path;
  const char *fileName;
  const char *folderWithSeparator;
  const char *folder;
  const char *extension;
};

// "表" and "ソ" end in the byte 0x5C, which must not count as a separator.
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
    EXPECT_EQ(FileNamePart(kShiftJis, c.path), c.fileName);
    EXPECT_EQ(FolderPartWithSeparator(kShiftJis, c.path), c.folderWithSeparator);
    EXPECT_EQ(FolderPart(kShiftJis, c.path), c.folder);
    EXPECT_EQ(ExtensionPart(kShiftJis, c.path), c.extension);
  }
}

TEST(PathParts, ALeadByteAtTheEndStandsAlone) {
  const std::string path = "a\\b\x81";
  EXPECT_EQ(FileNamePart(kShiftJis, path), "b\x81");
  // A lead byte before "\" takes it as its second byte.
  const std::string leadThenBackslash = "a\x81\\";
  EXPECT_EQ(FileNamePart(kShiftJis, leadThenBackslash), leadThenBackslash);
}

TEST(ShiftJisCodePage, UpperCasesSingleAndFullWidthLettersOnly) {
  EXPECT_EQ(kShiftJis.UpperCase(".m3u"), ".M3U");
  EXPECT_EQ(kShiftJis.UpperCase(".ｍｐ３"), ".ＭＰ３");
  // "ソ" and "表" end in bytes that look like lower-case ASCII neighbours; they stay as they are.
  EXPECT_EQ(kShiftJis.UpperCase("ソ表ab"), "ソ表AB");
  EXPECT_EQ(kShiftJis.UpperCase("\x82"), "\x82");
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
