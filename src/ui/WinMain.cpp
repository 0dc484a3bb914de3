#include "convert/ConverterProcesses.h"
#include "platform/win32/Utf16.h"
#include "ui/Application.h"
#include "ui/CommandLine.h"
#include "ui/MessageBoxes.h"
#include "ui/SystemDlls.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  sf::ui::LoadDllsFromSystemOnly();
  // Started by a run to convert beside it: no window, no settings, nothing but the conversions.
  const auto arguments = sf::ui::SplitCommandLine(sf::Narrow(GetCommandLineW()));
  if (arguments.size() == 3 && arguments[1] == sf::kConverterSwitch)
    return sf::ServeConversions(arguments[2]);
  try {
    return sf::ui::RunApplication();
  } catch (...) {
    sf::ui::ReportUnhandled(std::current_exception());
    return 1;
  }
}
