#include "convert/CoverJpeg.h"

#include "platform/win32/ComApartment.h"

#include <objbase.h>
#include <wincodec.h>
#include <windows.h>
#include <wrl/client.h>

#include <algorithm>
#include <vector>

namespace sf {
namespace {

using Microsoft::WRL::ComPtr;

struct Size {
  UINT width = 0;
  UINT height = 0;
};

// The longer side cut to kLongestCoverSide, the shorter in proportion; a smaller picture keeps its size.
Size CoverSize(Size picture) {
  const UINT longer = std::max(picture.width, picture.height);
  if (longer <= kLongestCoverSide)
    return picture;
  const auto scaled = [longer](UINT side) {
    return std::max<UINT>(1, static_cast<UINT>((UINT64{side} * kLongestCoverSide + longer / 2) / longer));
  };
  return {scaled(picture.width), scaled(picture.height)};
}

// The picture decoded at the cover's size, as rows of blue, green and red on white (JPEG has no
// transparency; a transparent logo on black would vanish). Empty when it cannot be decoded.
std::vector<BYTE> CoverPixels(IWICImagingFactory &factory, std::string_view picture, Size &size) {
  std::string bytes(picture);
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  ComPtr<IWICFormatConverter> premultiplied;
  ComPtr<IWICBitmapScaler> scaler;
  Size original;
  if (bytes.empty() || bytes.size() > MAXDWORD || FAILED(factory.CreateStream(&stream)) ||
      FAILED(stream->InitializeFromMemory(reinterpret_cast<BYTE *>(bytes.data()), static_cast<DWORD>(bytes.size()))) ||
      FAILED(factory.CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) ||
      FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetSize(&original.width, &original.height)) ||
      original.width == 0 || original.height == 0 || FAILED(factory.CreateFormatConverter(&premultiplied)) ||
      FAILED(premultiplied->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0,
                                       WICBitmapPaletteTypeCustom)))
    return {};
  size = CoverSize(original);
  IWICBitmapSource *scaled = premultiplied.Get();
  if (size.width != original.width || size.height != original.height) {
    if (FAILED(factory.CreateBitmapScaler(&scaler)) ||
        FAILED(scaler->Initialize(premultiplied.Get(), size.width, size.height, WICBitmapInterpolationModeFant)))
      return {};
    scaled = scaler.Get();
  }
  std::vector<BYTE> premultipliedPixels(std::size_t{size.width} * size.height * 4);
  if (FAILED(scaled->CopyPixels(nullptr, size.width * 4, static_cast<UINT>(premultipliedPixels.size()),
                                premultipliedPixels.data())))
    return {};
  std::vector<BYTE> pixels(std::size_t{size.width} * size.height * 3);
  for (std::size_t pixel = 0; pixel < std::size_t{size.width} * size.height; ++pixel) {
    const BYTE *from = &premultipliedPixels[pixel * 4];
    for (int channel = 0; channel < 3; ++channel)
      pixels[pixel * 3 + channel] = static_cast<BYTE>(from[channel] + (255 - from[3]));
  }
  return pixels;
}

// Baseline JPEG is all the imaging component's encoder writes.
std::string EncodeJpeg(IWICImagingFactory &factory, const std::vector<BYTE> &pixels, Size size) {
  ComPtr<IStream> output;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IPropertyBag2> options;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &output)) ||
      FAILED(factory.CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder)) ||
      FAILED(encoder->Initialize(output.Get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(&frame, &options)))
    return {};
  // A cover is looked at closely on a small screen; an encoder that knows no quality keeps its own.
  PROPBAG2 quality{};
  quality.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
  VARIANT value{};
  value.vt = VT_R4;
  value.fltVal = 0.9F;
  options->Write(1, &quality, &value);
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  STATSTG written{};
  HGLOBAL memory = nullptr;
  if (FAILED(frame->Initialize(options.Get())) || FAILED(frame->SetSize(size.width, size.height)) ||
      FAILED(frame->SetPixelFormat(&format)) || format != GUID_WICPixelFormat24bppBGR ||
      FAILED(frame->WritePixels(size.height, size.width * 3, static_cast<UINT>(pixels.size()),
                                const_cast<BYTE *>(pixels.data()))) ||
      FAILED(frame->Commit()) || FAILED(encoder->Commit()) || FAILED(output->Stat(&written, STATFLAG_NONAME)) ||
      FAILED(GetHGlobalFromStream(output.Get(), &memory)))
    return {};
  const void *bytes = GlobalLock(memory);
  if (bytes == nullptr)
    return {};
  std::string jpeg(static_cast<const char *>(bytes), static_cast<std::size_t>(written.cbSize.QuadPart));
  GlobalUnlock(memory);
  return jpeg;
}

} // namespace

std::string CoverJpeg(std::string_view picture) {
  // The imaging component is COM.
  const ComApartment apartment;
  ComPtr<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))))
    return {};
  Size size;
  const std::vector<BYTE> pixels = CoverPixels(*factory.Get(), picture, size);
  return pixels.empty() ? std::string() : EncodeJpeg(*factory.Get(), pixels, size);
}

} // namespace sf
