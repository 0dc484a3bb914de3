#pragma once

#include "Answerer.h"
#include "ScratchFolder.h"
#include "WindowHelpers.h"
#include "platform/PathParts.h"
#include "platform/win32/SystemFolders.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32Platform.h"
#include "resources/Layouts.h"
#include "ui/Application.h"
#include "ui/SFMain.h"

#include <gtest/gtest.h>

#include <memory>

namespace sf::testing {

// The program's five windows, created in the test process as the program creates them, with no
// settings file to start from.
class WindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    com = std::make_unique<ComApartment>();
    DeleteFileW(Widen(settingsPath).c_str());
    Start("songferry_ui_tests.exe");
  }
  void TearDown() override {
    main.reset();
    com.reset();
    QuitRequested();
    DeleteFileW(Widen(settingsPath).c_str());
  }

  // The program's windows, as the program starts with the command line `commandLine`.
  void Start(const std::string &commandLine) {
    main.reset();
    main = std::make_unique<ui::TFrmSFMain>(platform, commandLine);
  }
  ui::TFrmSFMain &Main() { return *main; }
  // Shows the modal `window` until a thread of its own answers it with `command`; its caption.
  std::string ShowAnswered(ui::TWindow &window, int command) {
    WindowAnswerer answer(window.Layout().name, command);
    window.ShowModal();
    return answer.Seen().caption;
  }
  HWND MainControl(int id) { return main->Control(id); }
  void Click(HWND window, int id) { SendMessageA(GetDlgItem(window, id), BM_CLICK, 0, 0); }
  void Command(int id) { SendMessageA(Main().Handle(), WM_COMMAND, static_cast<WPARAM>(id), 0); }

  std::unique_ptr<ComApartment> com;
  Win32Platform platform;
  std::unique_ptr<ui::TFrmSFMain> main;
  // Beside the program, whatever its name.
  const std::string settingsPath = FolderPartWithSeparator(ProgramPath()) + "Songferry.ini";
  ScratchFolder scratch;
};

} // namespace sf::testing
