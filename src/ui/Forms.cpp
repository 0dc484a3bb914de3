#include "ui/Forms.h"

#include "ui/SFAboutBox.h"
#include "ui/SFCopyingForm.h"
#include "ui/SFMain.h"
#include "ui/SFOptDlg.h"
#include "ui/SFToDirDlg.h"

namespace sf::ui {

std::unique_ptr<TFrmSFMain> FrmSFMain;
std::unique_ptr<TSFOptionDlg> SFOptionDlg;
std::unique_ptr<TToDirDlg> ToDirDlg;
std::unique_ptr<TCopyingForm> CopyingForm;
std::unique_ptr<TSFAbout> SFAbout;

void CreateForms(const std::string &commandLine, int mainShow) {
  try {
    FrmSFMain = std::make_unique<TFrmSFMain>(commandLine);
    ShowWindow(FrmSFMain->Handle(), mainShow);
    SFOptionDlg = std::make_unique<TSFOptionDlg>(FrmSFMain->Handle());
    ToDirDlg = std::make_unique<TToDirDlg>(SFOptionDlg->Handle());
    CopyingForm = std::make_unique<TCopyingForm>(FrmSFMain->Handle());
    SFAbout = std::make_unique<TSFAbout>(FrmSFMain->Handle());
  } catch (...) {
    // The user has changed nothing yet: the settings file stays as it was.
    if (FrmSFMain)
      FrmSFMain->Option.reset();
    DestroyForms();
    throw;
  }
}

void DestroyForms() {
  SFAbout.reset();
  CopyingForm.reset();
  ToDirDlg.reset();
  SFOptionDlg.reset();
  FrmSFMain.reset();
}

} // namespace sf::ui
