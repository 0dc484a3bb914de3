// Measures what the copy run costs over the system's own copying: a playlist of generated tracks
// is copied with CopyTracks and with a bare loop of CopyFileA, several times each, interleaved.
// Both start from an empty destination, emptied outside the timing, so that the difference is the
// run's own work (listing the destination, existence checks, progress) and not the system's cost
// of deleting or overwriting earlier copies. Single runs vary with the machine's memory and disk;
// the time the run spends outside CopyFileA is also measured inside each run, free of that noise.
//
//   songferry_copy_bench FOLDER [RUNS]
//
// FOLDER holds Lists\bench.m3u and the tracks it names; the copies go to FOLDER\ByRun and
// FOLDER\ByLoop, which are created when missing.
//
//   songferry_copy_bench FOLDER RUNS --resync
//
// Where a run's time goes with the setting that leaves unchanged tracks (skipUnchanged): the
// playlist is copied into FOLDER\Resynced when it is empty (the full run), when it holds the last
// run's copies (unchanged), and when three of those are a day older than their tracks (3 replaced),
// in a rotating order, after a first round that is not counted. For each of the three, a table of
// medians over the rounds: for every kind of the system's calls and of the progress window's, the
// calls and the milliseconds per run and their share of the run's median.
#include "CallTimingPlatform.h"
#include "Measuring.h"
#include "platform/win32/Win32Platform.h"
#include "playlist/SFPlayList.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using sf::bench::Now;

double SecondsOf(auto &&work) {
  const double start = Now();
  work();
  return Now() - start;
}

double Median(std::vector<double> values) { return sf::bench::Quantile(std::move(values), 0.5); }

using sf::bench::CallTallies;
using sf::bench::CallTally;
using sf::bench::CallTimingPlatform;
using sf::bench::PlatformCall;

// The progress window's calls, one kind per member function.
enum class ProgressCall : std::size_t {
  SetMaximum,
  Show,
  SetFileLabel,
  SetPosition,
  Repaint,
  Close,
  KeepResponsive,
  ShowInfo,
  CancelRequested,
  SetStage,
};
constexpr std::size_t kProgressCalls = static_cast<std::size_t>(ProgressCall::SetStage) + 1;
constexpr std::array<std::string_view, kProgressCalls> kProgressCallNames = {
    "SetMaximum", "Show",           "SetFileLabel", "SetPosition",     "Repaint",
    "Close",      "KeepResponsive", "ShowInfo",     "CancelRequested", "SetStage"};

// Shows nothing, and tallies what the run asks of it: apart, what it asks while one of the system's
// calls is under way (during a copy), as that time counts in the call's too.
class SilentProgress final : public sf::TCopyProgress {
public:
  explicit SilentProgress(const CallTimingPlatform &platform) : platform_(platform) {}

  void SetMaximum(std::int32_t) override { Count(ProgressCall::SetMaximum); }
  void SetStage(sf::RunStage) override { Count(ProgressCall::SetStage); }
  void Show() override { Count(ProgressCall::Show); }
  void SetFileLabel(const std::string &) override { Count(ProgressCall::SetFileLabel); }
  void SetPosition(std::int32_t) override { Count(ProgressCall::SetPosition); }
  void Repaint() override { Count(ProgressCall::Repaint); }
  void Close() override { Count(ProgressCall::Close); }
  void KeepResponsive() override { Count(ProgressCall::KeepResponsive); }
  void ShowInfo(const std::string &) override { Count(ProgressCall::ShowInfo); }
  bool CancelRequested() const override {
    Count(ProgressCall::CancelRequested);
    return false;
  }

  const CallTally &Tally(ProgressCall kind, bool withinCall) const {
    return tallies_[static_cast<std::size_t>(kind) + (withinCall ? kProgressCalls : 0)];
  }
  void ClearTallies() { tallies_.Clear(); }

private:
  void Count(ProgressCall kind) const {
    tallies_.Time(static_cast<std::size_t>(kind) + (platform_.Busy() ? kProgressCalls : 0), [] {});
  }

  const CallTimingPlatform &platform_;
  mutable CallTallies<2 * kProgressCalls> tallies_;
};

void Empty(sf::Platform &platform, const std::string &folder) {
  for (const auto &name : platform.ListFiles(folder + "\\*"))
    platform.RemoveFile(folder + "\\" + name);
}

// One run's time, and its calls: the system's by PlatformCall, then the progress window's by
// ProgressCall, outside the system's calls and then within them.
struct RunProfile {
  double seconds;
  std::vector<CallTally> calls;
};

