// The conversion of a run against LAME's own encoder, under Wine:
//  - a run that converts the playlist's FLAC tracks into an empty cache (clear mode) in its own
//    process (ConvertProcesses=1), against lame.exe encoding the same audio from WAV files with the
//    same settings, one file after the other: the throughput of the run's conversion as a share of
//    the encoder's;
//  - the same run on two converter processes (ConvertProcesses=2, the program SONGFERRY_EXE started
//    as converters), against the run in its own process;
//  - a clear-mode run whose tracks are all in the cache, against a run copying the same MP3s.
// Rounds rotate the five, so that none always follows the same other.
//   songferry_convert_bench FOLDER LAME_EXE SONGFERRY_EXE [ROUNDS]
// FOLDER holds Music\trackNN.flac, Wav\trackNN.wav (the same audio) and Lists\convert.m3u listing the
// FLAC tracks; the bench makes the rest.
#include "CallTimingPlatform.h"
#include "Measuring.h"
#include "convert/ConvertCache.h"
#include "convert/ConverterProcesses.h"
#include "convert/Mp3Converter.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32Platform.h"
#include "playlist/SFPlayList.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

class NoProgress final : public sf::TCopyProgress {
public:
  void SetMaximum(std::int32_t) override {}
  void SetStage(sf::RunStage) override {}
  void Show() override {}
  void SetFileLabel(const std::string &) override {}
  void SetPosition(std::int32_t) override {}
  void Repaint() override {}
  void Close() override {}
  void KeepResponsive() override {}
  void ShowInfo(const std::string &) override {}
  bool CancelRequested() const override { return false; }
};

double SecondsOf(const std::function<void()> &work) {
  const double start = sf::bench::Now();
  work();
  return sf::bench::Now() - start;
}

void Empty(const std::string &folder) {
  CreateDirectoryA(folder.c_str(), nullptr);
  for (const auto &name : sf::bench::FileNames(folder))
    DeleteFileA((folder + "\\" + name).c_str());
}

// Runs the command line and waits for it; throws when it fails.
void RunProgram(const std::string &commandLine) {
  std::wstring line = sf::Widen(commandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                      &process))
    throw std::runtime_error("cannot start " + commandLine);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (code != 0)
    throw std::runtime_error(commandLine + " failed");
}

double Median(std::vector<double> values) { return sf::bench::Quantile(std::move(values), 0.5); }

} // namespace

