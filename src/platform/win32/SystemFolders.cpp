#include "platform/win32/SystemFolders.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

namespace sf {

std::string ProgramPath() {
  // The path can be longer than MAX_PATH; a name cut short fills the whole buffer, and it grows.
  return Narrow(GrowingText([](wchar_t *buffer, DWORD size) { return GetModuleFileNameW(nullptr, buffer, size); }));
}

std::string WindowsFolder() {
  return Narrow(GrowingText([](wchar_t *buffer, DWORD size) { return GetWindowsDirectoryW(buffer, size); }));
}

std::string LocalAppDataFolder() {
  // The shell's DLL is loaded only when a run converts: the program starts faster without it.
  const HMODULE shell = LoadLibraryExW(L"shell32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!shell)
    return {};
  using GetKnownFolder = HRESULT(WINAPI *)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR *);
  const auto get =
      reinterpret_cast<GetKnownFolder>(reinterpret_cast<void (*)()>(GetProcAddress(shell, "SHGetKnownFolderPath")));
  // FOLDERID_LocalAppData, spelled out so that no GUID library is linked for it.
  constexpr KNOWNFOLDERID kLocalAppData = {0xF1B32785, 0x6FBA, 0x4FCF, {0x9D, 0x55, 0x7B, 0x8E, 0x7F, 0x15, 0x70, 0x91}};
  PWSTR path = nullptr;
  std::string folder;
  if (get && SUCCEEDED(get(kLocalAppData, KF_FLAG_DONT_VERIFY, nullptr, &path)))
    folder = Narrow(path);
  CoTaskMemFree(path);
  FreeLibrary(shell);
  return folder;
}

} // namespace sf
