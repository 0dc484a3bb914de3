#include "ui/SFOptDlg.h"

#include "platform/win32/Utf16.h"
#include "resources/MessageTexts.h"
#include "ui/MessageBoxes.h"

namespace sf::ui {

TSFOptionDlg::TSFOptionDlg(HWND owner) : TWindow(layouts::kOption, owner, Modality::Modal) {}

void TSFOptionDlg::Command(int id) {
  if (id == layouts::kRefButton)
    RefButtonClick();
}

bool TSFOptionDlg::OkConfirmed() {
  // The settings file is Shift-JIS: a folder it cannot name is refused, and nothing is stored.
  if (FitsShiftJis(Text(layouts::kToDirEdit)))
    return true;
  ShowError(messages::kFolderNotShiftJis, Handle());
  return false;
}

void TSFOptionDlg::RefButtonClick() {
  if (toDirDlg_.ShowModal() == IDOK)
    SetText(layouts::kToDirEdit, toDirDlg_.SelectedFolderPath());
}

} // namespace sf::ui
