#include "ui/SFOptDlg.h"

#include "platform/win32/Utf16.h"
#include "resources/MessageTexts.h"
#include "ui/Forms.h"
#include "ui/MessageBoxes.h"
#include "ui/SFToDirDlg.h"

namespace sf::ui {

TSFOptionDlg::TSFOptionDlg(HWND owner) : TWindow(layouts::kOption, owner) {}

void TSFOptionDlg::Command(int id) {
  switch (id) {
  case IDOK:
    // The settings file is Shift-JIS: a folder it cannot name is refused, and nothing is stored.
    if (!FitsShiftJis(Text(layouts::kToDirEdit))) {
      ShowError(messages::kFolderNotShiftJis);
      break;
    }
    EndModal(id);
    break;
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
