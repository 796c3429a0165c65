#include "app/window/model_export_choice.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <new>
#include <string_view>

#include "core/platform.h"
#include "usecases/model_export.h"

namespace durvane::window {
namespace {

bool EndsWithNoCase(std::string_view text, std::string_view ending) {
  return text.size() >= ending.size() &&
         std::equal(ending.rbegin(), ending.rend(), text.rbegin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) ==
                  std::tolower(static_cast<unsigned char>(b));
         });
}

// The file's name, without its folder.
std::string NameOf(const std::string& path) {
  return platform::PathBytes(platform::PathFromBytes(path).filename());
}

}  // namespace

std::string SuggestedExportTarget(const std::string& shown, exporting::ExportFormat format) {
  const std::filesystem::path path = platform::PathFromBytes(shown);
  return platform::PathBytes(path.parent_path() / exporting::ExportFileName(path, format));
}

exporting::ExportFormat AnsweredFormat(const std::string& target, exporting::ExportFormat chosen) {
  if (chosen == exporting::ExportFormat::kObj) return chosen;
  return EndsWithNoCase(target, exporting::ExtensionOf(exporting::ExportFormat::kGltf))
             ? exporting::ExportFormat::kGltf
             : exporting::ExportFormat::kGlb;
}

ExportResult ExportShownModel(const std::string& source, const std::string& target,
                              exporting::ExportFormat format) {
  ExportResult result;
  try {
    result.warnings = exporting::ExportModel(platform::PathFromBytes(source),
                                             platform::PathFromBytes(target), format)
                          .warnings;
  } catch (const std::bad_alloc&) {
    result.error = "out of memory";
  } catch (const std::exception& e) {
    result.error = e.what();
  }
  return result;
}

ExportNotice NoticeOf(const std::string& source, const std::string& target,
                      const ExportResult& result) {
  const std::string files = "'" + NameOf(source) + "' ";
  if (!result.error.empty()) {
    return {ExportNotice::Kind::kError,
            files + "could not be exported to '" + NameOf(target) + "'.",
            {},
            result.error};
  }
  if (!result.warnings.empty()) {
    return {ExportNotice::Kind::kWarnings,
            files + "was exported to '" + NameOf(target) + "', with warnings:",
            result.warnings,
            {}};
  }
  return {};
}

}  // namespace durvane::window
