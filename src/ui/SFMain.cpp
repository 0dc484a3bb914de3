#include "ui/SFMain.h"

#include "platform/PathParts.h"
#include "playlist/SFException.h"
#include "resources/MessageTexts.h"
#include "ui/CommandLine.h"
#include "ui/Forms.h"
#include "ui/MessageBoxes.h"
#include "ui/SFAboutBox.h"
#include "ui/SFCopyingForm.h"
#include "ui/SFOptDlg.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

namespace sf::ui {
namespace {

HMENU BuildMainMenu() {
  const HMENU bar = CreateMenu();
  HMENU popup = nullptr;
  for (const auto &entry : layouts::kMainMenu) {
    switch (entry.kind) {
    case layouts::MenuKind::Popup:
      popup = CreatePopupMenu();
      AppendMenuA(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), entry.caption);
      break;
    case layouts::MenuKind::Item:
      AppendMenuA(popup, MF_STRING, static_cast<UINT_PTR>(entry.id), entry.caption);
      break;
    case layouts::MenuKind::TopCommand:
      AppendMenuA(bar, MF_STRING, static_cast<UINT_PTR>(entry.id), entry.caption);
      break;
    }
  }
  return bar;
}

struct DropFinisher {
  void operator()(HDROP drop) const { DragFinish(drop); }
};

// Keeps the main window and its menu disabled while a copy command works, however it ends, and
// drops the input that came meanwhile.
class DisabledWhileCopying {
public:
  explicit DisabledWhileCopying(HWND window) : window_(window), focus_(GetFocus()) { EnableWindow(window_, FALSE); }
  ~DisabledWhileCopying() {
    DiscardQueuedInput();
    EnableWindow(window_, TRUE);
    // Disabling took the focus away: give it back to where the command came from.
    if (GetActiveWindow() == window_ && IsWindow(focus_) && IsChild(window_, focus_))
      SetFocus(focus_);
  }
  DisabledWhileCopying(const DisabledWhileCopying &) = delete;
  DisabledWhileCopying &operator=(const DisabledWhileCopying &) = delete;

private:
  HWND window_;
  HWND focus_;
};

} // namespace

TFrmSFMain::TFrmSFMain(const std::string &commandLine) : TWindow(layouts::kMain, nullptr) {
  SetMenu(Handle(), BuildMainMenu());
  FormCreate(commandLine);
}

TFrmSFMain::~TFrmSFMain() {
  // Destroyed here, while this is still a TFrmSFMain, so that WM_DESTROY reaches FormDestroy.
  if (Handle())
    DestroyWindow(Handle());
}

void TFrmSFMain::FormCreate(const std::string &commandLine) {
  DragAcceptFiles(Handle(), TRUE);
  const auto arguments = SplitCommandLine(platform_, commandLine);
  if (arguments.size() > 1)
    ChoosePlayList(arguments[1]);
  Option = std::make_unique<TSFOption>(platform_, SettingsFilePath(platform_, ProgramPath()));
  SetChecked(layouts::kAddCheck, Option->AddMode);
  SetChecked(layouts::kReverseCheck, Option->Reverse);
}

void TFrmSFMain::FormDestroy() {
  if (Option)
    Option->Save();
}

LRESULT TFrmSFMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_DROPFILES:
    WMDropFiles(reinterpret_cast<HDROP>(wParam));
    return 0;
  case WM_CLOSE:
    TerminateApplication();
    return 0;
  case WM_DESTROY:
    FormDestroy();
    return 0;
  }
  return TWindow::HandleMessage(message, wParam, lParam);
}

void TFrmSFMain::Command(int id) {
  switch (id) {
  case layouts::kIdOk:
    CopyButtonClick();
    break;
  case layouts::kIdCancel:
    CancelButtonClick();
    break;
  case layouts::kAddCheck:
    AddCheckClick();
    break;
  case layouts::kReverseCheck:
    ReverseCheckClick();
    break;
  case layouts::kMenuOpen:
    MenuOpenClick();
    break;
  case layouts::kMenuExit:
    MenuExitClick();
    break;
  case layouts::kMenuCopy:
    MenuCopyClick();
    break;
  case layouts::kMenuO2:
    O2Click();
    break;
  case layouts::kMenuAboutA1:
    AboutA1Click();
    break;
  case layouts::kMenuMiHelp:
    MiHelpClick();
    break;
  }
}

