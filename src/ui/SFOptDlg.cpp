#include "ui/SFOptDlg.h"

#include "ui/Forms.h"
#include "ui/SFToDirDlg.h"

namespace sf::ui {

TSFOptionDlg::TSFOptionDlg(HWND owner) : TWindow(layouts::kOption, owner, Modality::Modal) {}

void TSFOptionDlg::Command(int id) {
  if (id == layouts::kRefButton)
    RefButtonClick();
}

void TSFOptionDlg::RefButtonClick() {
  if (ToDirDlg->ShowModal() == IDOK)
    SetText(layouts::kToDirEdit, ToDirDlg->SelectedFolderPath());
}

} // namespace sf::ui
