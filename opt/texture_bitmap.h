// One texture of an OPT file, ready to be written as an 8-bit palettised BMP file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace durvane::opt {

// How a texture node lays out its fields: chosen by its ChildCount, 0 for A and 1 for B.
enum class TextureLayout : std::uint8_t { kA, kB };

// 'A' or 'B', as reports name the layout.
inline char LayoutLetter(TextureLayout layout) {
  return layout == TextureLayout::kA ? 'A' : 'B';
}

struct TextureBitmap {
  // The 8 name bytes exactly as stored in the texture node.
  std::array<std::byte, 8> name{};
  // The BMP's first 1078 bytes: file header, info header and colour table, with the file
  // size field already holding the finished file's length.
  std::vector<std::byte> header;
  // The pixel bytes, exactly as read; they point into the OPT file's bytes.
  std::span<const std::byte> pixels;
  // The texture node's payload layout.
  TextureLayout layout = TextureLayout::kA;

  // The texture's file name: the 8 name bytes, then ".BMP".
  std::string FileName() const;
  // False when the name holds a byte that cannot be in a file name here (0x00 to 0x1F, 0x7F,
  // or one of / \ : * ? " < > |); such a texture gets no file.
  bool HasSafeFileName() const;
  // The name for messages, with unprintable bytes escaped as \xNN.
  std::string PrintableName() const;
};

}  // namespace durvane::opt
