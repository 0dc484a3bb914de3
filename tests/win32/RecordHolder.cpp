// Stands for a run working in another process: makes a run's record, as the program does, and keeps it
// open until it is ended from outside.
#include "platform/win32/Win32Platform.h"

#include <windows.h>

int wmain(int argc, wchar_t **argv) {
  if (argc != 2)
    return 2;
  sf::Win32Platform platform;
  const int length = WideCharToMultiByte(CP_UTF8, 0, argv[1], -1, nullptr, 0, nullptr, nullptr);
  std::string path(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, argv[1], -1, path.data(), length, nullptr, nullptr);
  path.pop_back();
  const auto made = platform.MakeHiddenFile(path, "Songferry run record 2\n");
  if (!made.file)
    return 1;
  Sleep(120'000);
  return 0;
}
