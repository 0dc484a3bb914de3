#pragma once

#include "ui/Window.h"

namespace sf::ui {

class TSFAbout final : public TWindow {
public:
  explicit TSFAbout(HWND owner);
};

} // namespace sf::ui
