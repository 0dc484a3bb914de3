#pragma once

#include <windows.h>

namespace sf::testing {

// Puts `replacement` into the import slot `slot` (a system function's __imp_ pointer, through which
// the program's own code calls it) for as long as it lives: for what Wine does not do as Windows
// does, or cannot be made to fail on demand.
template <typename Function> class ImportReplaced {
public:
  ImportReplaced(Function &slot, Function replacement) : slot_(slot), original_(slot) { Set(replacement); }
  ~ImportReplaced() { Set(original_); }
  ImportReplaced(const ImportReplaced &) = delete;
  ImportReplaced &operator=(const ImportReplaced &) = delete;

private:
  void Set(Function function) {
    DWORD protection = 0;
    VirtualProtect(&slot_, sizeof slot_, PAGE_READWRITE, &protection);
    slot_ = function;
    VirtualProtect(&slot_, sizeof slot_, protection, &protection);
  }
  Function &slot_;
  Function original_;
};

} // namespace sf::testing
