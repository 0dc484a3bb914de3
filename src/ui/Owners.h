#pragma once

// Owners for what the windows borrow from the system: GDI objects, device contexts, COM pointers,
// the shell's item ID lists and texts, the COM apartment and the cursor; kernel handles come with
// the platform layer's KernelHandle.
#include "platform/win32/ComApartment.h"
#include "platform/win32/KernelHandle.h"

#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include <memory>
#include <type_traits>

namespace sf::ui {

struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;

// A window's device context with one object selected into it, both given back at the end.
class WindowDc {
public:
  WindowDc(HWND window, HGDIOBJ selected)
      : window_(window), dc_(GetDC(window)), previous_(SelectObject(dc_, selected)) {}
  ~WindowDc() {
    SelectObject(dc_, previous_);
    ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc &) = delete;
  WindowDc &operator=(const WindowDc &) = delete;

  HDC Get() const { return dc_; }

private:
  HWND window_;
  HDC dc_;
  HGDIOBJ previous_;
};

struct ComReleaser {
  void operator()(IUnknown *object) const { object->Release(); }
};
template <typename Interface> using ComPtr = std::unique_ptr<Interface, ComReleaser>;

// What the shell hands out from the COM task allocator: item ID lists and texts.
struct CoTaskMemFreer {
  void operator()(void *memory) const { CoTaskMemFree(memory); }
};
using Pidl = std::unique_ptr<ITEMIDLIST, CoTaskMemFreer>;
using TaskMemText = std::unique_ptr<wchar_t, CoTaskMemFreer>;

// The wait cursor while the thread is busy, the previous one again afterwards.
class WaitCursor {
public:
  WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(previous_); }
  WaitCursor(const WaitCursor &) = delete;
  WaitCursor &operator=(const WaitCursor &) = delete;

private:
  HCURSOR previous_;
};

} // namespace sf::ui
