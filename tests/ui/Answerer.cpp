#include "Answerer.h"

#include "WindowHelpers.h"

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

WindowAnswerer::WindowAnswerer(std::string className, int command, std::function<void(HWND)> inspect, int seconds)
    : className_(std::move(className)), command_(command), inspect_(std::move(inspect)), seconds_(seconds),
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
  Search search{&self.className_, nullptr};
  if (!WaitUntil(
          [&] {
            EnumThreadWindows(self.ownerThread_, MatchWindow, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
          },
          self.seconds_))
    return 0;
  self.seen_.caption = WindowText(search.found);
  self.seen_.text = ItemText(search.found, 0xFFFF);
  if (self.inspect_)
    self.inspect_(search.found);
  PostMessageW(search.found, WM_COMMAND, static_cast<WPARAM>(self.command_), 0);
  return 0;
}

bool QuitRequested() {
  MSG message;
  return PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

} // namespace sf::testing
