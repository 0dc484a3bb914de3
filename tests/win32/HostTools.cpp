#include "HostTools.h"

#include "ScratchFolder.h"
#include "platform/win32/Utf16.h"

#include <windows.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace sf::testing {
namespace {

std::string Quoted(const std::string &path) {
  std::string quoted = "'";
  for (const char c : path)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// A file of the scratch kind, deleted when the value goes.
struct TemporaryFile {
  std::string path;
  explicit TemporaryFile(const char *prefix) {
    wchar_t folder[MAX_PATH + 1], name[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, folder);
    GetTempFileNameW(folder, Widen(prefix).c_str(), 0, name);
    path = Narrow(name);
  }
  ~TemporaryFile() { DeleteFileW(Widen(path).c_str()); }
};

} // namespace

std::string UnixPath(const std::string &windowsPath) {
  using ToUnix = char *(CDECL *)(const wchar_t *);
  const auto toUnix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix)
    return {};
  char *unix = toUnix(Widen(windowsPath).c_str());
  if (!unix)
    return {};
  std::string path = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return path;
}

HostResult RunHostShell(const std::string &script) {
  // Wine starts a Unix program detached: its process handle is signalled at once and holds no exit
  // status. The script reports its status in a file, renamed into place when complete, which the
  // test waits for. Nor does Wine hand the program standard descriptors (the first file it opened
  // would become its output): its output goes to a file too.
  const TemporaryFile output("sfo"), status("sfs");
  DeleteFileW(Widen(status.path).c_str());
  const std::string statusPath = UnixPath(status.path);
  const std::string wrapped = "exec </dev/null >" + Quoted(UnixPath(output.path)) + " 2>&1; (" + script +
                              "); echo $? >" + Quoted(statusPath + ".part") + " && mv " + Quoted(statusPath + ".part") +
                              " " + Quoted(statusPath);
  // Quoted as the C runtime splits a command line: backslashes count only before a quote.
  std::wstring line = L"/bin/sh -c \"";
  std::size_t backslashes = 0;
  for (const wchar_t c : Widen(wrapped)) {
    if (c == L'"')
      line.append(backslashes + 1, L'\\');
    backslashes = c == L'\\' ? backslashes + 1 : 0;
    line += c;
  }
  line.append(backslashes, L'\\');
  line += L'"';
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(L"Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    throw std::runtime_error("cannot start /bin/sh under Wine");
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  // Waits for as long as the tool takes; a tool that never ends is for ctest's timeout to catch.
  while (GetFileAttributesW(Widen(status.path).c_str()) == INVALID_FILE_ATTRIBUTES)
    Sleep(5);
  return {std::atoi(ReadWholeFile(status.path).c_str()), ReadWholeFile(output.path)};
}

StreamFacts ProbeAudio(const std::string &windowsPath) {
  const HostResult probe =
      RunHostShell("ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate,channels,"
                   "bit_rate -of default=noprint_wrappers=1 " +
                   Quoted(UnixPath(windowsPath)));
  if (probe.status != 0)
    throw std::runtime_error("ffprobe failed on " + windowsPath + ": " + probe.output);
  StreamFacts stream;
  std::istringstream lines(probe.output);
  for (std::string line; std::getline(lines, line);) {
    const auto equals = line.find('=');
    const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
    if (value.empty() || value == "N/A")
      continue;
    if (key == "sample_rate")
      stream.sampleRate = std::stoi(value);
    else if (key == "channels")
      stream.channels = std::stoi(value);
    else if (key == "bit_rate")
      stream.bitRate = std::stoll(value);
  }
  return stream;
}

DecodedAudio DecodeWithFfmpeg(const std::string &windowsPath, int rate) {
  const StreamFacts facts = ProbeAudio(windowsPath);
  const TemporaryFile raw("sfd");
  const HostResult decoded = RunHostShell("ffmpeg -v error -y -i " + Quoted(UnixPath(windowsPath)) +
                                          (rate ? " -ar " + std::to_string(rate) : std::string()) +
                                          " -f f32le -c:a pcm_f32le " + Quoted(UnixPath(raw.path)));
  if (decoded.status != 0)
    throw std::runtime_error("ffmpeg could not decode " + windowsPath + ": " + decoded.output);
  DecodedAudio audio;
  audio.sampleRate = rate ? rate : facts.sampleRate;
  audio.channels = facts.channels;
  const std::string bytes = ReadWholeFile(raw.path);
  audio.samples.resize(bytes.size() / sizeof(float));
  std::memcpy(audio.samples.data(), bytes.data(), audio.samples.size() * sizeof(float));
  return audio;
}

Likeness Compare(const DecodedAudio &original, const DecodedAudio &copy, long searchFrames) {
  if (original.channels != copy.channels || original.channels == 0)
    return {};
  const long channels = original.channels;
  const auto score = [&](long lag, bool all) {
    Likeness likeness{1.0, 0, lag};
    double signal = 0, noise = 0;
    for (long channel = 0; channel < channels; ++channel) {
      double xy = 0, xx = 0, yy = 0, x = 0, y = 0;
      long n = 0;
      for (long frame = std::max(0L, -lag);
           frame < static_cast<long>(original.Frames()) && frame + lag < static_cast<long>(copy.Frames());
           frame += all ? 1 : 7) {
        const double a = original.samples[frame * channels + channel];
        const double b = copy.samples[(frame + lag) * channels + channel];
        xy += a * b, xx += a * a, yy += b * b, x += a, y += b, ++n;
        signal += a * a, noise += (a - b) * (a - b);
      }
      if (n == 0)
        return Likeness{};
      const double covariance = xy - x * y / n;
      const double spread = std::sqrt((xx - x * x / n) * (yy - y * y / n));
      likeness.correlation = std::min(likeness.correlation, spread > 0 ? covariance / spread : 0.0);
    }
    likeness.snrDb = noise > 0 ? 10 * std::log10(signal / noise) : 200.0;
    return likeness;
  };
  // The best shift by a sparse pass, then the full figures there.
  long best = 0;
  double bestCorrelation = -2;
  for (long lag = -searchFrames; lag <= searchFrames; ++lag) {
    const double correlation = score(lag, false).correlation;
    if (correlation > bestCorrelation)
      bestCorrelation = correlation, best = lag;
  }
  return score(best, true);
}

} // namespace sf::testing
