#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sf::ui {

// Splits a command line into its arguments, the program's own path first. Bytes 1 to 32 separate
// arguments; "" where an argument would begin is skipped like a blank; a double quote opens a
// stretch up to the next one (or the end) in which blanks belong to the argument, and the quotes
// are dropped; stretches next to each other make one argument. There is no escape character. The
// text is UTF-8, in which no character beyond ASCII holds a blank or a quote.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

} // namespace sf::ui
