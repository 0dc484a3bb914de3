#pragma once

#include "ui/Window.h"

namespace sf::ui {

// Edits the destination folder and the end-after-copy choice; the main window loads and stores them.
class TSFOptionDlg final : public TWindow {
public:
  explicit TSFOptionDlg(HWND owner);

protected:
  void Command(int id) override;
  bool OkConfirmed() override;

private:
  void RefButtonClick();
};

} // namespace sf::ui
