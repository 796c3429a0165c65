// What the window and its preview pane share: UTF-8 text for the wide-character API, and the
// window procedure that hands a window's messages to the object that made it.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace durvane::win32 {

// `utf8` as UTF-16.
inline std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size =
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
  return wide;
}

// The window procedure of a class whose windows are made with their Owner as the creation
// parameter: once CreateWindowExW has returned (Owner::handle() is set), Owner::Handle takes
// the messages; before, Windows's default handling does.
template <typename Owner>
LRESULT CALLBACK OwnedWindowProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(l);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* owner = reinterpret_cast<Owner*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!owner || !owner->handle()) return ::DefWindowProcW(window, message, w, l);
  return owner->Handle(message, w, l);
}

}  // namespace durvane::win32
