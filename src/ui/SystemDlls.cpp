#include "ui/SystemDlls.h"

#include <imm.h>
#include <uxtheme.h>

namespace sf::ui {

void LoadDllsFromSystemOnly() {
  // Looked up rather than imported, so that a system without it still starts: there the fallback
  // at least keeps the current folder out. Kernel32 is always loaded already.
  const auto setDefault = reinterpret_cast<decltype(SetDefaultDllDirectories) *>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
    SetDllDirectoryW(L"");
}

SystemDll::SystemDll(const wchar_t *name) : module_(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {}

HMODULE KeepSystemDll(const wchar_t *name) {
  const HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  HMODULE pinned = nullptr;
  if (module)
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<const wchar_t *>(module), &pinned);
  return module;
}

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

void DetachInputMethod(HWND window) {
  const SystemDll imm(L"imm32.dll");
  // The window's own association, and then its children's.
  if (const auto associate = imm.Find<decltype(ImmAssociateContext)>("ImmAssociateContext"))
    associate(window, nullptr);
  if (const auto associateChildren = imm.Find<decltype(ImmAssociateContextEx)>("ImmAssociateContextEx"))
    associateChildren(window, nullptr, IACE_CHILDREN);
}

} // namespace sf::ui
