#include "ui/SFAboutBox.h"

namespace sf::ui {

TSFAbout::TSFAbout(HWND owner) : TWindow(layouts::kAbout, owner, Modality::Modal) {}

} // namespace sf::ui
