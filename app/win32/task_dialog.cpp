#include "app/win32/task_dialog.h"

#include <commctrl.h>

#include "app/win32/window_support.h"

namespace durvane::win32 {

void ShowTaskDialog(HWND owner, PCWSTR icon, const std::string& instruction,
                    const std::string& content, const std::string& details) {
  std::wstring title(static_cast<std::size_t>(::GetWindowTextLengthW(owner)) + 1, L'\0');
  title.resize(static_cast<std::size_t>(
      ::GetWindowTextW(owner, title.data(), static_cast<int>(title.size()))));
  const std::wstring wide_instruction = Wide(instruction);
  const std::wstring wide_content = Wide(content);
  const std::wstring wide_details = Wide(details);
  TASKDIALOGCONFIG dialog{};
  dialog.cbSize = sizeof(dialog);
  dialog.hwndParent = owner;
  dialog.hInstance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(owner, GWLP_HINSTANCE));
  dialog.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
  dialog.dwCommonButtons = TDCBF_OK_BUTTON;
  dialog.pszWindowTitle = title.c_str();
  dialog.pszMainIcon = icon;
  dialog.pszMainInstruction = wide_instruction.c_str();
  if (!wide_content.empty()) dialog.pszContent = wide_content.c_str();
  if (!wide_details.empty()) {
    dialog.pszExpandedInformation = wide_details.c_str();
    dialog.pszExpandedControlText = L"Hide details";
    dialog.pszCollapsedControlText = L"Show details";
  }
  ::TaskDialogIndirect(&dialog, nullptr, nullptr, nullptr);
}

}  // namespace durvane::win32
