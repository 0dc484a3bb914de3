#include "ui/SFOptDlg.h"

#include "ui/MessageBoxes.h"

namespace sf::ui {

TSFOptionDlg::TSFOptionDlg(HWND owner) : TWindow(layouts::kOption, owner, Modality::Modal) {
  EnableQualityForConvertCheck();
}

void TSFOptionDlg::Command(int id) {
  if (id == layouts::kRefButton)
    RefButtonClick();
  else if (id == layouts::kConvertCheck)
    EnableQualityForConvertCheck();
}

bool TSFOptionDlg::OkConfirmed() {
  // A folder the settings file cannot name is refused, and nothing is stored.
  return ConfirmDestinationFitsSettings(Text(layouts::kToDirEdit), Handle());
}

void TSFOptionDlg::ModalShowing() {
  // The main window checks the box from the settings without a click.
  EnableQualityForConvertCheck();
}

void TSFOptionDlg::RefButtonClick() {
  if (toDirDlg_.ShowModal() == IDOK)
    SetText(layouts::kToDirEdit, toDirDlg_.SelectedFolderPath());
}

void TSFOptionDlg::EnableQualityForConvertCheck() {
  const bool converting = IsChecked(layouts::kConvertCheck);
  for (const int id : {layouts::kQualityCaption, layouts::kQualityList})
    EnableWindow(Control(id), converting);
}

} // namespace sf::ui
