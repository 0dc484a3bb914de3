#pragma once

#include "convert/Converter.h"
#include "platform/Platform.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sf {

// The MP3s made on this PC, so that a track is converted once: one file for each track, version of
// the track (its size and last write) and quality, named after them. A file is written under a
// temporary name and takes its own only once whole, so a conversion stopped at any point leaves
// nothing the cache would take. Another instance of the program may share the folder.
class ConvertCache {
public:
  // `folder` is made, with its parent, on first use. After a run the least recently used MP3s beyond
  // `limitBytes` go (Trim).
  ConvertCache(Platform &system, std::string folder, std::uint64_t limitBytes);

  // The MP3 made from the job's track at its quality, marked as used and held until Trim: from plan to
  // copy, no other instance's trim removes it. Nothing when there is none, or it cannot be read. A
  // file takes the name of its job only once whole, and the name says the track, its version and the
  // quality: the file need not be read to be known.
  std::optional<std::string> Find(const ConvertJob &job);

  struct Made {
    std::string path;         // the MP3, where it was made, held as Find holds it
    Converter::Reason reason; // why it was not
  };
  // Converts the track into the cache through `converter`, calling `look` as it works: what `look`
  // throws ends the conversion, removes its part and goes on to the caller.
  Made Make(const ConvertJob &job, Converter &converter, const std::function<void()> &look);

  // The steps of Make, for a converter elsewhere (ConvertInPool).
  // Where the MP3 of the job's track at its quality is kept once whole.
  std::string PathFor(const ConvertJob &job);
  // A free temporary name in the cache's folder, made on first use, for the job's MP3 while it is
  // written; or why the folder takes no file.
  Made NewPart(const ConvertJob &job);
  // Gives the whole MP3 written at `part` its name, or takes the one another instance made first,
  // held as Find holds it; `part` is gone either way.
  Made Keep(const ConvertJob &job, const std::string &part);
  // Removes what a stopped or failed conversion left at `part`.
  void Drop(const std::string &part);

  // Lets go of what it holds; then, once a conversion went into it, removes the least recently used
  // MP3s until the rest fit the limit, and what stopped conversions left. What another instance holds
  // or writes stays.
  void Trim();

private:
  std::string PathOf(const ConvertJob &job, std::string_view suffix);

  Platform &system_;
  std::string folder_;
  std::uint64_t limitBytes_;
  std::vector<std::unique_ptr<Platform::HeldFile>> held_;
  bool grown_ = false;
};

// The mark in the ID3v2 tag at the start of the file, as FindMark reads it; nothing when it cannot be
// read or holds none.
std::optional<ConvertedMark> ReadMark(Platform &system, const std::string &path);

} // namespace sf
