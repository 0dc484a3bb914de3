#include "ui/SFOptDlg.h"

#include "ui/MessageBoxes.h"

namespace sf::ui {

TSFOptionDlg::TSFOptionDlg(HWND owner) : TWindow(layouts::kOption, owner, Modality::Modal) {}

void TSFOptionDlg::Command(int id) {
  if (id == layouts::kRefButton)
    RefButtonClick();
}

bool TSFOptionDlg::OkConfirmed() {
  // A folder the settings file cannot name is refused, and nothing is stored.
  return ConfirmDestinationFitsSettings(Text(layouts::kToDirEdit), Handle());
}

void TSFOptionDlg::RefButtonClick() {
  if (toDirDlg_.ShowModal() == IDOK)
    SetText(layouts::kToDirEdit, toDirDlg_.SelectedFolderPath());
}

} // namespace sf::ui
