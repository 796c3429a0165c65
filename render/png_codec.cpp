#include "render/png_codec.h"

#include <png.h>
#include <zlib.h>

#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <memory>
#include <span>
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

// libpng's full API, for the compression settings the simplified one does not offer. libpng
// leaves a function by longjmp on an error, so its state lives in this plain struct, owned by
// the caller, and WritePng creates nothing that needs destroying.
struct PngWriter {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::byte* out = nullptr;  // the file's bytes, `size` of `room` written
  std::size_t room = 0;
  std::size_t size = 0;
  char message[256] = {};
};

extern "C" void PngError(png_structp png, png_const_charp message) {
  auto* writer = static_cast<PngWriter*>(png_get_error_ptr(png));
  std::snprintf(writer->message, sizeof writer->message, "%s", message);
  png_longjmp(png, 1);
}
extern "C" void PngWarning(png_structp, png_const_charp) {}
extern "C" void PngWrite(png_structp png, png_bytep data, std::size_t length) {
  auto* writer = static_cast<PngWriter*>(png_get_io_ptr(png));
  if (length > writer->room - writer->size) png_error(png, "the file outgrew its room");
  std::memcpy(writer->out + writer->size, data, length);
  writer->size += length;
}
extern "C" void PngFlush(png_structp) {}

// What a file holds: RGBA pixels, or indices into a palette of up to 256 colours.
struct PngLayout {
  int width = 0;
  int height = 0;
  std::span<const png_color> palette;  // empty: RGBA
};

// RGBA rows filtered by their left neighbours and deflated by runs only: a large model's
// picture, full of texture detail, encodes in two thirds of the time of libpng's fast mode (no
// filter, level 3) at a few per cent more bytes, and plain areas still come down to runs of
// zeros. Palette indices are not filtered, as differences of indices mean nothing.
bool WritePng(PngWriter& writer, const PngLayout& layout, const png_const_bytep* rows) {
  if (setjmp(png_jmpbuf(writer.png)) != 0) return false;
  png_set_write_fn(writer.png, &writer, PngWrite, PngFlush);
  const bool indexed = !layout.palette.empty();
  png_set_IHDR(writer.png, writer.info, static_cast<png_uint_32>(layout.width),
               static_cast<png_uint_32>(layout.height), 8,
               indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (indexed) {
    png_set_PLTE(writer.png, writer.info, layout.palette.data(),
                 static_cast<int>(layout.palette.size()));
  }
  png_set_filter(writer.png, PNG_FILTER_TYPE_BASE, indexed ? PNG_FILTER_NONE : PNG_FILTER_SUB);
  png_set_compression_level(writer.png, 1);
  png_set_compression_strategy(writer.png, Z_RLE);
  png_write_info(writer.png, writer.info);
  png_write_image(writer.png, const_cast<png_bytepp>(rows));
  png_write_end(writer.png, nullptr);
  return true;
}

std::vector<std::byte> Encode(const PngLayout& layout, const std::vector<png_const_bytep>& rows,
                              const char* what) {
  PngWriter writer;
  // Room for the largest file the pixels can make, as the simplified API works it out for RGBA
  // (more than palette indices need) and a palette; memory is only touched where the file's
  // bytes are written.
  {
    PngImage bounds;
    bounds.get().width = static_cast<png_uint_32>(layout.width);
    bounds.get().height = static_cast<png_uint_32>(layout.height);
    bounds.get().format = PNG_FORMAT_RGBA;
    writer.room = PNG_IMAGE_PNG_SIZE_MAX(bounds.get()) + 3 * 256 + 64;
  }
  const auto room = std::make_unique_for_overwrite<std::byte[]>(writer.room);
  writer.out = room.get();
  writer.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &writer, PngError, PngWarning);
  if (writer.png != nullptr) writer.info = png_create_info_struct(writer.png);
  const bool written = writer.info != nullptr && WritePng(writer, layout, rows.data());
  png_destroy_write_struct(&writer.png, &writer.info);
  if (!written) {
    throw Error(std::string(what) + ": " +
                (writer.message[0] != '\0' ? writer.message : "out of memory"));
  }
  return std::vector<std::byte>(room.get(), room.get() + writer.size);
}

}  // namespace

std::vector<std::byte> EncodePng(const Image& image) {
  std::vector<png_const_bytep> rows(static_cast<std::size_t>(image.height));
  for (int y = 0; y < image.height; ++y) rows[static_cast<std::size_t>(y)] = image.Pixel(0, y);
  return Encode({image.width, image.height, {}}, rows, "cannot encode the picture as PNG");
}

std::vector<std::byte> EncodeBitmapPng(const Bitmap& bitmap) {
  std::array<png_color, 256> palette;
  for (std::size_t i = 0; i < palette.size(); ++i) {
    palette[i] = {bitmap.colours[i].r, bitmap.colours[i].g, bitmap.colours[i].b};
  }
  const auto width = static_cast<std::size_t>(bitmap.width);
  const auto height = static_cast<std::size_t>(bitmap.height);
  if (bitmap.width < 1 || bitmap.height < 1 || bitmap.pixels.size() / width < height) {
    throw Error("cannot encode the bitmap as PNG: it holds fewer pixels than its size says");
  }
  std::vector<png_const_bytep> rows(height);
  for (std::size_t y = 0; y < height; ++y) rows[y] = bitmap.pixels.data() + y * width;
  return Encode({bitmap.width, bitmap.height, palette}, rows, "cannot encode the bitmap as PNG");
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
