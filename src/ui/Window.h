#pragma once

#include "resources/Layouts.h"

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace sf::ui {

struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;

inline constexpr COLORREF kAquaText = RGB(0, 255, 255);

int ScaleForDpi(int pixels, UINT dpi);

// One top-level window built from its layout. The window procedure binds the object at
// WM_NCCREATE and hands every message to HandleMessage; an exception never leaves it, but goes to
// ReportUnhandled. The object owns its window and fonts.
class TWindow {
public:
  TWindow(const layouts::Window &layout, HWND owner);
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

protected:
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // A control's or menu item's command.
  virtual void Command(int /*id*/) {}
  // Called as ShowModal begins, before the window shows.
  virtual void ModalShowing() {}
  void EndModal(int result) { modalResult_ = result; }
  void CentreOnScreen();
  void CentreOn(HWND other);

private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls();
  // Places and sizes the window's controls and fonts for `dpi`.
  void ApplyLayout(UINT dpi);
  void PaintPanels();
  HFONT FontFor(const layouts::Font &font, UINT dpi);

  const layouts::Window &layout_;
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
