#include "platform/PathParts.h"
#include "FakePlatform.h"
#include "platform/FileIdentity.h"

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

TEST(PathParts, ResolvesPathsFromAFolderAsTheWorkingFolderWould) {
  const struct {
    const char *folder, *path, *resolved;
  } cases[] = {
      {"D:\\Lists", "a.mp3", "D:\\Lists\\a.mp3"},
      {"D:\\Lists", "..\\Music\\a.mp3", "D:\\Lists\\..\\Music\\a.mp3"},
      {"D:\\", "a.mp3", "D:\\a.mp3"},
      {"D:\\Lists", "\\Music\\a.mp3", "D:\\Music\\a.mp3"},
      {"D:\\Lists", "d:a.mp3", "D:\\Lists\\a.mp3"},
      {"D:\\Lists", "E:a.mp3", "E:a.mp3"},
      {"D:\\Lists", "E:\\a.mp3", "E:\\a.mp3"},
      {"D:\\Lists", "\\\\server\\share\\a.mp3", "\\\\server\\share\\a.mp3"},
      {"\\\\server\\share\\Lists", "\\a.mp3", "\\\\server\\share\\a.mp3"},
      {"\\\\server\\share\\Lists", "C:a.mp3", "C:a.mp3"},
      {"\\\\?\\UNC\\server\\share\\Lists", "\\a.mp3", "\\\\?\\UNC\\server\\share\\a.mp3"},
      {"\\\\?\\D:\\Lists", "\\a.mp3", "\\\\?\\D:\\a.mp3"},
      {"D:\\表", "ソ\\表.mp3", "D:\\表\\ソ\\表.mp3"},
      {"D:\\Lists", "", ""},
      {"", "a.mp3", "a.mp3"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(PathFrom(c.folder, c.path), c.resolved) << c.folder << " + " << c.path;
}

TEST(PathParts, ADestinationThatIsADriveLetterAloneIsTheDrivesRoot) {
  const struct {
    const char *folder, *toDir, *resolved;
  } cases[] = {
      {"E:\\Music", "E:", "E:\\"},
      {"E:\\Music", "e:", "e:\\"},
      {"C:\\Lists", "E:", "E:\\"},
      {"\\\\server\\share\\Lists", "z:", "z:\\"},
      {"E:\\Music", "E:\\", "E:\\"},
      {"E:\\Music", "E:Out", "E:\\Music\\Out"},
      {"E:\\Music", "Out", "E:\\Music\\Out"},
      {"E:\\Music", "1:", "1:"},
      {"E:\\Music", "表", "E:\\Music\\表"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(DestinationFrom(c.folder, c.toDir), c.resolved) << c.folder << " + " << c.toDir;
}

TEST(PathParts, JoinsANameToAFolderWithOneSeparator) {
  EXPECT_EQ(JoinPath("E:\\Player", "表.mp3"), "E:\\Player\\表.mp3");
  EXPECT_EQ(JoinPath("E:\\", "a.mp3"), "E:\\a.mp3");
  EXPECT_EQ(JoinPath("E:", "a.mp3"), "E:\\a.mp3");
  EXPECT_EQ(JoinPath("\\\\server\\share\\", "*.mp3"), "\\\\server\\share\\*.mp3");
}

TEST(FileIdentity, TrustsOnlyNumbersThatNameOneFile) {
  FileNumbers ntfs;
  ntfs.indexAnswered = true;
  ntfs.volumeSerial = 0x1234;
  ntfs.index = 42;
  ntfs.fileSystem = "NTFS";
  EXPECT_EQ(IdentityFromNumbers(ntfs), "4660:42");
  FileNumbers unknown = ntfs;
  unknown.index = 0;
  EXPECT_EQ(IdentityFromNumbers(unknown), "") << "index 0 whatever the serial: the path stands in";
  unknown.volumeSerial = 0;
  EXPECT_EQ(IdentityFromNumbers(unknown), "");
  EXPECT_EQ(IdentityFromNumbers(FileNumbers{}), "");

  // ReFS: two files may share the 64-bit index; only the 128-bit identifier tells them apart.
  FileNumbers refs = ntfs;
  refs.fileSystem = "ReFS";
  EXPECT_EQ(IdentityFromNumbers(refs), "") << "without the 128-bit identifier";
  refs.idAnswered = true;
  refs.idVolumeSerial = 0xABCD;
  refs.id = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  EXPECT_EQ(IdentityFromNumbers(refs), "id:000000000000abcd:0102030405060708090a0b0c0d0e0f10");
  FileNumbers other = refs;
  other.id[0] = 0x11;
  EXPECT_NE(IdentityFromNumbers(other), IdentityFromNumbers(refs)) << "same 64-bit index, other file";
  refs.id.fill(0xFF);
  EXPECT_EQ(IdentityFromNumbers(refs), "") << "FILE_INVALID_FILE_ID";
  // Elsewhere the 64-bit form holds even when the 128-bit one is at hand.
  ntfs.idAnswered = true;
  ntfs.id = other.id;
  EXPECT_EQ(IdentityFromNumbers(ntfs), "4660:42");
}

} // namespace
} // namespace sf
