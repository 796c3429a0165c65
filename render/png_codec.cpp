#include "render/png_codec.h"

#include <png.h>

#include <string>

#include "core/error.h"

namespace durvane::render {
namespace {

// libpng's simplified API: a png_image that frees what it allocated when it goes.
class PngImage {
 public:
  PngImage() { image_.version = PNG_IMAGE_VERSION; }
  ~PngImage() { png_image_free(&image_); }
  PngImage(const PngImage&) = delete;
  PngImage& operator=(const PngImage&) = delete;

  png_image& get() { return image_; }
  [[noreturn]] void Fail(const std::string& what) { throw Error(what + ": " + image_.message); }

 private:
  png_image image_{};
};

}  // namespace

std::vector<std::byte> EncodePng(const Image& image) {
  PngImage png;
  png.get().width = static_cast<png_uint_32>(image.width);
  png.get().height = static_cast<png_uint_32>(image.height);
  png.get().format = PNG_FORMAT_RGBA;
  // The first call gives the size, the second writes.
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&png.get(), nullptr, &size, 0, image.rgba.data(), 0, nullptr)) {
    png.Fail("cannot encode the picture as PNG");
  }
  std::vector<std::byte> out(size);
  if (!png_image_write_to_memory(&png.get(), out.data(), &size, 0, image.rgba.data(), 0, nullptr)) {
    png.Fail("cannot encode the picture as PNG");
  }
  out.resize(size);
  return out;
}

Image DecodePng(std::span<const std::byte> file) {
  PngImage png;
  if (!png_image_begin_read_from_memory(&png.get(), file.data(), file.size())) {
    png.Fail("not a PNG file");
  }
  png.get().format = PNG_FORMAT_RGBA;
  Image image;
  image.width = static_cast<int>(png.get().width);
  image.height = static_cast<int>(png.get().height);
  image.rgba.assign(PNG_IMAGE_SIZE(png.get()), 0);
  if (!png_image_finish_read(&png.get(), nullptr, image.rgba.data(), 0, nullptr)) {
    png.Fail("cannot read the PNG file");
  }
  return image;
}

}  // namespace durvane::render
