#pragma once

#include <windows.h>

#include <exception>
#include <string>

namespace sf::ui {

// The program's window in front: the active window when it is shown and enabled, else the first
// of the program's shown and enabled windows in the screen's order; null when none is up.
HWND FrontWindow();

// Boxes centred on the monitor of their owner (of the main window, when the owner is out of sight),
// with one OK button that Enter and Esc both press. Each is owned by `owner` (by default the window
// in front) and modal to the whole program; afterwards the owner is active again with the focus where
// it was.
void ShowError(const std::string &text, HWND owner = FrontWindow());
void ShowInfo(const std::string &text, HWND owner = FrontWindow());

// Whether the settings file, which is Shift-JIS, can name the destination folder `folder`; when it
// cannot, an error box over `owner` says so.
bool ConfirmDestinationFitsSettings(const std::string &folder, HWND owner);

// Shows an error that no handler caught, in a box titled "Songferry"; the program goes on.
void ReportUnhandled(std::exception_ptr error);

// The text of that box: the message with "." appended when its last character (one beyond ASCII
// counting as one) sorts after "." in byte order.
std::string UnhandledErrorText(const std::string &message);

} // namespace sf::ui
