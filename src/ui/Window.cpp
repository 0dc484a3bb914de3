#include "ui/Window.h"

#include "platform/win32/Utf16.h"
#include "resources/ResourceIds.h"
#include "ui/SystemDlls.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <utility>

namespace sf::ui {
namespace {

using layouts::Kind;

const wchar_t *ClassOf(Kind kind) {
  switch (kind) {
  case Kind::Label:
    return WC_STATICW;
  case Kind::CheckBox:
  case Kind::Button:
    return WC_BUTTONW;
  case Kind::Edit:
    return WC_EDITW;
  case Kind::ProgressBar:
    return PROGRESS_CLASSW;
  case Kind::FolderTree:
    return WC_TREEVIEWW;
  case Kind::DropDownList:
    return WC_COMBOBOXW;
  case Kind::Panel:
    break;
  }
  return nullptr;
}

DWORD StyleOf(const layouts::Control &control) {
  DWORD style = WS_CHILD | WS_VISIBLE | (control.tabOrder >= 0 ? WS_TABSTOP : 0);
  switch (control.kind) {
  case Kind::Label:
    // File names are shown as they are: "&" is no mnemonic here.
    return style | SS_NOPREFIX | SS_ENDELLIPSIS | (control.look & layouts::kCentred ? SS_CENTER : SS_LEFT);
  case Kind::CheckBox:
    return style | BS_AUTOCHECKBOX;
  case Kind::Button:
    return style | (control.look & layouts::kDefaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
  case Kind::Edit:
    return style | ES_AUTOHSCROLL;
  case Kind::ProgressBar:
    return style;
  case Kind::FolderTree:
    // Lines between folders, none at the root.
    return style | TVS_HASBUTTONS | TVS_HASLINES | TVS_SHOWSELALWAYS;
  case Kind::DropDownList:
    return style | CBS_DROPDOWNLIST | WS_VSCROLL;
  case Kind::Panel:
    break;
  }
  return style;
}

bool IsBlack(const layouts::Window &layout) { return layout.background == layouts::Background::Black; }

// The margin the layouts keep between their controls and the client area's right and bottom edges.
constexpr int kMargin = 8;

// The client area that holds every control of `layout` at `dpi`, with the margin.
SIZE ClientNeeded(const layouts::Window &layout, UINT dpi) {
  SIZE needed{0, 0};
  for (const auto &control : layout.controls) {
    needed.cx = std::max<LONG>(needed.cx, ScaleForDpi(control.x, dpi) + ScaleForDpi(control.width, dpi));
    needed.cy = std::max<LONG>(needed.cy, ScaleForDpi(control.y, dpi) + ScaleForDpi(control.height, dpi));
  }
  return {needed.cx + ScaleForDpi(kMargin, dpi), needed.cy + ScaleForDpi(kMargin, dpi)};
}

} // namespace

int ScaleForDpi(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI); }

bool HighContrastOn() {
  HIGHCONTRASTW contrast{sizeof contrast, 0, nullptr};
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

ControlColours BlackWindowColours(bool aqua, bool highContrast) {
  // Under high contrast the system's colours, which the user chose to be able to read.
  if (highContrast)
    return {GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_WINDOW), GetSysColorBrush(COLOR_WINDOW)};
  return {aqua ? std::optional(kAquaText) : std::nullopt, RGB(0, 0, 0),
          static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))};
}

UINT DpiOf(HWND window) {
  const UINT dpi = window ? GetDpiForWindow(window) : 0;
  return dpi ? dpi : USER_DEFAULT_SCREEN_DPI;
}

HWND MainWindow() {
  HWND main = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM found) -> BOOL {
        wchar_t name[64] = {};
        GetClassNameW(window, name, static_cast<int>(std::size(name)));
        if (Narrow(name) != layouts::kMain.name)
          return TRUE;
        *reinterpret_cast<HWND *>(found) = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&main));
  return main;
}

void CentreOnMonitorOf(HWND window, HWND on) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromWindow(on, MONITOR_DEFAULTTONEAREST), &monitor))
    return;
  const RECT &work = monitor.rcWork;
  // Moved onto a monitor of another DPI, the window takes that DPI's size (WM_DPICHANGED) on the
  // way: it is centred once more at that size.
  for (int pass = 0; pass < 2; ++pass) {
    RECT frame;
    GetWindowRect(window, &frame);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    SetWindowPos(window, nullptr, std::max<int>(work.left, (work.left + work.right - width) / 2),
                 std::max<int>(work.top, (work.top + work.bottom - height) / 2), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT placed;
    GetWindowRect(window, &placed);
    if (placed.right - placed.left == width && placed.bottom - placed.top == height)
      return;
  }
}