int main(int argc, char **argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: songferry_convert_bench FOLDER LAME_EXE SONGFERRY_EXE [ROUNDS]\n");
    return 2;
  }
  const std::string folder = argv[1], lame = argv[2];
  const int rounds = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;
  sf::Win32Platform system;
  sf::bench::CallTimingPlatform platform(system);
  NoProgress progress;
  sf::Mp3Converter converter;
  sf::ConverterProcesses converters(argv[3]);
  try {
    sf::TPlayList flacs(platform, folder + "\\Lists\\convert.m3u");
    flacs.Load();
    const std::string cacheFolder = folder + "\\Cache";
    CreateDirectoryA(cacheFolder.c_str(), nullptr);
    const auto convertInto = [&](const std::string &destination, int processes) {
      sf::ConvertCache cache(platform, cacheFolder, std::uint64_t{1} << 40);
      const sf::Conversion conversion{converter, cache, sf::ConvertQuality::Standard, &converters, processes};
      if (!flacs.CopyTracks(progress, destination, false, false, false, false, false, &conversion))
        throw std::runtime_error("the run was cancelled");
    };
    // The MP3s the run makes, copied as they are by the plain run.
    Empty(folder + "\\Mp3");
    convertInto(folder + "\\Mp3", 1);
    std::string mp3List;
    for (const auto &name : sf::bench::FileNames(folder + "\\Mp3"))
      mp3List += "..\\Mp3\\" + name + "\r\n";
    if (!platform.ReplaceWholeFile(folder + "\\Lists\\mp3.m3u", mp3List))
      throw std::runtime_error("cannot write mp3.m3u");
    sf::TPlayList mp3s(platform, folder + "\\Lists\\mp3.m3u");
    mp3s.Load();
    const auto wavs = sf::bench::FileNames(folder + "\\Wav");

    enum Kind { kConverting, kTwoConverters, kLame, kCached, kCopying, kKinds };
    const char *const labels[kKinds] = {"run converting", "run on 2 converters", "lame.exe", "run from the cache",
                                        "run copying MP3s"};
    std::vector<double> times[kKinds];
    for (int round = 0; round < rounds; ++round) {
      std::printf("round %d:", round + 1);
      for (int turn = 0; turn < kKinds; ++turn) {
        const int kind = (round + turn) % kKinds;
        double seconds = 0;
        switch (kind) {
        case kConverting:
        case kTwoConverters:
          Empty(cacheFolder);
          Empty(folder + "\\Converted");
          seconds = SecondsOf([&] { convertInto(folder + "\\Converted", kind == kConverting ? 1 : 2); });
          break;
        case kLame:
          Empty(folder + "\\ByLame");
          seconds = SecondsOf([&] {
            for (const auto &wav : wavs)
              RunProgram("\"" + lame + "\" --quiet -V 2 \"" + folder + "\\Wav\\" + wav + "\" \"" + folder +
                         "\\ByLame\\" + wav + ".mp3\"");
          });
          break;
        case kCached:
          // The cache is whole after any round's conversion, and after the first one made the MP3s.
          Empty(folder + "\\FromCache");
          seconds = SecondsOf([&] { convertInto(folder + "\\FromCache", 1); });
          break;
        case kCopying:
          Empty(folder + "\\Copied");
          seconds = SecondsOf([&] { mp3s.CopyTracks(progress, folder + "\\Copied", false, false); });
          break;
        }
        times[kind].push_back(seconds);
        std::printf(" %s %.3f s", labels[kind], seconds);
      }
      std::printf("\n");
      std::fflush(stdout);
    }
    std::printf("tracks: %d, rounds: %d, rotating\n", flacs.Count(), rounds);
    for (int kind = 0; kind < kKinds; ++kind)
      std::printf("%s median: %.3f s\n", labels[kind], Median(times[kind]));
    std::printf("conversion throughput, the run's against lame.exe's: %.3f\n",
                Median(times[kLame]) / Median(times[kConverting]));
    std::printf("conversion throughput, 2 converters against the run's own process: %.3f\n",
                Median(times[kConverting]) / Median(times[kTwoConverters]));
    std::printf("run from the cache against a run copying the MP3s: %.3f\n",
                Median(times[kCached]) / Median(times[kCopying]));
    // Where the two runs' time goes: the system's calls of one more run of each.
    for (const int kind : {kCached, kCopying}) {
      Empty(folder + (kind == kCached ? "\\FromCache" : "\\Copied"));
      platform.ClearTallies();
      const double seconds = SecondsOf([&] {
        if (kind == kCached)
          convertInto(folder + "\\FromCache", 1);
        else
          mp3s.CopyTracks(progress, folder + "\\Copied", false, false);
      });
      std::printf("%s: %.3f ms; calls:", labels[kind], seconds * 1000);
      for (std::size_t call = 0; call < sf::bench::kPlatformCalls; ++call) {
        const auto &tally = platform.Tally(static_cast<sf::bench::PlatformCall>(call));
        if (tally.calls > 0)
          std::printf(" %s %lld %.2f ms,", std::string(sf::bench::kPlatformCallNames[call]).c_str(),
                      static_cast<long long>(tally.calls), tally.seconds * 1000);
      }
      std::printf("\n");
    }
  } catch (const std::exception &error) {
    std::fprintf(stderr, "failed: %s\n", error.what());
    return 1;
  }
  return 0;
}
