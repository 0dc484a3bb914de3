// Built as hh.exe beside the window tests, as a file someone left could lie beside Songferry in a
// downloads folder. When it runs, it leaves the file "lookalike-ran" beside itself.
#include <windows.h>

#include <string>

int main() {
  // UTF-16, where no "\" hides in a double-byte character.
  std::wstring path(32 * 1024, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  path.replace(path.rfind(L'\\') + 1, std::wstring::npos, L"lookalike-ran");
  CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return 0;
}
