// Starts Songferry once for each playlist named, as a user would with the playlist as its argument,
// presses Copy, and records the box that answers; then closes the box and the program.
//
//   songferry_sample_run PROGRAM OUTFILE PLAYLIST...
//
// OUTFILE gets one line a playlist, in UTF-8: the playlist, the box's caption and its text, separated
// by tabs. Fails when the program shows no box or does not end.
#include "platform/win32/KernelHandle.h"
#include "platform/win32/Utf16.h"
#include "resources/Layouts.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

struct Search {
  DWORD process;
  const wchar_t *className;
  HWND found;
};

// The visible top-level window of class `className` that belongs to `process`, if there is one.
HWND WindowOf(DWORD process, const wchar_t *className) {
  Search search{process, className, nullptr};
  EnumWindows(
      [](HWND window, LPARAM parameter) -> BOOL {
        auto &search = *reinterpret_cast<Search *>(parameter);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        wchar_t name[64] = {};
        GetClassNameW(window, name, 64);
        if (owner != search.process || !IsWindowVisible(window) || std::wstring(name) != search.className)
          return TRUE;
        search.found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Polls every 20 ms for up to a minute; a program under Wine can take seconds to start.
HWND WaitForWindow(DWORD process, const wchar_t *className) {
  for (int tries = 0; tries < 3000; ++tries) {
    if (const HWND window = WindowOf(process, className))
      return window;
    Sleep(20);
  }
  return nullptr;
}

std::string Text(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return sf::Narrow(text);
}

// The caption and text of the box Songferry answers Copy with for `playList`; empty when none came.
std::string RunWith(const std::wstring &program, const std::wstring &playList) {
  std::wstring commandLine = L"\"" + program + L"\" \"" + playList + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &started))
    return {};
  const sf::KernelHandle process(started.hProcess), thread(started.hThread);
  std::string answer;
  if (const HWND main = WaitForWindow(started.dwProcessId, L"FrmSFMain")) {
    PostMessageW(GetDlgItem(main, sf::layouts::kIdOk), BM_CLICK, 0, 0);
    if (const HWND box = WaitForWindow(started.dwProcessId, L"#32770")) {
      // A message box shows its text in the static control 0xFFFF.
      answer = Text(box) + "\t" + Text(GetDlgItem(box, 0xFFFF));
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    // Songferry drops a request to close that comes before its run has ended: asked again until it
    // has closed.
    for (int tries = 0; tries < 60; ++tries) {
      PostMessageW(main, WM_CLOSE, 0, 0);
      if (WaitForSingleObject(process.get(), 500) == WAIT_OBJECT_0)
        return answer;
    }
  }
  TerminateProcess(process.get(), 1);
  return {};
}

} // namespace

int wmain(int argc, wchar_t **argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: songferry_sample_run PROGRAM OUTFILE PLAYLIST...\n");
    return 2;
  }
  std::ofstream out(argv[2], std::ios::binary);
  bool answered = true;
  for (int i = 3; i < argc; ++i) {
    const std::string answer = RunWith(argv[1], argv[i]);
    answered = answered && !answer.empty();
    out << sf::Narrow(argv[i]) << "\t" << answer << "\n";
  }
  return answered ? 0 : 1;
}
