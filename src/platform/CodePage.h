#pragma once

#include <string>
#include <string_view>

namespace sf {

// The rules of the system's multibyte code page (Shift-JIS on the target system) that path handling
// and extension checks depend on.
class CodePage {
public:
  virtual ~CodePage() = default;

  virtual bool IsLeadByte(unsigned char byte) const = 0;
  // Upper-cases the whole text as the system does; double-byte characters stay whole.
  virtual std::string UpperCase(std::string_view text) const = 0;

  // Length in bytes of the character that starts at `index`: 2 for a lead byte with a byte after it.
  std::size_t CharLength(std::string_view text, std::size_t index) const {
    return IsLeadByte(static_cast<unsigned char>(text[index])) && index + 1 < text.size() ? 2 : 1;
  }
};

} // namespace sf
