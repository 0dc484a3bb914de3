#include "FakePlatform.h"
#include "ScratchFolder.h"
#include "platform/win32/KernelHandle.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32Platform.h"
#include "playlist/RunRecord.h"
#include "playlist/SFException.h"
#include "playlist/SFPlayList.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace sf {
namespace {

using testing::ReadWholeFile;
using testing::RecordingProgress;
using testing::ScratchFolder;
using Names = std::vector<std::string>;

// What reaches the system's file functions while a SystemPathRecorder lives: it takes their places
// in this program's import table.
std::vector<std::wstring> recordedPaths;
struct Originals {
  decltype(&CreateFileW) createFile;
  decltype(&FindFirstFileW) findFirstFile;
  decltype(&GetFileAttributesW) getFileAttributes;
  decltype(&GetFileAttributesExW) getFileAttributesEx;
  decltype(&DeleteFileW) deleteFile;
  decltype(&CopyFileExW) copyFileEx;
  decltype(&GetDiskFreeSpaceExW) getDiskFreeSpaceEx;
} originals;

HANDLE WINAPI RecordCreateFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                               DWORD disposition, DWORD flags, HANDLE model) {
  recordedPaths.emplace_back(path);
  return originals.createFile(path, access, share, security, disposition, flags, model);
}
HANDLE WINAPI RecordFindFirstFile(LPCWSTR path, LPWIN32_FIND_DATAW entry) {
  recordedPaths.emplace_back(path);
  return originals.findFirstFile(path, entry);
}
DWORD WINAPI RecordGetFileAttributes(LPCWSTR path) {
  recordedPaths.emplace_back(path);
  return originals.getFileAttributes(path);
}
BOOL WINAPI RecordGetFileAttributesEx(LPCWSTR path, GET_FILEEX_INFO_LEVELS level, LPVOID data) {
  recordedPaths.emplace_back(path);
  return originals.getFileAttributesEx(path, level, data);
}
BOOL WINAPI RecordDeleteFile(LPCWSTR path) {
  recordedPaths.emplace_back(path);
  return originals.deleteFile(path);
}
BOOL WINAPI RecordCopyFileEx(LPCWSTR source, LPCWSTR target, LPPROGRESS_ROUTINE progress, LPVOID data, LPBOOL cancel,
                             DWORD flags) {
  recordedPaths.emplace_back(source);
  recordedPaths.emplace_back(target);
  return originals.copyFileEx(source, target, progress, data, cancel, flags);
}
BOOL WINAPI RecordGetDiskFreeSpaceEx(LPCWSTR path, PULARGE_INTEGER free, PULARGE_INTEGER total,
                                     PULARGE_INTEGER totalFree) {
  recordedPaths.emplace_back(path);
  return originals.getDiskFreeSpaceEx(path, free, total, totalFree);
}

// Puts `replacement` into the import table's slot for `name`; returns what was there.
template <typename Function> Function SwapImport(const char *name, Function replacement) {
  auto *base = reinterpret_cast<BYTE *>(GetModuleHandleW(nullptr));
  const auto *headers =
      reinterpret_cast<IMAGE_NT_HEADERS *>(base + reinterpret_cast<IMAGE_DOS_HEADER *>(base)->e_lfanew);
  const auto &imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto *dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + imports.VirtualAddress); dll->Name; ++dll) {
    auto *names = reinterpret_cast<IMAGE_THUNK_DATA *>(base + dll->OriginalFirstThunk);
    auto *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + dll->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) ||
          std::strcmp(reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData)->Name, name) != 0)
        continue;
      DWORD protection;
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
      const auto original = reinterpret_cast<Function>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
      return original;
    }
  }
  return nullptr;
}

