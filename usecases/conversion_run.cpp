#include "usecases/conversion_run.h"

#include <map>
#include <optional>
#include <system_error>

#include "core/error.h"
#include "core/file_io.h"
#include "core/file_names.h"
#include "core/platform.h"
#include "core/whole_file.h"
#include "core/write_behind.h"
#include "opt/opt_image.h"
#include "opt/opt_scan.h"
#include "prj/prj_builder.h"
#include "prj/prj_layout.h"

namespace durvane {
namespace {

// From this many bytes of leading block and section FF01 on, the PRJ file is written on a thread
// of its own: large files gain from it, small ones lose the thread's start (see
// docs/performance.md).
constexpr std::uint64_t kWriteBehindBytes = std::uint64_t{32} << 20;

std::string Quoted(const std::filesystem::path& path) {
  return "'" + platform::PathBytes(path) + "'";
}

// Makes sure the output folder exists; returns true when it had to be created.
bool EnsureOutputFolder(const std::filesystem::path& qel_directory,
                        const std::filesystem::path& folder) {
  std::error_code ec;
  if (!std::filesystem::is_directory(qel_directory, ec)) {
    if (std::filesystem::exists(qel_directory, ec)) {
      throw Error("the QEL directory " + Quoted(qel_directory) + " is not a folder");
    }
    throw Error("the QEL directory " + Quoted(qel_directory) + " does not exist");
  }
  const auto status = std::filesystem::status(folder, ec);
  if (std::filesystem::is_directory(status)) return false;
  if (std::filesystem::exists(status)) {
    throw Error("cannot create the output folder " + Quoted(folder) +
                ": a file of that name is in the way");
  }
  // Another run may create it at the same moment; then it is there all the same.
  if (!std::filesystem::create_directory(folder, ec) && !ec) return false;
  if (ec) {
    throw Error("cannot create the output folder " + Quoted(folder) + ": " + ec.message());
  }
  return true;
}

// Stages the bitmaps, a name met twice once, from the texture met last; the file keeps the
// place of the name's first appearance in the list of files written.
// The bitmaps a conversion writes, in order: one per file name, from the texture met last, with
// a warning where two names differ only in letter case (on Windows they make one file).
std::vector<const opt::TextureBitmap*> BitmapsToWrite(
    const std::vector<opt::TextureBitmap>& textures, std::vector<std::string>& warnings) {
  std::map<std::string, const opt::TextureBitmap*> last_by_name;
  std::vector<std::string> order;
  for (const opt::TextureBitmap& t : textures) {
    if (!t.HasSafeFileName()) continue;
    const std::string key = FileNameKey(t.FileName());
    const auto found = last_by_name.find(key);
    if (found != last_by_name.end() && found->second->FileName() != t.FileName()) {
      warnings.push_back("textures \"" + found->second->PrintableName() + "\" and \"" +
                         t.PrintableName() +
                         "\" write one bitmap here, from the latter: their names differ "
                         "only in letter case");
    }
    auto [it, inserted] = last_by_name.insert_or_assign(key, &t);
    if (inserted) order.push_back(it->first);
  }
  std::vector<const opt::TextureBitmap*> bitmaps;
  bitmaps.reserve(order.size());
  for (const std::string& key : order) bitmaps.push_back(last_by_name[key]);
  return bitmaps;
}

// Stages the bitmaps of a conversion one at a time, in order, into its set.
class BitmapStager {
 public:
  BitmapStager(std::vector<const opt::TextureBitmap*> bitmaps, StagedFiles& files,
               ConversionResult& result)
      : bitmaps_(std::move(bitmaps)), files_(files), result_(result) {}

  bool Done() const { return next_ == bitmaps_.size(); }
  void StageNext() {
    const opt::TextureBitmap& t = *bitmaps_[next_++];
    const std::span<const std::byte> pieces[] = {t.header, t.pixels};
    const auto path = result_.output_folder / platform::PathFromBytes(t.FileName());
    files_.Stage(path, pieces);
    result_.bitmaps.push_back(path);
  }
  void StageRest() {
    while (!Done()) StageNext();
  }

