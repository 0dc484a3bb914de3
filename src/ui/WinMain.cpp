#include "ui/Application.h"
#include "ui/MessageBoxes.h"
#include "ui/SystemDlls.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  sf::ui::LoadDllsFromSystemOnly();
  try {
    return sf::ui::RunApplication();
  } catch (...) {
    sf::ui::ReportUnhandled(std::current_exception());
    return 1;
  }
}