class SystemPathRecorder {
public:
  SystemPathRecorder() {
    recordedPaths.clear();
    Swap(originals.createFile = &RecordCreateFile, originals.findFirstFile = &RecordFindFirstFile,
         originals.getFileAttributes = &RecordGetFileAttributes,
         originals.getFileAttributesEx = &RecordGetFileAttributesEx, originals.deleteFile = &RecordDeleteFile,
         originals.copyFileEx = &RecordCopyFileEx, originals.getDiskFreeSpaceEx = &RecordGetDiskFreeSpaceEx);
  }
  ~SystemPathRecorder() {
    Swap(originals.createFile, originals.findFirstFile, originals.getFileAttributes, originals.getFileAttributesEx,
         originals.deleteFile, originals.copyFileEx, originals.getDiskFreeSpaceEx);
  }
  SystemPathRecorder(const SystemPathRecorder &) = delete;
  SystemPathRecorder &operator=(const SystemPathRecorder &) = delete;

private:
  // Each argument holds the function to put in place and receives the one that was there.
  template <typename... Functions> static void Swap(Functions &...functions) {
    const char *names[] = {"CreateFileW", "FindFirstFileW", "GetFileAttributesW", "GetFileAttributesExW",
                           "DeleteFileW", "CopyFileExW",    "GetDiskFreeSpaceExW"};
    std::size_t i = 0;
    ((functions = SwapImport(names[i++], functions)), ...);
  }
};

class CopyRunOnDisk : public ::testing::Test {
protected:
  CopyRunOnDisk() {
    scratch.Write("Music\\a.mp3", "music a");
    scratch.Write("Music\\b.wma", "music b");
    scratch.Write("Other\\a.mp3", "other a");
    scratch.MakeFolder("Player");
  }

  // Writes the playlist `name` into Lists and copies it into `destination`.
  void Copy(const Names &tracks, const std::string &destination, bool addMode = false, bool reverse = false,
            const std::string &name = "mix.m3u", bool numbers = false, bool skipUnchanged = false,
            bool writePlayList = false) {
    std::string content;
    for (const auto &track : tracks)
      content += track + "\r\n";
    scratch.Write("Lists\\" + name, testing::ShiftJisBytes(content));
    TPlayList list(platform, scratch / ("Lists\\" + name));
    list.Load();
    RecordingProgress progress(journal);
    list.CopyTracks(progress, destination, addMode, reverse, numbers, skipUnchanged, writePlayList);
  }

  std::string CopyError(const Names &tracks, const std::string &destination) {
    try {
      Copy(tracks, destination);
    } catch (const ESFException &error) {
      return error.what();
    }
    return "(no ESFException)";
  }

  Win32Platform platform;
  ScratchFolder scratch;
  std::vector<std::string> journal;
};

TEST_F(CopyRunOnDisk, ClearsOnlyVisibleWmaAndMp3FilesOfThoseExactExtensions) {
  scratch.Write("Player\\a.mp3", "old");
  scratch.Write("Player\\b.WMA", "old");
  scratch.Write("Player\\c.txt");
  scratch.Write("Player\\README");
  scratch.Write("Player\\d.mp3", "", FILE_ATTRIBUTE_HIDDEN);
  scratch.Write("Player\\e.mp3", "", FILE_ATTRIBUTE_READONLY);
  scratch.Write("Player\\x.mp3x");
  scratch.Write("Player\\ソ.wma");
  Copy({"..\\Music\\b.wma"}, scratch / "Player");
  EXPECT_EQ(scratch.Names("Player"), (Names{"README", "b.wma", "c.txt", "d.mp3", "e.mp3", "x.mp3x"}));
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\b.wma"), "music b");
  EXPECT_EQ(journal.back(), "Close");
  EXPECT_EQ(journal[journal.size() - 2], "Info mix.m3uより1曲をコピーしました");
}

TEST_F(CopyRunOnDisk, ATrackWrittenWithSlashesIsCopiedIntoTheDestinationAndNowhereElse) {
  scratch.Write("Dest\\Music\\a.mp3", "the user's own");
  scratch.Write("Dest\\Player\\old.mp3");
  Copy({"[playlist]", "File1=../Music/a.mp3"}, scratch / "Dest\\Player", false, false, "mix.pls");
  EXPECT_EQ(scratch.Names("Dest\\Player"), Names{"a.mp3"});
  EXPECT_EQ(ReadWholeFile(scratch / "Dest\\Player\\a.mp3"), "music a");
  EXPECT_EQ(ReadWholeFile(scratch / "Dest\\Music\\a.mp3"), "the user's own");
}

