#pragma once

#include "playlist/SFPlayList.h"
#include "ui/Window.h"

#include <chrono>
#include <functional>
#include <initializer_list>
#include <string>

namespace sf::ui {

// The small window a copy run shows: the file being copied, a bar counting the tracks and "中止".
// The run keeps the thread: label and bar are painted at once by Repaint, but no more often than
// the eye can follow nor for more than a small share of the run, and KeepResponsive answers what the
// system sends meanwhile and takes from the user's input only what cancels the run.
class TCopyingForm final : public TWindow, public TCopyProgress {
public:
  explicit TCopyingForm(HWND owner);

  void SetMaximum(std::int32_t maximum) override;
  void SetStage(RunStage stage) override;
  void Show() override;
  void SetFileLabel(const std::string &text) override;
  void SetPosition(std::int32_t position) override;
  void Repaint() override;
  void Close() override;
  void KeepResponsive() override;
  void KeepResponsiveNow() override;
  void ShowInfo(const std::string &text) override;
  bool CancelRequested() const override { return cancelRequested_; }
  // What ends a run's hold on the system once its work is over, before the box that closes it:
  // the box may wait long for its OK.
  void WhenWorkEnds(std::function<void()> ended) { workEnded_ = std::move(ended); }

protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Command(int id) override;

private:
  // Puts the last label and position into the controls and paints them.
  void PaintProgress();
  // Whether enough time has passed since the last paint, and painting is within its share of the run.
  bool PaintDue() const;
  // PaintProgress, with its time counted against that share.
  void PaintCounted();
  // Takes the input waiting in the queue: what cancels the run cancels it, what a click on "中止"
  // is made of reaches the button, and the rest is dropped as by DiscardQueuedInput.
  void TakeInput();

  bool running_ = false; // shown for a run that has not closed it yet
  std::function<void()> workEnded_;
  bool cancelRequested_ = false;
  std::string label_;
  std::int32_t position_ = 0;
  std::int32_t maximum_ = 100;
  bool pending_ = false; // label or position set but not yet shown
  bool themedBar_ = false;
  using Clock = std::chrono::steady_clock;
  Clock::time_point paintedAt_;
  Clock::time_point lookedAt_;
  Clock::time_point shownAt_;
  Clock::duration painting_{}; // spent painting since shown
};

// Moves the progress bar `bar` of range 0 to `maximum` to `position`, to be drawn at once, also
// where a visual style (`themed`) draws it.
void SetBarPosition(HWND bar, std::int32_t position, std::int32_t maximum, bool themed);

// Drops the input (keys, mouse, touch, pen) waiting in the thread's queue: the one place where a run
// takes input. What was typed or clicked during a run must neither dismiss the box that ends it
// unseen nor start anything, and must not wait in the queue until Windows takes the program for hung.
void DiscardQueuedInput();
// Dispatches the messages of these kinds that wait in the thread's queue for `window` or its
// children, and leaves the others waiting.
void DispatchWaiting(HWND window, std::initializer_list<UINT> kinds);

} // namespace sf::ui
