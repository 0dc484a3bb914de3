#include "platform/ShiftJisCodePage.h"

namespace sf {

bool ShiftJisCodePage::IsLeadByte(unsigned char byte) const {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

std::string ShiftJisCodePage::UpperCase(std::string_view text) const {
  std::string result(text);
  for (std::size_t i = 0; i < result.size(); i += CharLength(result, i)) {
    auto &first = result[i];
    if (first >= 'a' && first <= 'z') {
      first = static_cast<char>(first - 'a' + 'A');
    } else if (CharLength(result, i) == 2 && static_cast<unsigned char>(first) == 0x82) {
      // Full-width a..z are 0x8281..0x829A, A..Z are 0x8260..0x8279.
      auto &second = result[i + 1];
      const auto trail = static_cast<unsigned char>(second);
      if (trail >= 0x81 && trail <= 0x9A)
        second = static_cast<char>(trail - 0x21);
    }
  }
  return result;
}

} // namespace sf
