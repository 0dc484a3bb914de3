#include "ui/MessageBoxes.h"

#include "platform/win32/Win32Platform.h"
#include "resources/MessageTexts.h"

#include <windows.h>

namespace sf::ui {
namespace {

// Without an owner the box is centred on the screen; task-modal, it disables the program's windows.
void ShowBox(const std::string &text, const char *caption, UINT icon) {
  MessageBoxA(nullptr, text.c_str(), caption, MB_OK | icon | MB_TASKMODAL | MB_SETFOREGROUND);
}

} // namespace

void ShowError(const std::string &text) { ShowBox(text, messages::kErrorCaption, MB_ICONERROR); }

void ShowInfo(const std::string &text) { ShowBox(text, messages::kInfoCaption, MB_ICONINFORMATION); }

std::string UnhandledErrorText(const CodePage &codePage, const std::string &message) {
  std::size_t last = std::string::npos;
  for (std::size_t i = 0; i < message.size(); i += codePage.CharLength(message, i))
    last = i;
  if (last != std::string::npos && static_cast<unsigned char>(message[last]) > '.')
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
  ShowBox(UnhandledErrorText(Win32Platform(), message), messages::kApplicationTitle, MB_ICONSTOP);
}

} // namespace sf::ui
