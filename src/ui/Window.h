#pragma once

#include "resources/Layouts.h"
#include "ui/Owners.h"

#include <windows.h>

#include <exception>

#include <optional>
#include <string>
#include <vector>

namespace sf::ui {

inline constexpr COLORREF kAquaText = RGB(0, 255, 255);

int ScaleForDpi(int pixels, UINT dpi);
// Whether the user has turned high contrast on: the windows then take the system's colours.
bool HighContrastOn();
// The colours of a control on a black window, its text left as it is when there is none.
struct ControlColours {
  std::optional<COLORREF> text;
  COLORREF background;
  HBRUSH brush;
};
ControlColours BlackWindowColours(bool aqua, bool highContrast);
// The window's DPI; 96 before it exists.
UINT DpiOf(HWND window);
// The program's main window, of this thread; null when there is none.
HWND MainWindow();
// Centres `window` on the work area of the monitor that holds `on` (the nearest, when none does), its
// title bar kept on that monitor.
void CentreOnMonitorOf(HWND window, HWND on);

// The program's one top-level handler, for an exception that no window may let out of its procedure;
// the program's message boxes provide it.
void ReportUnhandled(std::exception_ptr error);

// A modal window is shown by ShowModal: OK, Cancel, Esc and its close box end it with IDOK or
// IDCANCEL. A modeless one handles those itself.
enum class Modality { Modeless, Modal };

// One top-level window built from its layout. The window procedure binds the object at
// WM_NCCREATE and hands every message to HandleMessage; an exception never leaves it, but goes to
// ReportUnhandled. The object owns its window and fonts: the window ends with the object, and no
// HandleMessage sees its WM_DESTROY, so a derived window does its last work in its own destructor.
class TWindow {
public:
  TWindow(const layouts::Window &layout, HWND owner, Modality modality);
  virtual ~TWindow();
  TWindow(const TWindow &) = delete;
  TWindow &operator=(const TWindow &) = delete;

  HWND Handle() const { return handle_; }
  HWND Control(int id) const { return GetDlgItem(handle_, id); }
  const layouts::Window &Layout() const { return layout_; }

  // Shows the window over its disabled owner until EndModal; returns the result it ended with.
  int ShowModal();

  std::string Text(int id) const;
  void SetText(int id, const std::string &text);
  bool IsChecked(int id) const;
  void SetChecked(int id, bool checked);
  // A drop-down list's chosen item, counted from 0; -1 when none is.
  int SelectedItem(int id) const;
  void SelectItem(int id, int index);

protected:
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // A control's or menu item's command; for a modal window, any but OK and Cancel.
  virtual void Command(int /*id*/) {}
  // For a modal window, whether OK may end it; a window that refuses says why itself.
  virtual bool OkConfirmed() { return true; }
  // Called as ShowModal begins, before the window shows.
  virtual void ModalShowing() {}
  void EndModal(int result) { modalResult_ = result; }
  // Centres the window on its owner's monitor; on the main window's, when the owner is out of sight.
  void CentreOnOwnersMonitor();
  void CentreOn(HWND other);
  // Makes the window larger where its client area, as the system measures it, does not hold its
  // controls at `dpi`.
  void GrowToHoldControls(UINT dpi);

private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls();
  // Places and sizes the window's controls and fonts for `dpi`, and the window itself unless the
  // system has sized it.
  void ApplyLayout(UINT dpi, bool sizeWindow);
  void PaintPanels();
  unsigned LookOf(HWND control) const;

  const layouts::Window &layout_;
  const Modality modality_;
  HWND handle_ = nullptr;
  std::vector<FontHandle> fonts_;
  int modalResult_ = 0;
};

// Gets and dispatches messages until WM_QUIT; keyboard navigation (Tab, Enter, Esc, mnemonics)
// works in every window as in dialogs.
int RunMessageLoop();
// Dispatches one message the way the loops do.
void DispatchWithDialogKeys(MSG &message);

} // namespace sf::ui
