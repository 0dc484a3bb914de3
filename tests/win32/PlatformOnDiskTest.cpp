#include "ImportReplaced.h"
#include "ScratchFolder.h"
#include "platform/InOutError.h"
#include "platform/win32/SystemFolders.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32Platform.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <stdexcept>

// The slots through which the platform calls the system's copy and folder search.
extern "C" decltype(&CopyFileExW) __imp_CopyFileExW;
extern "C" decltype(&FindFirstFileW) __imp_FindFirstFileW;

namespace sf {
namespace {

using testing::ImportReplaced;
using testing::ReadWholeFile;
using testing::ScratchFolder;

class PlatformOnDisk : public ::testing::Test {
protected:
  std::string ReadAll(const std::string &path) {
    std::string content;
    platform.ReadTextFile(path, [&](std::string_view chunk) {
      content += chunk;
      return true;
    });
    return content;
  }

  int ReadError(const std::string &path) {
    try {
      ReadAll(path);
    } catch (const EInOutError &error) {
      return error.ErrorCode();
    }
    return 0;
  }

  Win32Platform platform;
  ScratchFolder scratch;
};

TEST_F(PlatformOnDisk, ReadsShiftJisAndUpperCasesUnicode) {
  // "表" and "ソ" end in 0x5C; 0xB1 is a half-width katakana standing alone.
  EXPECT_EQ(platform.FromShiftJis("\x95\x5C\\\x83\x5C\xB1"), "表\\ソｱ");
  EXPECT_EQ(platform.FromShiftJis("a\x81"), "a・");
  EXPECT_EQ(platform.UpperCase("表ソ.m3u"), "表ソ.M3U");
  EXPECT_EQ(platform.UpperCase(".plst"), ".PLST");
  EXPECT_EQ(platform.UpperCase("beyoncé.ｍｐ３"), "BEYONCÉ.ＭＰ３");
}

TEST_F(PlatformOnDisk, ListsVisibleFilesMatchingAPatternInAnyCaseOrEveryNameInAFolder) {
  scratch.Write("d\\a.mp3");
  scratch.Write("d\\b.WMA");
  scratch.Write("d\\c.txt");
  scratch.Write("d\\d.mp3", "", FILE_ATTRIBUTE_HIDDEN);
  scratch.Write("d\\e.mp3", "", FILE_ATTRIBUTE_READONLY);
  scratch.Write("d\\s.mp3", "", FILE_ATTRIBUTE_SYSTEM);
  scratch.Write("d\\表.mp3");
  scratch.MakeFolder("d\\folder.mp3");

  auto mp3 = platform.ListFiles(scratch / "d\\*.mp3");
  std::sort(mp3.begin(), mp3.end());
  EXPECT_EQ(mp3, (std::vector<std::string>{"a.mp3", "e.mp3", "表.mp3"}));
  EXPECT_EQ(platform.ListFiles(scratch / "d\\*.wma"), (std::vector<std::string>{"b.WMA"}));
  EXPECT_TRUE(platform.ListFiles(scratch / "missing\\*.mp3").empty());

  const auto all = platform.ListNames(scratch / "d").value();
  const auto has = [&](const char *name) { return std::find(all.begin(), all.end(), name) != all.end(); };
  for (const char *name : {"a.mp3", "d.mp3", "s.mp3", "表.mp3", "folder.mp3"})
    EXPECT_TRUE(has(name)) << name;
  EXPECT_FALSE(has(".") || has("..")) << "the folder's own entries name no file in it";
  EXPECT_FALSE(platform.ListNames(scratch / "missing"));
}

// The search as on the root of an empty drive, which has no entry at all, not even "." and "..".
HANDLE WINAPI FindNothing(LPCWSTR, LPWIN32_FIND_DATAW) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  return INVALID_HANDLE_VALUE;
}

TEST_F(PlatformOnDisk, MakesListsMovesAndRemovesEntriesOfRealFolders) {
  using Made = Platform::MakeResult;
  const std::string d = scratch / "d";
  scratch.MakeFolder("d");
  const auto listed = [&](const std::string &folder) {
    std::vector<std::string> described;
    const auto entries = platform.ListEntries(folder);
    for (const auto &entry : entries.value())
      described.push_back(entry.name + (entry.folder ? "\\" : "") + (entry.hidden ? " hidden" : "") +
                          (entry.system ? " system" : ""));
    std::sort(described.begin(), described.end());
    return described;
  };
  // "表" and "ソ" end in the byte of "\" in Shift-JIS.
  EXPECT_EQ(platform.MakeEmptyFile(d + "\\表.mp3"), Made::Made);
  EXPECT_EQ(platform.MakeEmptyFile(d + "\\表.mp3"), Made::Exists);
  EXPECT_EQ(platform.MakeFolder(d + "\\.hold", true), Made::Made);
  scratch.Write("d\\ソ.mp3", "so");
  EXPECT_EQ(listed(d), (std::vector<std::string>{".hold\\ hidden", "ソ.mp3", "表.mp3"}));

  EXPECT_EQ(platform.MoveEntry(d + "\\表.mp3", d + "\\.hold\\表.mp3"), Made::Made);
  EXPECT_EQ(listed(d + "\\.hold"), std::vector<std::string>{"表.mp3"});
  EXPECT_FALSE(platform.RemoveFolder(d + "\\.hold")) << "not empty";
  EXPECT_EQ(platform.MoveEntry(d + "\\.hold\\表.mp3", d + "\\表.mp3"), Made::Made);
  EXPECT_EQ(platform.MoveEntry(d + "\\表.mp3", d + "\\ソ.mp3"), Made::Exists);
  EXPECT_EQ(scratch.Names("d"), (std::vector<std::string>{".hold", "ソ.mp3", "表.mp3"}));
  EXPECT_EQ(ReadWholeFile(d + "\\ソ.mp3"), "so");
  EXPECT_TRUE(platform.RemoveFolder(d + "\\.hold"));

  EXPECT_NE(platform.FileSystemOf(d), "");
  EXPECT_FALSE(platform.ListEntries(scratch / "missing"));
  EXPECT_FALSE(platform.ListEntries(d + "\\表.mp3")) << "a file lists nothing";
  const ImportReplaced emptyRoot(__imp_FindFirstFileW, &FindNothing);
  EXPECT_EQ(platform.ListEntries(d).value().size(), 0u);
}

// A run's record: made hidden with its first bytes, written through while it stays open, and while it
// is open nobody else may write to it or remove it, though anyone may read it.
TEST_F(PlatformOnDisk, AFileKeptOpenForWritingIsReadByAnyoneAndWrittenOrRemovedByNoneElse) {
  using Made = Platform::MakeResult;
  // "表" ends in the byte of "\" in Shift-JIS.
  const std::string record = scratch / "表.log";
  {
    auto made = platform.MakeHiddenFile(record, "run\r\n");
    ASSERT_EQ(made.result, Made::Made);
    EXPECT_TRUE(platform.QueryFile(record).hidden);
    EXPECT_EQ(platform.MakeHiddenFile(record, "other").result, Made::Exists);
    EXPECT_TRUE(made.file->Append("a\r\n"));
    EXPECT_TRUE(made.file->Append("b\r\nc"));
    EXPECT_TRUE(made.file->Cut(11));
    EXPECT_TRUE(made.file->Append("d\r\n"));
    EXPECT_EQ(ReadWholeFile(record), "run\r\na\r\nb\r\nd\r\n");
    const auto second = platform.OpenForWriting(record);
    EXPECT_TRUE(second.inUse && !second.file);
    EXPECT_FALSE(platform.RemoveFile(record));
  }
  // Closed, it is anyone's to open, and to remove.
  auto reopened = platform.OpenForWriting(record);
  ASSERT_TRUE(reopened.file);
  EXPECT_TRUE(reopened.file->Append("e\r\n"));
  reopened.file.reset();
  EXPECT_EQ(ReadWholeFile(record), "run\r\na\r\nb\r\nd\r\ne\r\n");
  EXPECT_TRUE(platform.RemoveFile(record));

  EXPECT_EQ(platform.MakeHiddenFile(scratch / "missing\\表.log", "run").result, Made::Failed);
  EXPECT_FALSE(platform.OpenForWriting(scratch / "missing.log").file);
  EXPECT_FALSE(platform.FileExists(scratch / "missing.log"));
  scratch.Write("ro.log", "ro", FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(platform.OpenForWriting(scratch / "ro.log").file);
  EXPECT_EQ(ReadWholeFile(scratch / "ro.log"), "ro");
}

TEST_F(PlatformOnDisk, AFileExistsWhateverItsDateButAFolderDoesNot) {
  scratch.Write("a.mp3");
  scratch.Write("hidden.mp3", "", FILE_ATTRIBUTE_HIDDEN);
  scratch.Write("ソ\\表.mp3");
  scratch.Write("old.mp3");
  scratch.MakeFolder("folder");

  // A track dated 1970 is a file like any other.
  HANDLE old =
      CreateFileW(Widen(scratch / "old.mp3").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(old, INVALID_HANDLE_VALUE);
  SYSTEMTIME epoch = {1970, 1, 0, 1, 0, 0, 0, 0};
  FILETIME stamp;
  SystemTimeToFileTime(&epoch, &stamp);
  SetFileTime(old, nullptr, nullptr, &stamp);
  CloseHandle(old);

  EXPECT_TRUE(platform.FileExists(scratch / "a.mp3"));
  EXPECT_TRUE(platform.FileExists(scratch / "A.MP3"));
  EXPECT_TRUE(platform.FileExists(scratch / "hidden.mp3"));
  EXPECT_TRUE(platform.FileExists(scratch / "ソ\\表.mp3"));
  EXPECT_TRUE(platform.FileExists(scratch / "old.mp3"));
  EXPECT_FALSE(platform.FileExists(scratch / "folder"));
  EXPECT_FALSE(platform.FileExists(scratch / "missing.mp3"));
  EXPECT_FALSE(platform.FileExists(scratch / "missing\\a.mp3"));
  EXPECT_FALSE(platform.FileExists(""));
  EXPECT_FALSE(platform.FileExists(scratch / "a.mp3\\"));
  EXPECT_FALSE(platform.FileExists(scratch / "folder\\"));
  EXPECT_FALSE(platform.FileExists(scratch / "fold*"));
  EXPECT_FALSE(platform.FileExists(scratch / "*.mp3")) << "a pattern names no file";
}

TEST_F(PlatformOnDisk, DeletesAndCopiesAsTheSystemAllows) {
  scratch.Write("src\\a.mp3", "new");
  scratch.Write("dst\\a.mp3", "old");
  scratch.Write("dst\\ro.mp3", "", FILE_ATTRIBUTE_READONLY);

  using Result = Platform::CopyResult;
  const auto copy = [&](const std::string &source, const std::string &target, bool makeNew = false) {
    return platform.CopyFileOver(scratch / source, scratch / target, makeNew, [] {});
  };
  EXPECT_EQ(copy("src\\a.mp3", "dst\\a.mp3", true), Result::TargetExists);
  EXPECT_EQ(ReadWholeFile(scratch / "dst\\a.mp3"), "old");
  EXPECT_EQ(copy("src\\a.mp3", "dst\\a.mp3"), Result::Copied);
  EXPECT_EQ(ReadWholeFile(scratch / "dst\\a.mp3"), "new");
  EXPECT_EQ(copy("src\\a.mp3", "dst\\\\b.mp3", true), Result::Copied) << "doubled separator";
  EXPECT_EQ(copy("src\\a.mp3", "missing\\a.mp3", true), Result::Failed);
  EXPECT_EQ(copy("src\\a.mp3", "src\\a.mp3"), Result::Failed);
  EXPECT_EQ(copy("src\\gone.mp3", "dst\\gone.mp3"), Result::Failed);

  EXPECT_TRUE(platform.RemoveFile(scratch / "dst\\a.mp3"));
  EXPECT_FALSE(platform.RemoveFile(scratch / "dst\\a.mp3"));
  EXPECT_FALSE(platform.RemoveFile(scratch / "dst\\ro.mp3"));
  EXPECT_EQ(scratch.Names("dst"), (std::vector<std::string>{"b.mp3", "ro.mp3"}));
}

TEST_F(PlatformOnDisk, CopiesComeOutPlainThroughEitherCopy) {
  constexpr DWORD kSourceAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
  scratch.Write("src\\a.mp3", "music", kSourceAttributes);
  const auto facts = platform.QueryFile(scratch / "src\\a.mp3");
  EXPECT_TRUE(facts.readOnly && facts.hidden && !facts.system);
  // Wine's CopyFileEx never calls back, so the program copies in chunks there; the system's copy
  // runs when asked for.
  Win32Platform systemCopy(Win32Platform::SystemCopy::Always);
  for (auto *copier : {&platform, &systemCopy}) {
    const std::string target = scratch / (copier == &platform ? "dst\\chunks.mp3" : "dst\\system.mp3");
    scratch.MakeFolder("dst");
    ASSERT_EQ(copier->CopyFileOver(scratch / "src\\a.mp3", target, true, [] {}), Platform::CopyResult::Copied);
    EXPECT_EQ(ReadWholeFile(target), "music");
    EXPECT_EQ(GetFileAttributesW(Widen(target).c_str()) & (kSourceAttributes | FILE_ATTRIBUTE_SYSTEM), 0u);
    // Asked to make the target new, either copy leaves one that is already there alone.
    EXPECT_EQ(copier->CopyFileOver(scratch / "src\\a.mp3", target, true, [] {}), Platform::CopyResult::TargetExists);
    EXPECT_EQ(copier->CopyFileOver(scratch / "src\\gone.mp3", target + ".x", false, [] {}),
              Platform::CopyResult::Failed);
  }
}

// The system's copy as Windows runs it, calling back after the first chunk, which Wine's never does;
// a cancel leaves the target as Windows does when it cannot delete it, read-only like its source.
decltype(&CopyFileExW) systemCopyFileEx;
BOOL WINAPI CopyCallingBack(LPCWSTR source, LPCWSTR target, LPPROGRESS_ROUTINE routine, LPVOID data, LPBOOL cancel,
                            DWORD flags) {
  if (!systemCopyFileEx(source, target, nullptr, nullptr, cancel, flags))
    return FALSE;
  if (routine({}, {}, {}, {}, 1, CALLBACK_CHUNK_FINISHED, nullptr, nullptr, data) == PROGRESS_CONTINUE)
    return TRUE;
  SetLastError(ERROR_REQUEST_ABORTED);
  return FALSE;
}

TEST_F(PlatformOnDisk, ACancelledCopyOfAReadOnlySourceLeavesATargetThatCanBeRemovedThroughEitherCopy) {
  scratch.Write("src\\ro.mp3", std::string(512 * 1024, 'm'), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  Win32Platform systemCopy(Win32Platform::SystemCopy::Always);
  systemCopyFileEx = __imp_CopyFileExW;
  const ImportReplaced callingBack(__imp_CopyFileExW, &CopyCallingBack);
  for (auto *copier : {&platform, &systemCopy}) {
    scratch.MakeFolder("dst");
    const std::string target = scratch / "dst\\ro.mp3";
    EXPECT_THROW(
        copier->CopyFileOver(scratch / "src\\ro.mp3", target, true, [] { throw std::runtime_error("cancel"); }),
        std::runtime_error);
    EXPECT_TRUE(platform.RemoveFile(target));
    EXPECT_EQ(scratch.Names("dst"), std::vector<std::string>{});
  }
  EXPECT_TRUE(platform.QueryFile(scratch / "src\\ro.mp3").readOnly) << "the source stays as it was";
}

TEST_F(PlatformOnDisk, TheSystemCopysRoutineCancelsOnAnExceptionAndKeepsIt) {
  int calls = 0;
  const std::function<void()> counting = [&] { ++calls; };
  CopyCallback going{counting, nullptr};
  EXPECT_EQ(CopyProgressRoutine({}, {}, {}, {}, 1, CALLBACK_CHUNK_FINISHED, nullptr, nullptr, &going),
            static_cast<DWORD>(PROGRESS_CONTINUE));
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(going.thrown);
  const std::function<void()> throwing = [] { throw std::runtime_error("from a window"); };
  CopyCallback failing{throwing, nullptr};
  EXPECT_EQ(CopyProgressRoutine({}, {}, {}, {}, 1, CALLBACK_CHUNK_FINISHED, nullptr, nullptr, &failing),
            static_cast<DWORD>(PROGRESS_CANCEL));
  ASSERT_TRUE(failing.thrown);
  EXPECT_THROW(std::rethrow_exception(failing.thrown), std::runtime_error);
}

TEST_F(PlatformOnDisk, HandsTheSystemFullPathsAndTheLongFormFrom260Characters) {
  scratch.MakeFolder("表");
  SetCurrentDirectoryW(Widen(scratch / "表").c_str());
  const std::string here = scratch / "表", drive = here.substr(0, 2);
  // The full path of a file directly in `here` that is exactly `length` characters long.
  const auto ofLength = [&](std::size_t length) {
    return here + "\\" + std::string(length - Widen(here).size() - 1, 'n');
  };
  const std::string longName(300, 'u');
  const struct {
    std::string path;
    std::wstring system;
  } conversions[] = {
      {"a.mp3", Widen(here + "\\a.mp3")},
      {drive + "a.mp3", Widen(here + "\\a.mp3")},
      {"\\x\\a.mp3", Widen(drive + "\\x\\a.mp3")},
      {".\\x\\..\\..\\表\\a.mp3", Widen(here + "\\a.mp3")},
      {"a.mp3. . ", Widen(here + "\\a.mp3")},
      {"\\\\server\\share\\a.mp3", L"\\\\server\\share\\a.mp3"},
      {"\\\\server\\share\\x\\..\\" + longName, L"\\\\?\\UNC\\server\\share\\" + Widen(longName)},
      {ofLength(259), Widen(ofLength(259))},
      {ofLength(260), L"\\\\?\\" + Widen(ofLength(260))},
      {".\\x\\..\\" + longName + ". ", L"\\\\?\\" + Widen(here + "\\" + longName)},
      {"\\\\?\\" + here + "\\x\\..", Widen("\\\\?\\" + here + "\\x\\..")},
      {"", L""},
  };
  for (const auto &c : conversions)
    EXPECT_EQ(Narrow(SystemPath(c.path)), Narrow(c.system)) << c.path;
}

TEST_F(PlatformOnDisk, ReadsFilesByteForByteOrReportsTheSystemsCode) {
  std::string content = "C:\\表\\ソ.mp3\r\n";
  content += std::string(200000, 'x') + '\x1A' + '\0' + "tail";
  scratch.Write("ソ\\表.m3u", content);
  EXPECT_EQ(ReadAll(scratch / "ソ\\表.m3u"), content);

  EXPECT_EQ(ReadError(scratch / "missing.m3u"), 2);
  EXPECT_EQ(ReadError(scratch / "missing\\a.m3u"), 3);
  scratch.MakeFolder("folder.m3u");
  EXPECT_EQ(ReadError(scratch / "folder.m3u"), 5);
  // A path longer than the system takes is an error of the system's, never an overrun.
  EXPECT_NE(ReadError(scratch / std::string(5000, 'n') + ".m3u"), 0);
}

TEST_F(PlatformOnDisk, StopsReadingWhenAsked) {
  scratch.Write("big.m3u", std::string(1 << 20, 'x'));
  std::size_t chunks = 0;
  platform.ReadTextFile(scratch / "big.m3u", [&](std::string_view) { return ++chunks < 2; });
  EXPECT_EQ(chunks, 2u);
}

TEST(ProgramPath, NamesTheRunningProgram) {
  const auto path = ProgramPath();
  EXPECT_NE(path.find("songferry_win32_tests.exe"), std::string::npos) << path;
}

} // namespace
} // namespace sf

namespace sf {
namespace {

// A file of the cache of converted tracks: held from plan to copy, it is copied and read, but neither
// removed nor renamed, by this or any process; its use time is the program's to set while it holds it.
TEST_F(PlatformOnDisk, AHeldFileIsReadAndCopiedButNeitherRemovedNorRenamedAndItsUseIsMarked) {
  // "ソ" ends in the byte of "\" in Shift-JIS.
  const std::string cached = scratch / "ソ.mp3";
  scratch.Write("ソ.mp3", "mp3 bytes");
  {
    const HANDLE file = CreateFileW(Widen(cached).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const FILETIME longAgo{0, 0x01000000};
    SetFileTime(file, nullptr, &longAgo, nullptr);
    CloseHandle(file);
  }
  const auto before = platform.QueryFile(cached).lastUse;
  {
    const auto held = platform.HoldFile(cached);
    ASSERT_TRUE(held);
    EXPECT_TRUE(held->MarkUsed());
    EXPECT_GT(platform.QueryFile(cached).lastUse, before);
    EXPECT_EQ(platform.CopyFileOver(cached, scratch / "copy.mp3", true, [] {}), Platform::CopyResult::Copied);
    EXPECT_EQ(ReadWholeFile(scratch / "copy.mp3"), "mp3 bytes");
    EXPECT_EQ(ReadWholeFile(cached), "mp3 bytes");
    EXPECT_FALSE(platform.RemoveFile(cached));
    EXPECT_NE(platform.MoveEntry(cached, scratch / "moved.mp3"), Platform::MakeResult::Made);
  }
  EXPECT_TRUE(platform.RemoveFile(cached));
  EXPECT_FALSE(platform.HoldFile(cached));
  // The cache lies in the user's local application data folder.
  EXPECT_FALSE(LocalAppDataFolder().empty());
  EXPECT_TRUE(platform.ListNames(LocalAppDataFolder()));
}

} // namespace
} // namespace sf
