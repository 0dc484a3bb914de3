#include "platform/win32/Utf16.h"

#include <windows.h>

namespace sf {
namespace {

std::wstring ToWide(unsigned codePage, std::string_view bytes) {
  if (bytes.empty())
    return {};
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), length);
  return wide;
}

std::string FromWide(unsigned codePage, std::wstring_view wide, bool *complete) {
  if (complete)
    *complete = true;
  if (wide.empty())
    return {};
  // UTF-8 takes neither flags nor a default character.
  const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL *usedDefaultOut = codePage == CP_UTF8 ? nullptr : &usedDefault;
  const int size = static_cast<int>(wide.size());
  const int length = WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(codePage, flags, wide.data(), size, bytes.data(), length, nullptr, usedDefaultOut);
  if (complete)
    *complete = !usedDefault;
  return bytes;
}

} // namespace

std::wstring Widen(std::string_view utf8) { return ToWide(CP_UTF8, utf8); }

std::string Narrow(std::wstring_view utf16) { return FromWide(CP_UTF8, utf16, nullptr); }

std::string FromCodePage(unsigned codePage, std::string_view bytes) { return Narrow(ToWide(codePage, bytes)); }

std::string ToCodePage(unsigned codePage, std::string_view utf8, bool *complete) {
  return FromWide(codePage, Widen(utf8), complete);
}

bool FitsShiftJis(std::string_view utf8) {
  bool complete = false;
  ToCodePage(kShiftJis, utf8, &complete);
  return complete;
}

} // namespace sf
