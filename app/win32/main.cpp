// durvane-gui.exe: the Durvane window on Windows. A file named on the command line (as
// "Open with" passes it) is selected as the window's logic routes it.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <shellapi.h>

#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/win32/durvane_window.h"
#include "core/platform.h"

namespace {

// The program's arguments after its name, as PathBytes.
std::vector<std::string> FileArguments() {
  int count = 0;
  const std::unique_ptr<LPWSTR, decltype(&::LocalFree)> arguments(
      ::CommandLineToArgvW(::GetCommandLineW(), &count), &::LocalFree);
  std::vector<std::string> files;
  for (int i = 1; arguments && i < count; ++i) {
    files.push_back(durvane::platform::PathBytes(std::filesystem::path(arguments.get()[i])));
  }
  return files;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*command_line*/, int show) {
  try {
    durvane::win32::DurvaneWindow window(instance, durvane::window::LibraryOperations(), show);
    const std::vector<std::string> files = FileArguments();
    if (!files.empty()) window.Open(files.front());
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (window.PreTranslate(message)) continue;
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
  } catch (const std::exception& error) {
    const std::string text = error.what();
    ::MessageBoxW(nullptr, std::wstring(text.begin(), text.end()).c_str(), L"Durvane",
                  MB_ICONERROR | MB_OK);
    return 1;
  }
}
