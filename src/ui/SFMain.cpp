#include "ui/SFMain.h"

#include "convert/ConverterProcesses.h"
#include "platform/PathParts.h"
#include "platform/win32/SystemFolders.h"
#include "platform/win32/Utf16.h"
#include "playlist/SFException.h"
#include "playlist/SFPlayList.h"
#include "resources/MessageTexts.h"
#include "ui/CommandLine.h"
#include "ui/MessageBoxes.h"
#include "ui/SystemDlls.h"

#include <commctrl.h>
#include <commdlg.h>
#include <cstdint>
#include <iterator>
#include <optional>
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
      AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), Widen(entry.caption).c_str());
      break;
    case layouts::MenuKind::Item:
      AppendMenuW(popup, MF_STRING, static_cast<UINT_PTR>(entry.id), Widen(entry.caption).c_str());
      break;
    case layouts::MenuKind::TopCommand:
      AppendMenuW(bar, MF_STRING, static_cast<UINT_PTR>(entry.id), Widen(entry.caption).c_str());
      break;
    }
  }
  return bar;
}

// Starts the program at the full path `application` (never searched for) with `commandLine`, in
// the folder `workingFolder`; false when it cannot be started.
bool StartProgram(const std::string &application, const std::string &commandLine, const std::string &workingFolder) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION started{};
  std::wstring writableCommandLine = Widen(commandLine);
  if (!CreateProcessW(Widen(application).c_str(), writableCommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      Widen(workingFolder).c_str(), &startup, &started))
    return false;
  const KernelHandle process(started.hProcess), thread(started.hThread);
  return true;
}

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

// Lets the session end again, once only however often asked.
void AllowSessionEnd(HWND window, bool &copying) {
  if (!copying)
    return;
  ShutdownBlockReasonDestroy(window);
  copying = false;
}

// While a copy command works the session may not end unasked, which would leave a track half
// copied: Windows shows the reason to the user who logs off or shuts down meanwhile. The run's
// closing box lifts it earlier, as it appears.
class SessionEndRefused {
public:
  SessionEndRefused(HWND window, bool &copying) : window_(window), copying_(copying) {
    copying_ = true;
    ShutdownBlockReasonCreate(window_, Widen(messages::kRunBlocksSessionEnd).c_str());
  }
  ~SessionEndRefused() { AllowSessionEnd(window_, copying_); }
  SessionEndRefused(const SessionEndRefused &) = delete;
  SessionEndRefused &operator=(const SessionEndRefused &) = delete;

private:
  HWND window_;
  bool &copying_;
};

// Marks a copy command as running for as long as it lives. What was posted to the window meanwhile
// reaches it before the mark goes, so that it is discarded there rather than run after the command.
class RunningCommand {
public:
  RunningCommand(HWND window, bool &running) : window_(window), running_(running) { running_ = true; }
  ~RunningCommand() {
    DispatchWaiting(window_, {WM_CLOSE, WM_COMMAND, WM_DROPFILES});
    running_ = false;
  }
  RunningCommand(const RunningCommand &) = delete;
  RunningCommand &operator=(const RunningCommand &) = delete;

private:
  HWND window_;
  bool &running_;
};

// Puts the working folder back when it ends. The open dialog moves it to each folder it shows,
// OFN_NOCHANGEDIR or not, and left there it would hold that folder open: a USB drive holding the
// playlist could not be ejected, nor the folder renamed, while the program runs.
class WorkingFolderKept {
public:
  WorkingFolderKept()
      : folder_(GrowingText([](wchar_t *buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); })) {}
  ~WorkingFolderKept() {
    if (!folder_.empty())
      SetCurrentDirectoryW(folder_.c_str());
  }
  WorkingFolderKept(const WorkingFolderKept &) = delete;
  WorkingFolderKept &operator=(const WorkingFolderKept &) = delete;

private:
  std::wstring folder_;
};

} // namespace

TFrmSFMain::TFrmSFMain(Platform &platform, const std::string &commandLine, int show)
    : TWindow(layouts::kMain, nullptr, Modality::Modeless), platform_(platform) {
  SetMenu(Handle(), BuildMainMenu());
  // The menu bar takes its height from the client area.
  GrowToHoldControls(DpiOf(Handle()));
  FormCreate(commandLine);
  ShowWindow(Handle(), show);
  // A failure from here on leaves this constructor unfinished: the destructor, which saves the
  // settings, does not run, and the user has changed nothing yet.
  optionDlg_ = std::make_unique<TSFOptionDlg>(Handle());
  copyingForm_ = std::make_unique<TCopyingForm>(Handle());
  copyingForm_->WhenWorkEnds([this] { AllowSessionEnd(Handle(), copying_); });
  about_ = std::make_unique<TSFAbout>(Handle());
}

TFrmSFMain::~TFrmSFMain() {
  // The owned windows go first, in the reverse order of their creation.
  about_.reset();
  copyingForm_.reset();
  optionDlg_.reset();
  if (settingsSaved_)
    return;
  try {
    option_->Save();
  } catch (...) {
    ReportUnhandled(std::current_exception());
  }
}

