// What the preview's export menu decides, apart from any toolkit: the file it suggests, the
// format an answer is written in, the export itself (never throwing), and what the window says
// after it.
#pragma once

#include <string>
#include <vector>

#include "export/export_format.h"

namespace durvane::window {

// Where the export of `shown` (PathBytes, an OPT or PRJ file) in `format` is suggested: beside
// it, under its name with the format's extension.
std::string SuggestedExportTarget(const std::string& shown, exporting::ExportFormat format);

// The format `target` (the user's answer to the action for `chosen`) is written in: the glTF
// action writes .gltf for a .gltf answer (in any letter case) and .glb for any other.
exporting::ExportFormat AnsweredFormat(const std::string& target, exporting::ExportFormat chosen);

// What an export came to.
struct ExportResult {
  std::vector<std::string> warnings;
  std::string error;  // empty when the files were written
};

// Writes the model of `source` to `target` (PathBytes) in `format`; any failure is the result's
// error.
ExportResult ExportShownModel(const std::string& source, const std::string& target,
                              exporting::ExportFormat format);

// What the window says after an export of `source` to `target`: nothing but a beep when all
// went well; else one plain sentence naming both files, with the warnings below it, or the
// error as its details.
struct ExportNotice {
  enum class Kind { kBeep, kWarnings, kError };
  Kind kind = Kind::kBeep;
  std::string headline;
  std::vector<std::string> warnings;
  std::string details;
};
ExportNotice NoticeOf(const std::string& source, const std::string& target,
                      const ExportResult& result);

}  // namespace durvane::window
