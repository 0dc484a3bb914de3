#include "platform/InOutError.h"

#include "resources/MessageTexts.h"

namespace sf {

EInOutError::EInOutError(int errorCode) : std::runtime_error(InOutErrorMessage(errorCode)), errorCode_(errorCode) {}

std::string InOutErrorMessage(int errorCode) {
  for (const auto &entry : messages::kInOutErrors) {
    if (entry.code == errorCode)
      return entry.text;
  }
  return FormatText(messages::kInOutErrorOther, errorCode);
}

} // namespace sf
