#include "ui/MessageBoxes.h"

#include "platform/win32/Utf16.h"
#include "resources/MessageTexts.h"
#include "ui/Window.h"

#include <windows.h>

#include <optional>
#include <vector>

namespace sf::ui {
namespace {

bool IsProgramsUsableWindow(HWND window) {
  return window && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId() && IsWindowVisible(window) &&
         IsWindowEnabled(window);
}

// A box disables only its owner: the program's other windows are disabled for as long as it is up,
// so that nothing else of the program can be used meanwhile.
class OthersDisabled {
public:
  explicit OthersDisabled(HWND owner) {
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
      if (window != owner && IsProgramsUsableWindow(window))
        disabled_.push_back(window);
    }
    for (const HWND window : disabled_)
      EnableWindow(window, FALSE);
  }
  ~OthersDisabled() {
    for (const HWND window : disabled_) {
      if (IsWindow(window))
        EnableWindow(window, TRUE);
    }
  }
  OthersDisabled(const OthersDisabled &) = delete;
  OthersDisabled &operator=(const OthersDisabled &) = delete;

private:
  std::vector<HWND> disabled_;
};

// The system centres a box on its owner's monitor, and one without an owner in sight on the primary
// monitor: that one is moved to the main window's, once the system has laid it out.
class OnTheMainWindowsMonitor {
public:
  OnTheMainWindowsMonitor() : hook_(SetWindowsHookExW(WH_CALLWNDPROCRET, Place, nullptr, GetCurrentThreadId())) {}
  ~OnTheMainWindowsMonitor() {
    if (hook_)
      UnhookWindowsHookEx(hook_);
  }
  OnTheMainWindowsMonitor(const OnTheMainWindowsMonitor &) = delete;
  OnTheMainWindowsMonitor &operator=(const OnTheMainWindowsMonitor &) = delete;

private:
  static LRESULT CALLBACK Place(int code, WPARAM wParam, LPARAM lParam) {
    const auto *handled = reinterpret_cast<const CWPRETSTRUCT *>(lParam);
    // The box is the one dialog that starts on this thread while the hook is set.
    if (code == HC_ACTION && handled->message == WM_INITDIALOG) {
      if (const HWND main = MainWindow())
        CentreOnMonitorOf(handled->hwnd, main);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }

  HHOOK hook_;
};

// With an owner, the box hands activation back to it as it closes, rather than to another
// program's window; the focus is put back where it was, which the system does only for dialogs.
void ShowBox(const std::string &text, const char *caption, UINT icon, HWND owner) {
  const HWND focus = GetFocus();
  {
    const OthersDisabled others(owner);
    std::optional<OnTheMainWindowsMonitor> placed;
    if (!owner || !IsWindowVisible(owner))
      placed.emplace();
    MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(),
                MB_OK | icon | (owner ? MB_APPLMODAL : MB_TASKMODAL) | MB_SETFOREGROUND);
  }
  if (!owner || !IsWindow(owner))
    return;
  SetActiveWindow(owner);
  if (focus && (focus == owner || IsChild(owner, focus)))
    SetFocus(focus);
}

} // namespace

HWND FrontWindow() {
  const HWND active = GetActiveWindow();
  if (IsProgramsUsableWindow(active))
    return active;
  for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
    if (IsProgramsUsableWindow(window))
      return window;
  }
  return nullptr;
}

void ShowError(const std::string &text, HWND owner) { ShowBox(text, messages::kErrorCaption, MB_ICONERROR, owner); }

void ShowInfo(const std::string &text, HWND owner) { ShowBox(text, messages::kInfoCaption, MB_ICONINFORMATION, owner); }

std::string UnhandledErrorText(const std::string &message) {
  // In UTF-8 every byte of a character beyond ASCII is above 0x7F: the last byte decides for the
  // last character.
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
    return message + ".";
  return message;
}

bool ConfirmDestinationFitsSettings(const std::string &folder, HWND owner) {
  if (FitsShiftJis(folder))
    return true;
  ShowError(messages::kFolderNotShiftJis, owner);
  return false;
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
  ShowBox(UnhandledErrorText(message), messages::kApplicationTitle, MB_ICONSTOP, FrontWindow());
}

} // namespace sf::ui
