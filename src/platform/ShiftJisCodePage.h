#pragma once

#include "platform/CodePage.h"

namespace sf {

// Code page 932 without asking the system: used where there is no Windows to ask (the portable
// build, its tests and the fuzzers).
class ShiftJisCodePage final : public CodePage {
public:
  bool IsLeadByte(unsigned char byte) const override;
  // ASCII and full-width Latin letters, the letters a file extension can hold.
  std::string UpperCase(std::string_view text) const override;
};

} // namespace sf
