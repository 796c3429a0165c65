#include "app/win32/model_export_menu.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "app/win32/task_dialog.h"
#include "app/win32/window_support.h"
#include "app/window/run_outcome.h"
#include "core/platform.h"

namespace durvane::win32 {
namespace {

enum Command : UINT { kGltf = 1, kObj };

// The save dialog's answer for `suggested` (PathBytes), over `owner`; empty when given up.
std::string AskTarget(HWND owner, const std::string& suggested, exporting::ExportFormat format) {
  const bool obj = format == exporting::ExportFormat::kObj;
  const std::wstring start = platform::PathFromBytes(suggested).wstring();
  // Room for a long path; the dialog answers within it.
  std::vector<wchar_t> answer(32768, L'\0');
  if (start.size() < answer.size()) std::copy(start.begin(), start.end(), answer.begin());
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = obj ? L"Wavefront OBJ (*.obj)\0*.obj\0"
                           : L"Binary glTF (*.glb)\0*.glb\0"
                             L"glTF with its files beside it (*.gltf)\0*.gltf\0";
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = answer.data();
  dialog.nMaxFile = static_cast<DWORD>(answer.size());
  dialog.lpstrTitle = obj ? L"Export as OBJ" : L"Export as glTF";
  dialog.lpstrDefExt = obj ? L"obj" : L"glb";
  dialog.Flags =
      OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!::GetSaveFileNameW(&dialog)) return {};
  return platform::PathBytes(std::filesystem::path(std::wstring(answer.data())));
}

}  // namespace

void ModelExportMenu::Open(POINT at, const std::string& shown) {
  const HMENU menu = ::CreatePopupMenu();
  if (!menu) return;
  const UINT state = MF_STRING | (busy_ || shown.empty() ? MF_GRAYED : MF_ENABLED);
  ::AppendMenuW(menu, state, kGltf, L"Export as glTF...");
  ::AppendMenuW(menu, state, kObj, L"Export as OBJ...");
  const UINT chosen = static_cast<UINT>(::TrackPopupMenu(
      menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, pane_, nullptr));
  ::DestroyMenu(menu);
  if (chosen == kGltf) Ask(shown, exporting::ExportFormat::kGlb);
  if (chosen == kObj) Ask(shown, exporting::ExportFormat::kObj);
}

void ModelExportMenu::Ask(const std::string& shown, exporting::ExportFormat format) {
  if (busy_ || shown.empty()) return;
  const std::string target = AskTarget(::GetAncestor(pane_, GA_ROOT),
                                       window::SuggestedExportTarget(shown, format), format);
  if (target.empty()) return;
  format = window::AnsweredFormat(target, format);
  busy_ = true;
  source_ = shown;
  target_ = target;
  // The last export's thread has ended: its message came before busy_ was cleared.
  thread_ = std::jthread([this, pane = pane_, source = shown, target, format] {
    platform::LowerThreadPriority();
    window::ExportResult result = window::ExportShownModel(source, target, format);
    {
      std::lock_guard lock(mutex_);
      result_ = std::move(result);
    }
    ::PostMessageW(pane, kExported, 0, 0);
  });
}

void ModelExportMenu::Finish() {
  std::optional<window::ExportResult> result;
  {
    std::lock_guard lock(mutex_);
    result.swap(result_);
  }
  if (!result) return;
  busy_ = false;
  const window::ExportNotice notice = window::NoticeOf(source_, target_, *result);
  const HWND owner = ::GetAncestor(pane_, GA_ROOT);
  switch (notice.kind) {
    case window::ExportNotice::Kind::kBeep:
      ::MessageBeep(MB_OK);
      break;
    case window::ExportNotice::Kind::kWarnings:
      ShowTaskDialog(owner, TD_WARNING_ICON, notice.headline, window::Joined(notice.warnings, "\n"),
                     {});
      break;
    case window::ExportNotice::Kind::kError:
      ShowTaskDialog(owner, TD_ERROR_ICON, notice.headline, {}, notice.details);
      break;
  }
}

}  // namespace durvane::win32
