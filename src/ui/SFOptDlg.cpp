#include "ui/SFOptDlg.h"

#include "platform/win32/Utf16.h"
#include "resources/MessageTexts.h"
#include "ui/Forms.h"
#include "ui/MessageBoxes.h"
#include "ui/SFToDirDlg.h"

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
  if (ToDirDlg->ShowModal() == IDOK)
    SetText(layouts::kToDirEdit, ToDirDlg->SelectedFolderPath());
}

} // namespace sf::ui
