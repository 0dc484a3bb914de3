#include "ui/SFCopyingForm.h"

#include "platform/win32/Utf16.h"
#include "resources/MessageTexts.h"
#include "ui/MessageBoxes.h"
#include "ui/SystemDlls.h"

#include <commctrl.h>

namespace sf::ui {
namespace {

// The input messages a run takes off the queue: keys, the mouse over client and non-client areas,
// touch and pen (pointer) input.
constexpr UINT kInputRanges[][2] = {{WM_KEYFIRST, WM_KEYLAST},
                                    {WM_MOUSEFIRST, WM_MOUSELAST},
                                    {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK},
                                    {WM_TOUCH, WM_POINTERHWHEEL}};

using namespace std::chrono_literals;

// About 20 pictures a second is all the eye uses; on fast media a track takes a few milliseconds,
// and painting each would cost more than copying it.
constexpr auto kPaintEvery = 50ms;
// The most of a run's time that painting may take. Where painting is dear (a remote or emulated
// display) the run paints less often rather than copy more slowly; elsewhere it never binds.
constexpr int kPaintPercent = 2;
// Well within the time after which the system takes a window for hung, and what a user notices.
constexpr auto kLookEvery = 100ms;

// Takes the next message of the range for `window` and its children (for any window: nullptr) from
// the queue. PeekMessage may hand out WM_QUIT whatever the filter: that one is put back for the
// message loop, and the taking stops.
bool TakeMessage(MSG &message, HWND window, UINT first, UINT last, UINT flags) {
  if (!PeekMessageW(&message, window, first, last, PM_REMOVE | flags))
    return false;
  if (message.message != WM_QUIT)
    return true;
  PostQuitMessage(static_cast<int>(message.wParam));
  return false;
}

// What a run does with one input message for its progress window `form`, whose "中止" button is
// `button`, when `form` is the active window or not.
enum class RunInput { Drop, Dispatch, Cancel };

RunInput ClassifyRunInput(const MSG &message, HWND form, HWND button, bool formActive) {
  const UINT kind = message.message;
  const bool pointer = kind >= WM_TOUCH && kind <= WM_POINTERHWHEEL;
  // A click on the button by mouse, touch or pen: touch and pen come as pointer messages, which the
  // system turns into the mouse's once the window has had them.
  if (message.hwnd == button && ((kind >= WM_MOUSEFIRST && kind <= WM_MOUSELAST) || pointer))
    return RunInput::Dispatch;
  if (message.hwnd == form && pointer)
    return RunInput::Dispatch;
  if (message.hwnd == form && kind == WM_NCLBUTTONDOWN && message.wParam == HTCLOSE)
    return RunInput::Cancel;
  const bool inForm = message.hwnd == form || (message.hwnd && IsChild(form, message.hwnd));
  if (!formActive || !inForm || (kind != WM_KEYDOWN && kind != WM_SYSKEYDOWN))
    return RunInput::Drop;
  const WPARAM key = message.wParam;
  if (key == VK_ESCAPE || (kind == WM_SYSKEYDOWN && key == VK_F4) ||
      (message.hwnd == button && kind == WM_KEYDOWN && (key == VK_SPACE || key == VK_RETURN)))
    return RunInput::Cancel;
  return RunInput::Drop;
}

} // namespace

TCopyingForm::TCopyingForm(HWND owner) : TWindow(layouts::kCopying, owner, Modality::Modeless) {
  // The window takes no text. An input method left on would take the keys that cancel a run, Space
  // on "中止" among them, which would then come as VK_PROCESSKEY.
  DetachInputMethod(Handle());
}

void TCopyingForm::SetMaximum(std::int32_t maximum) {
  maximum_ = maximum;
  SendMessageW(Control(layouts::kCopyProgress), PBM_SETRANGE32, 0, maximum);
}

void TCopyingForm::SetStage(RunStage stage) {
  const char *caption = stage == RunStage::Converting ? messages::kConvertingCaption : layouts::kCopying.caption;
  SetWindowTextW(Handle(), Widen(caption).c_str());
}

void TCopyingForm::Show() {
  // A window shown for an earlier run may still say it converts.
  SetStage(RunStage::Copying);
  running_ = true;
  cancelRequested_ = false;
  CentreOn(GetWindow(Handle(), GW_OWNER));
  ShowWindow(Handle(), SW_SHOW);
  // Space and Enter press "中止" from the start.
  SetFocus(Control(layouts::kCancelRunButton));
  RedrawWindow(Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  // The theme can change between runs.
  themedBar_ = IsThemed(Control(layouts::kCopyProgress));
  lookedAt_ = shownAt_ = Clock::now();
  painting_ = {};
}

void TCopyingForm::SetFileLabel(const std::string &text) {
  label_ = text;
  pending_ = true;
}

void TCopyingForm::SetPosition(std::int32_t position) {
  position_ = position;
  pending_ = true;
}

void TCopyingForm::Repaint() {
  // The first and last tracks always; the others when KeepResponsive finds a paint due.
  if (position_ <= 1 || position_ >= maximum_)
    PaintCounted();
  KeepResponsive();
}

bool TCopyingForm::PaintDue() const {
  const auto now = Clock::now();
  return now - paintedAt_ >= kPaintEvery && painting_ * 100 <= (now - shownAt_) * kPaintPercent;
}

void TCopyingForm::PaintCounted() {
  const auto started = Clock::now();
  PaintProgress();
  paintedAt_ = Clock::now();
  painting_ += paintedAt_ - started;
}

void TCopyingForm::PaintProgress() {
  const HWND label = Control(layouts::kCopyLabel), bar = Control(layouts::kCopyProgress);
  SetWindowTextW(label, Widen(label_).c_str());
  SetBarPosition(bar, position_, maximum_, themedBar_);
  UpdateWindow(label);
  UpdateWindow(bar);
  pending_ = false;
}

void TCopyingForm::Close() {
  // A failed run leaves the controls as it last set them, ready for the next run to start from.
  if (pending_)
    PaintProgress();
  // Hidden while active, the window would leave activation to whatever window the system picks,
  // another program's perhaps: its owner takes it first, when it can.
  running_ = false;
  const HWND owner = GetWindow(Handle(), GW_OWNER);
  if (GetActiveWindow() == Handle() && owner && IsWindowEnabled(owner))
    SetActiveWindow(owner);
  ShowWindow(Handle(), SW_HIDE);
}

void TCopyingForm::KeepResponsive() {
  // A track that takes long is shown while it copies, not only once the next one starts.
  if (pending_ && PaintDue())
    PaintCounted();
  const auto now = Clock::now();
  if (now - lookedAt_ < kLookEvery)
    return;
  lookedAt_ = now;
  // Every look at the queue answers the messages other threads and processes sent, and of the
  // posted ones handles paints, so that an uncovered window is drawn again. Input is taken off and
  // dropped: left waiting a few seconds, it makes Windows take the windows for hung ("応答なし")
  // and offer to end the program in the middle of a copy. Once any PM_QS_ flag is given, Windows
  // handles only the kinds named: sent messages must be named too. What cancels the run is the one
  // input taken.
  TakeInput();
  MSG message;
  while (TakeMessage(message, nullptr, 0, 0, PM_QS_PAINT | PM_QS_SENDMESSAGE))
    DispatchMessageW(&message);
}

void TCopyingForm::KeepResponsiveNow() {
  lookedAt_ = {};
  KeepResponsive();
}

void TCopyingForm::ShowInfo(const std::string &text) {
  if (workEnded_)
    workEnded_();
  if (pending_)
    PaintProgress();
  DiscardQueuedInput();
  // The run's work is over: its owner comes back, so that the box, owned by this window, is modal
  // to it too, and so that it can take activation when this window goes.
  EnableWindow(GetWindow(Handle(), GW_OWNER), TRUE);
  ui::ShowInfo(text, Handle());
}

void TCopyingForm::TakeInput() {
  const HWND button = Control(layouts::kCancelRunButton);
  MSG message;
  for (const auto &range : kInputRanges) {
    while (TakeMessage(message, nullptr, range[0], range[1], 0)) {
      switch (ClassifyRunInput(message, Handle(), button, GetActiveWindow() == Handle())) {
      case RunInput::Cancel:
        cancelRequested_ = true;
        break;
      case RunInput::Dispatch:
        DispatchMessageW(&message);
        break;
      case RunInput::Drop:
        break;
      }
    }
  }
}

void TCopyingForm::Command(int id) {
  if (id == layouts::kCancelRunButton && running_)
    cancelRequested_ = true;
}

LRESULT TCopyingForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // During a run the close box, Alt+F4 and the taskbar's "close" cancel it. The window is reused by
  // every run: otherwise closing it only hides it.
  if (message == WM_CLOSE) {
    if (running_)
      cancelRequested_ = true;
    else
      Close();
    return 0;
  }
  return TWindow::HandleMessage(message, wParam, lParam);
}

void SetBarPosition(HWND bar, std::int32_t position, std::int32_t maximum, bool themed) {
  if (!themed) {
    SendMessageW(bar, PBM_SETPOS, position, 0);
    return;
  }
  // A themed bar glides forward on timer messages, which a run never lets through, while a step
  // back is drawn at once: go one past the position and come back, drawing only the end.
  SendMessageW(bar, WM_SETREDRAW, FALSE, 0);
  if (position >= maximum)
    SendMessageW(bar, PBM_SETRANGE32, 0, position + 1);
  SendMessageW(bar, PBM_SETPOS, position + 1, 0);
  SendMessageW(bar, PBM_SETPOS, position, 0);
  if (position >= maximum)
    SendMessageW(bar, PBM_SETRANGE32, 0, maximum);
  SendMessageW(bar, WM_SETREDRAW, TRUE, 0);
  RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE);
}

void DiscardQueuedInput() {
  MSG message;
  for (const auto &range : kInputRanges) {
    while (TakeMessage(message, nullptr, range[0], range[1], 0)) {
    }
  }
}

void DispatchWaiting(HWND window, std::initializer_list<UINT> kinds) {
  MSG message;
  for (const UINT kind : kinds) {
    while (TakeMessage(message, window, kind, kind, 0))
      DispatchMessageW(&message);
  }
}

} // namespace sf::ui
