#include "WindowHelpers.h"

#include "platform/win32/Utf16.h"

#include <shlobj.h>

#include <cstring>

namespace sf::testing {
namespace {

// The spy's watcher: hook procedures carry no context of their own.
std::function<void(const CWPSTRUCT &)> spyWatch;
std::function<void(const MSG &)> takenWatch;

} // namespace

std::string WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return Narrow(text);
}

std::string ItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

void SetItemText(HWND dialog, int id, const std::string &text) { SetDlgItemTextW(dialog, id, Widen(text).c_str()); }

RECT RectInParent(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT *>(&rect), 2);
  return rect;
}

HDROP MakeDrop(const std::vector<std::string> &paths) {
  std::wstring names;
  for (const auto &path : paths)
    names += Widen(path) + L'\0';
  names += L'\0';
  const HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  auto *header = static_cast<DROPFILES *>(GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  std::memcpy(header + 1, names.data(), names.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

bool WaitUntil(const std::function<bool()> &done, int seconds) {
  for (int tries = 0; tries < seconds * 50; ++tries, Sleep(20)) {
    if (done())
      return true;
  }
  return false;
}

SentMessageSpy::SentMessageSpy(std::function<void(const CWPSTRUCT &)> watch)
    : hook_((spyWatch = std::move(watch), SetWindowsHookExW(WH_CALLWNDPROC, Hook, nullptr, GetCurrentThreadId()))) {}

SentMessageSpy::~SentMessageSpy() {
  UnhookWindowsHookEx(hook_);
  spyWatch = nullptr;
}

LRESULT CALLBACK SentMessageSpy::Hook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && spyWatch)
    spyWatch(*reinterpret_cast<const CWPSTRUCT *>(lParam));
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TakenMessageSpy::TakenMessageSpy(std::function<void(const MSG &)> watch)
    : hook_((takenWatch = std::move(watch), SetWindowsHookExW(WH_GETMESSAGE, Hook, nullptr, GetCurrentThreadId()))) {}

TakenMessageSpy::~TakenMessageSpy() {
  UnhookWindowsHookEx(hook_);
  takenWatch = nullptr;
}

LRESULT CALLBACK TakenMessageSpy::Hook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && wParam == PM_REMOVE && takenWatch)
    takenWatch(*reinterpret_cast<const MSG *>(lParam));
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace sf::testing
