// Measures what the copy run costs over the system's own copying: a playlist of generated tracks
// is copied with CopyTracks and with a bare loop of CopyFileA, several times each, interleaved.
//
//   songferry_copy_bench FOLDER [RUNS]
//
// FOLDER holds Lists\bench.m3u and the tracks it names; the copies go to FOLDER\ByRun and
// FOLDER\ByLoop, which are created when missing.
#include "platform/win32/Win32Platform.h"
#include "playlist/SFPlayList.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

class SilentProgress final : public sf::TCopyProgress {
public:
  void SetMaximum(std::int32_t) override {}
  void Show() override {}
  void SetFileLabel(const std::string &) override {}
  void SetPosition(std::int32_t) override {}
  void Repaint() override {}
  void Close() override {}
  void ShowInfo(const std::string &text) override { lastInfo = text; }

  std::string lastInfo;
};

double SecondsOf(auto &&work) {
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  work();
  QueryPerformanceCounter(&end);
  return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const auto middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: songferry_copy_bench FOLDER [RUNS]\n");
    return 2;
  }
  const std::string folder = argv[1];
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const std::string byRun = folder + "\\ByRun";
  const std::string byLoop = folder + "\\ByLoop";
  CreateDirectoryA(byRun.c_str(), nullptr);
  CreateDirectoryA(byLoop.c_str(), nullptr);

  sf::Win32Platform platform;
  try {
    sf::TPlayList list(platform, folder + "\\Lists\\bench.m3u");
    list.Load();
    std::vector<std::string> sources;
    for (std::int32_t i = 0; i < list.Count; ++i)
      sources.push_back(platform.FullPath(folder + "\\Lists\\" + list.TrackPaths[i]));

    std::vector<double> runTimes, loopTimes;
    SilentProgress progress;
    // The first round warms the caches and is not counted.
    for (int round = 0; round <= runs; ++round) {
      const double runTime = SecondsOf([&] { list.CopyTracks(progress, byRun, false, false); });
      for (const auto &name : platform.ListFiles(byLoop + "\\*"))
        platform.RemoveFile(byLoop + "\\" + name);
      const double loopTime = SecondsOf([&] {
        for (const auto &source : sources) {
          const auto target = byLoop + "\\" + source.substr(source.rfind('\\') + 1);
          if (!CopyFileA(source.c_str(), target.c_str(), FALSE))
            throw std::runtime_error("CopyFileA failed for " + source);
        }
      });
      if (round > 0) {
        runTimes.push_back(runTime);
        loopTimes.push_back(loopTime);
      }
    }
    const double run = Median(runTimes), loop = Median(loopTimes);
    std::printf("tracks: %d\nruns: %d each, interleaved\n", list.Count, runs);
    std::printf("CopyTracks median: %.3f s\nCopyFileA loop median: %.3f s\nratio: %.3f\n", run, loop, run / loop);
  } catch (const std::exception &error) {
    std::fprintf(stderr, "failed: %s\n", error.what());
    return 1;
  }
  return 0;
}