void TFrmSFMain::FormCreate(const std::string &commandLine) {
  // What DragAcceptFiles does, without the shell, which is loaded only when a file is dropped.
  SetWindowLongPtrW(Handle(), GWL_EXSTYLE, GetWindowLongPtrW(Handle(), GWL_EXSTYLE) | WS_EX_ACCEPTFILES);
  LetDropsThrough(Handle(), ChangeWindowMessageFilterEx);
  const auto arguments = SplitCommandLine(commandLine);
  if (arguments.size() > 1)
    ChoosePlayList(arguments[1]);
  option_ = std::make_unique<TSFOption>(platform_, SettingsFilePath(ProgramPath()));
  SetChecked(layouts::kAddCheck, option_->AddMode);
  SetChecked(layouts::kReverseCheck, option_->Reverse);
}

void TFrmSFMain::SessionEnding() {
  settingsSaved_ = true;
  try {
    option_->Save();
  } catch (const EIniFileException &) {
    // No box: the session is ending, and no one would see it.
  }
}

LRESULT TFrmSFMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_DROPFILES:
    WMDropFiles(reinterpret_cast<HDROP>(wParam));
    return 0;
  case WM_CLOSE:
    if (!running_)
      TerminateApplication();
    return 0;
  case WM_QUERYENDSESSION:
    return copying_ ? FALSE : TRUE;
  case WM_ENDSESSION:
    if (wParam)
      SessionEnding();
    return 0;
  }
  return TWindow::HandleMessage(message, wParam, lParam);
}

void TFrmSFMain::Command(int id) {
  // During a run only the check boxes answer: the run took their settings as it began.
  if (running_ && id != layouts::kAddCheck && id != layouts::kReverseCheck)
    return;
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
  case layouts::kMenuOptions:
    MenuOptionsClick();
    break;
  case layouts::kMenuAbout:
    MenuAboutClick();
    break;
  case layouts::kMenuHelp:
    MenuHelpClick();
    break;
  }
}

void TFrmSFMain::CopyButtonClick() {
  // A command sent while a run or a modal window holds the program must not start another run.
  if (running_ || !IsWindowEnabled(Handle()))
    return;
  const RunningCommand running(Handle(), running_);
  try {
    const DisabledWhileCopying disabled(Handle());
    const SessionEndRefused sessionEnd(Handle(), copying_);
    TPlayList playList(platform_, playListPath_);
    playList.Load();
    // The MP3s made on this PC are kept in the user's local application data folder.
    std::optional<ConvertCache> cache;
    // The run's converters are processes of the program itself, one per logical processor unless
    // ConvertProcesses says otherwise.
    static_assert(TSFOption::kMostConvertProcesses == kMostConverters);
    std::optional<ConverterProcesses> converters;
    std::optional<Conversion> conversion;
    if (option_->ConvertTracks) {
      const std::string localData = LocalAppDataFolder();
      if (localData.empty())
        throw ESFException(FormatText(messages::kCacheUnwritable, "%LOCALAPPDATA%\\Songferry\\Cache"));
      if (!converter_)
        converter_ = std::make_unique<Mp3Converter>();
      cache.emplace(platform_, JoinPath(localData, "Songferry\\Cache"),
                    static_cast<std::uint64_t>(option_->ConvertCacheMiB) << 20);
      converters.emplace(ProgramPath());
      conversion.emplace(Conversion{*converter_, *cache, static_cast<ConvertQuality>(option_->ConvertQuality),
                                    &*converters, option_->ConvertProcesses});
    }
    // A run the user cancelled never ends the program.
    if (playList.CopyTracks(*copyingForm_, option_->ToDir, option_->AddMode, option_->Reverse, option_->NumberTracks,
                            option_->SkipUnchanged, option_->WritePlayList, conversion ? &*conversion : nullptr) &&
        option_->StopAfterCopy)
      TerminateApplication();
  } catch (const ESFException &error) {
    copyingForm_->Close();
    ShowError(error.what());
  } catch (...) {
    // Every other error is shown by the top-level handler, over no progress window either.
    copyingForm_->Close();
    throw;
  }
}

void TFrmSFMain::MenuCopyClick() { CopyButtonClick(); }

void TFrmSFMain::CancelButtonClick() { TerminateApplication(); }

void TFrmSFMain::MenuExitClick() { TerminateApplication(); }

void TFrmSFMain::AddCheckClick() { option_->AddMode = IsChecked(layouts::kAddCheck); }

void TFrmSFMain::ReverseCheckClick() { option_->Reverse = IsChecked(layouts::kReverseCheck); }

