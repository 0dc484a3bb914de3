#include "FakePlatform.h"
#include "HostTools.h"
#include "ScratchFolder.h"
#include "convert/ConvertCache.h"
#include "convert/ConverterProcesses.h"
#include "convert/Mp3Converter.h"
#include "platform/win32/Win32Platform.h"
#include "playlist/SFException.h"
#include "playlist/SFPlayList.h"
#include "resources/MessageTexts.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <map>

// Runs that convert on converter processes of the program itself (Songferry.exe, beside the codecs'
// DLLs in the build), with media made by Debian's tools, under Wine.
namespace sf {
namespace {

using testing::ReadWholeFile;
using testing::RunHostShell;
using testing::ScratchFolder;
using testing::UnixPath;
using Lines = std::vector<std::string>;

// The program as Wine reaches the build's Unix path, through drive Z:.
std::string ConverterProgram() {
  std::string path = "Z:" + std::string(SONGFERRY_PROGRAM);
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

class ConvertersOnDisk : public ::testing::Test {
protected:
  ConvertersOnDisk() {
    scratch.MakeFolder("Music");
    scratch.MakeFolder("Player");
    scratch.MakeFolder("Local");
    // The four kinds whose decoders give the same samples every time, twice.
    const auto made = RunHostShell(
        "cd '" + UnixPath(scratch / "Music") +
        "' && sox -n -r 44100 -c 2 -b 16 a.wav synth 3 sine 300-3000 sine 3000-300 vol 0.5"
        " && sox -n -r 48000 -c 2 -b 16 b.wav synth 3 pinknoise vol 0.3"
        " && flac -s -o 1.flac a.wav && cp b.wav 2.wav && oggenc -Q -o 3.ogg a.wav && opusenc --quiet b.wav 4.opus"
        " && flac -s -o 5.flac b.wav && cp a.wav 6.wav"
        " && sox -n -r 44100 -c 2 -b 16 long.wav synth 40 sine 440 pinknoise vol 0.3 && flac -s -o long.flac long.wav"
        " && cp long.flac long2.flac && flac -s -o short.flac a.wav");
    EXPECT_EQ(made.status, 0) << made.output;
  }

  // Copies a playlist of `tracks` into Player on `processes` converters; the box's text, or the
  // refusal's. `during` runs at each of the run's looks at its queue.
  std::string Copy(const Lines &tracks, int processes, const std::function<void()> &during = nullptr) {
    std::string list;
    for (const auto &track : tracks)
      list += "Music\\" + track + "\r\n";
    testing::WriteWholeFile(scratch / "mix.m3u", list);
    TPlayList playList(platform, scratch / "mix.m3u");
    playList.Load();
    journal.clear();
    testing::RecordingProgress recording(journal);
    progress = &recording;
    recording.whileCopying = [&] {
      mostRunning = std::max(mostRunning, converters.Running());
      // The run's wait ends for its queue: a message to its own thread keeps it looking.
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      }
      Sleep(10);
      PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0);
      if (during)
        during();
    };
    ConvertCache cache(platform, cacheFolder, 1 << 30);
    const Conversion conversion{converter, cache, ConvertQuality::Standard, &converters, processes};
    try {
      playList.CopyTracks(recording, scratch / "Player", false, false, false, false, false, &conversion);
    } catch (const ESFException &refusal) {
      return refusal.what();
    }
    const auto info =
        std::find_if(journal.begin(), journal.end(), [](auto &line) { return line.rfind("Info ", 0) == 0; });
    return info == journal.end() ? "" : info->substr(5);
  }

