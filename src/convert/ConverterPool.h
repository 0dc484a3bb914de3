#pragma once

#include "convert/ConvertCache.h"
#include "convert/Converter.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Converting on every core. LAME encodes a stream on one thread and the program keeps its own one
// thread, so the tracks convert in converters beside it, each on one track at a time; the run hands
// out the tracks and waits for the converters' reports while it keeps its window answering.
namespace sf {

// The most converters a run starts: with the window's queue, what one wait of the system can watch.
inline constexpr int kMostConverters = 32;

// How many converters convert `tracks` tracks: `setting` (ConvertProcesses) where it is 1 to 32,
// else the logical `processors` up to 32; never more than the tracks. One means the run converts in
// its own process.
int ConvertersFor(int setting, int processors, std::size_t tracks);

// Converters that each take one track at a time and report how it went: on Windows, processes of
// the program itself (ConverterProcesses).
class ConverterPool {
public:
  virtual ~ConverterPool() = default;

  // The logical processors of this PC.
  virtual int Processors() const = 0;
  // Starts `count` idle converters, numbered from 0: how many started.
  virtual int Start(int count) = 0;
  // Gives the idle converter `converter` a job, whose MP3 it writes into `target`, a file it makes.
  virtual void Give(int converter, const ConvertJob &job, const std::string &target) = 0;

  struct Report {
    int converter = 0;
    // It ended without a report (a crash, or ended from outside): what it wrote is no MP3.
    bool died = false;
    // Why it could not convert its track; empty when the MP3 in the target is whole.
    Converter::Reason reason;
  };
  // Waits for the next report of a busy converter, calling `look` whenever the program's queue
  // holds something. What `look` throws goes on to the caller, with the converters still at work.
  virtual Report Wait(const std::function<void()> &look) = 0;
  // Ends every converter, busy or idle, and returns once each has ended and its files are closed.
  virtual void Stop() = 0;
};

// What ConvertInPool tells the run as it goes.
struct PoolWatch {
  // Looks at the program's queue; what it throws (a cancel) stops the converters and goes on.
  std::function<void()> look;
  // `job` is one a converter works on (the one handed out first of those at work), and `finished`
  // jobs are done.
  std::function<void(std::size_t job, std::size_t finished)> progress;
};

struct PoolResult {
  // Each job's MP3 in the cache; after a failure, empty for those not made.
  std::vector<std::string> made;
  // The job that could not be converted, and why.
  std::optional<std::size_t> failed;
  Converter::Reason reason;
};

// Converts `jobs` into `cache` on up to `converters` of the pool's converters, each given the next
// job as soon as it is free; jobs for the same MP3 are converted once. The converters are stopped at
// the end, however it comes: a failure, a converter that died, a throw from the watch. What they had
// begun goes; the MP3s made stay in the cache. Nothing when no converter would start.
std::optional<PoolResult> ConvertInPool(ConvertCache &cache, ConverterPool &pool, int converters,
                                        const std::vector<ConvertJob> &jobs, const PoolWatch &watch);

} // namespace sf
