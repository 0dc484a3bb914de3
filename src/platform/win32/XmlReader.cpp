#include "platform/win32/XmlReader.h"

#include "platform/Utf8.h"
#include "platform/win32/Utf16.h"

#include <windows.h>
#include <xmllite.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <type_traits>

namespace sf {
namespace {

constexpr UINT kMaxDepth = 256; // XmlLite's own default, set whatever a system's default is
constexpr UINT kMaxLength = 65536;
constexpr std::size_t kMaxElements = 1 << 20; // far beyond any playlist, and within memory

struct ComReleaser {
  void operator()(IUnknown *object) const { object->Release(); }
};
template <typename Interface> using ComPtr = std::unique_ptr<Interface, ComReleaser>;

struct LibraryFreer {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};

// The document's bytes to XmlLite. It lives on the caller's stack and outlives the reader.
class BytesStream final : public ISequentialStream {
public:
  explicit BytesStream(std::string_view bytes) : bytes_(bytes) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override {
    if (iid == __uuidof(IUnknown) || iid == __uuidof(ISequentialStream)) {
      *object = static_cast<ISequentialStream *>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE Read(void *buffer, ULONG size, ULONG *read) override {
    const auto count = static_cast<ULONG>(std::min<std::size_t>(size, bytes_.size()));
    std::memcpy(buffer, bytes_.data(), count);
    bytes_.remove_prefix(count);
    if (read)
      *read = count;
    return count < size ? S_FALSE : S_OK;
  }
  HRESULT STDMETHODCALLTYPE Write(const void *, ULONG, ULONG *) override { return STG_E_ACCESSDENIED; }

private:
  std::string_view bytes_;
};

// UTF-16 by its byte-order mark or its first "<"; anything else must be UTF-8. Windows' XmlLite
// would take other encodings that an XML declaration names; they are refused at the declaration.
bool InAcceptedEncoding(std::string_view bytes) {
  const auto starts = [&](std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; };
  if (starts("\xFF\xFE") || starts("\xFE\xFF") || starts(std::string_view("<\0", 2)) ||
      starts(std::string_view("\0<", 2)))
    return true;
  return IsValidUtf8(bytes);
}

bool SameAscii(std::wstring_view text, std::wstring_view upper) {
  return text.size() == upper.size() && std::equal(text.begin(), text.end(), upper.begin(), [](wchar_t a, wchar_t b) {
           return (a >= L'a' && a <= L'z' ? a - L'a' + L'A' : a) == b;
         });
}

std::wstring_view Text(HRESULT (STDMETHODCALLTYPE IXmlReader::*get)(LPCWSTR *, UINT *), IXmlReader &reader, bool &ok) {
  LPCWSTR text = nullptr;
  UINT length = 0;
  if (FAILED((reader.*get)(&text, &length)) || !text || length > kMaxLength) {
    ok = false;
    return {};
  }
  return {text, length};
}

} // namespace

std::optional<std::vector<Platform::XmlElement>> ReadXmlDocument(std::string_view bytes) {
  if (!InAcceptedEncoding(bytes))
    return std::nullopt;
  const std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFreer> library(
      LoadLibraryExW(L"xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  if (!library)
    return std::nullopt;
  // Through a plain function pointer type: GetProcAddress's own type matches no real function.
  const auto create = reinterpret_cast<decltype(&CreateXmlReader)>(
      reinterpret_cast<void (*)()>(GetProcAddress(library.get(), "CreateXmlReader")));
  BytesStream stream(bytes);
  IXmlReader *created = nullptr;
  if (!create || FAILED(create(__uuidof(IXmlReader), reinterpret_cast<void **>(&created), nullptr)))
    return std::nullopt;
  const ComPtr<IXmlReader> reader(created);
  if (FAILED(reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit)) ||
      FAILED(reader->SetProperty(XmlReaderProperty_MaxElementDepth, kMaxDepth)) || FAILED(reader->SetInput(&stream)))
    return std::nullopt;

  std::vector<Platform::XmlElement> elements;
  std::vector<std::size_t> open; // the elements whose end is still to come
  bool ok = true;
  for (;;) {
    XmlNodeType type = XmlNodeType_None;
    const HRESULT read = reader->Read(&type);
    if (read == S_FALSE)
      break;
    if (read != S_OK)
      return std::nullopt;
    switch (type) {
    case XmlNodeType_XmlDeclaration:
      for (HRESULT at = reader->MoveToFirstAttribute(); at == S_OK; at = reader->MoveToNextAttribute()) {
        if (Text(&IXmlReader::GetLocalName, *reader, ok) == L"encoding") {
          const auto encoding = Text(&IXmlReader::GetValue, *reader, ok);
          if (!SameAscii(encoding, L"UTF-8") && !SameAscii(encoding, L"UTF-16"))
            return std::nullopt;
        }
      }
      break;
    case XmlNodeType_Element: {
      if (elements.size() == kMaxElements)
        return std::nullopt;
      Platform::XmlElement element;
      element.depth = static_cast<std::int32_t>(open.size());
      element.name = Narrow(Text(&IXmlReader::GetLocalName, *reader, ok));
      element.namespaceUri = Narrow(Text(&IXmlReader::GetNamespaceUri, *reader, ok));
      const bool empty = reader->IsEmptyElement();
      for (HRESULT at = reader->MoveToFirstAttribute(); at == S_OK; at = reader->MoveToNextAttribute()) {
        if (reader->IsDefault() || Text(&IXmlReader::GetNamespaceUri, *reader, ok) == L"http://www.w3.org/2000/xmlns/")
          continue;
        element.attributes.emplace_back(Narrow(Text(&IXmlReader::GetLocalName, *reader, ok)),
                                        Narrow(Text(&IXmlReader::GetValue, *reader, ok)));
      }
      if (!empty)
        open.push_back(elements.size());
      elements.push_back(std::move(element));
      break;
    }
    case XmlNodeType_EndElement:
      if (open.empty())
        return std::nullopt;
      open.pop_back();
      break;
    case XmlNodeType_Text:
    case XmlNodeType_CDATA:
    case XmlNodeType_Whitespace:
      if (!open.empty()) {
        auto &text = elements[open.back()].text;
        text += Narrow(Text(&IXmlReader::GetValue, *reader, ok));
        if (text.size() > kMaxLength * 3)
          return std::nullopt;
      }
      break;
    default:
      break;
    }
    if (!ok)
      return std::nullopt;
  }
  if (!open.empty() || elements.empty())
    return std::nullopt;
  return elements;
}

} // namespace sf
