// The drives Windows offers (C:\, D:\, ...) with their volume labels, for a window's drive
// list. Windows only: POSIX systems have one root.
#pragma once

#ifdef _WIN32

#include <string>
#include <vector>

namespace durvane::platform {

struct Drive {
  std::string root;   // "C:\", as PathBytes gives it
  std::string label;  // the volume's label, UTF-8; empty when it has none or cannot be read
};

// The drives in letter order. A drive without a medium (an empty card reader) is listed
// without a label, and Windows is kept from asking for one.
std::vector<Drive> Drives();

}  // namespace durvane::platform

#endif
