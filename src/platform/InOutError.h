#pragma once

#include <stdexcept>
#include <string>

namespace sf {

// A failure of the system's file reading or of the working-folder change, carrying the system's
// error code and its message.
class EInOutError : public std::runtime_error {
public:
  explicit EInOutError(int errorCode);
  int ErrorCode() const { return errorCode_; }

private:
  int errorCode_;
};

std::string InOutErrorMessage(int errorCode);

} // namespace sf
