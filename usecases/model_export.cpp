#include "usecases/model_export.h"

#include <string>

#include "core/platform.h"
#include "export/model_export.h"
#include "usecases/model_files.h"

namespace durvane::exporting {

ExportOutcome ExportModel(const std::filesystem::path& input, const std::filesystem::path& output,
                          ExportFormat format, const CancelCheck& cancelled,
                          Durability durability) {
  const render::Model model = render::LoadModelFile(input);
  StagedFiles set(durability);
  StagedExport staged = StageExport(model, output, {format, cancelled}, set);
  // Nothing replaces an earlier export unless the polygons were read from the file as it was.
  model.CheckSourceUnchanged();
  set.Commit();
  ExportOutcome outcome{std::move(staged.warnings), std::move(staged.files)};
  outcome.warnings.insert(outcome.warnings.end(), set.warnings().begin(), set.warnings().end());
  return outcome;
}

std::filesystem::path ExportFileName(const std::filesystem::path& input, ExportFormat format) {
  return platform::PathFromBytes(platform::PathBytes(input.stem()) +
                                 std::string(ExtensionOf(format)));
}

}  // namespace durvane::exporting
