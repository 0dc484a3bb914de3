#pragma once

#include <windows.h>

#include <memory>
#include <string>

// The program's five windows: single instances, created once at start in this order and reused
// for every opening. The main window is shown (`mainShow`, as ShowWindow takes it) as soon as it
// exists: the others stay hidden until used, and the user need not wait for them.
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

// When one cannot be created, those made so far are destroyed without saving the settings, and the
// error goes on to the caller.
void CreateForms(const std::string &commandLine, int mainShow = SW_HIDE);
// Destroys them in reverse order; the main window's end saves the settings.
void DestroyForms();

// The windows for as long as it lives.
class FormsLifetime {
public:
  FormsLifetime(const std::string &commandLine, int mainShow) { CreateForms(commandLine, mainShow); }
  ~FormsLifetime() { DestroyForms(); }
  FormsLifetime(const FormsLifetime &) = delete;
  FormsLifetime &operator=(const FormsLifetime &) = delete;
};

} // namespace sf::ui
