#include "WindowHelpers.h"

namespace sf::testing {
namespace {

// The spy's watcher: hook procedures carry no context of their own.
std::function<void(const CWPSTRUCT &)> spyWatch;

} // namespace

std::string TextOf(HWND window) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::string ItemText(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }

RECT RectInParent(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT *>(&rect), 2);
  return rect;
}

bool WaitUntil(const std::function<bool()> &done) {
  for (int tries = 0; tries < 500; ++tries, Sleep(20)) {
    if (done())
      return true;
  }
  return false;
}

SentMessageSpy::SentMessageSpy(std::function<void(const CWPSTRUCT &)> watch)
    : hook_((spyWatch = std::move(watch), SetWindowsHookExA(WH_CALLWNDPROC, Hook, nullptr, GetCurrentThreadId()))) {}

SentMessageSpy::~SentMessageSpy() {
  UnhookWindowsHookEx(hook_);
  spyWatch = nullptr;
}

LRESULT CALLBACK SentMessageSpy::Hook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && spyWatch)
    spyWatch(*reinterpret_cast<const CWPSTRUCT *>(lParam));
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace sf::testing