RunProfile ProfileOf(double seconds, const CallTimingPlatform &platform, const SilentProgress &progress) {
  RunProfile profile{seconds, {}};
  for (std::size_t kind = 0; kind < sf::bench::kPlatformCalls; ++kind)
    profile.calls.push_back(platform.Tally(static_cast<PlatformCall>(kind)));
  for (const bool withinCall : {false, true}) {
    for (std::size_t kind = 0; kind < kProgressCalls; ++kind)
      profile.calls.push_back(progress.Tally(static_cast<ProgressCall>(kind), withinCall));
  }
  return profile;
}

// Whether the calls of this place in RunProfile::calls are made within others, and timed there too.
bool WithinCall(std::size_t kind) { return kind >= sf::bench::kPlatformCalls + kProgressCalls; }

std::string CallName(std::size_t kind) {
  if (kind < sf::bench::kPlatformCalls)
    return std::string(sf::bench::kPlatformCallNames[kind]);
  return "progress " + std::string(kProgressCallNames[(kind - sf::bench::kPlatformCalls) % kProgressCalls]) +
         (WithinCall(kind) ? " (in a call)" : "");
}

// The medians over `runs`, per kind of call that any run made, the longest first; then the time
// outside every call (the run's own code, and the clock around the calls). Calls made within
// others count in both rows' shares.
void PrintProfile(const char *label, const std::vector<RunProfile> &runs) {
  std::vector<double> runSeconds, outside;
  for (const auto &run : runs) {
    runSeconds.push_back(run.seconds);
    double left = run.seconds;
    for (std::size_t kind = 0; kind < run.calls.size(); ++kind)
      left -= WithinCall(kind) ? 0 : run.calls[kind].seconds;
    outside.push_back(left);
  }
  const double whole = Median(runSeconds);
  struct Row {
    std::string name;
    double calls, seconds;
  };
  std::vector<Row> rows;
  for (std::size_t kind = 0; kind < runs.front().calls.size(); ++kind) {
    std::vector<double> calls, seconds;
    for (const auto &run : runs) {
      calls.push_back(static_cast<double>(run.calls[kind].calls));
      seconds.push_back(run.calls[kind].seconds);
    }
    if (*std::max_element(calls.begin(), calls.end()) > 0)
      rows.push_back({CallName(kind), Median(calls), Median(seconds)});
  }
  std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) { return a.seconds > b.seconds; });
  std::printf("%s: median %.3f ms (quartiles %.3f to %.3f) over %zu runs\n", label, whole * 1000,
              sf::bench::Quantile(runSeconds, 0.25) * 1000, sf::bench::Quantile(runSeconds, 0.75) * 1000, runs.size());
  std::printf("  %-38s %10s %10s %7s\n", "call", "calls/run", "ms/run", "share");
  for (const auto &row : rows)
    std::printf("  %-38s %10.1f %10.3f %6.2f%%\n", row.name.c_str(), row.calls, row.seconds * 1000,
                100 * row.seconds / whole);
  std::printf("  %-38s %10s %10.3f %6.2f%%\n", "outside the calls", "", Median(outside) * 1000,
              100 * Median(outside) / whole);
}

// Re-syncs into FOLDER\Resynced: see the top of this file.
void ProfileResyncs(CallTimingPlatform &platform, sf::TPlayList &list, const std::string &folder, int runs) {
  const std::string resynced = folder + "\\Resynced";
  CreateDirectoryA(resynced.c_str(), nullptr);
  enum Kind { kFull, kUnchanged, kReplaced, kKinds };
  const char *const labels[kKinds] = {"full run", "unchanged", "3 replaced"};
  constexpr std::size_t kReplacedTracks = 3;
  SilentProgress progress(platform);
  std::vector<RunProfile> profiles[kKinds];
  // Every run leaves the destination whole: the kinds that need it may follow any other.
  for (int round = 0; round <= runs; ++round) {
    std::printf("round %2d:", round);
    for (int turn = 0; turn < kKinds; ++turn) {
      const int kind = (round + turn) % kKinds;
      if (kind == kFull)
        Empty(platform, resynced);
      if (kind == kReplaced)
        sf::bench::MakeOlder(resynced, kReplacedTracks);
      platform.ClearTallies();
      progress.ClearTallies();
      const double seconds = SecondsOf([&] { list.CopyTracks(progress, resynced, false, false, false, true); });
      std::printf(" %s %.3f s (%lld copied)", labels[kind], seconds,
                  static_cast<long long>(platform.Tally(PlatformCall::CopyFileOver).calls));
      if (round > 0)
        profiles[kind].push_back(ProfileOf(seconds, platform, progress));
    }
    std::printf("%s\n", round == 0 ? " (warm-up)" : "");
    std::fflush(stdout);
  }
  Empty(platform, resynced);
  std::printf("tracks: %d, re-syncs with unchanged tracks left, %d rotating rounds\n", list.Count(), runs);
  for (int kind = 0; kind < kKinds; ++kind)
    PrintProfile(labels[kind], profiles[kind]);
}

} // namespace

