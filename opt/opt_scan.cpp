#include "opt/opt_scan.h"

#include <unordered_set>

#include "core/error.h"
#include "opt/polygon_walk.h"
#include "opt/texture_export.h"
#include "opt/walk_budget.h"

namespace durvane::opt {
namespace {

// Texture node fields. Layout B puts every field from the palette address on 4 bytes later.

struct TextureFieldOffsets {
  std::uint32_t palette_address, pixel_count, width, height, pixels;
};

constexpr TextureFieldOffsets kLayoutA{33, 41, 49, 53, 57};
constexpr TextureFieldOffsets kLayoutB{37, 45, 53, 57, 61};

// The palette lies this far behind the address a texture node stores.
constexpr std::uint32_t kPaletteDisplacement = 3584;

class TextureScan {
 public:
  TextureScan(const OptImage& image, std::vector<std::string>& warnings)
      : image_(image), warnings_(warnings), budget_(image), bitmap_budget_(image) {}

  std::vector<TextureBitmap> Run() {
    const std::int64_t node_count = image_.NodeCount();
    for (std::int64_t i = 1; i <= node_count; ++i) {
      try {
        VisitTopLevel(image_.TopLevelEntry(static_cast<std::int32_t>(i)));
      } catch (...) {
        RethrowWithContext("top-level entry " + std::to_string(i));
      }
    }
    return std::move(textures_);
  }

 private:
  // The number of entries of a node's in-place child list, checked to lie inside the file
  // and paid for from the budget.
  std::int64_t InPlaceChildren(std::int32_t address) {
    const std::int64_t count = image_.ChildCount(address);
    RequireChildList(image_, address, count);
    budget_.Spend(count);
    return count;
  }

  // T: its in-place children that are group nodes lead on to their selected nodes.
  void VisitTopLevel(std::int32_t t) {
    const std::int64_t children = InPlaceChildren(t);
    for (std::int64_t j = 1; j <= children; ++j) {
      const std::int32_t g = image_.InPlaceChild(t, static_cast<std::int32_t>(j));
      if (g == 0 || image_.NodeType(g) != kGroupNode) continue;
      VisitSelected(image_.SelectedNode(g));
    }
  }

  // L: the one level whose child list is read through ChildTableAddress.
  void VisitSelected(std::int32_t l) {
    const std::int64_t children = image_.ChildCount(l);
    if (children <= 0) return;
    const std::int32_t table = image_.Long(l, kChildTableAddressOffset, "ChildTableAddress");
    const std::uint64_t list_bytes = 4 * static_cast<std::uint64_t>(children);
    const std::int64_t start = static_cast<std::int64_t>(table) - image_.OptBase();
    if (start < 0 || !image_.view().Contains(static_cast<std::uint64_t>(start), list_bytes)) {
      throw FormatError(image_.Offset(l, kChildTableAddressOffset, 4, "ChildTableAddress"),
                        "the " + DescribeNode(image_, l) + " has ChildCount " +
                            std::to_string(children) +
                            ", but its child table at ChildTableAddress " + HexSigned(table) +
                            " lies outside the file");
    }
    const auto at = static_cast<std::uint64_t>(start);
    budget_.Spend(children);
    for (std::int64_t k = 0; k < children; ++k) {
      VisitChildOfSelected(image_.AddressAt(at + 4 * static_cast<std::uint64_t>(k),
                                            ZeroAddress::kFollowed, "the child table entry"));
    }
  }

  // E: its in-place children are texture nodes and texture group nodes.
  void VisitChildOfSelected(std::int32_t e) {
    const std::int64_t children = InPlaceChildren(e);
    for (std::int64_t r = 1; r <= children; ++r) {
      const std::int32_t x = image_.InPlaceChild(e, static_cast<std::int32_t>(r));
      if (x == 0) continue;
      const std::int32_t type = image_.NodeType(x);
      if (type == kTextureNode) {
        ExportByChildCount(x);
      } else if (type == kTextureGroupNode) {
        VisitTextureGroup(x);
      }
    }
  }

