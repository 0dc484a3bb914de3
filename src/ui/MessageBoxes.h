#pragma once

#include <exception>
#include <string>

namespace sf::ui {

// Modal boxes centred on the screen, with one OK button that Enter and Esc both press.
void ShowError(const std::string &text);
void ShowInfo(const std::string &text);

// Shows an error that no handler caught, in a box titled "Songferry"; the program goes on.
void ReportUnhandled(std::exception_ptr error);

// The text of that box: the message with "." appended when its last character (one beyond ASCII
// counting as one) sorts after "." in byte order.
std::string UnhandledErrorText(const std::string &message);

} // namespace sf::ui
