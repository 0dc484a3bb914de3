#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace sf {

// A kernel object's handle (a file, a process, a thread), closed when its owner goes.
struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using KernelHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

} // namespace sf