  void VisitTextureGroup(std::int32_t x) {
    const std::int32_t child_count = image_.ChildCount(x);
    if (child_count == 1) {
      // The only child is taken as a texture in layout A, whatever its type.
      const std::int32_t y = image_.InPlaceChild(x, 1);
      if (y != 0) Export(y, TextureLayout::kA);
      return;
    }
    const std::int32_t data_count = image_.DataCount(x);
    if (data_count != 0 && data_count != 1) {
      if (child_count > 0) {
        Warn(x, "the texture group " + DescribeNode(image_, x) + " has DataCount " +
                    std::to_string(data_count) + ", neither 0 nor 1; its textures get no bitmaps");
      }
      return;
    }
    const std::int64_t children = InPlaceChildren(x);
    for (std::int64_t s = 1; s <= children; ++s) {
      const std::int32_t y = image_.InPlaceChild(x, static_cast<std::int32_t>(s));
      if (y == 0 || image_.NodeType(y) != kTextureNode) continue;
      if (data_count == 1) {
        ExportByChildCount(y);
      } else {
        Export(y, TextureLayout::kA);
      }
    }
  }

  // A texture node's ChildCount chooses its layout: 0 for A, 1 for B; others are skipped.
  void ExportByChildCount(std::int32_t n) {
    const std::int32_t child_count = image_.ChildCount(n);
    if (child_count == 0) {
      Export(n, TextureLayout::kA);
    } else if (child_count == 1) {
      Export(n, TextureLayout::kB);
    } else {
      Warn(n, "the texture " + DescribeNode(image_, n) + " has ChildCount " +
                  std::to_string(child_count) + ", neither 0 nor 1; it gets no bitmap");
    }
  }

  // Warns once per node, however often shared nodes lead the walk back to it.
  void Warn(std::int32_t node, std::string message) {
    if (warned_.insert(node).second) warnings_.push_back(std::move(message));
  }

  void Export(std::int32_t n, TextureLayout layout) {
    try {
      const TextureFieldOffsets& f = layout == TextureLayout::kA ? kLayoutA : kLayoutB;
      const std::int32_t pixel_count = image_.Long(n, f.pixel_count, "PixelCount");
      if (pixel_count < 0) {
        throw FormatError(image_.Offset(n, f.pixel_count, 4, "PixelCount"),
                          "PixelCount is " + std::to_string(pixel_count) + ", below 0");
      }
      const std::int32_t width = image_.Long(n, f.width, "TextureWidth");
      const std::int32_t height = image_.Long(n, f.height, "TextureHeight");
      const auto pixels = image_.NodeBytes(n, f.pixels, static_cast<std::uint64_t>(pixel_count),
                                           "the " + std::to_string(pixel_count) + " pixel bytes");
      const std::int32_t palette_address = image_.Long(n, f.palette_address, "PaletteAddress");
      if (static_cast<std::int64_t>(palette_address) + kPaletteDisplacement < image_.OptBase()) {
        throw FormatError(image_.Offset(n, f.palette_address, 4, "PaletteAddress"),
                          "PaletteAddress " + HexSigned(palette_address) +
                              " puts the texture palette below OptBase " +
                              HexSigned(image_.OptBase()) + ", before the start of the file");
      }
      const auto palette = image_.NodeBytes(palette_address, kPaletteDisplacement, kPaletteBytes,
                                            "the texture palette");
      // Nodes may be shared, so the same texture can be reached again and again; the bitmaps
      // are held in memory and may be written, so their bytes are bounded by the file's size.
      const std::uint64_t bitmap_bytes = kBitmapHeaderBytes + pixels.size();
      if (!bitmap_budget_.TrySpend(bitmap_bytes)) {
        throw Error("the textures reached would make more than " +
                    std::to_string(bitmap_budget_.total()) +
                    " bytes of bitmaps, far more than an OPT file of " +
                    std::to_string(image_.view().size()) + " bytes can hold; refusing it");
      }
      textures_.push_back(ExportTexture(image_.TextureName(n).first<kTextureNameBytes>(),
                                        palette.first<kPaletteBytes>(), pixels, width, height));
      textures_.back().layout = layout;
    } catch (...) {
      RethrowWithContext("the texture " + DescribeNode(image_, n));
    }
  }

  const OptImage& image_;
  std::vector<std::string>& warnings_;
  WalkBudget budget_;         // list entries visited
  WalkBudget bitmap_budget_;  // bytes of bitmaps made
  std::vector<TextureBitmap> textures_;
  std::unordered_set<std::int32_t> warned_;
};

}  // namespace

std::vector<TextureBitmap> ScanOpt(const OptImage& image, std::vector<std::string>& warnings) {
  return TextureScan(image, warnings).Run();
}

}  // namespace durvane::opt
