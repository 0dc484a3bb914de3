// The command-line splitter on arbitrary bytes: no argument holds a NUL or a quote, none is longer
// than the input, and each non-empty argument put back in quotes and joined with blanks splits into
// the same arguments again (the program's UTF-8 has no character beyond ASCII that holds a blank, a
// quote or a "\", so bytes of other encodings go through untouched).
#include "ui/CommandLine.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view commandLine(reinterpret_cast<const char *>(data), size);
  const auto arguments = sf::ui::SplitCommandLine(commandLine);

  std::size_t kept = 0;
  std::string joined;
  bool rejoinable = true;
  for (const auto &argument : arguments) {
    kept += argument.size();
    if (argument.find_first_of(std::string_view("\0\"", 2)) != std::string::npos)
      std::abort();
    rejoinable = rejoinable && !argument.empty();
    joined += (joined.empty() ? "\"" : " \"") + argument + "\"";
  }
  if (kept > size)
    std::abort();
  if (rejoinable && sf::ui::SplitCommandLine(joined) != arguments)
    std::abort();
  return 0;
}