TWindow::TWindow(const layouts::Window &layout, HWND owner, Modality modality) : layout_(layout), modality_(modality) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  const std::wstring className = Widen(layout.name);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  if (!GetClassInfoExW(instance, className.c_str(), &windowClass)) {
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SONGFERRY));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground =
        IsBlack(layout) ? static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)) : GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = className.c_str();
    RegisterClassExW(&windowClass);
  }
  const DWORD style = layout.resizable ? WS_OVERLAPPEDWINDOW : (WS_POPUP | WS_CAPTION | WS_SYSMENU);
  const DWORD exStyle = layout.resizable ? 0 : WS_EX_DLGMODALFRAME;
  CreateWindowExW(exStyle | WS_EX_CONTROLPARENT, className.c_str(), Widen(layout.caption).c_str(),
                  style | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, layout.width, layout.height, owner, nullptr,
                  instance, this);
  if (!handle_)
    throw std::runtime_error("CreateWindowEx failed for " + std::string(layout.name));
  try {
    CreateControls();
    ApplyLayout(DpiOf(handle_), true);
    GrowToHoldControls(DpiOf(handle_));
    CentreOnOwnersMonitor();
  } catch (...) {
    // No destructor runs for a constructor that fails: the window must not outlive this object.
    DestroyWindow(handle_);
    throw;
  }
}

TWindow::~TWindow() {
  if (!handle_)
    return;
  // The derived parts are gone by now: the window's last messages go to no handler of this object.
  SetWindowLongPtrW(handle_, GWLP_USERDATA, 0);
  DestroyWindow(std::exchange(handle_, nullptr));
}

LRESULT CALLBACK TWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto *self = static_cast<TWindow *>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams);
    self->handle_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto *self = reinterpret_cast<TWindow *>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self)
    return DefWindowProcW(window, message, wParam, lParam);
  try {
    const LRESULT result = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      self->handle_ = nullptr;
    }
    return result;
  } catch (...) {
    ReportUnhandled(std::current_exception());
    return 0;
  }
}

