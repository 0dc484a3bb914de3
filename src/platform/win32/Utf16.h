#pragma once

#include <algorithm>
#include <string>
#include <string_view>

// The program's UTF-8 texts and the system's UTF-16 and code pages.
namespace sf {

inline constexpr unsigned kShiftJis = 932;

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// Bytes in `codePage` as UTF-8; what starts no character becomes the code page's default.
std::string FromCodePage(unsigned codePage, std::string_view bytes);
// UTF-8 as bytes in `codePage`, with the code page's default character for what it lacks (no
// look-alike is chosen); `complete` tells whether every character was there.
std::string ToCodePage(unsigned codePage, std::string_view utf8, bool *complete = nullptr);

// Asks a function that fills a buffer of wide characters for its text, growing the buffer until
// the text fits. `fill` returns the length it wrote, or the size it needs when the buffer is too
// small, or 0 on failure.
template <typename Fill> std::wstring GrowingText(Fill fill) {
  std::wstring text(260, L'\0'); // MAX_PATH
  for (;;) {
    const auto length = fill(text.data(), static_cast<unsigned long>(text.size()));
    if (length == 0)
      return {};
    if (length < text.size()) {
      text.resize(length);
      return text;
    }
    text.resize(std::max<std::size_t>(length, text.size() * 2));
  }
}

// True when Shift-JIS has every character of `utf8`, so that the program's files can hold it.
bool FitsShiftJis(std::string_view utf8);

} // namespace sf
