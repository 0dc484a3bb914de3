// Measures Songferry from the outside, as a user would see it, against the least a program must do:
//
//   songferry_bench_driver copy SONGFERRY.EXE BARE-COPY.EXE DATA ROUNDS
//     The copy run, from the click on Copy to the information box seen. Songferry is started with
//     DATA\Lists\bench.m3u (its settings file, beside it, sends the copies to DATA\BySongferry and
//     keeps it running after a run); the bare program copies DATA\Music\*.mp3 to DATA\ByBare with
//     CopyFileA and shows the same kind of box. Both stay open for all rounds, so that their window
//     systems are warm; a first round is not counted.
//   songferry_bench_driver start SONGFERRY.EXE BARE-WINDOW.EXE ROUNDS
//     Start-up: from process creation to the main window visible and enabled, against a program
//     that shows a bare window.
//   songferry_bench_driver resync SONGFERRY.EXE DATA ROUNDS
//     Re-syncs, against the full run: Songferry, whose settings file leaves unchanged tracks in
//     DATA\Resynced, copies DATA\Lists\bench.m3u there when it is empty (the full run), when it
//     holds the last run's copies (unchanged), and when three of those are a day older than their
//     tracks, as after three tracks were replaced; the three kinds take turns in a rotating order.
//     Beside each time, the bytes the run wrote: the sizes of the files it made or changed.
//
// The sides alternate in order, round by round. Each time is read by polling every millisecond,
// the same way for both sides. Both destinations are emptied before every round, outside the timing.
#include "Measuring.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using sf::bench::FileNames;
using sf::bench::FileOwner;
using sf::bench::MakeOlder;
using sf::bench::Now;
using sf::bench::OpenFile;
using sf::bench::Quantile;

// A visible top-level window of `process` with this class (and caption, unless null).
HWND FindWindowOf(DWORD process, const wchar_t *className, const wchar_t *caption = nullptr) {
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, className, caption)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == process && IsWindowVisible(window))
      return window;
  }
  return nullptr;
}

template <typename Condition> bool WaitFor(Condition condition, double seconds = 120) {
  const double end = Now() + seconds;
  while (!condition()) {
    if (Now() > end)
      return false;
    Sleep(1);
  }
  return true;
}

struct Program {
  PROCESS_INFORMATION process{};
  HWND main = nullptr;
};

Program Start(const std::string &commandLine) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  Program program;
  // Wine now and then refuses a start while the previous program is still going away: try again.
  for (int attempt = 0; attempt < 5; ++attempt, Sleep(100)) {
    std::string line = commandLine;
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &program.process))
      return program;
  }
  std::fprintf(stderr, "cannot start %s (error %lu)\n", commandLine.c_str(), GetLastError());
  std::exit(1);
}

void Stop(Program &program) {
  PostMessageA(program.main, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(program.process.hProcess, 20000) != WAIT_OBJECT_0)
    TerminateProcess(program.process.hProcess, 1);
  CloseHandle(program.process.hThread);
  CloseHandle(program.process.hProcess);
}

// Starts the program and waits for its main window to be visible and enabled; returns the time.
double TimeStart(const std::string &commandLine, const wchar_t *mainClass) {
  const double start = Now();
  Program program = Start(commandLine);
  const bool shown = WaitFor([&] {
    program.main = FindWindowOf(program.process.dwProcessId, mainClass);
    return program.main && IsWindowEnabled(program.main);
  });
  const double seconds = Now() - start;
  if (!shown) {
    std::fprintf(stderr, "%s showed no window\n", commandLine.c_str());
    std::exit(1);
  }
  Stop(program);
  return seconds;
}

void EmptyFolder(const std::string &folder) {
  WIN32_FIND_DATAA entry;
  const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE)
    return;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      DeleteFileA((folder + "\\" + entry.cFileName).c_str());
  } while (FindNextFileA(search, &entry));
  FindClose(search);
}

// Clicks Copy, waits for the information box, notes the time, and answers the box.
double TimeCopy(const Program &program, const wchar_t *progressClass) {
  const DWORD id = program.process.dwProcessId;
  const double start = Now();
  PostMessageA(GetDlgItem(program.main, IDOK), BM_CLICK, 0, 0);
  HWND box = nullptr;
  const bool seen = WaitFor([&] { return (box = FindWindowOf(id, L"#32770", L"情報")) != nullptr; });
  const double seconds = Now() - start;
  if (!seen) {
    std::fprintf(stderr, "no information box\n");
    std::exit(1);
  }
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  WaitFor([&] {
    return !FindWindowOf(id, L"#32770") && IsWindowEnabled(program.main) &&
           !(progressClass && FindWindowOf(id, progressClass));
  });
  return seconds;
}

