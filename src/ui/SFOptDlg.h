#pragma once

#include "ui/SFToDirDlg.h"
#include "ui/Window.h"

namespace sf::ui {

// Edits the destination folder and the run's choices (end after the copy, number the copies, leave
// unchanged tracks, write a playlist of the copies); the main window loads and stores them.
// It owns the folder picker that its "参照" button opens over it.
class TSFOptionDlg final : public TWindow {
public:
  explicit TSFOptionDlg(HWND owner);

  TToDirDlg &ToDirDlg() { return toDirDlg_; }

protected:
  void Command(int id) override;
  bool OkConfirmed() override;

private:
  void RefButtonClick();

  TToDirDlg toDirDlg_{Handle()};
};

} // namespace sf::ui
