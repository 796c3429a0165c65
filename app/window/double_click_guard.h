// One press of the button runs one operation. The second click of a double click can come
// after a short run has ended, so it is told apart by its time.
#pragma once

#include <cstdint>
#include <optional>

namespace durvane::window {

class DoubleClickGuard {
 public:
  // Whether a press at `now_ms` (any steady clock, in milliseconds) is a press of its own:
  // not when it comes within `interval_ms` of the last press it let through.
  bool Admit(std::int64_t now_ms, std::int64_t interval_ms) {
    if (last_ && now_ms - *last_ < interval_ms) return false;
    last_ = now_ms;
    return true;
  }

 private:
  std::optional<std::int64_t> last_;
};

}  // namespace durvane::window