 private:
  std::vector<const opt::TextureBitmap*> bitmaps_;
  std::size_t next_ = 0;
  StagedFiles& files_;
  ConversionResult& result_;
};

}  // namespace

std::string OutputBaseName(const std::string& opt_file_name) {
  constexpr std::string_view kExtension = ".opt";
  std::string lowered = AsciiLower(opt_file_name);
  if (lowered.size() < kExtension.size() ||
      lowered.compare(lowered.size() - kExtension.size(), kExtension.size(), kExtension) != 0) {
    throw Error("the file name " + Quoted(opt_file_name) + " does not end in \".opt\"");
  }
  lowered.resize(lowered.size() - kExtension.size());
  if (lowered.empty()) {
    throw Error("the file name " + Quoted(opt_file_name) + " has nothing before \".opt\"");
  }
  // The base name becomes a folder inside the QEL directory: it must be one path component
  // that names a new folder there, never the QEL directory itself or one outside it.
  if (lowered == "." || lowered == "..") {
    throw Error("the file name " + Quoted(opt_file_name) + " would give the output folder \"" +
                lowered + "\", which is not a folder inside the QEL directory");
  }
  if (lowered.find_first_of("/\\") != std::string::npos) {
    throw Error("the file name " + Quoted(opt_file_name) +
                " holds a folder separator, so it cannot name an output folder");
  }
  return lowered;
}

namespace {

// Converts the OPT file's bytes into the output folder: everything after the read.
ConversionResult ConvertRead(const InputBytes& opt_bytes, const std::string& base,
                             const std::filesystem::path& qel_directory, Durability durability,
                             const LockWait& lock_wait, const ConversionProgress& progress) {
  // Everything that can refuse the file without building its PRJ file runs before anything
  // is created: the header, the texture scan and the counting walk of the polygons.
  const opt::OptImage image(opt_bytes);
  ConversionResult result;
  const std::vector<opt::TextureBitmap> textures = ScanTextures(image, result.warnings);
  if (progress) progress(ConversionStage::kScanned);
  const std::int32_t polygon_count = prj::CountPrjPolygons(image);

  result.output_folder = qel_directory / platform::PathFromBytes(base);
  result.prj_path = result.output_folder / platform::PathFromBytes(base + ".prj");
  result.created_output_folder = EnsureOutputFolder(qel_directory, result.output_folder);
  try {
    const WriterLock lock(result.output_folder, lock_wait);
    StagedFiles files(durability);
    // The PRJ file goes to its staged file as it is built, a few chunks at a time, so that a
    // small OPT file whose shared nodes make a huge PRJ file never needs that much memory.
    // For a large file a thread of its own writes each chunk while the next is built; a file
    // of a few chunks is written faster without starting one.
    StagedFile& prj_file = files.Open(result.prj_path);
    std::vector<std::string> bitmap_warnings;
    BitmapStager bitmaps(BitmapsToWrite(textures, bitmap_warnings), files, result);
    {
      std::optional<WriteBehind> writer;
      if (static_cast<std::uint64_t>(polygon_count) *
              (prj::kPolygonRecordBytes + prj::kFF01RecordBytes) >=
          kWriteBehindBytes) {
        writer.emplace(prj_file);
      }
      prj::StreamPrj(
          image, polygon_count,
          [&](std::uint64_t offset, ByteBuffer bytes) {
            if (writer) {
              // Rather than wait while the thread writes, stage bitmaps meanwhile: creating
              // their files costs about as much as writing their bytes.
              while (!bitmaps.Done() && writer->Full()) bitmaps.StageNext();
              return writer->Write(offset, std::move(bytes));
            }
            prj_file.WriteAt(offset, {bytes.data(), bytes.size()});
            return bytes;
          },
          result.warnings);
      if (writer) writer->Finish();
    }
    prj_file.Close();
    if (progress) progress(ConversionStage::kBuilt);
    result.warnings.insert(result.warnings.end(), bitmap_warnings.begin(), bitmap_warnings.end());
    bitmaps.StageRest();
    // Nothing replaces the old output unless every byte read was the file's, one version of it.
    opt_bytes.CheckUnchanged();
    files.Commit();
    result.warnings.insert(result.warnings.end(), files.warnings().begin(), files.warnings().end());
  } catch (...) {
    if (result.created_output_folder) {
      std::error_code ignored;
      std::filesystem::remove(result.output_folder, ignored);  // only removes it when empty
    }
    throw;
  }
  if (progress) progress(ConversionStage::kWritten);
  return result;
}

}  // namespace

ConversionResult RunConversion(const std::filesystem::path& qel_directory,
                               const std::filesystem::path& opt_folder,
                               const std::string& opt_file_name, Durability durability,
                               const LockWait& lock_wait, const ConversionProgress& progress) {
  if (opt_file_name.empty()) throw Error("no OPT file was chosen");
  const std::string base = OutputBaseName(opt_file_name);
  const InputBytes opt_bytes(opt_folder / platform::PathFromBytes(opt_file_name));
  if (progress) progress(ConversionStage::kRead);
  try {
    return ConvertRead(opt_bytes, base, qel_directory, durability, lock_wait, progress);
  } catch (...) {
    // A file cut short or changed meanwhile may have failed the walk or a write in a way of its
    // own: the change is what the user must hear of.
    opt_bytes.CheckUnchanged();
    throw;
  }
}

}  // namespace durvane
