#pragma once

#include "ui/SFToDirDlg.h"
#include "ui/Window.h"

namespace sf::ui {

// Edits the destination folder and the run's choices (end after the copy, number the copies, leave
// unchanged tracks, write a playlist of the copies, convert to MP3 and at which quality); the main
// window loads and stores them. It owns the folder picker that its "参照" button opens over it.
class TSFOptionDlg final : public TWindow {
public:
  explicit TSFOptionDlg(HWND owner);

  TToDirDlg &ToDirDlg() { return toDirDlg_; }

protected:
  void Command(int id) override;
  bool OkConfirmed() override;
  void ModalShowing() override;

private:
  void RefButtonClick();
  // A quality means something only for tracks that convert: the list is greyed while they do not.
  void EnableQualityForConvertCheck();

  TToDirDlg toDirDlg_{Handle()};
};

} // namespace sf::ui
