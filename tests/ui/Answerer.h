#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace sf::testing {

struct SeenWindow {
  std::string caption; // "(none)" when no window showed up
  std::string text;    // a message box's message
};

// Waits, on a thread of its own, for the next visible top-level window of class `className` (by
// default a message box or common dialog) on the creating thread, notes what it shows, lets
// `inspect` look at it while it is open, and then sends it `command` (IDOK presses OK). Gives up
// after `seconds`.
class WindowAnswerer {
public:
  explicit WindowAnswerer(std::string className = "#32770", int command = IDOK, std::function<void(HWND)> inspect = {},
                          int seconds = 10);
  ~WindowAnswerer();
  WindowAnswerer(const WindowAnswerer &) = delete;
  WindowAnswerer &operator=(const WindowAnswerer &) = delete;

  // What the window showed, once it has been answered.
  const SeenWindow &Seen();

private:
  static DWORD WINAPI Run(void *self);

  std::string className_;
  int command_;
  std::function<void(HWND)> inspect_;
  int seconds_;
  DWORD ownerThread_;
  SeenWindow seen_;
  HANDLE thread_;
};

// True, once, when the program asked to end (a WM_QUIT waits in the queue).
bool QuitRequested();

} // namespace sf::testing