  std::map<std::string, std::string> Copies() {
    std::map<std::string, std::string> copies;
    for (const auto &name : scratch.Names("Player"))
      copies[name] = ReadWholeFile(scratch / ("Player\\" + name));
    return copies;
  }
  // The bytes written so far to the MP3s being made.
  std::uint64_t PartBytes() {
    std::uint64_t bytes = 0;
    for (const auto &name : platform.ListFiles(cacheFolder + "\\*.part"))
      bytes += platform.QueryFile(cacheFolder + "\\" + name).size;
    return bytes;
  }
  // What the cache holds that is not a whole MP3 of the program's.
  Lines NotWhole() {
    Lines names;
    for (const auto &name : platform.ListFiles(cacheFolder + "\\*")) {
      if (name.size() < 4 || name.substr(name.size() - 4) != ".mp3" || !ReadMark(platform, cacheFolder + "\\" + name))
        names.push_back(name);
    }
    return names;
  }
  void EmptyCache() {
    for (const auto &name : platform.ListFiles(cacheFolder + "\\*"))
      platform.RemoveFile(cacheFolder + "\\" + name);
  }

  ScratchFolder scratch;
  Win32Platform platform;
  Mp3Converter converter;
  ConverterProcesses converters{ConverterProgram()};
  const std::string cacheFolder = scratch / "Local\\Songferry\\Cache";
  Lines journal;
  testing::RecordingProgress *progress = nullptr;
  int mostRunning = 0;
};

const Lines kSix = {"1.flac", "2.wav", "3.ogg", "4.opus", "5.flac", "6.wav"};

TEST_F(ConvertersOnDisk, TwoConvertersMakeTheBytesOfOneProcess) {
  ASSERT_EQ(Copy(kSix, 1), FormatText(messages::kCopied, "mix.m3u", 6));
  EXPECT_EQ(mostRunning, 0) << "ConvertProcesses=1 starts no converter";
  const auto byOneProcess = Copies();
  EmptyCache();
  ASSERT_EQ(Copy(kSix, 2), FormatText(messages::kCopied, "mix.m3u", 6));
  EXPECT_EQ(mostRunning, 2);
  ASSERT_EQ(byOneProcess.size(), 6u);
  for (const auto &[name, bytes] : Copies())
    EXPECT_TRUE(bytes == byOneProcess.at(name)) << name << " differs";
  EXPECT_EQ(NotWhole(), Lines{});
  EXPECT_EQ(converters.Running(), 0) << "the converters end with the conversions";
}

TEST_F(ConvertersOnDisk, AConverterKilledMidTrackRefusesTheRunAndTheNextRunConvertsTheTrack) {
  scratch.Write("Player\\old.mp3", "old");
  // The first track goes to the first converter; it is killed once its MP3 has begun on the disk.
  bool killed = false;
  const std::string box = Copy({"long.flac", "short.flac"}, 2, [&] {
    if (!killed && PartBytes() > 0) {
      const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, converters.ProcessId(0));
      killed = process && TerminateProcess(process, 9);
      CloseHandle(process);
    }
  });
  ASSERT_TRUE(killed);
  EXPECT_EQ(box, FormatText(messages::kCannotConvert, scratch / "Music\\long.flac") + "\n" + messages::kConverterDied);
  EXPECT_EQ(scratch.Names("Player"), Lines{"old.mp3"});
  EXPECT_EQ(NotWhole(), Lines{});
  EXPECT_EQ(converters.Running(), 0);

  EXPECT_EQ(Copy({"long.flac", "short.flac"}, 2), FormatText(messages::kCopied, "mix.m3u", 2));
  EXPECT_EQ(scratch.Names("Player"), (Lines{"long.mp3", "short.mp3"}));
  EXPECT_NEAR(static_cast<double>(testing::DecodeWithFfmpeg(scratch / "Player\\long.mp3").Frames()), 40.0 * 44100,
              1152);
}

TEST_F(ConvertersOnDisk, ACancelWhileConvertingEndsEveryConverterAndLeavesNoPart) {
  scratch.Write("Player\\old.mp3", "old");
  const std::string box = Copy({"long.flac", "long2.flac", "short.flac"}, 2, [&] {
    if (PartBytes() > 0)
      progress->cancelled = true;
  });
  EXPECT_EQ(box, FormatText(messages::kCancelled, "mix.m3u", 0));
  EXPECT_EQ(converters.Running(), 0);
  EXPECT_EQ(scratch.Names("Player"), Lines{"old.mp3"});
  EXPECT_EQ(NotWhole(), Lines{});
}

} // namespace
} // namespace sf
