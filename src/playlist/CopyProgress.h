#pragma once

#include <cstdint>
#include <string>

namespace sf {

// What the progress window says the run is doing.
enum class RunStage { Copying, Converting };

// What a copy run tells the user while it works: the progress window's operations, and the
// information box at the end.
class TCopyProgress {
public:
  virtual ~TCopyProgress() = default;

  virtual void SetMaximum(std::int32_t maximum) = 0;
  // The window's caption: copying until told otherwise.
  virtual void SetStage(RunStage stage) = 0;
  virtual void Show() = 0;
  virtual void SetFileLabel(const std::string &text) = 0;
  virtual void SetPosition(std::int32_t position) = 0;
  // Paints the window at once: the run keeps the thread and never returns to the event loop.
  virtual void Repaint() = 0;
  virtual void Close() = 0;
  // Called often during the copies, within one long track too: answers what the system sends to
  // the program's windows, so that a long run never looks hung. Cheap when nothing is due.
  virtual void KeepResponsive() = 0;
  // As KeepResponsive, but at once, however recently it looked: called when the run's wait for its
  // converters ended because the queue holds something.
  virtual void KeepResponsiveNow() { KeepResponsive(); }
  virtual void ShowInfo(const std::string &text) = 0;
  // Whether the user has asked, since Show, for the run to stop; known from KeepResponsive's looks
  // at the queue.
  virtual bool CancelRequested() const = 0;
};

} // namespace sf
