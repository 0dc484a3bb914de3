#include "Answerer.h"

#include "platform/win32/Utf16.h"

namespace sf::testing {
namespace {

struct Search {
  const std::string *className;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
  auto &search = *reinterpret_cast<Search *>(context);
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  if (IsWindowVisible(window) && *search.className == name) {
    search.found = window;
    return FALSE;
  }
  return TRUE;
}

} // namespace

std::string WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return Narrow(text);
}

std::string ItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

void SetItemText(HWND dialog, int id, const std::string &text) { SetDlgItemTextW(dialog, id, Widen(text).c_str()); }

WindowAnswerer::WindowAnswerer(std::string className, int command, std::function<void(HWND)> inspect)
    : className_(std::move(className)), command_(command), inspect_(std::move(inspect)),
      ownerThread_(GetCurrentThreadId()), seen_{"(none)", {}},
      thread_(CreateThread(nullptr, 0, Run, this, 0, nullptr)) {}

WindowAnswerer::~WindowAnswerer() {
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
}

const SeenWindow &WindowAnswerer::Seen() {
  WaitForSingleObject(thread_, INFINITE);
  return seen_;
}

DWORD WINAPI WindowAnswerer::Run(void *context) {
  auto &self = *static_cast<WindowAnswerer *>(context);
  for (int tries = 0; tries < 500; ++tries) {
    Search search{&self.className_, nullptr};
    EnumThreadWindows(self.ownerThread_, MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      self.seen_.caption = WindowText(search.found);
      if (const HWND message = GetDlgItem(search.found, 0xFFFF))
        self.seen_.text = WindowText(message);
      if (self.inspect_)
        self.inspect_(search.found);
      PostMessageA(search.found, WM_COMMAND, static_cast<WPARAM>(self.command_), 0);
      return 0;
    }
    Sleep(20);
  }
  return 0;
}

bool QuitRequested() {
  MSG message;
  return PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

} // namespace sf::testing
