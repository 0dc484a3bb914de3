#include "ui/SFAboutBox.h"

namespace sf::ui {

TSFAbout::TSFAbout(HWND owner) : TWindow(layouts::kAbout, owner) {}

void TSFAbout::Command(int id) {
  if (id == IDOK || id == IDCANCEL)
    EndModal(id);
}

} // namespace sf::ui
