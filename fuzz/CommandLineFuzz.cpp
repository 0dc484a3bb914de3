// The command-line splitter on arbitrary bytes: whatever it yields, each non-empty argument put back
// in quotes and joined with blanks splits into the same arguments again, as long as it does not end
// in a lead byte with nothing after it (which would take the closing quote as its second byte).
#include "platform/ShiftJisCodePage.h"
#include "ui/CommandLine.h"

#include <cstdlib>

namespace {

bool EndsInLoneLeadByte(const sf::CodePage &codePage, const std::string &text) {
  std::size_t last = 0;
  for (std::size_t i = 0; i < text.size(); i += codePage.CharLength(text, i))
    last = i;
  return !text.empty() && codePage.IsLeadByte(static_cast<unsigned char>(text[last])) && last + 1 == text.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const sf::ShiftJisCodePage codePage;
  const std::string_view commandLine(reinterpret_cast<const char *>(data), size);
  const auto arguments = sf::ui::SplitCommandLine(codePage, commandLine);

  std::size_t kept = 0;
  std::string joined;
  bool rejoinable = true;
  for (const auto &argument : arguments) {
    kept += argument.size();
    if (argument.find('\0') != std::string::npos)
      std::abort();
    rejoinable = rejoinable && !argument.empty() && !EndsInLoneLeadByte(codePage, argument);
    joined += (joined.empty() ? "\"" : " \"") + argument + "\"";
  }
  if (kept > size)
    std::abort();
  if (rejoinable && sf::ui::SplitCommandLine(codePage, joined) != arguments)
    std::abort();
  return 0;
}
