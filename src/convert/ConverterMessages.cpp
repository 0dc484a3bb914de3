#include "convert/ConverterMessages.h"

#include <charconv>
#include <vector>

namespace sf {
namespace {

constexpr std::size_t kLengthBytes = 4;
// No path holds a NUL: it parts the fields of a job.
constexpr char kFieldEnd = '\0';

std::string Framed(std::string_view text) {
  std::string message(kLengthBytes, '\0');
  for (std::size_t k = 0; k < kLengthBytes; ++k)
    message[k] = static_cast<char>(text.size() >> (8 * k) & 0xFF);
  return message.append(text);
}

template <typename Number> bool ReadNumber(std::string_view text, Number &value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc{} && end == text.data() + text.size() && !text.empty();
}

} // namespace

std::string JobMessage(const ConvertJob &job, const std::string &target) {
  std::string text;
  for (const std::string &field : {job.source, target, std::to_string(job.size), std::to_string(job.lastWrite),
                                   std::to_string(static_cast<int>(job.quality))})
    text.append(field).push_back(kFieldEnd);
  return Framed(text);
}

std::string ReportMessage(const Converter::Reason &reason) { return Framed(reason); }

std::optional<std::string> TakeMessage(std::string &received) {
  if (received.size() < kLengthBytes)
    return std::nullopt;
  std::size_t length = 0;
  for (std::size_t k = 0; k < kLengthBytes; ++k)
    length |= std::size_t{static_cast<unsigned char>(received[k])} << (8 * k);
  if (received.size() - kLengthBytes < length)
    return std::nullopt;
  std::string message = received.substr(kLengthBytes, length);
  received.erase(0, kLengthBytes + length);
  return message;
}

std::optional<ReceivedJob> ReadJob(std::string_view message) {
  std::vector<std::string_view> fields;
  for (std::size_t end; (end = message.find(kFieldEnd)) != std::string_view::npos; message.remove_prefix(end + 1))
    fields.push_back(message.substr(0, end));
  int quality = -1;
  ReceivedJob received;
  if (fields.size() != 5 || !message.empty() || fields[0].empty() || fields[1].empty() ||
      !ReadNumber(fields[2], received.job.size) || !ReadNumber(fields[3], received.job.lastWrite) ||
      !ReadNumber(fields[4], quality) || quality < 0 || quality > 2)
    return std::nullopt;
  received.job.source = fields[0];
  received.job.quality = static_cast<ConvertQuality>(quality);
  received.target = fields[1];
  return received;
}

} // namespace sf
