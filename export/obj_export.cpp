#include "export/obj_export.h"

#include <charconv>
#include <cstdint>
#include <span>
#include <string>

#include "core/staged_files.h"

namespace durvane::exporting {
namespace {

// Text written to a staged file as it is made, a few megabytes at a time, so that a large
// model's OBJ file is never held whole.
class TextWriter {
 public:
  explicit TextWriter(StagedFile& file) : file_(file) {}

  void Add(std::string_view text) {
    text_ += text;
    if (text_.size() >= kChunk) Flush();
  }
  // The shortest text that reads back as the same value.
  void Add(float value) {
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    text_.append(digits, result.ptr);
  }
  void Add(std::uint64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    text_.append(digits, result.ptr);
  }
  void Flush() {
    file_.WriteAt(offset_, std::as_bytes(std::span(text_)));
    offset_ += text_.size();
    text_.clear();
  }

 private:
  static constexpr std::size_t kChunk = std::size_t{4} << 20;
  StagedFile& file_;
  std::string text_;
  std::uint64_t offset_ = 0;
};

std::string Colour(const render::Rgb& c) {
  std::string text;
  for (const std::uint8_t value : {c.r, c.g, c.b}) {
    char digits[32];
    const auto result =
        std::to_chars(digits, digits + sizeof digits, static_cast<float>(value) / 255.0f);
    text += " " + std::string(digits, result.ptr);
  }
  return text;
}

}  // namespace

std::size_t StageObj(const render::Model& model, const ExportMaterials& materials,
                     const CancelCheck& cancelled, ExportFiles& files) {
  const std::string mtl_name = files.SiblingName(".mtl");
  std::string mtl = "# Written by durvane.\n";
  for (const ExportMaterial& m : materials.materials) {
    mtl +=
        "\nnewmtl " + m.name + "\nKa 0 0 0\nKd" + Colour(m.colour) + "\nKs 0 0 0\nd 1\nillum 1\n";
    if (m.textured) mtl += "map_Kd " + m.PngName() + "\n";
  }

  TextWriter obj(files.Open(files.destination()));
  obj.Add("# Written by durvane. Positions as the model file holds them: z is up.\nmtllib ");
  obj.Add(mtl_name);
  obj.Add("\n");
  std::uint64_t corners = 0;
  std::uint32_t material = render::kNoBitmap;
  const std::size_t left_out =
      ForEachDrawnPolygon(model, cancelled, [&](const render::Polygon& p, std::size_t) {
        const std::uint32_t m = materials.Of(p.bitmap);
        if (m != material) {
          material = m;
          obj.Add("usemtl ");
          obj.Add(materials.materials[m].name);
          obj.Add("\n");
        }
        for (int c = 0; c < p.corner_count; ++c) {
          obj.Add("v ");
          obj.Add(p.corners[c].point[0]);
          obj.Add(" ");
          obj.Add(p.corners[c].point[1]);
          obj.Add(" ");
          obj.Add(p.corners[c].point[2]);
          obj.Add("\nvt ");
          obj.Add(p.corners[c].pair[0]);
          obj.Add(" ");
          obj.Add(1.0f - p.corners[c].pair[1]);
          obj.Add("\n");
        }
        obj.Add("f");
        for (int c = 0; c < p.corner_count; ++c) {
          ++corners;
          obj.Add(" ");
          obj.Add(corners);
          obj.Add("/");
          obj.Add(corners);
        }
        obj.Add("\n");
      });
  obj.Flush();

  const std::span<const std::byte> mtl_bytes[] = {std::as_bytes(std::span(mtl))};
  files.Stage(files.Beside(mtl_name), mtl_bytes);
  StagePngFiles(materials, files);
  return left_out;
}

}  // namespace durvane::exporting
