// The preview pane's context menu on Windows: "Export as glTF..." and "Export as OBJ..." write
// the model the pane shows to a file the user names in the save dialog, on a thread of the
// menu's own so that the window never waits for it. The outcome comes back to the pane's thread
// as a posted message: a beep when all went well, else a task dialog over the window with the
// warnings or the error.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/window/model_export_choice.h"
#include "export/export_format.h"

namespace durvane::win32 {

class ModelExportMenu {
 public:
  // Posted to the pane when an export has ended; the pane then calls Finish.
  static constexpr UINT kExported = WM_APP + 2;

  // A menu for `pane`, which takes its kExported messages.
  explicit ModelExportMenu(HWND pane) : pane_(pane) {}
  // Waits for an export under way.
  ~ModelExportMenu() = default;
  ModelExportMenu(const ModelExportMenu&) = delete;
  ModelExportMenu& operator=(const ModelExportMenu&) = delete;

  // Shows the menu at `at` (screen coordinates) for `shown` (PathBytes), and starts the export
  // chosen. Both actions are disabled without a file, and while an export runs.
  void Open(POINT at, const std::string& shown);
  // Tells the user how the export ended.
  void Finish();

 private:
  // Asks where to write `shown` in `format` and starts writing it there.
  void Ask(const std::string& shown, exporting::ExportFormat format);

  HWND pane_;
  bool busy_ = false;
  std::string source_;
  std::string target_;
  std::mutex mutex_;
  std::optional<window::ExportResult> result_;  // the thread's, for the pane's thread
  std::jthread thread_;
};

}  // namespace durvane::win32
