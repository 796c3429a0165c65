#include "render/model_files.h"

#include <map>
#include <string>

#include "core/error.h"
#include "core/file_io.h"
#include "core/file_names.h"
#include "core/platform.h"
#include "prj/conversion_run.h"
#include "render/prj_records.h"

namespace durvane::render {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return text;
}

void RequireFileName(const std::string& name) {
  if (!IsSafeFileName(name)) throw Error("the name cannot be a file name");
}

// Only the blocks the polygons are drawn from are held in memory.
Model LoadPrj(const std::filesystem::path& path) {
  auto file = std::make_shared<PrjFileRecords>(ReadPrjFileRecords(path));
  const PolygonRecords records = file->records;
  BitmapNames names = std::move(file->names);
  const std::filesystem::path folder = path.parent_path();
  return Model::Make(records, std::move(names), std::move(file),
                     [&folder](const std::string& name) {
                       RequireFileName(name);
                       const std::filesystem::path file = folder / platform::PathFromBytes(name);
                       const std::vector<std::byte> bmp = ReadFile(file);
                       try {
                         return ReadBitmapFile(bmp);
                       } catch (const Error& e) {
                         throw Error("'" + platform::PathBytes(file) + "' is " + e.what());
                       }
                     });
}

// The OPT file's bytes and what the conversion made of them, kept together: the textures'
// pixels point into the OPT file's bytes.
struct ConvertedFile {
  ByteBuffer opt;
  ConvertedModel converted;
};

Model LoadOpt(const std::filesystem::path& path) {
  auto file = std::make_shared<ConvertedFile>();
  file->opt = ReadFileBuffer(path);
  file->converted = ConvertOpt(file->opt);
  // Only the polygon blocks are drawn; the other blocks' memory is given back.
  prj::PrjImage& image = file->converted.prj;
  for (ByteSink* unused : {&image.ff03, &image.ff04, &image.ff05, &image.ff07, &image.ff08}) {
    unused->storage() = ByteBuffer();
  }
  // The bitmaps a conversion writes: those whose names can be file names, the last of a name.
  std::map<std::string, const opt::TextureBitmap*> textures;
  for (const opt::TextureBitmap& t : file->converted.textures) {
    if (t.HasSafeFileName()) textures.insert_or_assign(t.FileName(), &t);
  }
  PolygonRecords records = FindPolygonRecords(image);
  // Section FF02 is read for the bitmap names alone, then given back too.
  BitmapNames names = ReadBitmapNames(records);
  records.names = {};
  image.ff02.storage() = ByteBuffer();
  return Model::Make(records, std::move(names), file, [&textures](const std::string& name) {
    RequireFileName(name);
    const auto it = textures.find(name);
    if (it == textures.end()) throw Error("no texture of the OPT file has this name");
    try {
      return ReadBitmap(it->second->header, it->second->pixels);
    } catch (const Error& e) {
      throw Error(std::string("the texture is ") + e.what());
    }
  });
}

}  // namespace

std::optional<ModelFileKind> ModelFileKindOf(const std::filesystem::path& path) {
  const std::string ext = Lower(path.extension().string());
  if (ext == ".opt") return ModelFileKind::kOpt;
  if (ext == ".prj") return ModelFileKind::kPrj;
  return std::nullopt;
}

Model LoadModelFile(const std::filesystem::path& path) {
  const auto kind = ModelFileKindOf(path);
  if (!kind)
    throw Error("cannot tell what kind of file '" + platform::PathBytes(path) +
                "' is: name it .opt or .prj");
  return *kind == ModelFileKind::kOpt ? LoadOpt(path) : LoadPrj(path);
}

}  // namespace durvane::render
