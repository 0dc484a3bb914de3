#pragma once

#include <stdexcept>
#include <string>

namespace sf {

// The program's own error: its message is a complete sentence for the user, shown as it is.
class ESFException : public std::runtime_error {
public:
  explicit ESFException(const std::string &message) : std::runtime_error(message) {}
};

} // namespace sf
