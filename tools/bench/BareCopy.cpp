// The yardstick for the copy run: a window with a Copy button that copies the tracks with a bare
// loop of CopyFileA and then shows an information box, as any program doing this job this way
// must at least do.
//
//   songferry_bare_copy SOURCE-FOLDER DESTINATION-FOLDER
//
// The tracks are the "*.mp3" files of SOURCE-FOLDER, listed at start.
#include <windows.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> sources;
std::string destination;

void CopyTracks() {
  for (const auto &source : sources) {
    const std::string target = destination + "\\" + source.substr(source.rfind('\\') + 1);
    CopyFileA(source.c_str(), target.c_str(), FALSE);
  }
  const std::wstring text = L"bench.m3uより" + std::to_wstring(sources.size()) + L"曲をコピーしました";
  MessageBoxW(nullptr, text.c_str(), L"情報", MB_OK | MB_ICONINFORMATION | MB_TASKMODAL | MB_SETFOREGROUND);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_COMMAND:
    if (LOWORD(wParam) == IDOK)
      CopyTracks();
    return 0;
  case WM_DESTROY:
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (__argc < 3)
    return 2;
  const std::string folder = __argv[1];
  destination = __argv[2];
  WIN32_FIND_DATAA entry;
  const HANDLE search = FindFirstFileA((folder + "\\*.mp3").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do
      sources.push_back(folder + "\\" + entry.cFileName);
    while (FindNextFileA(search, &entry));
    FindClose(search);
  }

  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = "BareCopy";
  RegisterClassA(&windowClass);
  const HWND window = CreateWindowA("BareCopy", "Bare copy", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 324,
                                    158, nullptr, nullptr, instance, nullptr);
  CreateWindowA("BUTTON", "Copy", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 57, 72, 89, 25, window,
                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), instance, nullptr);
  ShowWindow(window, SW_SHOW);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
