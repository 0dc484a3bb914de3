#include "ui/MessageBoxes.h"

#include "platform/win32/Utf16.h"
#include "resources/MessageTexts.h"

#include <windows.h>

namespace sf::ui {
namespace {

// Without an owner the box is centred on the screen; task-modal, it disables the program's windows.
void ShowBox(const std::string &text, const char *caption, UINT icon) {
  MessageBoxW(nullptr, Widen(text).c_str(), Widen(caption).c_str(), MB_OK | icon | MB_TASKMODAL | MB_SETFOREGROUND);
}

} // namespace

void ShowError(const std::string &text) { ShowBox(text, messages::kErrorCaption, MB_ICONERROR); }

void ShowInfo(const std::string &text) { ShowBox(text, messages::kInfoCaption, MB_ICONINFORMATION); }

std::string UnhandledErrorText(const std::string &message) {
  // In UTF-8 every byte of a character beyond ASCII is above 0x7F: the last byte decides for the
  // last character.
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
    return message + ".";
  return message;
}

void ReportUnhandled(std::exception_ptr error) {
  std::string message;
  try {
    std::rethrow_exception(error);
  } catch (const std::exception &caught) {
    message = caught.what();
  } catch (...) {
    message = messages::kUnknownError;
  }
  ShowBox(UnhandledErrorText(message), messages::kApplicationTitle, MB_ICONSTOP);
}

} // namespace sf::ui
