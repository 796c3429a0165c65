#include "render/png_codec.h"

#include <png.h>

#include <memory>
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
  // Quick deflate and no row filters: a large model's picture, full of texture detail, encodes
  // in half the time at much the same size; a small plain one grows by a few KB.
  png.get().flags = PNG_IMAGE_FLAG_FAST;
  // Encoded once, into room for the largest file the picture can make; memory is only touched
  // where the file's bytes are written.
  png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(png.get());
  const auto room = std::make_unique_for_overwrite<std::byte[]>(size);
  if (!png_image_write_to_memory(&png.get(), room.get(), &size, 0, image.rgba.data(), 0, nullptr)) {
    png.Fail("cannot encode the picture as PNG");
  }
  return std::vector<std::byte>(room.get(), room.get() + size);
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
