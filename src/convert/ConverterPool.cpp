#include "convert/ConverterPool.h"

#include "resources/MessageTexts.h"

#include <algorithm>
#include <map>

namespace sf {

int ConvertersFor(int setting, int processors, std::size_t tracks) {
  const int wanted = setting >= 1 && setting <= kMostConverters ? setting : std::clamp(processors, 1, kMostConverters);
  return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(wanted), std::max<std::size_t>(tracks, 1)));
}

namespace {

// A job in a converter's hands.
struct InHand {
  std::size_t job = 0;
  std::string part;
  std::size_t handedOut = 0; // the order in which the jobs went out
};

// Ends the converters however the hand-out ends, then removes what they were writing: only once a
// converter has ended is its file closed and free to go.
class StopAtEnd {
public:
  StopAtEnd(ConverterPool &pool, ConvertCache &cache, std::vector<std::optional<InHand>> &inHand)
      : pool_(pool), cache_(cache), inHand_(inHand) {}
  ~StopAtEnd() {
    try {
      pool_.Stop();
      for (const auto &held : inHand_) {
        if (held)
          cache_.Drop(held->part);
      }
    } catch (...) {
      // A part left behind is removed by the cache's next trim.
    }
  }
  StopAtEnd(const StopAtEnd &) = delete;
  StopAtEnd &operator=(const StopAtEnd &) = delete;

private:
  ConverterPool &pool_;
  ConvertCache &cache_;
  std::vector<std::optional<InHand>> &inHand_;
};

} // namespace

std::optional<PoolResult> ConvertInPool(ConvertCache &cache, ConverterPool &pool, int converters,
                                        const std::vector<ConvertJob> &jobs, const PoolWatch &watch) {
  // A track listed twice has one MP3, made once.
  std::vector<std::size_t> sameAs(jobs.size());
  std::vector<std::size_t> distinct;
  std::map<std::string, std::size_t> byPath;
  for (std::size_t job = 0; job < jobs.size(); ++job) {
    const auto [first, isNew] = byPath.emplace(cache.PathFor(jobs[job]), job);
    sameAs[job] = first->second;
    if (isNew)
      distinct.push_back(job);
  }
  std::vector<std::optional<InHand>> inHand;
  const StopAtEnd stop(pool, cache, inHand);
  const int started = pool.Start(std::min(converters, static_cast<int>(distinct.size())));
  if (started <= 0 || distinct.empty())
    return std::nullopt;
  inHand.resize(static_cast<std::size_t>(started));

  PoolResult result;
  result.made.resize(jobs.size());
  std::size_t next = 0, handedOut = 0, finished = 0;
  const auto fail = [&](std::size_t job, Converter::Reason reason) {
    result.failed = job;
    result.reason = std::move(reason);
    return result;
  };
  // Gives the converter the next job, if any is left; false when the cache takes no file for it.
  Converter::Reason refused;
  const auto handOut = [&](int converter) {
    if (next == distinct.size())
      return true;
    const std::size_t job = distinct[next];
    auto part = cache.NewPart(jobs[job]);
    if (!part.reason.empty()) {
      refused = std::move(part.reason);
      return false;
    }
    ++next;
    inHand[static_cast<std::size_t>(converter)] = InHand{job, part.path, handedOut++};
    pool.Give(converter, jobs[job], part.path);
    return true;
  };
  // The label stays on the last track once none is at work, as the bar fills.
  std::size_t labelled = distinct.front();
  const auto show = [&] {
    const InHand *oldest = nullptr;
    for (const auto &held : inHand) {
      if (held && (!oldest || held->handedOut < oldest->handedOut))
        oldest = &*held;
    }
    if (oldest)
      labelled = oldest->job;
    if (watch.progress)
      watch.progress(labelled, finished);
  };

  for (int converter = 0; converter < started; ++converter) {
    if (!handOut(converter))
      return fail(distinct[next], refused);
  }
  show();
  while (std::any_of(inHand.begin(), inHand.end(), [](const auto &held) { return held.has_value(); })) {
    const ConverterPool::Report report = pool.Wait(watch.look);
    auto &slot = inHand.at(static_cast<std::size_t>(report.converter));
    if (!slot)
      continue;
    const InHand done = *slot;
    slot.reset();
    if (report.died || !report.reason.empty()) {
      cache.Drop(done.part);
      return fail(done.job, report.died ? messages::kConverterDied : report.reason);
    }
    auto made = cache.Keep(jobs[done.job], done.part);
    if (!made.reason.empty())
      return fail(done.job, made.reason);
    result.made[done.job] = std::move(made.path);
    ++finished;
    if (!handOut(report.converter))
      return fail(distinct[next], refused);
    show();
  }
  for (std::size_t job = 0; job < jobs.size(); ++job)
    result.made[job] = result.made[sameAs[job]];
  return result;
}

} // namespace sf
