#pragma once

#include "convert/Mp3Converter.h"
#include "platform/Platform.h"
#include "settings/SFOption.h"
#include "ui/Owners.h"
#include "ui/SFAboutBox.h"
#include "ui/SFCopyingForm.h"
#include "ui/SFOptDlg.h"
#include "ui/Window.h"

#include <memory>
#include <string>

namespace sf::ui {

// The main window: choose a playlist (command line, open dialog or drop), set add mode and reverse
// order, copy. It owns the settings and the program's other windows (options with their folder
// picker, progress, about), and is where a copy run's errors are shown.
class TFrmSFMain final : public TWindow {
public:
  // `commandLine` is the program's own, as the system gives it, in UTF-8. The window is shown
  // (`show`, as ShowWindow takes it) as soon as it exists; the others are created hidden after it,
  // so that the user need not wait for them. When one cannot be created, the error goes on to the
  // caller and the settings file stays as it was.
  TFrmSFMain(Platform &platform, const std::string &commandLine, int show = SW_HIDE);
  // Destroys the other windows, then saves the settings.
  ~TFrmSFMain() override;

  void CopyButtonClick();
  void MenuCopyClick();
  void CancelButtonClick();
  void MenuExitClick();
  void AddCheckClick();
  void ReverseCheckClick();
  void MenuOpenClick();
  void WMDropFiles(HDROP drop);
  void MenuOptionsClick();
  void MenuAboutClick();
  void MenuHelpClick();

  TSFOption &Option() { return *option_; }
  const std::string &PlayListPath() const { return playListPath_; }
  // Takes `path`, made full, as the playlist to copy, and shows its name.
  void ChoosePlayList(const std::string &path);

  TSFOptionDlg &OptionDlg() { return *optionDlg_; }
  TCopyingForm &CopyingForm() { return *copyingForm_; }
  TSFAbout &About() { return *about_; }

protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Command(int id) override;

private:
  void FormCreate(const std::string &commandLine);
  // The session ends: Windows may end the process without destroying any window.
  void SessionEnding();

  Platform &platform_;
  std::unique_ptr<TSFOption> option_;
  std::string playListPath_;
  std::unique_ptr<TSFOptionDlg> optionDlg_;
  std::unique_ptr<TCopyingForm> copyingForm_;
  std::unique_ptr<TSFAbout> about_;
  // Made by the first run that converts, and kept: Media Foundation, once started, stays so.
  std::unique_ptr<Mp3Converter> converter_;
  // While a copy command runs, to its last box: nothing may then open another window, end the
  // program or choose another playlist.
  bool running_ = false;
  // While the run itself works, up to its closing box: the session may not end then.
  bool copying_ = false;
  bool settingsSaved_ = false;
};

// The help viewer, hh.exe in the Windows folder `windowsFolder` (as GetWindowsDirectoryW gives it).
std::string HelpViewerPath(const std::string &windowsFolder);
// The command line, for that viewer, that opens the help file beside the program at `programPath`.
std::string HelpCommandLine(const std::string &programPath);
// Opens that help file in that viewer, and in nothing else named "hh"; an error box when the viewer
// cannot be started.
void OpenHelp(const std::string &windowsFolder, const std::string &programPath);

// What a drop from Explorer sends: WM_DROPFILES, WM_COPYDATA and WM_COPYGLOBALDATA.
inline constexpr UINT kDropMessages[] = {WM_DROPFILES, WM_COPYDATA, 0x0049};
using MessageFilterChange = BOOL(WINAPI *)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);
// Lets the drop messages through `change` (ChangeWindowMessageFilterEx) to `window` from programs of
// lower integrity: the system keeps them from an elevated program's windows, Explorer's among them.
void LetDropsThrough(HWND window, MessageFilterChange change);

// Tells the application to end once the current message is handled.
void TerminateApplication();

} // namespace sf::ui
