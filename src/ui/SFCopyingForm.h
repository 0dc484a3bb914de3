#pragma once

#include "playlist/SFPlayList.h"
#include "ui/Window.h"

namespace sf::ui {

// The small window a copy run shows: the file being copied and a bar counting the tracks. The run
// keeps the thread, so every change is painted at once by Repaint.
class TCopyingForm final : public TWindow, public TCopyProgress {
public:
  explicit TCopyingForm(HWND owner);

  void SetMaximum(std::int32_t maximum) override;
  void Show() override;
  void SetFileLabel(const std::string &text) override;
  void SetPosition(std::int32_t position) override;
  void Repaint() override;
  void Close() override;
  void KeepResponsive() override;
  void ShowInfo(const std::string &text) override;

protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

} // namespace sf::ui
