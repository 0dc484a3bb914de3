#pragma once

#include "ImportReplaced.h"

#include <windows.h>

#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

// What several window tests need: reading windows, waiting for them, watching their messages.
namespace sf::testing {

// A window's text, and a dialog item's, in UTF-8.
std::string WindowText(HWND window);
std::string ItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const std::string &text);
// The window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND window);
// A drop of `paths` as the shell makes it, in wide characters.
HDROP MakeDrop(const std::vector<std::string> &paths);
// Asks `done` every 20 ms for up to `seconds`; whether it came true.
bool WaitUntil(const std::function<bool()> &done, int seconds = 10);

// Shows `watch` every message sent to a window of this thread, before that window handles it, for
// as long as it lives.
class SentMessageSpy {
public:
  explicit SentMessageSpy(std::function<void(const CWPSTRUCT &)> watch);
  ~SentMessageSpy();
  SentMessageSpy(const SentMessageSpy &) = delete;
  SentMessageSpy &operator=(const SentMessageSpy &) = delete;

private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  HHOOK hook_;
};

// Shows `watch` every posted message that this thread takes off its queue, for as long as it lives.
class TakenMessageSpy {
public:
  explicit TakenMessageSpy(std::function<void(const MSG &)> watch);
  ~TakenMessageSpy();
  TakenMessageSpy(const TakenMessageSpy &) = delete;
  TakenMessageSpy &operator=(const TakenMessageSpy &) = delete;

private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  HHOOK hook_;
};

} // namespace sf::testing
