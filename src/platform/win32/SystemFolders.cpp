#include "platform/win32/SystemFolders.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

namespace sf {

std::string ProgramPath() {
  // The path can be longer than MAX_PATH; a name cut short fills the whole buffer, and it grows.
  return Narrow(GrowingText([](wchar_t *buffer, DWORD size) { return GetModuleFileNameW(nullptr, buffer, size); }));
}

std::string WindowsFolder() {
  return Narrow(GrowingText([](wchar_t *buffer, DWORD size) { return GetWindowsDirectoryW(buffer, size); }));
}

} // namespace sf