void TFrmSFMain::CopyButtonClick() {
  // A command sent while a run or a modal window holds the program must not start another run.
  if (!IsWindowEnabled(Handle()))
    return;
  try {
    const DisabledWhileCopying disabled(Handle());
    playList_ = std::make_unique<TPlayList>(platform_, PlayListPath);
    playList_->Load();
    playList_->CopyTracks(*CopyingForm, Option->ToDir, Option->AddMode, Option->Reverse);
    if (Option->StopAfterCopy)
      TerminateApplication();
  } catch (const ESFException &error) {
    CopyingForm->Close();
    ShowError(error.what());
  }
}

void TFrmSFMain::MenuCopyClick() { CopyButtonClick(); }

void TFrmSFMain::CancelButtonClick() { TerminateApplication(); }

void TFrmSFMain::MenuExitClick() { TerminateApplication(); }

void TFrmSFMain::AddCheckClick() { Option->AddMode = IsChecked(layouts::kAddCheck); }

void TFrmSFMain::ReverseCheckClick() { Option->Reverse = IsChecked(layouts::kReverseCheck); }

void TFrmSFMain::MenuOpenClick() {
  std::string path(32 * 1024, '\0');
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = Handle();
  dialog.lpstrFilter = messages::kOpenDialogFilter;
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrInitialDir = Option->DefaultDir.c_str();
  dialog.lpstrTitle = messages::kOpenDialogTitle;
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameA(&dialog))
    return;
  path.resize(path.find('\0'));
  ChoosePlayList(path);
  Option->DefaultDir = FolderPartWithSeparator(platform_, path);
}

void TFrmSFMain::WMDropFiles(HDROP drop) {
  const std::unique_ptr<std::remove_pointer_t<HDROP>, DropFinisher> finisher(drop);
  // Asked for its length first, so that a path of any length comes through whole.
  const UINT length = DragQueryFileA(drop, 0, nullptr, 0);
  std::string path(length + 1, '\0');
  path.resize(DragQueryFileA(drop, 0, path.data(), length + 1));
  ChoosePlayList(path);
}

void TFrmSFMain::O2Click() {
  SFOptionDlg->SetText(layouts::kToDirEdit, Option->ToDir);
  SFOptionDlg->SetChecked(layouts::kStopCheck, Option->StopAfterCopy);
  if (SFOptionDlg->ShowModal() != IDOK)
    return;
  Option->ToDir = SFOptionDlg->Text(layouts::kToDirEdit);
  Option->StopAfterCopy = SFOptionDlg->IsChecked(layouts::kStopCheck);
}

void TFrmSFMain::AboutA1Click() { SFAbout->ShowModal(); }

void TFrmSFMain::MiHelpClick() { WinExec(HelpCommandLine(platform_, ProgramPath()).c_str(), SW_SHOW); }

void TFrmSFMain::ChoosePlayList(const std::string &path) {
  PlayListPath = path;
  SetText(layouts::kPLNameLabel, FileNamePart(platform_, path));
}

std::string HelpCommandLine(const CodePage &codePage, const std::string &programPath) {
  // Quoted, so that a program folder with blanks in its name ("C:\Program Files\...") works.
  return "hh \"" + FolderPartWithSeparator(codePage, programPath) + "Songferry.CHM\"";
}

void TerminateApplication() { PostQuitMessage(0); }

ComApartment::ComApartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }

ComApartment::~ComApartment() { CoUninitialize(); }

int RunApplication() {
  const ComApartment com;
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                      ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  CreateForms(GetCommandLineA());
  ShowWindow(FrmSFMain->Handle(), SW_SHOW);
  const int exitCode = RunMessageLoop();
  DestroyForms();
  return exitCode;
}

} // namespace sf::ui
