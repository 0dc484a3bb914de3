#pragma once

#include "convert/Converter.h"

#include <optional>
#include <string>
#include <string_view>

// What the run and a converter process say to each other through their pipe: the run a job, the
// converter how it went. Each message is its length (4 bytes, little-endian), then its bytes.
namespace sf {

std::string JobMessage(const ConvertJob &job, const std::string &target);
// The converter's report: why it could not convert the track, or nothing when the MP3 is whole.
std::string ReportMessage(const Converter::Reason &reason);

// The first message in `received`, taken off it; nothing while it has not all arrived.
std::optional<std::string> TakeMessage(std::string &received);

struct ReceivedJob {
  ConvertJob job;
  std::string target;
};
// Nothing for a text JobMessage would not give.
std::optional<ReceivedJob> ReadJob(std::string_view message);

} // namespace sf
