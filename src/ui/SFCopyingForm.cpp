#include "ui/SFCopyingForm.h"

#include "ui/MessageBoxes.h"

#include <commctrl.h>

namespace sf::ui {

TCopyingForm::TCopyingForm(HWND owner) : TWindow(layouts::kCopying, owner, Modality::Modeless) {}

void TCopyingForm::SetMaximum(std::int32_t maximum) {
  SendMessageA(Control(layouts::kCopyProgress), PBM_SETRANGE32, 0, maximum);
}

void TCopyingForm::Show() {
  CentreOn(GetWindow(Handle(), GW_OWNER));
  ShowWindow(Handle(), SW_SHOW);
}

void TCopyingForm::SetFileLabel(const std::string &text) { SetText(layouts::kCopyLabel, text); }

void TCopyingForm::SetPosition(std::int32_t position) {
  // A themed bar glides forward on timer messages, which a run never lets through, while a step
  // back is drawn at once: go one past the position and come back.
  const HWND bar = Control(layouts::kCopyProgress);
  const auto maximum = static_cast<std::int32_t>(SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
  if (position >= maximum)
    SendMessageA(bar, PBM_SETRANGE32, 0, position + 1);
  SendMessageA(bar, PBM_SETPOS, position + 1, 0);
  SendMessageA(bar, PBM_SETPOS, position, 0);
  if (position >= maximum)
    SendMessageA(bar, PBM_SETRANGE32, 0, maximum);
}

void TCopyingForm::Repaint() {
  RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void TCopyingForm::Close() { ShowWindow(Handle(), SW_HIDE); }

void TCopyingForm::KeepResponsive() {}

void TCopyingForm::ShowInfo(const std::string &text) { ui::ShowInfo(text); }

LRESULT TCopyingForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // The window is reused by every run: closing it only hides it.
  if (message == WM_CLOSE) {
    Close();
    return 0;
  }
  return TWindow::HandleMessage(message, wParam, lParam);
}

} // namespace sf::ui
