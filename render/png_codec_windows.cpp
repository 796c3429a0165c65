// PNG files of rendered pictures on Windows, through the Windows Imaging Component that every
// Windows has (libpng is not packaged for the cross build).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <wincodec.h>
#include <windows.h>

#include <cstring>
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

}  // namespace

std::vector<std::byte> EncodePng(const Image& image) {
  constexpr const char* kWhat = "cannot encode the picture as PNG";
  const ComThread com;
  Com<IWICImagingFactory> factory;
  MakeFactory(factory, kWhat);
  Com<IStream> stream;
  Check(::CreateStreamOnHGlobal(nullptr, TRUE, stream.out()), kWhat);
  Com<IWICBitmapEncoder> encoder;
  Check(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out()), kWhat);
  Check(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache), kWhat);
  Com<IWICBitmapFrameEncode> frame;
  Com<IPropertyBag2> options;
  Check(encoder->CreateNewFrame(frame.out(), options.out()), kWhat);
  Check(frame->Initialize(options.get()), kWhat);
  Check(frame->SetSize(static_cast<UINT>(image.width), static_cast<UINT>(image.height)), kWhat);
  // The encoder takes blue, green, red, alpha.
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
  Check(frame->SetPixelFormat(&format), kWhat);
  if (!IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA)) throw Error(kWhat);
  std::vector<std::uint8_t> bgra(image.rgba.begin(), image.rgba.end());
  for (std::size_t i = 0; i + 3 < bgra.size(); i += 4) std::swap(bgra[i], bgra[i + 2]);
  const UINT stride = static_cast<UINT>(image.width) * 4;
  Check(frame->WritePixels(static_cast<UINT>(image.height), stride, static_cast<UINT>(bgra.size()),
                           bgra.data()),
        kWhat);
  Check(frame->Commit(), kWhat);
  Check(encoder->Commit(), kWhat);

  HGLOBAL memory = nullptr;
  Check(::GetHGlobalFromStream(stream.get(), &memory), kWhat);
  STATSTG stat{};
  Check(stream->Stat(&stat, STATFLAG_NONAME), kWhat);
  std::vector<std::byte> out(static_cast<std::size_t>(stat.cbSize.QuadPart));
  const void* bytes = ::GlobalLock(memory);
  if (bytes == nullptr) throw Error(kWhat);
  std::memcpy(out.data(), bytes, out.size());
  ::GlobalUnlock(memory);
  return out;
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
