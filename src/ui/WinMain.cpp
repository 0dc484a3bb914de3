#include "ui/MessageBoxes.h"
#include "ui/SFMain.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  try {
    return sf::ui::RunApplication();
  } catch (...) {
    sf::ui::ReportUnhandled(std::current_exception());
    return 1;
  }
}
