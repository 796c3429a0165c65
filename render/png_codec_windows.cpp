// PNG files of rendered pictures and of bitmaps on Windows, through the Windows Imaging Component
// that every Windows has (libpng is not packaged for the cross build).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <wincodec.h>
#include <windows.h>

#include <array>
#include <cstring>
#include <span>
#include <string>

#include "core/error.h"
#include "render/png_codec.h"

namespace durvane::render {
namespace {

// Owns one COM interface pointer.
template <typename T>
class Com {
 public:
  Com() = default;
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  ~Com() {
    if (p_ != nullptr) p_->Release();
  }
  T** out() { return &p_; }
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

void Check(HRESULT result, const char* what) {
  if (FAILED(result)) {
    throw Error(std::string(what) + " (Windows Imaging Component error 0x" +
                Hex(static_cast<std::uint32_t>(result)).substr(2) + ")");
  }
}

// COM for the calling thread, for as long as one coding lasts.
class ComThread {
 public:
  ComThread() : result_(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~ComThread() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  ComThread(const ComThread&) = delete;
  ComThread& operator=(const ComThread&) = delete;

 private:
  HRESULT result_;
};

void MakeFactory(Com<IWICImagingFactory>& factory, const char* what) {
  Check(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                           IID_IWICImagingFactory, reinterpret_cast<void**>(factory.out())),
        what);
}

// What a file holds: 32-bit BGRA pixels, or 8-bit indices into a palette of `palette` colours
// (0xAARRGGBB).
struct PngLayout {
  int width = 0;
  int height = 0;
  std::span<const std::uint8_t> pixels;  // rows from the top, not padded
  std::span<WICColor> palette;           // empty: BGRA
};

std::vector<std::byte> Encode(const PngLayout& layout, const char* what) {
  const ComThread com;
  Com<IWICImagingFactory> factory;
  MakeFactory(factory, what);
  Com<IStream> stream;
  Check(::CreateStreamOnHGlobal(nullptr, TRUE, stream.out()), what);
  Com<IWICBitmapEncoder> encoder;
  Check(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out()), what);
  Check(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache), what);
  Com<IWICBitmapFrameEncode> frame;
  Com<IPropertyBag2> options;
  Check(encoder->CreateNewFrame(frame.out(), options.out()), what);
  Check(frame->Initialize(options.get()), what);
  Check(frame->SetSize(static_cast<UINT>(layout.width), static_cast<UINT>(layout.height)), what);
  const bool indexed = !layout.palette.empty();
  const WICPixelFormatGUID wanted =
      indexed ? GUID_WICPixelFormat8bppIndexed : GUID_WICPixelFormat32bppBGRA;
  WICPixelFormatGUID format = wanted;
  Check(frame->SetPixelFormat(&format), what);
  if (!IsEqualGUID(format, wanted)) throw Error(what);
  if (indexed) {
    Com<IWICPalette> palette;
    Check(factory->CreatePalette(palette.out()), what);
    Check(
        palette->InitializeCustom(layout.palette.data(), static_cast<UINT>(layout.palette.size())),
        what);
    Check(frame->SetPalette(palette.get()), what);
  }
  const UINT stride = static_cast<UINT>(layout.width) * (indexed ? 1 : 4);
  // WIC only reads the pixels; the interface is not const-correct.
  Check(frame->WritePixels(static_cast<UINT>(layout.height), stride,
                           static_cast<UINT>(layout.pixels.size()),
                           const_cast<BYTE*>(layout.pixels.data())),
        what);
  Check(frame->Commit(), what);
  Check(encoder->Commit(), what);

  HGLOBAL memory = nullptr;
  Check(::GetHGlobalFromStream(stream.get(), &memory), what);
  STATSTG stat{};
  Check(stream->Stat(&stat, STATFLAG_NONAME), what);
  std::vector<std::byte> out(static_cast<std::size_t>(stat.cbSize.QuadPart));
  const void* bytes = ::GlobalLock(memory);
  if (bytes == nullptr) throw Error(what);
  std::memcpy(out.data(), bytes, out.size());
  ::GlobalUnlock(memory);
  return out;
}

}  // namespace

std::vector<std::byte> EncodePng(const Image& image) {
  // The encoder takes blue, green, red, alpha.
  std::vector<std::uint8_t> bgra(image.rgba.begin(), image.rgba.end());
  for (std::size_t i = 0; i + 3 < bgra.size(); i += 4) std::swap(bgra[i], bgra[i + 2]);
  return Encode({image.width, image.height, bgra, {}}, "cannot encode the picture as PNG");
}

std::vector<std::byte> EncodeBitmapPng(const Bitmap& bitmap) {
  const auto width = static_cast<std::size_t>(bitmap.width);
  const auto height = static_cast<std::size_t>(bitmap.height);
  if (bitmap.width < 1 || bitmap.height < 1 || bitmap.pixels.size() / width < height) {
    throw Error("cannot encode the bitmap as PNG: it holds fewer pixels than its size says");
  }
  std::array<WICColor, 256> palette;
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const Rgb c = bitmap.colours[i];
    palette[i] = 0xFF000000u | (WICColor{c.r} << 16) | (WICColor{c.g} << 8) | c.b;
  }
  return Encode(
      {bitmap.width, bitmap.height, std::span(bitmap.pixels.data(), width * height), palette},
      "cannot encode the bitmap as PNG");
}

Image DecodePng(std::span<const std::byte> file) {
  const ComThread com;
  Com<IWICImagingFactory> factory;
  MakeFactory(factory, "cannot read the PNG file");
  Com<IWICStream> stream;
  Check(factory->CreateStream(stream.out()), "cannot read the PNG file");
  // WIC only reads the bytes; the interface is not const-correct.
  Check(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<std::byte*>(file.data())),
                                     static_cast<DWORD>(file.size())),
        "cannot read the PNG file");
  Com<IWICBitmapDecoder> decoder;
  Check(factory->CreateDecoderFromStream(stream.get(), &GUID_VendorMicrosoft,
                                         WICDecodeMetadataCacheOnDemand, decoder.out()),
        "not a PNG file");
  Com<IWICBitmapFrameDecode> frame;
  Check(decoder->GetFrame(0, frame.out()), "cannot read the PNG file");
  Com<IWICBitmapSource> rgba;
  Check(::WICConvertBitmapSource(GUID_WICPixelFormat32bppRGBA, frame.get(), rgba.out()),
        "cannot read the PNG file");
  UINT width = 0, height = 0;
  Check(rgba->GetSize(&width, &height), "cannot read the PNG file");
  Image image;
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  image.rgba.assign(std::size_t{width} * height * 4, 0);
  Check(
      rgba->CopyPixels(nullptr, width * 4, static_cast<UINT>(image.rgba.size()), image.rgba.data()),
      "cannot read the PNG file");
  return image;
}

}  // namespace durvane::render
