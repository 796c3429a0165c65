// A task dialog over a window: an icon, one plain sentence, lines below it, and the library's
// precise message under "Show details".
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace durvane::win32 {

// Shows the dialog over `owner`, titled as it is, and waits for it to close. `content` and
// `details` are left out when empty.
void ShowTaskDialog(HWND owner, PCWSTR icon, const std::string& instruction,
                    const std::string& content, const std::string& details);

}  // namespace durvane::win32