// Sets the file's last write `seconds` later than it is.
void ShiftLastWrite(const std::string &path, int seconds) {
  const KernelHandle file(
      CreateFileW(SystemPath(path).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  FILETIME time;
  GetFileTime(file.get(), nullptr, nullptr, &time);
  ULARGE_INTEGER value{{time.dwLowDateTime, time.dwHighDateTime}};
  value.QuadPart += static_cast<std::int64_t>(seconds) * 10'000'000;
  time = {value.LowPart, value.HighPart};
  SetFileTime(file.get(), nullptr, nullptr, &time);
}

TEST_F(CopyRunOnDisk, AReSyncLeavesCopiesOfTheSameSizeAndTimeAndRenamesNumberedOnes) {
  scratch.Write("Music\\c.mp3", "music c");
  const Names tracks = {"..\\Music\\a.mp3", "..\\Music\\b.wma", "..\\Music\\c.mp3"};
  Copy(tracks, scratch / "Player", false, false, "mix.m3u", true, true);
  // Bytes changed behind the same size and time show that a copy was left as it was.
  const auto sameSize = [&](const std::string &name, const std::string &content) {
    const std::string path = scratch / ("Player\\" + name);
    const auto before = platform.QueryFile(path);
    testing::WriteWholeFile(path, content);
    ShiftLastWrite(path, static_cast<int>((static_cast<std::int64_t>(before.lastWrite) -
                                           static_cast<std::int64_t>(platform.QueryFile(path).lastWrite)) /
                                          10'000'000));
  };
  sameSize("001 a.mp3", "MUSIC A");
  ShiftLastWrite(scratch / "Player\\002 b.wma", 3);
  Copy({tracks[2], tracks[1], tracks[0]}, scratch / "Player", false, false, "mix.m3u", true, true);
  EXPECT_EQ(scratch.Names("Player"), (Names{"001 c.mp3", "002 b.wma", "003 a.mp3"}));
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\003 a.mp3"), "MUSIC A");
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\001 c.mp3"), "music c");
  EXPECT_EQ(journal[journal.size() - 2], "Info mix.m3uより1曲をコピーしました(2曲はコピー先と同じため省略)");
}

TEST_F(CopyRunOnDisk, AddModeTouchesNothingButTheCopies) {
  scratch.Write("Player\\a.mp3", "old");
  scratch.Write("Player\\z.mp3", "kept");
  Copy({"..\\Music\\a.mp3"}, scratch / "Player", true);
  EXPECT_EQ(scratch.Names("Player"), (Names{"a.mp3", "z.mp3"}));
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\a.mp3"), "music a");
}

TEST_F(CopyRunOnDisk, ReverseOrderLetsTheFirstOfTwoSameNamedTracksWin) {
  Copy({scratch / "Music\\a.mp3", scratch / "Other\\a.mp3"}, scratch / "Player", false, true);
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\a.mp3"), "music a");
  Copy({scratch / "Music\\a.mp3", scratch / "Other\\a.mp3"}, scratch / "Player");
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\a.mp3"), "other a");
}

TEST_F(CopyRunOnDisk, AMissingTrackLeavesAFullDestinationAsItWas) {
  scratch.Write("Player\\a.mp3", "old a");
  scratch.Write("Player\\ソ.wma", "old so");
  EXPECT_EQ(CopyError({"..\\Music\\a.mp3", "..\\Music\\gone.mp3", "..\\Music\\b.wma"}, scratch / "Player"),
            "ファイル..\\Music\\gone.mp3が存在しません");
  EXPECT_EQ(scratch.Names("Player"), (Names{"a.mp3", "ソ.wma"}));
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\a.mp3"), "old a");
}

// A folder that the Unix side made reachable under a second name, through a symbolic link.
TEST_F(CopyRunOnDisk, NeverDeletesATrackReachedThroughALinkedFolder) {
  const char *linked = std::getenv("SONGFERRY_LINKED_FOLDER");
  const char *link = std::getenv("SONGFERRY_LINK");
  if (!linked || !link)
    GTEST_SKIP() << "run through with-unix-fixtures.sh to have a linked folder";
  const std::string player = linked;
  ASSERT_TRUE(CopyFileW(Widen(scratch / "Music\\b.wma").c_str(), Widen(player + "\\only.wma").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(Widen(scratch / "Other\\a.mp3").c_str(), Widen(player + "\\old.mp3").c_str(), FALSE));
  Copy({std::string(link) + "\\only.wma", "..\\Music\\a.mp3"}, player);
  const auto names = [&] {
    Names found;
    for (const auto &name : platform.ListFiles(player + "\\*"))
      found.push_back(name);
    std::sort(found.begin(), found.end());
    return found;
  }();
  EXPECT_EQ(names, (Names{"a.mp3", "only.wma"}));
  EXPECT_EQ(ReadWholeFile(player + "\\only.wma"), "music b");
  EXPECT_EQ(journal[journal.size() - 2], "Info mix.m3uより2曲をコピーしました");
  for (const auto &name : names)
    DeleteFileW(Widen(player + "\\" + name).c_str());
}

// A file system of 4 MiB that the Unix side mounted, as a small player would be.
TEST_F(CopyRunOnDisk, RefusesTracksThatDoNotFitBeforeDeletingAnything) {
  const char *small = std::getenv("SONGFERRY_SMALL_FOLDER");
  if (!small)
    GTEST_SKIP() << "no small file system: mounting needs root and with-unix-fixtures.sh";
  const std::string player = small;
  const auto write = [](const std::string &path, std::size_t bytes) {
    std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
  };
  write(scratch / "Music\\big.mp3", 5 << 20);
  write(scratch / "Music\\fits.mp3", 3 << 20);
  write(player + "\\old.mp3", 1 << 20);
  EXPECT_EQ(CopyError({"..\\Music\\big.mp3"}, player), "コピー先の空き容量が足りません(必要5.0MB、空き4.0MB)");
  EXPECT_EQ(platform.ListFiles(player + "\\*"), Names{"old.mp3"});
  Copy({"..\\Music\\fits.mp3"}, player);
  EXPECT_EQ(platform.ListFiles(player + "\\*"), Names{"fits.mp3"});
  DeleteFileW(Widen(player + "\\fits.mp3").c_str());
}

TEST_F(CopyRunOnDisk, AMissingDestinationFailsAtTheFirstCopy) {
  EXPECT_EQ(CopyError({"..\\Music\\a.mp3"}, scratch / "NoSuchFolder"),
            "ファイル..\\Music\\a.mp3のコピーに失敗しました");
}

TEST_F(CopyRunOnDisk, AFailedCopyOverAnOlderFileIsReported) {
  scratch.Write("Player\\a.mp3", "old");
  // Held open without sharing, the old copy cannot be replaced.
  HANDLE held =
      CreateFileW(Widen(scratch / "Player\\a.mp3").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const auto message = CopyError({"..\\Music\\a.mp3"}, scratch / "Player");
  CloseHandle(held);
  EXPECT_EQ(message, "ファイル..\\Music\\a.mp3のコピーに失敗しました");
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\a.mp3"), "old");
}

TEST_F(CopyRunOnDisk, RefusesAHiddenOrReadOnlyNamesakeBeforeDeletingAnything) {
  scratch.Write("Player\\old.wma", "old");
  for (const DWORD attributes : {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_READONLY}) {
    scratch.Write("Player\\ソ表.mp3", "kept", attributes);
    scratch.Write("Music\\ソ表.mp3", "music");
    EXPECT_EQ(CopyError({"..\\Music\\a.mp3", "..\\Music\\ソ表.mp3"}, scratch / "Player"),
              "コピー先のファイル" + scratch / "Player\\ソ表.mp3" +
                  "は読み取り専用・隠し・システムのいずれかの属性があるため上書きできません");
    EXPECT_EQ(scratch.Names("Player"), (Names{"old.wma", "ソ表.mp3"}));
    SetFileAttributesW(Widen(scratch / "Player\\ソ表.mp3").c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

TEST_F(CopyRunOnDisk, AReadOnlySourceBecomesAPlainCopyThatTheNextRunReplaces) {
  scratch.Write("Music\\ro.mp3", "first", FILE_ATTRIBUTE_READONLY);
  Copy({"..\\Music\\ro.mp3"}, scratch / "Player");
  EXPECT_EQ(GetFileAttributesW(Widen(scratch / "Player\\ro.mp3").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  SetFileAttributesW(Widen(scratch / "Music\\ro.mp3").c_str(), FILE_ATTRIBUTE_NORMAL);
  scratch.Write("Music\\ro.mp3", "second");
  Copy({"..\\Music\\ro.mp3"}, scratch / "Player", true);
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\ro.mp3"), "second");
}

TEST_F(CopyRunOnDisk, HandlesShiftJisNamesWithA5CSecondByte) {
  scratch.Write("表\\ソ.mp3", "music so");
  scratch.Write("Player\\表.mp3", "old");
  Copy({"..\\表\\ソ.mp3"}, scratch / "Player", false, false, "表.m3u");
  EXPECT_EQ(scratch.Names("Player"), Names{"ソ.mp3"});
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\ソ.mp3"), "music so");
  EXPECT_EQ(journal.back(), "Close");
  EXPECT_EQ(journal[journal.size() - 2], "Info 表.m3uより1曲をコピーしました");
}

// What a run leaves when it is killed while it replaces "表.mp3": the old file held aside, the new one
// half written, a placeholder, and the record of all of it.
TEST_F(CopyRunOnDisk, TheNextRunUndoesWhatAKilledRunLeftBeforeItCopies) {
  using Kind = RecordedStep::Kind;
  const std::string holding = "~Songferry holding", plug = "~sfplug 99998xx";
  scratch.Write("Player\\" + holding + "\\表.mp3", "old");
  SetFileAttributesW(Widen(scratch / ("Player\\" + holding)).c_str(), FILE_ATTRIBUTE_HIDDEN);
  scratch.Write("Player\\表.mp3", "par");
  scratch.Write("Player\\" + plug);
  RecordedStep hold = Announced(Kind::Hold, "表.mp3"), entry = Announced(Kind::Entry, "表.mp3");
  hold.folder = holding;
  hold.held = "表.mp3";
  // The half written file holds the first bytes of its track, and nothing else.
  scratch.Write("Music\\表.mp3", "part of a track");
  entry.track = scratch / "Music\\表.mp3";
  entry.trackSize = 15;
  scratch.Write("Player\\~Songferry run record.txt",
                RecordText({Announced(Kind::Folder, holding), Announced(Kind::Plug, plug), hold, entry}, true),
                FILE_ATTRIBUTE_HIDDEN);
  scratch.Write("Music\\b.mp3", "music b");
  Copy({"..\\Music\\b.mp3"}, scratch / "Player", true);
  EXPECT_EQ(journal[journal.size() - 2], "Info mix.m3uより1曲をコピーしました");
  EXPECT_EQ(scratch.Names("Player"), (Names{"b.mp3", "表.mp3"}));
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\表.mp3"), "old");
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\b.mp3"), "music b");
}

// A crafted record, as a shared card or an unpacked music pack may bring, that names files beside
// the destination: the run refuses it before it changes anything, there or beside it.
TEST_F(CopyRunOnDisk, ARecordThatNamesAnythingOutsideTheDestinationIsRefusedAndNothingIsTouched) {
  scratch.Write("precious.txt", "precious");
  scratch.Write("Docs\\thesis.doc", "thesis");
  scratch.Write("Player\\old.mp3", "old");
  CreateDirectoryW(Widen(scratch / "EmptyButMine").c_str(), nullptr);
  const std::string record = "Player\\~Songferry run record.txt";
  scratch.Write(record,
                "Songferry run record 1\nentry\t..\\precious.txt\nhold\tthesis.mp3\t..\tDocs\\thesis.doc\t\n"
                "folder\t..\\EmptyButMine\n",
                FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(CopyError({"..\\Music\\a.mp3"}, scratch / "Player"),
            "コピー先の記録ファイル" + scratch / record +
                "はSongferryが読める記録ではないため、何も変更せずに中止しました");
  EXPECT_EQ(ReadWholeFile(scratch / "precious.txt"), "precious");
  EXPECT_EQ(ReadWholeFile(scratch / "Docs\\thesis.doc"), "thesis");
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\old.mp3"), "old");
  EXPECT_NE(GetFileAttributesW(Widen(scratch / "EmptyButMine").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(scratch.Names("Player"), (Names{"old.mp3", "~Songferry run record.txt"}));
}

// Another instance of the program working in the destination keeps its record open: this run refuses
// and undoes nothing of it; once that run is gone, its record is a stopped run's like any other.
TEST_F(CopyRunOnDisk, ARunWorkingInAnotherProcessIsRefusedAndItsRecordLeftAlone) {
  const std::string record = scratch / "Player\\~Songferry run record.txt";
  wchar_t holder[MAX_PATH];
  GetModuleFileNameW(nullptr, holder, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(holder);
  command.replace(command.find_last_of(L'\\') + 1, std::wstring::npos, L"songferry_record_holder.exe\" \"");
  command += Widen(record) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(
      CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  const KernelHandle ownProcess(process.hProcess), thread(process.hThread);
  for (int waited = 0; waited < 200 && !platform.OpenForWriting(record).inUse; ++waited)
    Sleep(50);
  scratch.Write("Player\\old.mp3", "old");

  EXPECT_EQ(CopyError({"..\\Music\\a.mp3"}, scratch / "Player"),
            "コピー先" + scratch / "Player" + "には、ほかのSongferryがコピーしているところです");
  EXPECT_EQ(scratch.Names("Player"), (Names{"old.mp3", "~Songferry run record.txt"}));

  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 10'000);
  Copy({"..\\Music\\a.mp3"}, scratch / "Player");
  EXPECT_EQ(journal[journal.size() - 2], "Info mix.m3uより1曲をコピーしました");
  EXPECT_EQ(scratch.Names("Player"), Names{"a.mp3"});
}

// Outside a FAT drive no step is placed, so whatever bears the program's names is the user's.
TEST_F(CopyRunOnDisk, LeavesFilesOfTheUsersThatBearTheProgramsNames) {
  const Names own{"~SFP2024.PLG", "~Songferry run record.txt", "~sfplug notes.txt"};
  for (const auto &name : own)
    scratch.Write("Player\\" + name, "notes in " + name);
  scratch.Write("Player\\~Songferry holding\\precious.mp3", "precious");
  scratch.Write("Player\\old.mp3", "old");
  Copy({"..\\Music\\a.mp3", "..\\Music\\b.wma"}, scratch / "Player");
  EXPECT_EQ(journal[journal.size() - 2], "Info mix.m3uより2曲をコピーしました");
  EXPECT_EQ(scratch.Names("Player"), (Names{"a.mp3", "b.wma", own[0], "~Songferry holding", own[1], own[2]}));
  for (const auto &name : own)
    EXPECT_EQ(ReadWholeFile(scratch / ("Player\\" + name)), "notes in " + name);
  EXPECT_EQ(scratch.Names("Player\\~Songferry holding"), Names{"precious.mp3"});
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\~Songferry holding\\precious.mp3"), "precious");
}

// The playlist file written beside the copies is one the program itself reads back and copies from,
// in the same order.
TEST_F(CopyRunOnDisk, ThePlayListFileItWritesIsAPlayListItReadsInTheSameOrder) {
  scratch.Write("Music\\表 #2.mp3", "music 表");
  Copy({"..\\Music\\b.wma", "..\\Music\\表 #2.mp3", "..\\Music\\a.mp3"}, scratch / "Player", false, true, "mix.m3u",
       true, false, true);
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\mix.m3u8").substr(0, 9), "#EXTM3U\r\n");
  scratch.MakeFolder("Again");
  TPlayList written(platform, scratch / "Player\\mix.m3u8");
  written.Load();
  ASSERT_EQ(written.Count(), 3);
  EXPECT_EQ(written.TrackPath(0), "001 a.mp3");
  EXPECT_EQ(written.TrackPath(1), "002 表 #2.mp3");
  EXPECT_EQ(written.TrackPath(2), "003 b.wma");
  RecordingProgress progress(journal);
  written.CopyTracks(progress, scratch / "Again", false, false);
  EXPECT_EQ(ReadWholeFile(scratch / "Again\\002 表 #2.mp3"), "music 表");
  EXPECT_EQ(journal.back(), "Close");
}

TEST_F(CopyRunOnDisk, ARelativeDestinationNamesOneFolderForClearingAndCopying) {
  scratch.Write("Lists\\Out\\old.mp3");
  scratch.Write("Out\\elsewhere.mp3");
  Copy({"..\\Music\\a.mp3"}, "Out");
  EXPECT_EQ(scratch.Names("Lists\\Out"), Names{"a.mp3"});
  EXPECT_EQ(scratch.Names("Out"), Names{"elsewhere.mp3"});
}

TEST_F(CopyRunOnDisk, NeverDeletesOrCopiesOverItsOwnTracks) {
  scratch.Write("Player\\old.mp3");
  scratch.Write("Player\\mine.mp3", "mine");
  Copy({"..\\Player\\MINE.mp3", "..\\Music\\a.mp3"}, scratch / "Player");
  EXPECT_EQ(scratch.Names("Player"), (Names{"a.mp3", "mine.mp3"}));
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\mine.mp3"), "mine");
  EXPECT_EQ(journal[journal.size() - 2], "Info mix.m3uより2曲をコピーしました");
  scratch.Write("Music\\mine.mp3", "another");
  EXPECT_EQ(CopyError({"..\\Music\\mine.mp3", "..\\Player\\MINE.mp3"}, scratch / "Player\\"),
            "ファイル..\\Music\\mine.mp3はコピー先にある曲" + scratch / "Player\\mine.mp3" +
                "と同じ名前のためコピーできません");
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\mine.mp3"), "mine");
}

TEST_F(CopyRunOnDisk, AMissingPlayListFolderStopsTheRunBeforeAnyDeletion) {
  scratch.Write("Player\\old.mp3");
  scratch.Write("Deeper\\Lists\\mix.m3u", "..\\Music\\a.mp3\r\n");
  TPlayList list(platform, scratch / "Deeper\\Lists\\mix.m3u");
  list.Load();
  // The playlist's folder goes once the list is read.
  ASSERT_TRUE(MoveFileW(Widen(scratch / "Deeper").c_str(), Widen(scratch / "Gone").c_str()));
  RecordingProgress progress(journal);
  try {
    list.CopyTracks(progress, scratch / "Player", false, false);
    FAIL() << "the track is not there";
  } catch (const ESFException &error) {
    EXPECT_STREQ(error.what(), "ファイル..\\Music\\a.mp3が存在しません");
  }
  EXPECT_EQ(scratch.Names("Player"), Names{"old.mp3"});
}

TEST_F(CopyRunOnDisk, CopiesAlongPathsBeyond260CharactersInTheSystemsLongForm) {
  const std::string deep = "Deep\\" + std::string(120, 'd') + "\\" + std::string(120, 'e');
  const std::string track = std::string(30, 't') + ".mp3";
  scratch.Write(deep + "\\Music\\" + track, "long");
  scratch.Write(deep + "\\Player\\old.mp3");
  scratch.Write(deep + "\\Lists\\mix.m3u", "..\\Music\\" + track + "\r\n");
  ASSERT_GE((scratch / deep).size() + 40, 300u);
  RecordingProgress progress(journal);
  {
    const SystemPathRecorder recorder;
    TPlayList list(platform, scratch / (deep + "\\Lists\\mix.m3u"));
    list.Load();
    list.CopyTracks(progress, "..\\Player", false, false);
  }
  EXPECT_EQ(scratch.Names(deep + "\\Player"), Names{track});
  int longOnes = 0;
  for (const auto &path : recordedPaths) {
    if (path.size() >= MAX_PATH) {
      ++longOnes;
      EXPECT_EQ(path.rfind(L"\\\\?\\", 0), 0u) << Narrow(path);
    }
    EXPECT_EQ(path.find(L"\\..\\"), std::wstring::npos) << Narrow(path) << " is not full";
  }
  EXPECT_GE(longOnes, 6) << "the playlist, the clearing, the checks and the copy";
}

TEST_F(CopyRunOnDisk, CopiesPlayListsOfCurrentPlayersWithNamesBeyondShiftJis) {
  const Names names{"Beyoncé - Halo.mp3", "한국어.mp3", "🎵.wma", "表.mp3"};
  for (const auto &name : names)
    scratch.Write("Music\\" + name, "music " + name);
  scratch.Write("Music\\#1 Hit.mp3", "hit");
  const auto labels = [&] {
    Names found;
    for (const auto &line : journal) {
      if (line.rfind("Label ", 0) == 0)
        found.push_back(line.substr(6));
    }
    journal.clear();
    return found;
  };
  const auto run = [&](const std::string &list, const std::string &bytes, bool reverse) {
    scratch.Write("Player\\old.mp3", "old");
    scratch.Write("Lists\\" + list, bytes);
    TPlayList playList(platform, scratch / ("Lists\\" + list));
    playList.Load();
    RecordingProgress progress(journal);
    playList.CopyTracks(progress, scratch / "Player", false, reverse);
  };

  const std::string m3u8 = "#EXTM3U\r\n#EXTINF:261,Beyoncé - Halo\r\n..\\Music\\Beyoncé - Halo.mp3\r\n"
                           "#EXTINF:1,x\r\n..\\Music\\한국어.mp3\r\n..\\Music\\🎵.wma\r\n..\\Music\\表.mp3\r\n";
  run("今.m3u8", m3u8, false);
  EXPECT_EQ(labels(), names);
  EXPECT_EQ(scratch.Names("Player"), (Names{"Beyoncé - Halo.mp3", "表.mp3", "한국어.mp3", "🎵.wma"}));
  EXPECT_EQ(ReadWholeFile(scratch / "Player\\🎵.wma"), "music 🎵.wma");
  run("今.m3u8", "\xEF\xBB\xBF" + m3u8, true);
  EXPECT_EQ(labels(), (Names{"表.mp3", "🎵.wma", "한국어.mp3", "Beyoncé - Halo.mp3"}));

  // An extended ".m3u" in Shift-JIS: the directives go, a track named with "#" stays.
  run("ext.m3u", testing::ShiftJisBytes("#EXTM3U\r\n#EXTINF:1,表\r\n..\\Music\\#1 Hit.mp3\r\n..\\Music\\表.mp3\r\n"),
      false);
  EXPECT_EQ(labels(), (Names{"#1 Hit.mp3", "表.mp3"}));
  EXPECT_EQ(scratch.Names("Player"), (Names{"#1 Hit.mp3", "表.mp3"}));
  // An ".m3u" that starts with a byte-order mark is UTF-8.
  run("bom.m3u", "\xEF\xBB\xBF..\\Music\\한국어.mp3\r\n", false);
  EXPECT_EQ(scratch.Names("Player"), Names{"한국어.mp3"});
}

} // namespace
} // namespace sf