int main(int argc, char **argv) {
  const bool resync = argc == 4 && std::strcmp(argv[3], "--resync") == 0;
  if (argc < 2 || (argc > 3 && !resync)) {
    std::fprintf(stderr,
                 "usage: songferry_copy_bench FOLDER [RUNS]\n       songferry_copy_bench FOLDER RUNS --resync\n");
    return 2;
  }
  const std::string folder = argv[1];
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 31;
  sf::Win32Platform system;
  CallTimingPlatform platform(system);
  try {
    sf::TPlayList list(platform, folder + "\\Lists\\bench.m3u");
    list.Load();
    if (resync) {
      ProfileResyncs(platform, list, folder, runs);
      return 0;
    }
    const std::string byRun = folder + "\\ByRun";
    const std::string byLoop = folder + "\\ByLoop";
    CreateDirectoryA(byRun.c_str(), nullptr);
    CreateDirectoryA(byLoop.c_str(), nullptr);
    std::vector<std::string> sources;
    for (std::int32_t i = 0; i < list.Count(); ++i)
      sources.push_back(platform.FullPath(folder + "\\Lists\\" + list.TrackPath(i)));

    SilentProgress progress(platform);
    std::vector<double> runTimes, loopTimes, ownWork;
    const auto timeRun = [&] {
      Empty(platform, byRun);
      platform.ClearTallies();
      const double seconds = SecondsOf([&] { list.CopyTracks(progress, byRun, false, false); });
      ownWork.push_back(seconds - platform.Tally(PlatformCall::CopyFileOver).seconds);
      return seconds;
    };
    const auto timeLoop = [&] {
      Empty(platform, byLoop);
      return SecondsOf([&] {
        for (const auto &source : sources) {
          const auto target = byLoop + "\\" + source.substr(source.rfind('\\') + 1);
          if (!CopyFileA(source.c_str(), target.c_str(), FALSE))
            throw std::runtime_error("CopyFileA failed for " + source);
        }
      });
    };

    // The first round warms the caches and is not counted; the order alternates so that neither
    // side always runs right after the other's writes.
    for (int round = 0; round <= runs; ++round) {
      const bool runFirst = round % 2 == 0;
      const double first = runFirst ? timeRun() : timeLoop();
      const double second = runFirst ? timeLoop() : timeRun();
      const double run = runFirst ? first : second, loop = runFirst ? second : first;
      std::printf("round %2d: CopyTracks %.3f s, CopyFileA loop %.3f s%s\n", round, run, loop,
                  round == 0 ? " (warm-up)" : "");
      if (round == 0) {
        ownWork.clear();
      } else {
        runTimes.push_back(run);
        loopTimes.push_back(loop);
      }
    }
    const double run = Median(runTimes), loop = Median(loopTimes);
    std::printf("tracks: %d, runs: %d each, interleaved\n", list.Count(), runs);
    std::printf("CopyTracks median: %.3f s\n", run);
    std::printf("CopyFileA loop median: %.3f s\n", loop);
    std::printf("ratio of medians: %.3f\n", run / loop);
    // The fastest runs are the ones the machine disturbed least: steadier than medians on a busy host.
    const double runFastest = *std::min_element(runTimes.begin(), runTimes.end());
    const double loopFastest = *std::min_element(loopTimes.begin(), loopTimes.end());
    std::printf("fastest: CopyTracks %.3f s, CopyFileA loop %.3f s, ratio %.3f\n", runFastest, loopFastest,
                runFastest / loopFastest);
    std::printf("CopyTracks outside CopyFileA, median: %.2f ms (%.2f%% of the loop median)\n", Median(ownWork) * 1000,
                100 * Median(ownWork) / loop);
  } catch (const std::exception &error) {
    std::fprintf(stderr, "failed: %s\n", error.what());
    return 1;
  }
  return 0;
}
