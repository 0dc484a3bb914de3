#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Turning a track that the player cannot play into an MP3. The run asks for conversions through
// Converter and knows nothing of codecs; the codecs know nothing of the run.
namespace sf {

// The three qualities the user chooses from, as the settings file keeps them.
enum class ConvertQuality : int {
  Standard = 0,   // VBR at LAME's recommended quality (-V 2)
  Compatible = 1, // CBR 192 kbps, always 44.1 kHz: for units that fail on VBR or on other rates
  High = 2,       // CBR 320 kbps
};

// What a converted copy says it was made from: the track's size and last write (FILETIME, 100 ns)
// and the quality. A re-sync that finds a copy saying so leaves it as it is, without the cache.
struct ConvertedMark {
  std::uint64_t size = 0;
  std::uint64_t lastWrite = 0;
  ConvertQuality quality = ConvertQuality::Standard;
  friend bool operator==(const ConvertedMark &a, const ConvertedMark &b) {
    return a.size == b.size && a.lastWrite == b.lastWrite && a.quality == b.quality;
  }
};

// The description of the ID3v2 TXXX frame that carries the mark, and the frame's text.
inline constexpr std::string_view kMarkDescription = "Songferry";
std::string MarkText(const ConvertedMark &mark);
// Nothing for a text that is not one MarkText gives.
std::optional<ConvertedMark> ReadMarkText(std::string_view text);
// The mark in the ID3v2 tag at the start of an MP3 whose first bytes are `head`; nothing where there
// is no tag, no such frame, or `head` ends before it. `head` need not hold the whole file.
std::optional<ConvertedMark> FindMark(std::string_view head);

// One track to convert.
struct ConvertJob {
  std::string source; // the track's full path
  std::uint64_t size = 0;
  std::uint64_t lastWrite = 0;
  ConvertQuality quality = ConvertQuality::Standard;
};

// Makes MP3s from tracks.
class Converter {
public:
  virtual ~Converter() = default;

  // Why a track could not be converted, as the second line of the run's message; empty when it was.
  using Reason = std::string;
  // Writes `job`'s track as an MP3, with its tags, its cover and the mark, into `target`, a file it
  // makes new, and gives it the track's last write. Works in slices of a few hundred milliseconds of
  // audio and calls `look` between them; what `look` throws (a cancel) ends the conversion and goes
  // on to the caller. After a failure or a throw, `target` may hold part of an MP3: the caller removes
  // it.
  virtual Reason Convert(const ConvertJob &job, const std::string &target, const std::function<void()> &look) = 0;
};

// Whether a track of this extension ("flac", any case, without the dot) is converted to MP3.
bool IsConvertedExtension(std::string_view extension);

} // namespace sf
