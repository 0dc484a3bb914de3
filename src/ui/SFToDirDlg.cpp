#include "ui/SFToDirDlg.h"

namespace sf::ui {

TToDirDlg::TToDirDlg(HWND owner) : TWindow(layouts::kToDir, owner) {}

std::string TToDirDlg::SelectedFolderPath() const { return {}; }

void TToDirDlg::Command(int id) {
  if (id == IDOK || id == IDCANCEL)
    EndModal(id);
}

} // namespace sf::ui
