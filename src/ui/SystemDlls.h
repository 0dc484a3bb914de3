#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace sf::ui {

// From here on, DLLs load from the system folder only, for the program and for whatever the system
// and the shell load on its behalf: the program's folder (often a downloads folder) and the current
// folder may hold look-alikes. The first thing the program does.
void LoadDllsFromSystemOnly();

// A DLL from the system folder, never from anywhere else, for functions the program uses only when
// the system has them; empty when it has not. The program imports only DLLs that the system always
// takes from its own folder; any other is used through this.
class SystemDll {
public:
  explicit SystemDll(const wchar_t *name);

  // The function `name` of the DLL, of type `Function` (decltype of the SDK's declaration, which is
  // not evaluated and so imports nothing); null when the DLL or the function is missing.
  template <typename Function> Function *Find(const char *name) const {
    if (!module_)
      return nullptr;
    // Through a plain function pointer type: GetProcAddress's own type matches no real function.
    return reinterpret_cast<Function *>(reinterpret_cast<void (*)()>(GetProcAddress(module_.get(), name)));
  }

private:
  struct Freer {
    void operator()(HMODULE module) const { FreeLibrary(module); }
  };
  std::unique_ptr<std::remove_pointer_t<HMODULE>, Freer> module_;
};

// SetWindowTheme of UxTheme.dll, where the system has it.
void SetWindowThemeIfPresent(HWND window, const wchar_t *subAppName, const wchar_t *subIdList);
// Whether a visual style draws the window; false where the system has no UxTheme.dll.
bool IsThemed(HWND window);

} // namespace sf::ui