void TFrmSFMain::MenuOpenClick() {
  std::wstring path(32 * 1024, L'\0');
  const std::wstring filter = Widen(std::string_view(messages::kOpenDialogFilter, sizeof messages::kOpenDialogFilter));
  const std::wstring initialFolder = Widen(option_->DefaultDir);
  const std::wstring title = Widen(messages::kOpenDialogTitle);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = Handle();
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrInitialDir = initialFolder.c_str();
  dialog.lpstrTitle = title.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  const auto getOpenFileName =
      FindFunction<decltype(GetOpenFileNameW)>(KeepSystemDll(L"comdlg32.dll"), "GetOpenFileNameW");
  const WorkingFolderKept workingFolder;
  if (!getOpenFileName || !getOpenFileName(&dialog))
    return;
  path.resize(path.find(L'\0'));
  ChoosePlayList(Narrow(path));
  // The settings file is Shift-JIS: a folder it cannot name leaves the starting folder as it was.
  const std::string folder = FolderPartWithSeparator(Narrow(path));
  if (FitsShiftJis(folder))
    option_->DefaultDir = folder;
}

void TFrmSFMain::WMDropFiles(HDROP drop) {
  const HMODULE shell = KeepSystemDll(L"shell32.dll");
  const auto dragFinish = FindFunction<decltype(DragFinish)>(shell, "DragFinish");
  const auto dragQueryFile = FindFunction<decltype(DragQueryFileW)>(shell, "DragQueryFileW");
  if (!dragFinish || !dragQueryFile)
    return;
  const std::unique_ptr<std::remove_pointer_t<HDROP>, decltype(dragFinish)> finisher(drop, dragFinish);
  if (running_)
    return;
  // Asked for its length first, so that a path of any length comes through whole.
  const UINT length = dragQueryFile(drop, 0, nullptr, 0);
  std::wstring path(length + 1, L'\0');
  path.resize(dragQueryFile(drop, 0, path.data(), length + 1));
  ChoosePlayList(Narrow(path));
}

void TFrmSFMain::MenuOptionsClick() {
  optionDlg_->SetText(layouts::kToDirEdit, option_->ToDir);
  optionDlg_->SetChecked(layouts::kStopCheck, option_->StopAfterCopy);
  optionDlg_->SetChecked(layouts::kNumberCheck, option_->NumberTracks);
  optionDlg_->SetChecked(layouts::kSkipCheck, option_->SkipUnchanged);
  optionDlg_->SetChecked(layouts::kPlayListCheck, option_->WritePlayList);
  optionDlg_->SetChecked(layouts::kConvertCheck, option_->ConvertTracks);
  optionDlg_->SelectItem(layouts::kQualityList, option_->ConvertQuality);
  if (optionDlg_->ShowModal() != IDOK)
    return;
  option_->ToDir = optionDlg_->Text(layouts::kToDirEdit);
  option_->StopAfterCopy = optionDlg_->IsChecked(layouts::kStopCheck);
  option_->NumberTracks = optionDlg_->IsChecked(layouts::kNumberCheck);
  option_->SkipUnchanged = optionDlg_->IsChecked(layouts::kSkipCheck);
  option_->WritePlayList = optionDlg_->IsChecked(layouts::kPlayListCheck);
  option_->ConvertTracks = optionDlg_->IsChecked(layouts::kConvertCheck);
  static_assert(std::size(layouts::kQualityItems) == TSFOption::kConvertQualities);
  option_->ConvertQuality = optionDlg_->SelectedItem(layouts::kQualityList);
}

void TFrmSFMain::MenuAboutClick() { about_->ShowModal(); }

void TFrmSFMain::MenuHelpClick() { OpenHelp(WindowsFolder(), ProgramPath()); }

void TFrmSFMain::ChoosePlayList(const std::string &path) {
  // Full at once: a bare name given in the playlist's folder must still name it when a run or the
  // open dialog has changed the working folder.
  playListPath_ = platform_.FullPath(path);
  SetText(layouts::kPLNameLabel, FileNamePart(playListPath_));
}

std::string HelpViewerPath(const std::string &windowsFolder) {
  // The system gives its folder with a final "\" only where that is a root ("C:\").
  return JoinPath(windowsFolder, "hh.exe");
}

std::string HelpCommandLine(const std::string &programPath) {
  // Quoted, so that a program folder with blanks in its name ("C:\Program Files\...") works.
  return "hh \"" + FolderPartWithSeparator(programPath) + "Songferry.CHM\"";
}

void OpenHelp(const std::string &windowsFolder, const std::string &programPath) {
  // By its full path: "hh" alone would be searched for in the program's folder first. The viewer
  // runs in the Windows folder, not in the current one.
  if (windowsFolder.empty() ||
      !StartProgram(HelpViewerPath(windowsFolder), HelpCommandLine(programPath), windowsFolder))
    ShowError(messages::kHelpViewerMissing);
}

void LetDropsThrough(HWND window, MessageFilterChange change) {
  for (const UINT message : kDropMessages)
    change(window, message, MSGFLT_ALLOW, nullptr);
}

void TerminateApplication() { PostQuitMessage(0); }

} // namespace sf::ui
