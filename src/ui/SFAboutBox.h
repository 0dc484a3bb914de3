#pragma once

#include "ui/Window.h"

namespace sf::ui {

class TSFAbout final : public TWindow {
public:
  explicit TSFAbout(HWND owner);

protected:
  void Command(int id) override;
};

} // namespace sf::ui