LRESULT TWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_COMMAND: {
    const int id = LOWORD(wParam);
    if (modality_ == Modality::Modeless || (id != IDOK && id != IDCANCEL))
      Command(id);
    else if (id == IDCANCEL || OkConfirmed())
      EndModal(id);
    return 0;
  }
  case DM_GETDEFID: {
    // A push button with the focus is the default: Enter presses it.
    const HWND focus = GetFocus();
    if (focus && IsChild(handle_, focus) &&
        (SendMessageW(focus, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
      return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
    for (const auto &control : layout_.controls) {
      if (control.look & layouts::kDefaultButton)
        return MAKELRESULT(control.id, DC_HASDEFID);
    }
    return 0;
  }
  case WM_CTLCOLORSTATIC:
  case WM_CTLCOLORBTN:
    if (IsBlack(layout_)) {
      const auto dc = reinterpret_cast<HDC>(wParam);
      const auto colours =
          BlackWindowColours((LookOf(reinterpret_cast<HWND>(lParam)) & layouts::kAqua) != 0, HighContrastOn());
      if (colours.text)
        SetTextColor(dc, *colours.text);
      SetBkColor(dc, colours.background);
      return reinterpret_cast<LRESULT>(colours.brush);
    }
    break;
  case WM_PAINT:
    PaintPanels();
    return 0;
  case WM_ERASEBKGND:
    if (IsBlack(layout_) && HighContrastOn()) {
      RECT client;
      GetClientRect(handle_, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, BlackWindowColours(false, true).brush);
      return 1;
    }
    break;
  case WM_SETTINGCHANGE:
    // High contrast turned on or off: drawn anew in the colours that now hold.
    if (wParam == SPI_SETHIGHCONTRAST)
      RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    // Larger text: a taller title bar, and a menu bar that may wrap. The frame is measured anew.
    if (wParam == SPI_SETNONCLIENTMETRICS) {
      SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      GrowToHoldControls(DpiOf(handle_));
    }
    break;
  case WM_SYSCOLORCHANGE:
    // The common controls (the progress bar, the folder tree) take new system colours, a contrast
    // theme's, only when their top-level window passes the message on.
    for (HWND child = GetWindow(handle_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      SendMessageW(child, WM_SYSCOLORCHANGE, wParam, lParam);
    break;
  case WM_DPICHANGED: {
    // The system's rectangle scales the window's present size, which the user may have chosen.
    const auto *suggested = reinterpret_cast<const RECT *>(lParam);
    SetWindowPos(handle_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    ApplyLayout(HIWORD(wParam), false);
    GrowToHoldControls(HIWORD(wParam));
    return 0;
  }
  case WM_CLOSE:
    if (modality_ == Modality::Modal) {
      EndModal(IDCANCEL);
      return 0;
    }
    break;
  }
  return DefWindowProcW(handle_, message, wParam, lParam);
}

void TWindow::CreateControls() {
  // Children are created in tab order, which is the order Tab moves in; labels come last.
  std::vector<const layouts::Control *> order;
  for (const auto &control : layout_.controls)
    order.push_back(&control);
  std::stable_sort(order.begin(), order.end(), [](const auto *a, const auto *b) {
    return static_cast<unsigned>(a->tabOrder) < static_cast<unsigned>(b->tabOrder);
  });
  for (const auto *control : order) {
    if (control->kind == Kind::Panel)
      continue;
    const HWND child =
        CreateWindowExW(control->kind == Kind::Edit || control->kind == Kind::FolderTree ? WS_EX_CLIENTEDGE : 0,
                        ClassOf(control->kind), Widen(control->text).c_str(), StyleOf(*control), 0, 0, 0, 0, handle_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control->id)), GetModuleHandleW(nullptr), nullptr);
    // Themed check boxes draw their text in the theme's colour whatever WM_CTLCOLORSTATIC says,
    // which would be black on black here.
    if (control->kind == Kind::CheckBox && IsBlack(layout_))
      SetWindowThemeIfPresent(child, L" ", L" ");
    for (const char *item : control->items)
      SendMessageW(child, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
    if (!control->items.empty())
      SendMessageW(child, CB_SETCURSEL, 0, 0);
  }
}

void TWindow::ApplyLayout(UINT dpi, bool sizeWindow) {
  // The controls hold the fonts they have until they are given new ones, so the old go last.
  std::vector<FontHandle> fonts;
  const auto fontFor = [&](const layouts::Font &font) {
    fonts.emplace_back(CreateFontW(-ScaleForDpi(font.pixels, dpi), 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE,
                                   FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                   DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, Widen(font.face).c_str()));
    return fonts.back().get();
  };
  const HFONT windowFont = fontFor(layout_.font);
  for (const auto &control : layout_.controls) {
    const HWND child = Control(control.id);
    if (!child)
      continue;
    const HFONT font = control.font ? fontFor(*control.font) : windowFont;
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    int width = ScaleForDpi(control.width, dpi), height = ScaleForDpi(control.height, dpi);
    if (control.width == 0) {
      const WindowDc dc(child, font);
      SIZE size{};
      const std::wstring text = Widen(control.text);
      GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
      width = size.cx;
      height = size.cy;
    }
    MoveWindow(child, ScaleForDpi(control.x, dpi), ScaleForDpi(control.y, dpi), width, height, TRUE);
  }
  fonts_.swap(fonts);
  if (!sizeWindow)
    return;
  RECT frame{0, 0, ScaleForDpi(layout_.width, dpi), ScaleForDpi(layout_.height, dpi)};
  if (layout_.clientSize)
    AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrW(handle_, GWL_STYLE)),
                             GetMenu(handle_) != nullptr, static_cast<DWORD>(GetWindowLongPtrW(handle_, GWL_EXSTYLE)),
                             dpi);
  SetWindowPos(handle_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWindow::GrowToHoldControls(UINT dpi) {
  // The frames of the system's windows differ between versions and grow with the DPI, and a menu
  // bar wraps onto a further line under larger text, which AdjustWindowRectEx does not count: the
  // window grows by what the client area, as the system measures it, lacks.
  RECT client, frame;
  if (IsIconic(handle_) || !GetClientRect(handle_, &client) || !GetWindowRect(handle_, &frame))
    return;
  const SIZE needed = ClientNeeded(layout_, dpi);
  const LONG wider = std::max<LONG>(0, needed.cx - client.right), taller = std::max<LONG>(0, needed.cy - client.bottom);
  if (wider == 0 && taller == 0)
    return;
  // Wider, the menu bar takes no more lines than it had: the client area grows by at least `taller`.
  SetWindowPos(handle_, nullptr, 0, 0, frame.right - frame.left + wider, frame.bottom - frame.top + taller,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

unsigned TWindow::LookOf(HWND control) const {
  const int id = GetDlgCtrlID(control);
  for (const auto &entry : layout_.controls) {
    if (entry.id == id)
      return entry.look;
  }
  return layouts::kPlain;
}

void TWindow::PaintPanels() {
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(handle_, &paint);
  const UINT dpi = DpiOf(handle_);
  for (const auto &control : layout_.controls) {
    if (control.kind != Kind::Panel || !(control.look & layouts::kBevelled))
      continue;
    RECT edge{ScaleForDpi(control.x, dpi), ScaleForDpi(control.y, dpi), ScaleForDpi(control.x + control.width, dpi),
              ScaleForDpi(control.y + control.height, dpi)};
    DrawEdge(dc, &edge, BDR_SUNKENOUTER | BDR_RAISEDINNER, BF_RECT);
  }
  EndPaint(handle_, &paint);
}

void TWindow::CentreOnOwnersMonitor() {
  const HWND owner = GetWindow(handle_, GW_OWNER);
  // The main window is where the user works, also while it is hidden or not yet shown; a minimised
  // window's monitor is the one it comes back to.
  CentreOnMonitorOf(handle_, owner && IsWindowVisible(owner) ? owner : GetAncestor(handle_, GA_ROOTOWNER));
}

void TWindow::CentreOn(HWND other) {
  RECT frame, otherFrame;
  GetWindowRect(handle_, &frame);
  GetWindowRect(other, &otherFrame);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  SetWindowPos(handle_, nullptr, (otherFrame.left + otherFrame.right - width) / 2,
               (otherFrame.top + otherFrame.bottom - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int TWindow::ShowModal() {
  const HWND owner = GetWindow(handle_, GW_OWNER);
  modalResult_ = 0;
  ModalShowing();
  if (owner)
    EnableWindow(owner, FALSE);
  CentreOnOwnersMonitor();
  ShowWindow(handle_, SW_SHOW);
  SetForegroundWindow(handle_);
  if (const HWND first = GetNextDlgTabItem(handle_, nullptr, FALSE))
    SetFocus(first);
  MSG message;
  while (modalResult_ == 0) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      // The application is ending: leave WM_QUIT for the main loop.
      PostQuitMessage(static_cast<int>(message.wParam));
      modalResult_ = IDCANCEL;
    } else if (got == -1) {
      // The queue cannot be read; the main loop meets the same failure and ends.
      modalResult_ = IDCANCEL;
    } else {
      DispatchWithDialogKeys(message);
    }
  }
  // The owner comes back before this window goes, so that activation returns to it.
  if (owner)
    EnableWindow(owner, TRUE);
  ShowWindow(handle_, SW_HIDE);
  if (owner)
    SetActiveWindow(owner);
  return modalResult_;
}

std::string TWindow::Text(int id) const {
  const HWND control = Control(id);
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return Narrow(text);
}

void TWindow::SetText(int id, const std::string &text) { SetWindowTextW(Control(id), Widen(text).c_str()); }

bool TWindow::IsChecked(int id) const { return IsDlgButtonChecked(handle_, id) == BST_CHECKED; }

void TWindow::SetChecked(int id, bool checked) { CheckDlgButton(handle_, id, checked ? BST_CHECKED : BST_UNCHECKED); }

int TWindow::SelectedItem(int id) const { return static_cast<int>(SendMessageW(Control(id), CB_GETCURSEL, 0, 0)); }

void TWindow::SelectItem(int id, int index) { SendMessageW(Control(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0); }

void DispatchWithDialogKeys(MSG &message) {
  const HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  if (root && IsDialogMessageW(root, &message))
    return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

int RunMessageLoop() {
  MSG message;
  for (;;) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0)
      return static_cast<int>(message.wParam);
    if (got == -1)
      return EXIT_FAILURE;
    DispatchWithDialogKeys(message);
  }
}

} // namespace sf::ui