// One side's times, without the line's end.
void PrintTimes(const char *label, const std::vector<double> &times) {
  std::printf("  %-12s median %.3f s (quartiles %.3f to %.3f, fastest %.3f)", label, Quantile(times, 0.5),
              Quantile(times, 0.25), Quantile(times, 0.75), Quantile(times, 0));
}

void Report(const char *what, const char *ours, const char *bare, const std::vector<double> &songferry,
            const std::vector<double> &yardstick) {
  std::vector<double> ratios;
  for (std::size_t i = 0; i < songferry.size(); ++i)
    ratios.push_back(songferry[i] / yardstick[i]);
  const double a = Quantile(songferry, 0.5), b = Quantile(yardstick, 0.5);
  std::printf("%s, %zu interleaved rounds:\n", what, songferry.size());
  PrintTimes(ours, songferry);
  std::printf("\n");
  PrintTimes(bare, yardstick);
  std::printf("\n");
  std::printf("  ratio of medians %.3f; ratio round by round: median %.3f, quartiles %.3f to %.3f, range %.3f to "
              "%.3f\n",
              a / b, Quantile(ratios, 0.5), Quantile(ratios, 0.25), Quantile(ratios, 0.75), Quantile(ratios, 0),
              Quantile(ratios, 1));
}

int BenchCopy(const std::string &songferry, const std::string &bareCopy, const std::string &data, int rounds) {
  const std::string ours = data + "\\BySongferry", bare = data + "\\ByBare";
  CreateDirectoryA(ours.c_str(), nullptr);
  CreateDirectoryA(bare.c_str(), nullptr);
  Program program = Start("\"" + songferry + "\" \"" + data + "\\Lists\\bench.m3u\"");
  Program yardstick = Start("\"" + bareCopy + "\" \"" + data + "\\Music\" \"" + bare + "\"");
  const bool up = WaitFor([&] {
    program.main = FindWindowOf(program.process.dwProcessId, L"FrmSFMain");
    yardstick.main = FindWindowOf(yardstick.process.dwProcessId, L"BareCopy");
    return program.main && yardstick.main;
  });
  if (!up) {
    std::fprintf(stderr, "the programs did not start\n");
    return 1;
  }
  std::vector<double> songferryTimes, bareTimes;
  for (int round = 0; round <= rounds; ++round) {
    double times[2]{};
    for (int turn = 0; turn < 2; ++turn) {
      const bool songferryTurn = (turn == 0) == (round % 2 == 0);
      EmptyFolder(ours);
      EmptyFolder(bare);
      Sleep(200);
      times[songferryTurn ? 0 : 1] = songferryTurn ? TimeCopy(program, L"CopyingForm") : TimeCopy(yardstick, nullptr);
    }
    std::printf("round %2d: Songferry %.3f s, bare copy %.3f s%s\n", round, times[0], times[1],
                round == 0 ? " (warm-up)" : "");
    std::fflush(stdout);
    if (round > 0) {
      songferryTimes.push_back(times[0]);
      bareTimes.push_back(times[1]);
    }
  }
  Stop(program);
  Stop(yardstick);
  EmptyFolder(ours);
  EmptyFolder(bare);
  Report("Copy run, click on Copy to information box", "Songferry", "bare copy", songferryTimes, bareTimes);
  return 0;
}

int BenchStart(const std::string &songferry, const std::string &bareWindow, int rounds) {
  std::vector<double> songferryTimes, bareTimes;
  for (int round = 0; round <= rounds; ++round) {
    double times[2]{};
    for (int turn = 0; turn < 2; ++turn) {
      const bool songferryTurn = (turn == 0) == (round % 2 == 0);
      Sleep(100);
      times[songferryTurn ? 0 : 1] = songferryTurn ? TimeStart("\"" + songferry + "\"", L"FrmSFMain")
                                                   : TimeStart("\"" + bareWindow + "\"", L"BareWindow");
    }
    std::printf("round %2d: Songferry %.3f s, bare window %.3f s%s\n", round, times[0], times[1],
                round == 0 ? " (warm-up)" : "");
    std::fflush(stdout);
    if (round > 0) {
      songferryTimes.push_back(times[0]);
      bareTimes.push_back(times[1]);
    }
  }
  Report("Start-up, process start to main window visible and enabled", "Songferry", "bare window", songferryTimes,
         bareTimes);
  return 0;
}

// What a run's writing changes of a file: the system sets its change time on every write.
struct FileState {
  LONGLONG changed;
  ULONGLONG size;
};

