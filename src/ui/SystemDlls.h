#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace sf::ui {

// From here on, DLLs load from the system folder only, for the program and for whatever the system
// and the shell load on its behalf: the program's folder (often a downloads folder) and the current
// folder may hold look-alikes. The first thing the program does.
void LoadDllsFromSystemOnly();

// The function `name` of `module`, of type `Function` (decltype of the SDK's declaration, which is
// not evaluated and so imports nothing); null when the module or the function is missing.
template <typename Function> Function *FindFunction(HMODULE module, const char *name) {
  if (!module)
    return nullptr;
  // Through a plain function pointer type: GetProcAddress's own type matches no real function.
  return reinterpret_cast<Function *>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// A DLL from the system folder, never from anywhere else, for functions the program uses only when
// the system has them; empty when it has not. The program imports only DLLs that the system always
// takes from its own folder; any other is used through this.
class SystemDll {
public:
  explicit SystemDll(const wchar_t *name);

  template <typename Function> Function *Find(const char *name) const {
    return FindFunction<Function>(module_.get(), name);
  }

private:
  struct Freer {
    void operator()(HMODULE module) const { FreeLibrary(module); }
  };
  std::unique_ptr<std::remove_pointer_t<HMODULE>, Freer> module_;
};

// A DLL from the system folder that stays loaded until the program ends, for what outlives any one
// use of it (COM objects, the shell's image lists); null when missing. The shell's DLLs are loaded
// so, when first needed: loaded at start, they would cost more than all of the program's own work.
HMODULE KeepSystemDll(const wchar_t *name);

// SetWindowTheme of UxTheme.dll, where the system has it.
void SetWindowThemeIfPresent(HWND window, const wchar_t *subAppName, const wchar_t *subIdList);
// Whether a visual style draws the window; false where the system has no UxTheme.dll.
bool IsThemed(HWND window);
// Keeps the input method (a Japanese IME) away from the window and its children, which take no text;
// nothing where the system has no Imm32.dll.
void DetachInputMethod(HWND window);

} // namespace sf::ui
