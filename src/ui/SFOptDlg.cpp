#include "ui/SFOptDlg.h"

#include "ui/Forms.h"
#include "ui/SFToDirDlg.h"

namespace sf::ui {

TSFOptionDlg::TSFOptionDlg(HWND owner) : TWindow(layouts::kOption, owner) {}

void TSFOptionDlg::Command(int id) {
  switch (id) {
  case IDOK:
  case IDCANCEL:
    EndModal(id);
    break;
  case layouts::kRefButton:
    RefButtonClick();
    break;
  }
}

void TSFOptionDlg::RefButtonClick() {
  if (ToDirDlg->ShowModal() == IDOK)
    SetText(layouts::kToDirEdit, ToDirDlg->SelectedFolderPath());
}

} // namespace sf::ui
