#include "usecases/model_files.h"

#include <map>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/file_io.h"
#include "core/file_names.h"
#include "core/platform.h"
#include "core/whole_file.h"
#include "opt/opt_image.h"
#include "opt/opt_scan.h"
#include "opt/texture_bitmap.h"
#include "prj/prj_builder.h"
#include "render/opt_polygons.h"
#include "render/prj_records.h"

namespace durvane::render {
namespace {

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

// The OPT file's bytes and its textures, whose pixels point into those bytes, as are the
// polygons' corners.
struct OptFile {
  explicit OptFile(const std::filesystem::path& path) : opt(path) {}
  InputBytes opt;
  std::vector<opt::TextureBitmap> textures;  // in scan order; a name may occur twice
};

// The polygons are drawn from the OPT file's own bytes. Its PRJ file is built, not held: that
// refuses the file just as a conversion would, with the same messages, and the builder hands on
// each polygon's bitmap name as it makes section FF02; nothing else of it is kept.
Model LoadOptFile(const std::shared_ptr<OptFile>& file) {
  const opt::OptImage image(file->opt);
  std::vector<std::string> warnings;  // the conversion's; a render reports only bitmap warnings
  file->textures = opt::ScanOpt(image, warnings);
  const std::int32_t polygon_count = prj::CountPrjPolygons(image);
  BitmapNameIndex bitmaps(static_cast<std::size_t>(polygon_count));
  prj::CountPrjSections(image, polygon_count, warnings, &bitmaps);
  BitmapNames names = bitmaps.Finish();
  auto polygons = std::make_shared<const OptPolygons>(image);
  // The bitmaps a conversion writes: those whose names can be file names, the last of a name.
  std::map<std::string, const opt::TextureBitmap*> textures;
  for (const opt::TextureBitmap& t : file->textures) {
    if (t.HasSafeFileName()) textures.insert_or_assign(t.FileName(), &t);
  }
  return Model::Make(std::move(polygons), std::move(names), file,
                     [&textures](const std::string& name) {
                       RequireFileName(name);
                       const auto it = textures.find(name);
                       if (it == textures.end()) {
                         throw Error("no texture of the OPT file has this name");
                       }
                       try {
                         return ReadBitmap(it->second->header, it->second->pixels);
                       } catch (const Error& e) {
                         throw Error(std::string("the texture is ") + e.what());
                       }
                     });
}

Model LoadOpt(const std::filesystem::path& path) {
  auto file = std::make_shared<OptFile>(path);
  try {
    Model model = LoadOptFile(file);
    file->opt.CheckUnchanged();
    // The polygons stay in the file's bytes, mapped for a large file: drawing them later must
    // end in this check too.
    model.SetSourceCheck(
        [opt = std::shared_ptr<const OptFile>(file)] { opt->opt.CheckUnchanged(); });
    return model;
  } catch (...) {
    // A file cut short or changed while it was walked is refused as such, whatever the walk
    // made of its bytes.
    file->opt.CheckUnchanged();
    throw;
  }
}

}  // namespace

Model LoadModelFile(const std::filesystem::path& path) {
  const ModelFileKind kind = ModelFileKindOf(path);
  if (kind == ModelFileKind::kOther)
    throw Error("cannot tell what kind of file '" + platform::PathBytes(path) +
                "' is: name it .opt or .prj");
  return kind == ModelFileKind::kOpt ? LoadOpt(path) : LoadPrj(path);
}

}  // namespace durvane::render
