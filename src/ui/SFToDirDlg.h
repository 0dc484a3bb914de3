#pragma once

#include "ui/Window.h"

#include <string>

namespace sf::ui {

// Picks the destination folder from a tree of the shell's folders.
class TToDirDlg final : public TWindow {
public:
  explicit TToDirDlg(HWND owner);

  // The path of the folder selected in the tree; empty when none is.
  std::string SelectedFolderPath() const;

protected:
  void Command(int id) override;
};

} // namespace sf::ui
