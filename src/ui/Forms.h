#pragma once

#include <memory>
#include <string>

// The program's five windows: single instances, created once at start in this order and reused
// for every opening.
namespace sf::ui {

class TFrmSFMain;
class TSFOptionDlg;
class TToDirDlg;
class TCopyingForm;
class TSFAbout;

extern std::unique_ptr<TFrmSFMain> FrmSFMain;
extern std::unique_ptr<TSFOptionDlg> SFOptionDlg;
extern std::unique_ptr<TToDirDlg> ToDirDlg;
extern std::unique_ptr<TCopyingForm> CopyingForm;
extern std::unique_ptr<TSFAbout> SFAbout;

void CreateForms(const std::string &commandLine);
// Destroys them in reverse order; the main window's end saves the settings.
void DestroyForms();

} // namespace sf::ui
