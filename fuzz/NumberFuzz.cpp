// Number conversion of profile values: never crashes, and agrees with a plain reading of decimal
// text that is nothing but an optional sign and digits.
#include "settings/IniFile.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  const auto value = sf::ConvertNumber(text);

  const std::size_t digitsFrom = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  const bool plainDecimal = text.size() > digitsFrom && text.size() - digitsFrom <= 18 &&
                            text.find_first_not_of("0123456789", digitsFrom) == std::string::npos;
  if (plainDecimal) {
    const long long expected = std::stoll(text);
    const bool fits = expected >= INT32_MIN && expected <= INT32_MAX;
    if (fits != value.has_value() || (fits && *value != expected))
      std::abort();
  }
  return 0;
}
