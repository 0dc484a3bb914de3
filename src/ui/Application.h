#pragma once

namespace sf::ui {

// The program: creates its windows over the system's platform, runs until told to end, and
// destroys them.
int RunApplication();

} // namespace sf::ui
