#include "FakePlatform.h"
#include "ImportReplaced.h"
#include "ScratchFolder.h"
#include "platform/win32/Win32Platform.h"
#include "playlist/SFPlayList.h"
#include "settings/SFOption.h"

#include "platform/win32/Utf16.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

// The slots through which the platform calls the system to put a new settings file in place.
extern "C" decltype(&ReplaceFileW) __imp_ReplaceFileW;
extern "C" decltype(&MoveFileExW) __imp_MoveFileExW;
extern "C" decltype(&Sleep) __imp_Sleep;

namespace sf {
namespace {

using testing::ImportReplaced;
using testing::ReadWholeFile;

// ReplaceFileW as Windows may answer, one answer a call from the back: 0 replaces; an error leaves
// the files as Microsoft documents it for a call with a backup name (1177: the old file under it).
std::vector<DWORD> replaceAnswers;
decltype(&ReplaceFileW) systemReplaceFile;
BOOL WINAPI ReplaceAnswering(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags, LPVOID exclude,
                             LPVOID reserved) {
  const DWORD answer = replaceAnswers.back();
  replaceAnswers.pop_back();
  if (answer == 0)
    return systemReplaceFile(replaced, replacement, backup, flags, exclude, reserved);
  if (answer == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
    MoveFileExW(replaced, backup, 0);
  SetLastError(answer);
  return FALSE;
}

// MoveFileExW, refusing to move the new settings file while `refuseNewFile` is set.
bool refuseNewFile = false;
decltype(&MoveFileExW) systemMoveFile;
BOOL WINAPI MoveRefusingNewFile(LPCWSTR from, LPCWSTR to, DWORD flags) {
  if (refuseNewFile && wcsstr(from, L".tmp")) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return systemMoveFile(from, to, flags);
}

// The pause between tries, not taken.
VOID WINAPI NoPause(DWORD) {}

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

TEST_F(ProfileOnDisk, SavesOverTheOldFileKeepingItsLinesAndTheBytesOfUnchangedValues) {
  // NEC's and IBM's codes of one character: 0x8790 and 0x81E0 for "≒", 0xED40 and 0xFA5C for "纊".
  const std::string mine = "; mine\r\n[Songferry]\r\nToDir=E:\\\x87\x90\\\r\nDefaultDir=D:\\\xED\x40\\\r\n"
                           "AddMode=0\r\n[Other]\r\nx=1\r\n";
  scratch.Write("Tool\\Songferry.ini", mine);
  TSFOption option(platform, scratch / "Tool\\Songferry.ini");
  EXPECT_EQ(option.ToDir, "E:\\≒\\");
  option.AddMode = true;
  option.Save();
  EXPECT_EQ(ReadWholeFile(scratch / "Tool\\Songferry.ini"),
            "; mine\r\n[Songferry]\r\nToDir=E:\\\x87\x90\\\r\nDefaultDir=D:\\\xED\x40\\\r\nAddMode=1\r\nReverse=0\r\n"
            "StopAfterCopy=1\r\n[Other]\r\nx=1\r\n");
  EXPECT_EQ(scratch.Names("Tool"), std::vector<std::string>{"Songferry.ini"}) << "no temporary file stays";
}

TEST_F(ProfileOnDisk, ASettingsFileHeldOpenReadsAsDefaultsAndIsNeverRebuilt) {
  const std::string mine = "[Songferry]\r\nToDir=E:\\\r\n; mine\r\n", path = scratch / "Songferry.ini";
  scratch.Write("Songferry.ini", mine);
  const HANDLE held = CreateFileW(Widen(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  TSFOption option(platform, path);
  CloseHandle(held);
  EXPECT_EQ(option.ToDir, "");
  try {
    option.Save();
    FAIL() << "a file read as defaults must not be written over";
  } catch (const EIniFileException &error) {
    EXPECT_EQ(error.what(), path + " に書き込めません");
  }
  EXPECT_EQ(ReadWholeFile(path), mine);
}

TEST_F(ProfileOnDisk, ASaveThatFailsOnAFullDiskLeavesTheOldFileWholeAndNoTemporaryFile) {
  const char *small = std::getenv("SONGFERRY_SMALL_FOLDER");
  if (!small)
    GTEST_SKIP() << "no small file system: mounting needs root and with-unix-fixtures.sh";
  const std::string folder = std::string(small) + "\\Tool", path = folder + "\\Songferry.ini";
  CreateDirectoryW(Widen(folder).c_str(), nullptr);
  const std::string mine = "[Songferry]\r\nToDir=E:\\\r\n";
  testing::WriteWholeFile(path, mine);
  TSFOption option(platform, path);
  option.ToDir = std::string(3000, 'x');
  {
    // Every byte of the file system taken.
    std::ofstream filler(std::filesystem::path(Widen(folder + "\\filler")), std::ios::binary);
    const std::string chunk(4096, 'f');
    while (filler.write(chunk.data(), chunk.size()) && filler.flush())
      ;
  }
  EXPECT_THROW(option.Save(), EIniFileException);
  EXPECT_EQ(ReadWholeFile(path), mine);
  WIN32_FIND_DATAW entry;
  std::vector<std::string> names;
  const HANDLE search = FindFirstFileW(Widen(folder + "\\*").c_str(), &entry);
  do {
    if (entry.cFileName[0] != L'.')
      names.push_back(Narrow(entry.cFileName));
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Songferry.ini", "filler"})) << "no temporary file stays";
  for (const auto &name : names)
    DeleteFileW(Widen(folder + "\\" + name).c_str());
  RemoveDirectoryW(Widen(folder).c_str());
}

TEST_F(ProfileOnDisk, EveryAnswerOfTheSystemsReplaceLeavesTheOldSettingsOrTheNewWholeAndNothingBeside) {
  systemReplaceFile = __imp_ReplaceFileW;
  systemMoveFile = __imp_MoveFileExW;
  const ImportReplaced replace(__imp_ReplaceFileW, &ReplaceAnswering);
  const ImportReplaced move(__imp_MoveFileExW, &MoveRefusingNewFile);
  const ImportReplaced pause(__imp_Sleep, &NoPause);
  const struct {
    std::vector<DWORD> answers;
    bool newFileMoves, replaced;
  } cases[] = {{{0}, true, true},
               {std::vector<DWORD>(6, ERROR_UNABLE_TO_REMOVE_REPLACED), true, false},
               {std::vector<DWORD>(6, ERROR_UNABLE_TO_MOVE_REPLACEMENT), true, false},
               {{ERROR_UNABLE_TO_MOVE_REPLACEMENT_2}, true, true},
               {{ERROR_UNABLE_TO_MOVE_REPLACEMENT_2}, false, false},
               {{0, ERROR_SHARING_VIOLATION}, true, true}};
  const std::string path = scratch / "Tool\\Songferry.ini", old = "[Songferry]\r\nToDir=E:\\\r\n",
                    next = "[Songferry]\r\nToDir=F:\\\r\n";
  for (const auto &c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.answers) + (c.newFileMoves ? "" : ", the new file not moved"));
    scratch.Write("Tool\\Songferry.ini", old);
    replaceAnswers = c.answers;
    refuseNewFile = !c.newFileMoves;
    EXPECT_EQ(platform.ReplaceWholeFile(path, next), c.replaced);
    EXPECT_TRUE(replaceAnswers.empty()) << "tried again five times at most";
    EXPECT_EQ(ReadWholeFile(path), c.replaced ? next : old);
    EXPECT_EQ(scratch.Names("Tool"), std::vector<std::string>{"Songferry.ini"});
  }
}

TEST_F(ProfileOnDisk, ASettingsFileThatAnotherProgramHoldsStaysWholeWithNothingLeftBesideOrInTheWorkingFolder) {
  const ImportReplaced pause(__imp_Sleep, &NoPause);
  const std::string path = scratch / "Tool\\Songferry.ini", old = "[Songferry]\r\nToDir=E:\\\r\n";
  scratch.Write("Tool\\Songferry.ini", old);
  SetCurrentDirectoryW(Widen(scratch / "Tool").c_str());
  const HANDLE held = CreateFileW(Widen(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(platform.ReplaceWholeFile(path, "[Songferry]\r\nToDir=F:\\\r\n"));
  CloseHandle(held);
  EXPECT_EQ(ReadWholeFile(path), old);
  EXPECT_EQ(scratch.Names("Tool"), std::vector<std::string>{"Songferry.ini"});
}

TEST_F(ProfileOnDisk, AFolderInTheSettingsFilesPlaceStaysWithNothingBesideIt) {
  scratch.MakeFolder("Tool\\Songferry.ini");
  EXPECT_FALSE(platform.ReplaceWholeFile(scratch / "Tool\\Songferry.ini", "[Songferry]\r\n"));
  EXPECT_EQ(scratch.Names("Tool"), std::vector<std::string>{"Songferry.ini"});
  EXPECT_EQ(GetFileAttributesW(Widen(scratch / "Tool\\Songferry.ini").c_str()), FILE_ATTRIBUTE_DIRECTORY);
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
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.TrackPath(0), "C:\\My Music\\a.mp3");
  EXPECT_EQ(list.TrackPath(1), "D:\\b.wma");
  EXPECT_EQ(list.TrackPath(2), "C:\\quoted alone.mp3");
  EXPECT_EQ(list.TrackPath(3), "C:\\ソ\\表.mp3");
}

TEST_F(ProfileOnDisk, ReadsAtMost2047BytesOfAValue) {
  scratch.Write("long.ini", "[S]\r\nKey=" + std::string(3000, 'v') + "\r\n");
  const TIniFile ini(platform, scratch / "long.ini");
  EXPECT_EQ(ini.ReadText("S", "Key", ""), std::string(2047, 'v'));
}

} // namespace
} // namespace sf
