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
#include "Measuring.h"
#include "platform/win32/Win32Platform.h"
#include "playlist/SFPlayList.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using sf::bench::Now;

double SecondsOf(auto &&work) {
  const double start = Now();
  work();
  return Now() - start;
}

double Median(std::vector<double> values) { return sf::bench::Quantile(std::move(values), 0.5); }

// The Windows platform, with the time spent copying added up.
class CopyTimingPlatform final : public sf::Platform {
public:
  std::string FromShiftJis(std::string_view bytes) const override { return system_.FromShiftJis(bytes); }
  std::string UpperCase(std::string_view text) const override { return system_.UpperCase(text); }
  void ReadTextFile(const std::string &path, const ChunkConsumer &consume) override {
    system_.ReadTextFile(path, consume);
  }
  std::string ToShiftJis(std::string_view text) const override { return system_.ToShiftJis(text); }
  std::optional<std::string> ReadWholeFile(const std::string &path) override { return system_.ReadWholeFile(path); }
  bool ReplaceWholeFile(const std::string &path, std::string_view bytes) override {
    return system_.ReplaceWholeFile(path, bytes);
  }
  bool FileExists(const std::string &path) override { return system_.FileExists(path); }
  std::vector<std::string> ListFiles(const std::string &pattern) override { return system_.ListFiles(pattern); }
  std::optional<std::vector<std::string>> ListNames(const std::string &folder) override {
    return system_.ListNames(folder);
  }
  bool RemoveFile(const std::string &path) override { return system_.RemoveFile(path); }
  CopyResult CopyFileOver(const std::string &source, const std::string &target, bool makeNew,
                          const std::function<void()> &whileCopying) override {
    CopyResult copied{};
    copying += SecondsOf([&] { copied = system_.CopyFileOver(source, target, makeNew, whileCopying); });
    return copied;
  }
  FileFacts QueryFile(const std::string &path) override { return system_.QueryFile(path); }
  std::string FileIdentity(const std::string &path) override { return system_.FileIdentity(path); }
  std::optional<DiskSpace> FreeSpace(const std::string &folder) override { return system_.FreeSpace(folder); }
  std::string FullPath(const std::string &path) override { return system_.FullPath(path); }
  std::optional<std::vector<XmlElement>> ReadXmlElements(const std::string &path) override {
    return system_.ReadXmlElements(path);
  }
  std::optional<std::vector<FolderEntry>> ListEntries(const std::string &folder) override {
    return system_.ListEntries(folder);
  }
  std::string FileSystemOf(const std::string &path) override { return system_.FileSystemOf(path); }
  MakeResult MakeEmptyFile(const std::string &path) override { return system_.MakeEmptyFile(path); }
  MakeResult MakeHiddenFile(const std::string &path, std::string_view bytes) override {
    return system_.MakeHiddenFile(path, bytes);
  }
  bool AppendToFile(const std::string &path, std::string_view bytes) override { return system_.AppendToFile(path, bytes); }
  MakeResult MakeFolder(const std::string &path, bool hidden) override { return system_.MakeFolder(path, hidden); }
  MakeResult MoveEntry(const std::string &from, const std::string &to) override { return system_.MoveEntry(from, to); }
  bool RemoveFolder(const std::string &path) override { return system_.RemoveFolder(path); }

  double copying = 0;

private:
  sf::Win32Platform system_;
};

class SilentProgress final : public sf::TCopyProgress {
public:
  void SetMaximum(std::int32_t) override {}
  void Show() override {}
  void SetFileLabel(const std::string &) override {}
  void SetPosition(std::int32_t) override {}
  void Repaint() override {}
  void Close() override {}
  void KeepResponsive() override {}
  void ShowInfo(const std::string &) override {}
  bool CancelRequested() const override { return false; }
};

} // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: songferry_copy_bench FOLDER [RUNS]\n");
    return 2;
  }
  const std::string folder = argv[1];
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 31;
  const std::string byRun = folder + "\\ByRun";
  const std::string byLoop = folder + "\\ByLoop";
  CreateDirectoryA(byRun.c_str(), nullptr);
  CreateDirectoryA(byLoop.c_str(), nullptr);

  CopyTimingPlatform platform;
  try {
    sf::TPlayList list(platform, folder + "\\Lists\\bench.m3u");
    list.Load();
    std::vector<std::string> sources;
    for (std::int32_t i = 0; i < list.Count(); ++i)
      sources.push_back(platform.FullPath(folder + "\\Lists\\" + list.TrackPath(i)));

    const auto empty = [&](const std::string &destination) {
      for (const auto &name : platform.ListFiles(destination + "\\*"))
        platform.RemoveFile(destination + "\\" + name);
    };
    SilentProgress progress;
    std::vector<double> runTimes, loopTimes, ownWork;
    const auto timeRun = [&] {
      empty(byRun);
      platform.copying = 0;
      const double seconds = SecondsOf([&] { list.CopyTracks(progress, byRun, false, false); });
      ownWork.push_back(seconds - platform.copying);
      return seconds;
    };
    const auto timeLoop = [&] {
      empty(byLoop);
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
