#include "ui/SystemDlls.h"

#include <uxtheme.h>

namespace sf::ui {

void LoadDllsFromSystemOnly() {
  // Looked up rather than imported, so that a system without it (which refuses the search flag of
  // SystemDll too) still starts: there the fallback at least keeps the current folder out.
  const SystemDll kernel32(L"kernel32.dll");
  const auto setDefault = kernel32.Find<decltype(SetDefaultDllDirectories)>("SetDefaultDllDirectories");
  if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
    SetDllDirectoryW(L"");
}

SystemDll::SystemDll(const wchar_t *name) : module_(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {}

void SetWindowThemeIfPresent(HWND window, const wchar_t *subAppName, const wchar_t *subIdList) {
  const SystemDll uxTheme(L"uxtheme.dll");
  if (const auto setWindowTheme = uxTheme.Find<decltype(SetWindowTheme)>("SetWindowTheme"))
    setWindowTheme(window, subAppName, subIdList);
}

bool IsThemed(HWND window) {
  const SystemDll uxTheme(L"uxtheme.dll");
  const auto getWindowTheme = uxTheme.Find<decltype(GetWindowTheme)>("GetWindowTheme");
  return getWindowTheme && getWindowTheme(window) != nullptr;
}

} // namespace sf::ui
