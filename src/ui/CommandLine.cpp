#include "ui/CommandLine.h"

namespace sf::ui {
namespace {

bool IsSeparator(char c) { return c != '\0' && static_cast<unsigned char>(c) <= ' '; }

} // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  // A NUL ends the command line, as it does the system's string.
  commandLine = commandLine.substr(0, commandLine.find('\0'));
  std::vector<std::string> arguments;
  std::size_t at = 0;
  const auto startsEmptyQuotes = [&] { return commandLine.substr(at, 2) == "\"\""; };
  for (;;) {
    while (at < commandLine.size() && (IsSeparator(commandLine[at]) || startsEmptyQuotes()))
      at += startsEmptyQuotes() ? 2 : 1;
    if (at == commandLine.size())
      return arguments;
    std::string argument;
    while (at < commandLine.size() && !IsSeparator(commandLine[at])) {
      if (commandLine[at] == '"') {
        ++at;
        while (at < commandLine.size() && commandLine[at] != '"')
          argument += commandLine[at++];
        if (at < commandLine.size())
          ++at;
      } else {
        argument += commandLine[at++];
      }
    }
    arguments.push_back(std::move(argument));
  }
}

} // namespace sf::ui