// The files of `folder`, by their file index.
std::map<ULONGLONG, FileState> FolderState(const std::string &folder) {
  std::map<ULONGLONG, FileState> files;
  for (const auto &name : FileNames(folder)) {
    const FileOwner file = OpenFile(folder + "\\" + name, FILE_READ_ATTRIBUTES);
    BY_HANDLE_FILE_INFORMATION info;
    FILE_BASIC_INFO basic;
    if (file && GetFileInformationByHandle(file.get(), &info) &&
        GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic))
      files[ULONGLONG{info.nFileIndexHigh} << 32 | info.nFileIndexLow] = {
          basic.ChangeTime.QuadPart, ULONGLONG{info.nFileSizeHigh} << 32 | info.nFileSizeLow};
  }
  return files;
}

// The sizes of the files that are new in `after` or were changed since `before`.
double MibWritten(const std::map<ULONGLONG, FileState> &before, const std::map<ULONGLONG, FileState> &after) {
  ULONGLONG bytes = 0;
  for (const auto &[index, state] : after) {
    const auto earlier = before.find(index);
    if (earlier == before.end() || earlier->second.changed != state.changed)
      bytes += state.size;
  }
  return static_cast<double>(bytes) / (1 << 20);
}

int BenchResync(const std::string &songferry, const std::string &data, int rounds) {
  const std::string folder = data + "\\Resynced";
  CreateDirectoryA(folder.c_str(), nullptr);
  EmptyFolder(folder);
  Program program = Start("\"" + songferry + "\" \"" + data + "\\Lists\\bench.m3u\"");
  if (!WaitFor([&] { return (program.main = FindWindowOf(program.process.dwProcessId, L"FrmSFMain")) != nullptr; })) {
    std::fprintf(stderr, "Songferry did not start\n");
    return 1;
  }
  enum Kind { kFull, kUnchanged, kReplaced, kKinds };
  const char *const labels[kKinds] = {"full run", "unchanged", "3 replaced"};
  constexpr std::size_t kReplacedTracks = 3;
  std::vector<double> times[kKinds], mib[kKinds];
  // Every run leaves the destination whole: the kinds that need it may follow any other.
  for (int round = 0; round <= rounds; ++round) {
    std::printf("round %2d:", round);
    for (int turn = 0; turn < kKinds; ++turn) {
      const int kind = (round + turn) % kKinds;
      if (kind == kFull)
        EmptyFolder(folder);
      if (kind == kReplaced)
        MakeOlder(folder, kReplacedTracks);
      Sleep(200);
      const auto before = FolderState(folder);
      const double seconds = TimeCopy(program, L"CopyingForm");
      const double written = MibWritten(before, FolderState(folder));
      std::printf(" %s %.3f s (%.1f MiB)", labels[kind], seconds, written);
      if (round > 0) {
        times[kind].push_back(seconds);
        mib[kind].push_back(written);
      }
    }
    std::printf("%s\n", round == 0 ? " (warm-up)" : "");
    std::fflush(stdout);
  }
  Stop(program);
  EmptyFolder(folder);
  std::printf("Re-sync, click on Copy to information box, %zu interleaved rounds:\n", times[kFull].size());
  const double aims[kKinds] = {0, 0.10, 0.12}; // the most a re-sync should take of the full run
  for (int kind = 0; kind < kKinds; ++kind) {
    PrintTimes(labels[kind], times[kind]);
    std::printf(", %.1f MiB written", Quantile(mib[kind], 0.5));
    if (kind != kFull)
      std::printf("; ratio of medians to the full run %.3f (at most %.2f)",
                  Quantile(times[kind], 0.5) / Quantile(times[kFull], 0.5), aims[kind]);
    std::printf("\n");
  }
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "copy" && argc == 6)
    return BenchCopy(argv[2], argv[3], argv[4], std::max(1, std::atoi(argv[5])));
  if (mode == "start" && argc == 5)
    return BenchStart(argv[2], argv[3], std::max(1, std::atoi(argv[4])));
  if (mode == "resync" && argc == 5)
    return BenchResync(argv[2], argv[3], std::max(1, std::atoi(argv[4])));
  std::fprintf(stderr, "usage: songferry_bench_driver copy SONGFERRY.EXE BARE-COPY.EXE DATA ROUNDS\n"
                       "       songferry_bench_driver start SONGFERRY.EXE BARE-WINDOW.EXE ROUNDS\n"
                       "       songferry_bench_driver resync SONGFERRY.EXE DATA ROUNDS\n");
  return 2;
}
