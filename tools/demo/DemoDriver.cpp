// Walks a running Songferry through its demonstration and takes screenshots on the way: the main
// window, the progress window during the run, the information box, the About box, the options dialog
// (also converting, its quality list dropped and closed) with the folder picker, and the help
// viewer. Then it closes the program.
//
//   songferry_demo_driver OUTDIR
//
// The screenshots are BMP files in OUTDIR (a Windows path).
#include "resources/Layouts.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Polls every 5 ms until `find` gives a visible window, at most `seconds`.
template <typename Find> HWND WaitForWindow(Find find, int seconds) {
  for (int tries = 0; tries < seconds * 200; ++tries) {
    const HWND window = find();
    if (window && IsWindowVisible(window))
      return window;
    Sleep(5);
  }
  return nullptr;
}

// Copies what the screen shows of `area` into a 24-bit BMP file.
void SaveScreenArea(const RECT &area, const std::string &path) {
  const int width = area.right - area.left, height = area.bottom - area.top;
  BITMAPINFOHEADER header{sizeof header, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  void *bits = nullptr;
  const HBITMAP bitmap =
      CreateDIBSection(screen, reinterpret_cast<BITMAPINFO *>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  GdiFlush();
  const DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  header.biSizeImage = rowBytes * static_cast<DWORD>(height);
  const BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof header + header.biSizeImage),
                              0, 0, sizeof(BITMAPFILEHEADER) + sizeof header};
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char *>(&file), sizeof file);
  out.write(reinterpret_cast<const char *>(&header), sizeof header);
  out.write(static_cast<const char *>(bits), header.biSizeImage);
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

void SaveWindow(HWND window, const std::string &path) {
  RECT area;
  GetWindowRect(window, &area);
  SaveScreenArea(area, path);
  std::printf("screenshot: %s\n", path.c_str());
}

void SaveDesktop(const std::string &path) {
  RECT area;
  GetWindowRect(GetDesktopWindow(), &area);
  SaveScreenArea(area, path);
  std::printf("screenshot: %s\n", path.c_str());
}

HWND Visible(const char *className, const char *caption = nullptr) { return FindWindowA(className, caption); }

// Sends `command` to `from` and gives the window of `className` it opens time to paint.
HWND Open(HWND from, int command, const char *className, int seconds = 10) {
  PostMessageA(from, WM_COMMAND, static_cast<WPARAM>(command), 0);
  const HWND window = WaitForWindow([className] { return Visible(className); }, seconds);
  Sleep(500);
  return window;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: songferry_demo_driver OUTDIR\n");
    return 2;
  }
  const std::string out = std::string(argv[1]) + "\\";
  const HWND main = WaitForWindow([] { return Visible("FrmSFMain"); }, 60);
  if (!main) {
    std::fprintf(stderr, "Songferry did not start\n");
    return 1;
  }
  Sleep(1000);
  SaveWindow(main, out + "1-main.bmp");

  PostMessageA(GetDlgItem(main, sf::layouts::kIdOk), BM_CLICK, 0, 0);
  if (const HWND progress = WaitForWindow([] { return Visible("CopyingForm"); }, 30)) {
    Sleep(50);
    SaveWindow(progress, out + "2-progress.bmp");
  }
  const HWND info = WaitForWindow([] { return Visible("#32770"); }, 60);
  if (!info) {
    std::fprintf(stderr, "no information box appeared\n");
    return 1;
  }
  Sleep(500);
  SaveDesktop(out + "3-info.bmp");
  PostMessageA(info, WM_COMMAND, IDOK, 0);
  Sleep(500);

  if (const HWND about = Open(main, sf::layouts::kMenuAbout, "SFAbout")) {
    SaveWindow(about, out + "4-about.bmp");
    PostMessageA(about, WM_COMMAND, IDOK, 0);
  }
  Sleep(300);
  if (const HWND options = Open(main, sf::layouts::kMenuOptions, "SFOptionDlg")) {
    SaveWindow(options, out + "5-options.bmp");
    // Converting turned on, which enables the quality list, and the list dropped over the dialog.
    PostMessageA(GetDlgItem(options, sf::layouts::kConvertCheck), BM_CLICK, 0, 0);
    const HWND quality = GetDlgItem(options, sf::layouts::kQualityList);
    PostMessageA(quality, CB_SHOWDROPDOWN, TRUE, 0);
    Sleep(500);
    // The dropped list is a window of its own, over the dialog and beyond it. (GetComboBoxInfo would
    // send the list a pointer into this process, which Songferry's process would write through.)
    RECT area, list;
    GetWindowRect(options, &area);
    if (const HWND dropped = Visible("ComboLBox"); dropped && GetWindowRect(dropped, &list))
      UnionRect(&area, &area, &list);
    SaveScreenArea(area, out + "5-options-quality.bmp");
    std::printf("screenshot: %s\n", (out + "5-options-quality.bmp").c_str());
    // The longest quality chosen, closed: the dialog as a user of the compatible MP3s sees it.
    PostMessageA(quality, CB_SETCURSEL, 1, 0);
    PostMessageA(quality, CB_SHOWDROPDOWN, FALSE, 0);
    Sleep(300);
    SaveWindow(options, out + "5-options-compatible.bmp");
    PostMessageA(GetDlgItem(options, sf::layouts::kConvertCheck), BM_CLICK, 0, 0);
    Sleep(300);
    if (const HWND picker = Open(options, sf::layouts::kRefButton, "ToDirDlg")) {
      SaveWindow(picker, out + "6-folder-picker.bmp");
      PostMessageA(picker, WM_COMMAND, IDOK, 0);
      Sleep(300);
      SaveWindow(options, out + "7-options-picked.bmp");
    }
    PostMessageA(options, WM_COMMAND, IDCANCEL, 0);
  }
  Sleep(300);
  // The help viewer opens larger than the demonstration's desktop: the desktop shows what is seen.
  if (const HWND help = Open(main, sf::layouts::kMenuHelp, "HH Parent", 20)) {
    Sleep(1000);
    SaveDesktop(out + "8-help.bmp");
    PostMessageA(help, WM_CLOSE, 0, 0);
  }
  Sleep(300);
  PostMessageA(main, WM_CLOSE, 0, 0);
  return 0;
}
