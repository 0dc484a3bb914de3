#include "ui/Application.h"

#include "platform/win32/Utf16.h"
#include "platform/win32/Win32Platform.h"
#include "ui/Owners.h"
#include "ui/SFMain.h"
#include "ui/Window.h"

#include <commctrl.h>

namespace sf::ui {

int RunApplication() {
  ExposeCloudFiles();
  const ComApartment com;
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                      ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  Win32Platform platform;
  // Inside the apartment: the windows go before COM does, however the program ends.
  const TFrmSFMain main(platform, Narrow(GetCommandLineW()), SW_SHOW);
  return RunMessageLoop();
}

} // namespace sf::ui
